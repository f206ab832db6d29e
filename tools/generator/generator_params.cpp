// The parameter types of the synthetic catalogs: numbers, enumerations,
// strings, bools and bit fields, records, arrays, signals and streams.
#include "generator/generator_writer.h"

namespace mostfcat::generator_detail {

// --- types ---------------------------------------------------------------------------

// rangeStyle: 0 none, 1 "full range", 2 decimal lo/hi, 3 hexadecimal lo/hi
// (two's complement for signed types), 4 lo and "NMax", 5 lo only.
void CatalogWriter::Number(int type, int exponent, const char* unit, int rangeStyle, int64_t lo,
                           int64_t hi) {
    const BaseType& t = kTypes[type];
    Open("TNumber");
    Indent();
    Put("<BasisDataType><");
    Put(t.tag);
    Put(" TypeRef=\"");
    Put(t.ref);
    Put("\"/></BasisDataType>\n");
    LeafInt("Exponent", exponent);
    if (rangeStyle >= 2 && lo == 0 && hi == 0) {
        // Two points of the type's range, small ones more often.
        int64_t span = (t.hi - t.lo) / (m_Rng.Chance(70) ? 64 : 1);
        int64_t a = t.isSigned ? m_Rng.Between(-span / 2, 0) : m_Rng.Between(0, span / 4);
        int64_t b =
            m_Rng.Between(std::max<int64_t>(a, 0) + 1, std::max<int64_t>(a, 0) + 1 + span / 2);
        lo = std::max(a, t.lo);
        hi = std::min(b, t.hi);
    }
    auto limit = [&](const char* tag, int64_t v) {
        Indent();
        PutChar('<');
        Put(tag);
        PutChar('>');
        if (rangeStyle == 3) {
            uint64_t pattern = v < 0 ? uint64_t(v) + (uint64_t(1) << (8 * t.bytes)) : uint64_t(v);
            PutHex(pattern, 2 * t.bytes);
        } else {
            if (v > 0 && m_Rng.Below(8) == 0) PutChar('+');
            PutInt(v);
        }
        Put("</");
        Put(tag);
        Put(">\n");
    };
    switch (rangeStyle) {
    case 1:
        Leaf("RangeMin", m_Rng.Chance(50) ? "full range" : "Full Range");
        break;
    case 2:
    case 3:
        limit("RangeMin", lo);
        limit("RangeMax", hi);
        break;
    case 4:
        limit("RangeMin", lo);
        Leaf("RangeMax", "NMax");
        break;
    case 5:
        limit("RangeMin", lo);
        break;
    default:
        break;
    }
    Leaf("Step", m_Rng.Pick({"1", "1", "1", "5", "0.5", "0.25", "10", "0x02"}));
    Indent();
    Put("<Unit UnitRef=\"");
    Put(unit);
    Put("\"/>\n");
    Close("TNumber");
}

void CatalogWriter::RandomNumber() {
    int type = int(m_Rng.Below(6));
    static constexpr int kExponents[] = {0, 0, 0, 0, 0, -1, -1, -2, -3, 1, 2};
    Number(type, m_Rng.Pick(kExponents), RandomUnit(), int(m_Rng.Below(6)));
}

// Values with rising, disjoint codes; some are code ranges. A wide
// enumeration has codes above 255 and so becomes two bytes wide.
void CatalogWriter::Enum(uint32_t values, bool wide) {
    uint64_t code = m_Rng.Below(2);
    const uint64_t limit = wide ? 0x3FF : 0xF0;
    struct Value {
        uint64_t lo, hi;
    };
    std::vector<Value> codes;
    for (uint32_t i = 0; i < values && code < limit; ++i) {
        uint64_t width = m_Rng.Below(6) == 0 ? 1 + m_Rng.Below(5) : 0;
        codes.push_back({code, code + width});
        code += width + 1 + m_Rng.Below(wide ? 40 : 3);
    }
    if (wide && codes.back().hi <= 255) codes.push_back({0x100 + m_Rng.Below(0x80), 0});
    if (wide && codes.back().hi < codes.back().lo) codes.back().hi = codes.back().lo;
    uint64_t maxCode = codes.back().hi;

    OpenAttrs("TEnum");
    switch (m_Rng.Below(4)) {
    case 0: // explicit maximum
        Put(" TEnumMax=\"");
        PutCode(wide ? std::max<uint64_t>(maxCode, 0x3FF) : std::max<uint64_t>(maxCode, 0xFF),
                false);
        PutChar('"');
        break;
    case 1:
        Put(" TEnumMax=\"");
        PutInt(int64_t(maxCode));
        PutChar('"');
        break;
    case 2:
        if (!wide) Put(" TEnumMax=\"#NULL#\"");
        break;
    default: // derived from the values
        break;
    }
    EndOpen();
    for (const Value& v : codes) {
        Indent();
        Put("<TEnumValue Code=\"");
        if (v.hi == v.lo) {
            PutCode(v.lo);
        } else if (m_Rng.Chance(30)) {
            // the upper end is read as hexadecimal because the lower end is
            PutHex(v.lo, 2);
            Put(m_Rng.Chance(50) ? ".." : "...");
            char buf[20];
            auto r = std::to_chars(buf, buf + sizeof buf, v.hi, 16);
            m_Out.append(buf, size_t(r.ptr - buf));
        } else {
            PutInt(int64_t(v.lo));
            Put("..");
            PutInt(int64_t(v.hi));
        }
        PutChar('"');
        const char* text = m_Rng.Pick(kValueTexts);
        bool ampersand = text[0] == 'T' && text[1] == 'r';
        if (m_Rng.Chance(25)) {
            Put(" SymbolicName=\"");
            Put(ampersand ? "Traffic &amp; news" : text);
            Put("\"/>\n");
        } else {
            PutChar('>');
            Put(ampersand ? "Traffic &amp; news" : text);
            Put("</TEnumValue>\n");
        }
    }
    Close("TEnum");
}

void CatalogWriter::String() {
    if (m_Rng.Chance(20)) {
        Empty("TString");
        return;
    }
    Indent();
    Put("<TString MaxSize=\"");
    PutInt(m_Rng.Pick({8, 12, 16, 24, 32, 64, 128}));
    Put("\"/>\n");
}

// Bool fields over the bits below `bits`: single positions with gaps and
// now and then a range such as "2..4" (one field per bit of the range).
void CatalogWriter::BoolFields(uint32_t bits, uint32_t maxFields) {
    uint32_t pos = m_Rng.Below(2);
    for (uint32_t n = 0; n < maxFields && pos < bits; ++n) {
        uint32_t span = (m_Rng.Below(4) == 0 && pos + 2 < bits) ? 2 : 0;
        Indent();
        Put("<TBoolField BitPos=\"");
        PutInt(pos);
        if (span) {
            Put("..");
            PutInt(pos + span);
        }
        Put("\"><BitTrueDesc>");
        const char* t = m_Rng.Pick(kValueTexts);
        Put(t[0] == 'T' && t[1] == 'r' ? "Traffic &amp; news" : t);
        Put(" active</BitTrueDesc><BitFalseDesc>");
        Put(t[0] == 'T' && t[1] == 'r' ? "Traffic &amp; news" : t);
        Put(" inactive</BitFalseDesc></TBoolField>\n");
        pos += span + 1 + m_Rng.Below(3);
    }
}

void CatalogWriter::Bool() {
    static constexpr struct {
        const char* ref;
        uint32_t bits;
    } kRefs[] = {{"type_boolean", 8},        {"type_boolean", 8},
                 {"type_unsigned_byte", 8},  {"Type_Unsigned_Word", 16},
                 {"type_unsigned_word", 16}, {"type_unsigned_long", 32}};
    const auto& r = m_Rng.Pick(kRefs);
    OpenAttrs("TBool");
    Attr("TypeRef", r.ref);
    EndOpen();
    BoolFields(r.bits, 2 + m_Rng.Below(4 + 2 * m_Scale));
    Close("TBool");
}

// Length counts bytes under the default import options.
void CatalogWriter::BitField(int length) {
    OpenAttrs("TBitField");
    Put(" Length=\"");
    PutInt(length);
    PutChar('"');
    EndOpen();
    BoolFields(uint32_t(length) * 8, 2 + m_Rng.Below(4 + 2 * m_Scale));
    Close("TBitField");
}

// A record; field indices count from 0 or from 1. Fields of fixed length
// only, so the record can stand anywhere in an operation or an array.
void CatalogWriter::Record(uint32_t fields, int depth) {
    bool fromZero = m_Rng.Chance(40);
    OpenAttrs("TRecord");
    Put(" NElements=\"");
    PutInt(fields);
    PutChar('"');
    EndOpen();
    for (uint32_t i = 0; i < fields; ++i)
        RecordField(i + (fromZero ? 0 : 1), depth);
    Close("TRecord");
}

void CatalogWriter::RecordField(uint32_t index, int depth) {
    Indent();
    Put("<TRecordField FieldIdx=\"");
    if (m_Rng.Below(8) == 0)
        PutHex(index, 1);
    else
        PutInt(index);
    Put("\">\n");
    ++m_Depth;
    std::string name = WordName();
    if (m_Rng.Chance(70)) {
        Leaf("TRecordFieldName", name);
        Sentence("TRecordFieldDesc");
    } else {
        Leaf("ParamName", name);
        Sentence("ParamDescription");
    }
    Open("TRecordFieldType");
    uint32_t r = m_Rng.Below(depth > 0 ? 12 : 10);
    switch (r) {
    case 0:
    case 1:
    case 2:
    case 3:
        RandomNumber();
        break;
    case 4:
        Enum(2 + m_Rng.Below(4), m_Rng.Chance(10));
        break;
    case 5:
        String();
        break;
    case 6:
        Bool();
        break;
    case 7:
        BitField(m_Rng.Pick({1, 2, 4}));
        break;
    case 8:
        Indent();
        Put("<TShortStream MaxLength=\"");
        PutInt(8 + m_Rng.Below(40));
        Put("\"/>\n");
        break;
    case 9:
        Indent();
        Put("<TStream Length=\"");
        PutInt(2 + m_Rng.Below(14));
        Put("\"/>\n");
        break;
    case 10: // nested array of fixed length
        ArrayOf(m_Rng.Pick({"2", "3", "4", "0x08"}), m_Rng.Chance(50) ? 1 : 0, depth - 1);
        break;
    default:
        Record(1 + m_Rng.Below(3), depth - 1);
        break;
    }
    Close("TRecordFieldType");
    --m_Depth;
    Indent();
    Put("</TRecordField>\n");
}

// elementKind: 0 number, 1 record (whose fields may nest further arrays).
void CatalogWriter::ArrayOf(const char* nmax, int elementKind, int depth) {
    OpenAttrs("TArray");
    if (nmax) Attr("NMax", nmax);
    EndOpen();
    Leaf("TArrayName", WordName());
    Sentence("TArrayDesc");
    Open("TArrayElementType");
    if (elementKind == 0)
        RandomNumber();
    else
        Record(2 + m_Rng.Below(2 + m_Scale), depth);
    Close("TArrayElementType");
    Close("TArray");
}

// One stream member; kind 0 number, 1 enum, 2 string, 3 bool, 4 raw stream
// of fixed length.
void CatalogWriter::StreamMember(const std::string& name, uint32_t idx, const char* idxText,
                                 int kind) {
    Indent();
    Put("<StreamParam ParamIdx=\"");
    if (idxText)
        Put(idxText);
    else
        PutInt(idx);
    Put("\">\n");
    ++m_Depth;
    Leaf("ParamName", name);
    Sentence("ParamDescription");
    Open("ParamType");
    switch (kind) {
    case 0:
        RandomNumber();
        break;
    case 1:
        Enum(2 + m_Rng.Below(4), false);
        break;
    case 2:
        String();
        break;
    case 3:
        Bool();
        break;
    default:
        Indent();
        Put("<TStream Length=\"");
        PutInt(1 + m_Rng.Below(8));
        Put("\"/>\n");
        break;
    }
    Close("ParamType");
    --m_Depth;
    Indent();
    Put("</StreamParam>\n");
}

void CatalogWriter::Signals(uint32_t first, bool littleEndian, uint32_t count) {
    static constexpr int kLengths[] = {1, 1, 1, 2, 3, 4, 5, 8, 12, 16, 24, 32};
    for (uint32_t i = 0; i < count; ++i) {
        OpenAttrs("StreamSignal");
        Put(" SignalIdx=\"");
        PutInt(first + i);
        PutChar('"');
        if (m_Rng.Chance(littleEndian ? 50 : 15)) Put(" Signedness=\"Signed\"");
        EndOpen();
        Leaf("SignalName", m_FnNames[m_FnNames.size() - count + i]);
        LeafInt("SignalBitLength", m_Rng.Pick(kLengths));
        Sentence("SignalDescription");
        Close("StreamSignal");
    }
}

// A detailed stream with several case elements chosen by the value of the
// preceding parameter `selector`: parameter cases, a signal case, a
// little-endian signal case and an empty reserved case.
void CatalogWriter::SelectedStream(const std::string& selector, uint32_t cases) {
    Open("TStream");
    uint32_t code = 1;
    for (uint32_t c = 0; c < cases; ++c) {
        uint32_t kind = c < 4 ? c : m_Rng.Below(3);
        uint32_t width = m_Rng.Chance(30) ? 1 + m_Rng.Below(3) : 0;
        OpenAttrs("StreamCase");
        if (kind == 2) Attr("ByteOrder", "LittleEndian");
        EndOpen();
        Indent();
        Put("<PosDescription PosX=\"");
        Put(selector);
        Put("\" PosY=\"");
        PutHex(code, 2);
        if (width) {
            Put("..");
            PutHex(code + width, 2);
        }
        PutChar('"');
        code += width + 1 + m_Rng.Below(4);
        if (kind == 3) {
            Put("/>\n");
            Close("StreamCase");
            continue;
        }
        uint32_t members = 2 + m_Rng.Below(kind == 0 ? 2 : 4);
        size_t firstName = m_FnNames.size();
        for (uint32_t i = 0; i < members; ++i)
            WordName();
        bool describe = m_Rng.Chance(75);
        PutChar('>');
        if (describe) {
            for (uint32_t i = 0; i < members; ++i) {
                if (i) Put(", ");
                Put(m_FnNames[firstName + i]);
            }
        }
        Put("</PosDescription>\n");
        if (kind == 0) {
            // Document order need not follow the index order.
            for (uint32_t i = 0; i < members; ++i) {
                uint32_t j = (i + 1) % members;
                StreamMember(m_FnNames[firstName + j], j + 1, nullptr, int(m_Rng.Below(5)));
            }
        } else {
            Signals(1, kind == 2, members);
        }
        Close("StreamCase");
    }
    Close("TStream");
}

// One case element whose description has one line per selector range; the
// second line repeats a group: "Sel=1..2=A,B" and "Sel=3={A,{B,C}}". The
// Length makes the group fit a whole number of times.
void CatalogWriter::LinedStream(const std::string& selector) {
    static constexpr int kSmall[] = {kUByte, kSByte, kUWord, kSWord};
    int ta = m_Rng.Pick(kSmall), tb = m_Rng.Pick(kSmall), tc = m_Rng.Pick(kSmall);
    uint32_t repeats = 1 + m_Rng.Below(4);
    uint32_t length =
        uint32_t(kTypes[ta].bytes) + repeats * uint32_t(kTypes[tb].bytes + kTypes[tc].bytes);
    std::string a = WordName(), b = WordName(), c = WordName();
    OpenAttrs("TStream");
    Put(" Length=\"");
    PutInt(length);
    PutChar('"');
    EndOpen();
    Open("StreamCase");
    Open("PosDescription");
    bool spaced = m_Rng.Chance(50);
    const char* eq = spaced ? " = " : "=";
    const char* comma = spaced ? ", " : ",";
    Indent();
    Put(selector);
    Put(eq);
    Put("1..2");
    Put(eq);
    Put(a);
    Put(comma);
    Put(b);
    PutChar('\n');
    Indent();
    Put(selector);
    Put(eq);
    Put("3");
    Put(eq);
    PutChar('{');
    Put(a);
    Put(comma);
    PutChar('{');
    Put(b);
    Put(comma);
    Put(c);
    Put("}}\n");
    Close("PosDescription");
    const std::string* names[3] = {&a, &b, &c};
    const int types[3] = {ta, tb, tc};
    for (uint32_t i = 0; i < 3; ++i) {
        Indent();
        Put("<StreamParam ParamIdx=\"");
        PutInt(i + 1);
        Put("\">\n");
        ++m_Depth;
        Leaf("ParamName", *names[i]);
        Sentence("ParamDescription");
        Open("ParamType");
        Number(types[i], 0, RandomUnit(), m_Rng.Chance(50) ? 0 : 1);
        Close("ParamType");
        --m_Depth;
        Indent();
        Put("</StreamParam>\n");
    }
    Close("StreamCase");
    Close("TStream");
}

// A short stream whose single case has no description text: the order comes
// from ParamIdx, and "seq" marks the repeated group.
void CatalogWriter::IndexedShortStream() {
    OpenAttrs("TShortStream");
    Put(" MaxLength=\"");
    PutInt(m_Rng.Pick({31, 64, 100, 255}));
    PutChar('"');
    EndOpen();
    Open("StreamCase");
    Empty("PosDescription");
    std::string count = WordName(), x = WordName(), y = WordName();
    StreamMember(count, 1, nullptr, 0);
    StreamMember(x, 0, "2seq2", 0);
    StreamMember(y, 0, "3seq2", 0);
    Close("StreamCase");
    Close("TShortStream");
}

void CatalogWriter::DescribedShortStream() {
    OpenAttrs("TShortStream");
    if (m_Rng.Chance(70)) {
        Put(" MaxLength=\"");
        PutInt(16 + m_Rng.Below(200));
        PutChar('"');
    }
    EndOpen();
    Open("StreamCase");
    uint32_t members = 2 + m_Rng.Below(3);
    size_t firstName = m_FnNames.size();
    for (uint32_t i = 0; i < members; ++i)
        WordName();
    Indent();
    Put("<PosDescription>");
    for (uint32_t i = 0; i < members; ++i) {
        if (i) Put(", ");
        Put(m_FnNames[firstName + i]);
    }
    Put("</PosDescription>\n");
    for (uint32_t i = 0; i < members; ++i)
        StreamMember(m_FnNames[firstName + i], i + 1, nullptr, int(m_Rng.Below(4)));
    Close("StreamCase");
    Close("TShortStream");
}

// The elements of a list whose size a preceding ListSize number gives.
void CatalogWriter::ListStream() {
    Open("TStream");
    Open("StreamCase");
    std::string id = WordName(), value = WordName();
    Indent();
    Put("<PosDescription>{{");
    Put(id);
    Put(", ");
    Put(value);
    Put("}}</PosDescription>\n");
    StreamMember(id, 1, "1seq2", 0);
    StreamMember(value, 2, "2seq2", m_Rng.Chance(50) ? 0 : 1);
    Close("StreamCase");
    Close("TStream");
}

} // namespace mostfcat::generator_detail
