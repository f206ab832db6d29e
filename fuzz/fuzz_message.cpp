// Fuzz target: message instances. The input chooses the coordinates and the
// decode options, gives the payload as hex text (any characters) and then a
// script of edits: user input by identifier or by value, element and
// sequence insertion and removal, kind setters, handle copies, coordinate
// changes, rebuilds, clones and the manager's id converters and value
// readers. After every step the whole tree is read the way a host shows it.
//
// Input layout: byte 0 function, byte 1 flags (bits 0-1 decode options, bit
// 2 another operation, bits 3-4 instance fallback), bytes 2-3 the length of
// the hex text (little-endian, at most 4096), the text, then steps: an
// opcode byte followed by its arguments (bytes, and texts as a length byte
// and the characters).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "import/import_state.h"
#include "manager/manager.h"
#include "mostfcat/message.h"

using namespace mostfcat;

namespace {

// --- the catalog --------------------------------------------------------------------

std::string Num(const char* basis, const char* ref, const char* range = "") {
    return std::string("<TNumber><BasisDataType><") + basis + " TypeRef=\"" + ref +
           "\"/></BasisDataType><Exponent>0</Exponent>" + range +
           "<Step>1</Step><Unit UnitRef=\"unit_none\"/></TNumber>";
}
std::string U8() {
    return Num("TUByte", "type_unsigned_byte");
}
std::string U16() {
    return Num("TUWord", "type_unsigned_word");
}
std::string Member(int idx, const std::string& name, const std::string& type) {
    return "<StreamParam ParamIdx=\"" + std::to_string(idx) + "\"><ParamName>" + name +
           "</ParamName><ParamType>" + type + "</ParamType></StreamParam>";
}
std::string Signal(int idx, const std::string& name, int bits, bool isSigned) {
    return "<StreamSignal SignalIdx=\"" + std::to_string(idx) + "\"" +
           (isSigned ? " Signedness=\"Signed\"" : "") + "><SignalName>" + name +
           "</SignalName><SignalBitLength>" + std::to_string(bits) +
           "</SignalBitLength></StreamSignal>";
}
std::string Case(const std::string& posX, const std::string& posY, const std::string& description,
                 const std::string& members, bool littleEndian = false) {
    std::string attrs = posX.empty() ? "" : " PosX=\"" + posX + "\" PosY=\"" + posY + "\"";
    return std::string("<StreamCase") + (littleEndian ? " ByteOrder=\"LittleEndian\"" : "") +
           "><PosDescription" + attrs + ">" + description + "</PosDescription>" + members +
           "</StreamCase>";
}
std::string Array(const char* nmax, const std::string& name, const std::string& type) {
    return std::string("<TArray NMax=\"") + nmax + "\"><TArrayName>" + name +
           "</TArrayName><TArrayElementType>" + type + "</TArrayElementType></TArray>";
}
std::string Field(int idx, const std::string& name, const std::string& type) {
    return "<TRecordField FieldIdx=\"" + std::to_string(idx) + "\"><TRecordFieldName>" + name +
           "</TRecordFieldName><TRecordFieldType>" + type + "</TRecordFieldType></TRecordField>";
}
std::string Param(const std::string& name, const std::string& type, int pos) {
    return "<PUParam><ParamName>" + name + "</ParamName><PUParamType>" + type +
           "</PUParamType><PUParamOPType><PReportStatus><ParamPos>" + std::to_string(pos) +
           "</ParamPos></PReportStatus><PCmdSet><ParamPos>" + std::to_string(pos) +
           "</ParamPos></PCmdSet></PUParamOPType></PUParam>";
}
std::string Function(const char* name, int id, const std::string& params) {
    return std::string("<Function><FunctionName>") + name + "</FunctionName><FunctionID>" +
           std::to_string(id) +
           "</FunctionID><FunctionClass ClassRef=\"class_unclassified_property\"><Property>"
           "<PUnclassified>" +
           params + "</PUnclassified></Property></FunctionClass></Function>";
}

std::string CatalogXml() {
    const std::string bool8 =
        "<TBool TypeRef=\"type_unsigned_byte\"><TBoolField BitPos=\"0\"><BitTrueDesc>On"
        "</BitTrueDesc><BitFalseDesc>Off</BitFalseDesc></TBoolField><TBoolField BitPos=\"3..5\">"
        "<BitTrueDesc>Hot</BitTrueDesc></TBoolField></TBool>";
    const std::string enumeration =
        "<TEnum><TEnumValue Code=\"1\">One</TEnumValue><TEnumValue Code=\"2\">Two</TEnumValue>"
        "<TEnumValue Code=\"3..5\">Some</TEnumValue></TEnum>";
    std::string f;
    f += Function("Numbers", 0x100,
                  Param("Word",
                        Num("TUWord", "type_unsigned_word",
                            "<RangeMin>10</RangeMin><RangeMax>1000</RangeMax>"),
                        1) +
                      Param("Small", Num("TSByte", "type_signed_byte"), 2) +
                      Param("Long", Num("TSLong", "type_signed_long"), 3) +
                      Param("Color", enumeration, 4));
    f += Function("Table", 0x101,
                  Param("Outer",
                        Array("3", "Row",
                              "<TRecord NElements=\"2\">" + Field(1, "Id", U8()) +
                                  Field(2, "Cells", Array("2", "Cell", U8())) + "</TRecord>"),
                        1));
    f += Function("Mux", 0x102,
                  Param("Mode", enumeration, 1) +
                      Param("Data",
                            "<TStream>" + Case("Mode", "1", "A", Member(1, "A", U8())) +
                                Case("Mode", "2", "Text", Member(1, "Text", "<TString/>")) +
                                Case("Mode", "3..5", "Count,Level",
                                     Member(1, "Count", U8()) + Member(2, "Level", U16())) +
                                "</TStream>",
                            2) +
                      Param("Tail", U8(), 3));
    f += Function(
        "Seq", 0x103,
        Param("Seq",
              "<TStream>" +
                  Case("", "", "{A,{B,C}}",
                       Member(1, "A", U8()) + Member(2, "B", U8()) + Member(3, "C", U16())) +
                  "</TStream>",
              1));
    f += Function(
        "Bits", 0x104,
        Param("Kind", enumeration, 1) +
            Param("Sig",
                  "<TStream>" +
                      Case("Kind", "1", "Low3,High5",
                           Signal(1, "Low3", 3, false) + Signal(2, "High5", 5, true)) +
                      Case("Kind", "2", "Word12,Nibble",
                           Signal(1, "Word12", 12, false) + Signal(2, "Nibble", 4, true), true) +
                      Case("Kind", "3", "Wide,Odd",
                           Signal(1, "Wide", 64, false) + Signal(2, "Odd", 7, false)) +
                      "</TStream>",
                  2) +
            Param("After", U16(), 3));
    f += Function("Posed", 0x105,
                  Param("Pos", U16(), 1) +
                      Param("Data",
                            Array("4", "Row",
                                  "<TRecord NElements=\"2\">" + Field(1, "F1", U8()) +
                                      Field(2, "F2", bool8) + "</TRecord>"),
                            2));
    f += Function("Texts", 0x106,
                  Param("Text", "<TString MaxSize=\"8\"/>", 1) + Param("Flags", bool8, 2) +
                      Param("Raw", "<TStream Length=\"2\"/>", 3) +
                      Param("Short", "<TShortStream MaxLength=\"4\"/>", 4) +
                      Param("Wide",
                            "<TBitField Length=\"2\"><TBoolField BitPos=\"12\"><BitTrueDesc>Fault"
                            "</BitTrueDesc><BitFalseDesc>Fine</BitFalseDesc></TBoolField>"
                            "</TBitField>",
                            5) +
                      Param("Classified", "<TCStream MaxLength=\"6\"/>", 6) +
                      Param("Rest", "<TStream/>", 7));
    f += Function("Big", 0x107, Param("Many", Array("300", "Item", U8()), 1));
    f += Function("Boxed", 0x108,
                  Param("Box",
                        "<TShortStream>" +
                            Case("", "", "A,B", Member(1, "A", U8()) + Member(2, "B", U16())) +
                            "</TShortStream>",
                        1) +
                      Param("End", U8(), 2));
    f += Function(
        "Listed", 0x109,
        Param("ListSize", Num("TULong", "type_unsigned_long"), 1) +
            Param("ListElements",
                  "<TStream>" +
                      Case("", "", "{{X,Y}}", Member(1, "X", U8()) + Member(2, "Y", "<TString/>")) +
                      "</TStream>",
                  2));
    f += Function("Tagged", 0x10A,
                  Param("Tag", U16(), 1) + Param("PosY", U8(), 2) +
                      Param("Data",
                            Array("8", "Entry",
                                  "<TRecord NElements=\"2\">" + Field(1, "Value", U8()) +
                                      Field(2, "Name", "<TString/>") + "</TRecord>"),
                            3));
    const char* definitions =
        "<TypeDef TypeID=\"type_unsigned_byte\"><TDefName>UByte</TDefName><TDefSize>1</TDefSize>"
        "</TypeDef><TypeDef TypeID=\"type_signed_byte\"><TDefName>SByte</TDefName><TDefSize>1"
        "</TDefSize></TypeDef><TypeDef TypeID=\"type_unsigned_word\"><TDefName>UWord</TDefName>"
        "<TDefSize>2</TDefSize></TypeDef><TypeDef TypeID=\"type_signed_long\"><TDefName>SLong"
        "</TDefName><TDefSize>4</TDefSize></TypeDef><TypeDef TypeID=\"type_unsigned_long\">"
        "<TDefName>ULong</TDefName><TDefSize>4</TDefSize></TypeDef><UnitDef UnitID=\"unit_none\">"
        "<UnitDefName>none</UnitDefName><UnitDefCode>0</UnitDefCode></UnitDef>";
    return std::string("<?xml version=\"1.0\"?><FunctionCatalog><Definition>") + definitions +
           "</Definition><FBlock><FBlockName>Lab</FBlockName><FBlockID>0x50</FBlockID><Device>"
           "<DeviceName>Dev</DeviceName><InstanceID>1</InstanceID></Device>" +
           f + "</FBlock></FunctionCatalog>";
}

constexpr uint32_t kFunctions = 11;

// The folder of the catalog and its cache, removed at exit.
const std::string& Folder() {
    static const std::string dir = "/tmp/mostfcat_fuzz_message_" + std::to_string(::getpid());
    return dir;
}

void RemoveFolder() {
    for (const char* name : {"/lab.xml", "/lab.vfc", "/lab.log"})
        std::remove((Folder() + name).c_str());
    ::rmdir(Folder().c_str());
}

// The manager with the catalog open on channel 1, made once per process.
YFciFCatManagerImpl* Manager() {
    static YFciFCatManagerImpl* manager = [] {
        const std::string& dir = Folder();
        ::mkdir(dir.c_str(), 0700);
        std::atexit(RemoveFolder);
        std::string path = dir + "/lab.xml";
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return static_cast<YFciFCatManagerImpl*>(nullptr);
        std::string xml = CatalogXml();
        std::fwrite(xml.data(), 1, xml.size(), f);
        std::fclose(f);
        YImportState::Instance().SetSettingsFolder(dir);
        auto* m = new YFciFCatManagerImpl();
        m->SetChannelCount(2);
        if (m->OpenFCat(path, 1, "Lab", 1, "") != 0) __builtin_trap(); // the catalog is sound
        return m;
    }();
    return manager;
}

// --- reading the input ---------------------------------------------------------------

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}
    bool AtEnd() const { return m_Pos >= m_Size; }
    uint8_t Byte() { return m_Pos < m_Size ? m_Data[m_Pos++] : 0; }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(Byte()) << (8 * i);
        return v;
    }
    std::string Text(size_t max = 255) {
        size_t n = Byte();
        if (n > max) n = max;
        std::string out;
        while (n-- && m_Pos < m_Size)
            out.push_back(static_cast<char>(m_Data[m_Pos++]));
        return out;
    }

private:
    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_Pos = 0;
};

// --- the tree -------------------------------------------------------------------

void Collect(const std::vector<YFciParam*>& list, std::vector<YFciParam*>& out) {
    for (YFciParam* p : list) {
        if (out.size() >= 4000) return;
        out.push_back(p);
        Collect(p->SubParamList(), out);
    }
}

std::vector<YFciParam*> TreeOf(YFciMessage& msg) {
    std::vector<YFciParam*> out;
    Collect(msg.ParamList(), out);
    return out;
}

// The values of one kind, in tree order.
std::vector<YFciParam*> OfKind(YFciMessage& msg, uint32_t kind) {
    std::vector<YFciParam*> out;
    for (YFciParam* p : TreeOf(msg))
        if (p->ParamType() == kind) out.push_back(p);
    return out;
}

YFciParam* Pick(const std::vector<YFciParam*>& list, uint8_t index) {
    return list.empty() ? nullptr : list[index % list.size()];
}

// Everything a host reads to show a message. The text and the bytes are
// made from the same values: two characters per byte.
void Show(YFciMessage& msg) {
    std::string hex = msg.HexdumpStr();
    std::vector<uint8_t> data = msg.Data();
    if (hex.size() != 2 * data.size()) __builtin_trap();
    (void)msg.AllParams(true).size();
    (void)msg.AllParams(false).size();
    (void)msg.FunctionName().size();
    (void)msg.IsOperationValid();
    for (YFciParam* p : TreeOf(msg)) {
        (void)p->ShortID();
        (void)p->SymID();
        (void)p->DescName(true);
        (void)p->UserInputStr(3);
        (void)p->UserInputStr(0x31);
        (void)p->ValueHexdumpStr();
        (void)p->IsValueValid();
        (void)p->IsActive();
        (void)p->Unit().size();
        (void)p->GetParamDescription();
    }
}

// One edit of the script.
void Step(Reader& in, std::unique_ptr<YFciMessage>& msg, YFciFCatManagerImpl* m) {
    uint8_t op = in.Byte() % 16;
    bool changed = false;
    switch (op) {
    case 0: { // user input on a value
        YFciParam* p = Pick(TreeOf(*msg), in.Byte());
        std::string text = in.Text();
        if (p) p->SetUserInputStr(text, changed);
        break;
    }
    case 1: { // user input by symbolic identifier
        std::string id = in.Text();
        std::string text = in.Text();
        if (YFciParam* p = msg->GetParamBySymID(id)) p->SetUserInputStr(text, changed);
        break;
    }
    case 2: { // hex input by short identifier
        std::string id = in.Text();
        std::string text = in.Text();
        if (YFciParam* p = msg->GetParamByShortID(id)) p->SetValueHexdumpStr(text);
        break;
    }
    case 3: { // insert elements
        auto* a = static_cast<YFciParamArray*>(Pick(OfKind(*msg, eFciParamArray), in.Byte()));
        for (uint8_t n = in.Byte() % 8; a && n > 0; --n)
            a->InsertElem();
        break;
    }
    case 4: { // remove an element, or a value that is none
        auto* a = static_cast<YFciParamArray*>(Pick(OfKind(*msg, eFciParamArray), in.Byte()));
        uint8_t which = in.Byte();
        if (!a) break;
        YFciParam* victim =
            (which & 0x80) ? Pick(TreeOf(*msg), which) : Pick(a->SubParamList(), which);
        a->RemoveElem(victim);
        break;
    }
    case 5: { // insert repetitions
        auto* c =
            static_cast<YFciParamStreamCase*>(Pick(OfKind(*msg, eFciParamStreamCase), in.Byte()));
        for (uint8_t n = in.Byte() % 4; c && n > 0; --n)
            c->InsertSequence();
        break;
    }
    case 6: { // remove a repetition
        auto* c =
            static_cast<YFciParamStreamCase*>(Pick(OfKind(*msg, eFciParamStreamCase), in.Byte()));
        uint8_t which = in.Byte();
        if (c) c->RemoveSequence(Pick(TreeOf(*msg), which));
        break;
    }
    case 7:
        msg->Rebuild();
        break;
    case 8: { // continue on a clone; the original goes
        std::unique_ptr<YFciMessage> clone(msg->Clone());
        if (clone) msg = std::move(clone);
        break;
    }
    case 9:
        msg->SetHexdumpStr(in.Text());
        break;
    case 10: {
        std::string bytes = in.Text();
        uint8_t mode = in.Byte();
        if (mode & 1)
            msg->SetData(reinterpret_cast<const uint8_t*>(bytes.data()),
                         static_cast<uint32_t>(bytes.size()));
        else
            msg->SetData(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        break;
    }
    case 11:
        msg->ExpandAll();
        break;
    case 12: { // coordinates
        uint8_t which = in.Byte() % 8;
        uint32_t id = in.U32() % 0x1100;
        std::string name = in.Text(32);
        switch (which) {
        case 0:
            msg->SetFBlock(id % 300, name);
            break;
        case 1:
            msg->SetInstID(id % 300);
            break;
        case 2:
            msg->SetFunction(id, name);
            break;
        case 3:
            msg->SetOperation(id % 20, name);
            break;
        case 4:
            msg->SetChannel(static_cast<uint16_t>(id % 4));
            break;
        case 5:
            msg->SetCatalogName(name);
            break;
        case 6:
            msg->SetInstFallback(id % 4);
            break;
        default:
            msg->SetDecodeOptions(id % 4);
            break;
        }
        break;
    }
    case 13: { // the kind setters
        YFciParam* p = Pick(TreeOf(*msg), in.Byte());
        uint32_t v = in.U32();
        if (!p) break;
        switch (p->ParamType()) {
        case eFciParamNumber:
            static_cast<YFciParamNumber*>(p)->SetValue(static_cast<int32_t>(v));
            break;
        case eFciParamEnum:
            static_cast<YFciParamEnum*>(p)->SetValue(static_cast<long>(static_cast<int32_t>(v)));
            break;
        case eFciParamBool:
        case eFciParamBitfield: {
            static_cast<YFciParamBool*>(p)->SetValue(v);
            YFciParam::Bytes b(v % 5, static_cast<uint8_t>(v >> 8));
            static_cast<YFciParamBool*>(p)->SetValueHexdump(b);
            break;
        }
        case eFciParamBoolfield:
            static_cast<YFciParamBoolfield*>(p)->SetValue(
                static_cast<YFciParamBoolfield::BoolType>(v % 4));
            break;
        case eFciParamSignal: {
            YFciParamSignal::intUnion u;
            u.u = uint64_t(v) << (v % 40);
            static_cast<YFciParamSignal*>(p)->SetValue(u);
            static_cast<YFciParamSignal*>(p)->SetValueHexdump(
                YFciParam::Bytes(v % 10, static_cast<uint8_t>(v)));
            break;
        }
        case eFciParamString:
            static_cast<YFciParamString*>(p)->SetEncoding(v % 9);
            static_cast<YFciParamString*>(p)->SetValue(in.Text());
            break;
        case eFciParamRawStream: {
            std::string bytes = in.Text();
            static_cast<YFciParamRawStream*>(p)->SetHexdump(
                YFciParam::Bytes(bytes.begin(), bytes.end()));
            break;
        }
        default:
            p->SetValueHexdumpStr(in.Text());
            break;
        }
        break;
    }
    case 14: { // a handle copy that outlives its place in the tree
        YFciParam* p = Pick(TreeOf(*msg), in.Byte());
        std::string text = in.Text();
        if (!p) break;
        std::unique_ptr<YFciParam> copy(new YFciParam(*p));
        copy->SetUserInputStr(text, changed);
        msg->Rebuild();
        (void)copy->Name().size();
        (void)copy->ShortID();
        (void)copy->UserInputStr(3);
        copy->SetUserInputStr(text, changed);
        (void)copy->SubParamList().size();
        break;
    }
    default: { // the manager's converters and readers over the payload
        std::string path = in.Text(64);
        std::string out;
        uint32_t fkt = 0x100 + in.Byte() % kFunctions;
        m->ConvertSymbolicToShortID(out, 1, "", 0x50, 1, 0, fkt, 0xC, path);
        m->ConvertShortToSymbolicID(out, 1, "", 0x50, 1, 0, fkt, 0xC, path);
        std::vector<uint8_t> data = msg->Data();
        int32_t length = static_cast<int32_t>(data.size());
        double d;
        uint32_t u;
        uint8_t b;
        std::string text;
        std::vector<uint8_t> bytes;
        m->GetParamNumberValue(1, "", 0x50, 1, fkt, 0xC, data.data(), length, path, d);
        m->GetParamEnumValue(1, "", 0x50, 1, fkt, 0xC, data.data(), length, path, u);
        m->GetParamBoolFieldValue(1, "", 0x50, 1, fkt, 0xC, data.data(), length, path, b);
        m->GetParamBoolValue(1, "", 0x50, 1, fkt, 0xC, data.data(), length, path, u);
        m->GetParamStringValue(1, "", 0x50, 1, fkt, 0xC, data.data(), length, path, text, u);
        m->GetParamHexValue(1, "", 0x50, 1, fkt, 0xC, data.data(), length, path, bytes);
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    YFciFCatManagerImpl* m = Manager();
    if (!m || size < 4) return 0;
    Reader in(data, size);
    uint32_t fkt = 0x100 + in.Byte() % kFunctions;
    uint8_t flags = in.Byte();
    size_t length = in.Byte();
    length |= size_t(in.Byte()) << 8;
    if (length > 4096) length = 4096;
    std::string hex;
    for (size_t i = 0; i < length && !in.AtEnd(); ++i)
        hex.push_back(static_cast<char>(in.Byte()));

    std::unique_ptr<YFciMessage> msg(m->CreateMessage(1, "", 0x50, 1, (flags >> 3) & 3, fkt,
                                                      (flags & 4) ? 0x0 : 0xC, flags & 3));
    if (!msg) return 0;
    msg->SetHexdumpStr(hex);
    Show(*msg);
    for (int steps = 0; steps < 48 && !in.AtEnd(); ++steps) {
        Step(in, msg, m);
        Show(*msg);
    }
    return 0;
}
