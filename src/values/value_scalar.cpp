// The scalar value kinds: numbers, enumerations, bools with their bool
// fields, strings, signals, raw streams and remaining bytes.
#include <climits>

#include "import/text_read.h"
#include "params/param_bool.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "decoding/value_text.h"
#include "platform/hex.h"
#include "platform/strings.h"
#include "values/value_impl.h"

namespace mostfcat {

namespace {

std::string Condensed(const std::vector<uint8_t>& bytes) {
    std::string out;
    AppendHex(out, bytes.data(), bytes.size());
    return out;
}

// Hex input for a fixed number of bytes: exactly n bytes, else nothing.
bool HexBytes(const std::string& text, size_t n, std::vector<uint8_t>& out) {
    std::vector<uint8_t> bytes;
    if (!YFciHexdumpHelper::StringToBytes(bytes, text) || bytes.size() != n) return false;
    out.swap(bytes);
    return true;
}

std::string HexPrefix(uint32_t mode) {
    return (mode & 0x10) && (mode & 0x20) ? "0x" : "";
}

} // namespace

// --- shared scalar behaviour ------------------------------------------------------------

bool YScalarImpl::TakeBytes(YValueContext& ctx) {
    uint32_t n = static_cast<uint32_t>(m_Bytes.size());
    bool defined = ctx.Defined(ctx.m_Pos, n);
    if (defined)
        ctx.Copy(ctx.m_Pos, n, m_Bytes);
    else
        m_Bytes.assign(n, 0);
    ctx.m_Pos += n;
    return defined;
}

uint64_t YScalarImpl::BytesValue() const {
    return ReadBigEndian(m_Bytes.data(), m_Bytes.size() > 8 ? 8 : m_Bytes.size());
}

void YScalarImpl::AppendBytesOrUnderscores(std::string& out) const {
    if (m_Defined)
        AppendHex(out, m_Bytes.data(), m_Bytes.size());
    else
        out.append(2 * m_Bytes.size(), '_');
}

// --- numbers -----------------------------------------------------------------------------

namespace {

const YMTParamNumber* NumberDef(const YMTParam* d) {
    return static_cast<const YMTParamNumber*>(d);
}

} // namespace

void YNumberImpl::SetDefinition(const YMTParam* definition) {
    YFciParamImpl::SetDefinition(definition);
    m_Bytes.assign(DefinitionSize(), 0);
}

const std::string& YNumberImpl::Unit() const {
    return Def() ? NumberDef(Def())->UnitName() : YFciParamImpl::Unit();
}

uint32_t YNumberImpl::ValueType() const {
    return Def() ? NumberDef(Def())->DataTypeClass() : 0;
}

double YNumberImpl::Value() const {
    size_t n = m_Bytes.size();
    if (n == 0 || n > 4) return 0;
    uint32_t raw = static_cast<uint32_t>(BytesValue());
    switch (ValueType()) {
    case 0:
    case 1:
    case 2:
        return raw;
    case 3:
        return static_cast<int8_t>(raw);
    case 4:
        return static_cast<int16_t>(raw);
    case 5:
        return static_cast<int32_t>(raw);
    default:
        return 0;
    }
}

double YNumberImpl::MinValue() const {
    if (!Def()) return 0;
    const YMTParamNumber* d = NumberDef(Def());
    return (d->RangeMin() == 0 && d->RangeMax() == 0) ? d->ClassMin() : d->RangeMin();
}

double YNumberImpl::MaxValue() const {
    if (!Def()) return 0;
    const YMTParamNumber* d = NumberDef(Def());
    return (d->RangeMin() == 0 && d->RangeMax() == 0) ? d->ClassMax() : d->RangeMax();
}

bool YNumberImpl::IsValueValid() const {
    if (!m_Defined) return false;
    double v = Value();
    return MinValue() <= v && v <= MaxValue();
}

long YNumberImpl::Exponent() const {
    return Def() ? NumberDef(Def())->Exponent() : 0;
}

bool YNumberImpl::UserInputStringToValue(const std::string& text, double& value) const {
    return Def() && NumberDef(Def())->ParseNumberInput(text, value);
}

bool YNumberImpl::RelayoutOnChange() const {
    // A length shapes what follows it; a multiplexer chooses a stream case
    // or an element: the tree is decoded again when either changes.
    return ParamMeaning() == kMeaningLength || IsMultiplexorParam();
}

void YNumberImpl::Disassemble(YValueContext& ctx) {
    uint32_t n = static_cast<uint32_t>(m_Bytes.size());
    uint32_t pos = ctx.m_Pos;
    m_Wildcard = 0;
    const std::string& text = ctx.Text();
    if (n >= 2 && uint64_t(pos) + n <= ctx.Size()) {
        std::string tail = text.substr(2 * size_t(pos + n) - 4, 4);
        m_Wildcard = tail == "NNNN" ? 1 : tail == "GGGG" ? 2 : tail == "PPPP" ? 3 : 0;
    } else if (n == 1 && pos < ctx.Size() && text.compare(2 * size_t(pos), 2, "PP") == 0) {
        m_Wildcard = 4;
    }
    bool defined = TakeBytes(ctx);
    m_Defined = m_Wildcard == 0 && defined;
    if (!m_Defined) m_Bytes.assign(n, 0);
    if (!m_Defined && IsPosition()) {
        m_Defined = true;
        m_Wildcard = 0;
    }
    if (IsMultiplexorParam()) ctx.RecordSelector(Def(), this);
    if (Def() && NumberDef(Def())->IsCountSource()) ctx.RecordCount(Def(), this);
}

void YNumberImpl::AppendValueHexdumpStr(std::string& out) {
    size_t digits = 2 * m_Bytes.size();
    if (!m_Defined && m_Wildcard >= 1 && m_Wildcard <= 3 && digits >= 4) {
        static const char* const kText[] = {"", "NNNN", "GGGG", "PPPP"};
        out.append(digits - 4, '0');
        out += kText[m_Wildcard];
    } else if (!m_Defined && m_Wildcard == 4 && digits >= 2) {
        out.append(digits - 2, '0');
        out += "PP";
    } else {
        AppendBytesOrUnderscores(out);
    }
}

bool YNumberImpl::IsPosition() const {
    uint32_t meaning = ParamMeaning();
    return meaning == kMeaningArrayPos || meaning == kMeaningArrayTag ||
           meaning == kMeaningArrayPosY;
}

void YNumberImpl::SetHexInput(const std::string& text) {
    size_t n = m_Bytes.size();
    size_t letter = text.find_first_of("ngpNGP");
    if (IsPosition() && letter != std::string::npos) {
        // A position selects an element: without a value it selects the
        // first, as decoding an undefined position does.
        m_Bytes.assign(n, 0);
        m_Defined = true;
        m_Wildcard = 0;
        UpdateLayout();
        return;
    }
    if (n >= 2 && letter != std::string::npos) {
        char c = LowerAscii(text[letter]);
        m_Wildcard = c == 'n' ? 1 : c == 'g' ? 2 : 3;
        m_Bytes.assign(n, 0);
        m_Defined = false;
    } else if (n >= 1 && text.find_first_of("pP") != std::string::npos) {
        m_Wildcard = 4;
        m_Bytes.assign(n, 0);
        m_Defined = false;
    } else if (HexBytes(text, n, m_Bytes)) {
        m_Defined = true;
        m_Wildcard = 0;
    } else {
        m_Bytes.assign(n, 0);
        m_Defined = false;
        m_Wildcard = 0;
    }
    UpdateLayout();
}

void YNumberImpl::SetValueHexdumpStr(const std::string& text) {
    SetHexInput(text);
    NotifyChanged(RelayoutOnChange());
}

bool YNumberImpl::EncodeValue(double value) {
    std::vector<uint8_t> bytes;
    if (!Def() || !NumberDef(Def())->EncodeNumber(value, bytes)) return false;
    m_Bytes.swap(bytes);
    m_Defined = true;
    m_Wildcard = 0;
    UpdateLayout();
    return true;
}

bool YNumberImpl::SetValue(double value) {
    bool ok = EncodeValue(value);
    NotifyChanged(RelayoutOnChange());
    return ok;
}

bool YNumberImpl::SetUserInputStr(const std::string& input, bool& changed) {
    double before = Value();
    uint32_t wildcard = m_Wildcard;
    bool defined = m_Defined;
    if (!m_Bytes.empty() && input.find_first_of("ngpNGP") != std::string::npos) {
        if (IsPosition()) return false; // a position takes no wildcard
        SetHexInput(input);
    } else {
        double raw = 0;
        if (!UserInputStringToValue(input, raw) || !EncodeValue(raw)) return false;
    }
    changed = !(defined && m_Defined == defined && Value() == before && m_Wildcard == wildcard);
    NotifyChanged(RelayoutOnChange());
    return true;
}

std::string YNumberImpl::UserInputStr(uint32_t mode) {
    if (m_Defined) {
        if (mode & 0x10) return HexPrefix(mode) + Condensed(m_Bytes);
        double v = Value();
        return ValueType() == 2 ? UIntText(static_cast<uint32_t>(v))
                                : IntText(static_cast<int64_t>(v));
    }
    switch (m_Wildcard) {
    case 1:
        return "NNNN";
    case 2:
        return "GGGG";
    case 3:
        return "PPPP";
    case 4:
        return "PP";
    default:
        return std::string();
    }
}

bool YNumberImpl::SelectorValue(uint32_t& out) const {
    out = m_Defined ? static_cast<uint32_t>(BytesValue()) : 0;
    return m_Defined;
}

// --- enumerations ---------------------------------------------------------------------

namespace {

const YMTParamEnum* EnumDef(const YMTParam* d) {
    return static_cast<const YMTParamEnum*>(d);
}

} // namespace

void YEnumImpl::SetDefinition(const YMTParam* definition) {
    YFciParamImpl::SetDefinition(definition);
    m_Bytes.assign(DefinitionSize(), 0);
}

long YEnumImpl::Value() const {
    return m_Defined ? static_cast<long>(BytesValue()) : -1;
}

long YEnumImpl::MaxValue() const {
    return Def() ? EnumDef(Def())->EnumMax() : 0;
}

uint32_t YEnumImpl::ValueType() const {
    return m_Bytes.size() == 2 ? 1 : 0;
}

bool YEnumImpl::IsValueValid() const {
    return m_Defined && Value() <= MaxValue();
}

void YEnumImpl::Disassemble(YValueContext& ctx) {
    m_Defined = TakeBytes(ctx);
    if (IsMultiplexorParam()) ctx.RecordSelector(Def(), this);
}

std::vector<std::string> YEnumImpl::ValueList(uint32_t mode) const {
    std::vector<std::string> list;
    if (Def()) EnumDef(Def())->ListEntries(list, mode);
    return list;
}

std::string YEnumImpl::FormatValue(uint32_t value, uint32_t mode) const {
    if (!Def()) return std::string();
    const YMTParamEnum* d = EnumDef(Def());
    return d->FormatEntry(value, d->CodeText(value, true), mode);
}

std::string YEnumImpl::UserInputStr(uint32_t mode) {
    return m_Defined ? FormatValue(static_cast<uint32_t>(Value()), mode) : std::string();
}

bool YEnumImpl::UserInputStringToValue(const std::string& text, long& value) const {
    if (text.empty() || !Def()) return false;
    if (const YMTEnumValue* v = EnumDef(Def())->FindValueByName(text)) {
        value = v->CodeMin();
        return true;
    }
    int64_t number = 0;
    if (!ReadNumber(text.substr(0, text.find(':')), number)) return false;
    if (number < 0 || number > int64_t(UINT32_MAX)) return false;
    value = static_cast<long>(number);
    return true;
}

void YEnumImpl::AppendValueHexdumpStr(std::string& out) {
    AppendBytesOrUnderscores(out);
}

void YEnumImpl::SetValueHexdumpStr(const std::string& text) {
    size_t n = m_Bytes.size();
    m_Defined = HexBytes(text, n, m_Bytes);
    if (!m_Defined) m_Bytes.assign(n, 0);
    UpdateLayout();
    NotifyChanged(IsMultiplexorParam());
}

bool YEnumImpl::SetValue(long code) {
    std::vector<uint8_t> bytes;
    if (code < 0 || !Def() || !EnumDef(Def())->EncodeEnum(static_cast<uint32_t>(code), bytes))
        return false;
    SetValueHexdumpStr(Condensed(bytes));
    return true;
}

bool YEnumImpl::SetUserInputStr(const std::string& input, bool& changed) {
    changed = false;
    long value = 0;
    if (!UserInputStringToValue(input, value)) return false;
    if (m_Defined && value == Value()) return true;
    if (!SetValue(value)) return false;
    changed = true;
    return true;
}

bool YEnumImpl::SelectorValue(uint32_t& out) const {
    out = m_Defined ? static_cast<uint32_t>(BytesValue()) : 0;
    return m_Defined;
}

// --- bools and bit fields ---------------------------------------------------------------

namespace {

const YMTParamBool* BoolDef(const YMTParam* d) {
    return static_cast<const YMTParamBool*>(d);
}

} // namespace

YBoolImpl::~YBoolImpl() {
    DropFields();
}

void YBoolImpl::DropFields() {
    std::vector<YFciParam*> fields;
    fields.swap(m_Fields);
    m_FieldsMade = false;
    for (YFciParam* f : fields)
        delete f;
}

void YBoolImpl::SetDefinition(const YMTParam* definition) {
    YFciParamImpl::SetDefinition(definition);
    m_Bytes.assign(DefinitionSize(), 0);
}

uint32_t YBoolImpl::ValueType() const {
    size_t n = m_Bytes.size();
    return n <= 1 ? 0 : n == 2 ? 1 : 2;
}

uint64_t YBoolImpl::MaxValue() const {
    return Def() ? BoolDef(Def())->AllBitsMask() : 0;
}

bool YBoolImpl::ParseInput(const std::string& text, uint64_t& value) const {
    return Def() && BoolDef(Def())->ParseValue(text, value);
}

void YBoolImpl::MakeFields() {
    DropFields();
    m_FieldsMade = true;
    if (!Def()) return;
    const YMTParamBool* d = BoolDef(Def());
    uint32_t bits = static_cast<uint32_t>(m_Bytes.size()) * 8;
    m_Fields.reserve(bits < 64 ? bits : 64);
    for (uint32_t bit = 0; bit < bits && bit < 64; ++bit) {
        const YMTParamBoolField* fd = d->BoolFieldAt(bit);
        if (!fd) continue;
        YFciParam* h = CreateValue(fd, m_Message);
        if (!h) continue;
        h->Impl()->SetActive(true);
        h->Impl()->Attach(this, m_Depth + 1, &m_Fields);
        m_Fields.push_back(h);
    }
    SyncFields();
}

void YBoolImpl::SyncFields() {
    uint64_t value = BytesValue();
    for (YFciParam* f : m_Fields) {
        auto* field = ImplOf<YBoolFieldImpl>(f);
        uint32_t bit = field->BitPosition();
        field->SetState(!m_Defined ? 2 : ((value >> bit) & 1) ? 0 : 1);
    }
}

void YBoolImpl::Disassemble(YValueContext& ctx) {
    m_Defined = TakeBytes(ctx);
    DropFields();
}

void YBoolImpl::AppendValueHexdumpStr(std::string& out) {
    AppendBytesOrUnderscores(out);
}

void YBoolImpl::SetValueHexdumpStr(const std::string& text) {
    size_t n = m_Bytes.size();
    m_Defined = HexBytes(text, n, m_Bytes);
    if (!m_Defined) m_Bytes.assign(n, 0);
    SyncFields();
    NotifyChanged(false);
}

void YBoolImpl::SetValueHexdump(const std::vector<uint8_t>& bytes) {
    if (bytes.size() == m_Bytes.size()) {
        m_Bytes = bytes;
        m_Defined = true;
    } else {
        m_Bytes.assign(m_Bytes.size(), 0);
        m_Defined = false;
    }
    SyncFields();
    NotifyChanged(false);
}

void YBoolImpl::SetValue(uint64_t value, bool notify) {
    std::vector<uint8_t> bytes;
    if (!Def() || !BoolDef(Def())->ValueToBytes(value, bytes)) return;
    if (bytes.size() == m_Bytes.size()) {
        m_Bytes.swap(bytes);
        m_Defined = true;
    }
    SyncFields();
    if (notify) NotifyChanged(false);
}

void YBoolImpl::SetBit(uint32_t bitPos, bool set) {
    size_t n = m_Bytes.size();
    if (bitPos / 8 >= n) return;
    uint8_t& byte = m_Bytes[n - 1 - bitPos / 8];
    uint8_t mask = static_cast<uint8_t>(1u << (bitPos % 8));
    byte = set ? (byte | mask) : (byte & ~mask);
    m_Defined = true;
    SyncFields();
    NotifyChanged(false);
}

bool YBoolImpl::SetUserInputStr(const std::string& input, bool& changed) {
    std::string before = ValueHexdumpStr();
    uint64_t value = 0;
    if (!ParseInput(input, value) || value > MaxValue()) {
        changed = false;
        return false;
    }
    SetValue(value, false);
    changed = !EqualsNoCase(ValueHexdumpStr(), before);
    NotifyChanged(false);
    return true;
}

std::string YBoolImpl::UserInputStr(uint32_t mode) {
    if (!m_Defined) return std::string();
    if (mode & 0x30) return ((mode & 0x20) ? "0x" : "") + Condensed(m_Bytes);
    return UIntText(BytesValue());
}

YFciParam* YBoolImpl::FindByPath(const YParamPath& path) {
    if (YFciParam* p = YFciParamImpl::FindByPath(path)) return p;
    if (!MatchesPathElement(path) || path.size() <= size_t(m_Depth) + 1) return nullptr;
    for (YFciParam* f : Fields())
        if (YFciParam* p = f->Impl()->FindByPath(path)) return p;
    return nullptr;
}

void YBoolImpl::ForgetOutside() {
    // The fields are made while the definition is still known, so that a
    // value that outlives its message keeps them.
    Fields();
    YFciParamImpl::ForgetOutside();
    for (YFciParam* f : m_Fields)
        f->Impl()->ForgetOutside();
}

// --- bool fields ---------------------------------------------------------------------------

unsigned YBoolFieldImpl::BitPosition() const {
    return ParamIdx();
}

std::string YBoolFieldImpl::FormatValue(uint32_t value, uint32_t mode) const {
    if (value == 2) return std::string();
    std::string numeric = HexPrefix(mode) + (value == 0 ? "1" : "0");
    std::string symbolic;
    if (const auto* d = static_cast<const YMTParamBoolField*>(Def()))
        symbolic = value == 0 ? d->TrueDesc() : d->FalseDesc();
    bool showNumber = (mode & 0x1) != 0;
    bool showText = (mode & 0x2) != 0;
    if (showNumber && showText) return numeric + ": " + symbolic;
    if (showNumber) return numeric;
    if (showText) return symbolic;
    return std::string();
}

std::vector<std::string> YBoolFieldImpl::ValueList(uint32_t mode) const {
    return {FormatValue(0, mode), FormatValue(1, mode)};
}

void YBoolFieldImpl::AppendValueHexdumpStr(std::string& out) {
    if (m_BoolValue != 2) out += m_BoolValue == 0 ? '1' : '0';
}

void YBoolFieldImpl::SetValue(uint32_t state) {
    if (state > 2) return;
    m_BoolValue = state;
    if (state == 2) return;
    if (auto* b = dynamic_cast<YBoolImpl*>(m_ParentEntity))
        b->SetBit(BitPosition(), state == 0);
    else
        NotifyChanged(false);
}

void YBoolFieldImpl::SetValueHexdumpStr(const std::string& text) {
    std::string t = Trim(text);
    if (t == "0")
        SetValue(1);
    else if (t == "1")
        SetValue(0);
}

bool YBoolFieldImpl::SetUserInputStr(const std::string& input, bool& changed) {
    uint32_t before = m_BoolValue;
    SetValueHexdumpStr(input);
    changed = m_BoolValue != before;
    return true;
}

// --- strings -------------------------------------------------------------------------------

namespace {

const YMTParamString* StringDef(const YMTParam* d) {
    return static_cast<const YMTParamString*>(d);
}

} // namespace

bool YStringImpl::FitsMaxSize(size_t characters) const {
    uint64_t bytes = uint64_t(characters) * (m_Encoding == 0 ? 2 : 1);
    return MaxSize() == ULONG_MAX || bytes <= MaxSize();
}

bool YStringImpl::IsValueValid() const {
    return m_Defined && FitsMaxSize(m_Bytes.size() / (m_Encoding == 0 ? 2 : 1));
}

bool YStringImpl::HasEncodingByte() const {
    return Def() && StringDef(Def())->HasEncodingByte();
}

unsigned long YStringImpl::MaxSize() const {
    if (!Def() || StringDef(Def())->MaxSize() < 0) return ULONG_MAX;
    return static_cast<unsigned long>(StringDef(Def())->MaxSize());
}

void YStringImpl::Disassemble(YValueContext& ctx) {
    uint32_t pos = ctx.m_Pos;
    uint32_t end = ctx.Size();
    m_Bytes.clear();
    m_Terminator.clear();
    m_EncodingState = kAbsent;
    m_TerminatorState = kAbsent;
    bool valid = true;
    if (HasEncodingByte()) {
        m_Encoding = (ctx.DecodeOptions() & 0x2) ? 0 : 1;
        if (pos < end) {
            if (ctx.Defined(pos, 1)) {
                m_Encoding = ctx.Byte(pos);
                m_EncodingState = kPresent;
            } else {
                m_EncodingState = kUndefined;
            }
            ++pos;
        }
    } else {
        m_Encoding = 1;
    }
    uint32_t width = m_Encoding == 0 ? 2 : 1;
    while (pos < end) {
        uint32_t n = end - pos < width ? end - pos : width;
        if (!ctx.Defined(pos, n)) {
            // Bytes written without hex digits end an undefined string: its
            // place in the text stays as it was given.
            m_Terminator.assign(width, 0);
            m_TerminatorState = kUndefined;
            pos += n;
            break;
        }
        if (n < width) { // half a character at the end of the payload
            m_Bytes.push_back(ctx.Byte(pos++));
            break;
        }
        bool zero = ctx.Byte(pos) == 0 && (width == 1 || ctx.Byte(pos + 1) == 0);
        if (!zero) {
            for (uint32_t k = 0; k < width; ++k)
                m_Bytes.push_back(ctx.Byte(pos++));
            continue;
        }
        m_Terminator.assign(width, 0);
        pos += width;
        if (m_Encoding == 7) {
            // The zero byte is followed by one more byte of the string.
            if (pos >= end) {
                m_Terminator.clear();
                break;
            }
            valid = valid && ctx.Defined(pos, 1);
            m_Terminator.push_back(ctx.Byte(pos++));
        }
        m_TerminatorState = kPresent;
        break;
    }
    m_Defined = valid && m_TerminatorState == kPresent &&
                (!HasEncodingByte() || m_EncodingState == kPresent);
    ctx.m_Pos = pos;
}

bool YStringImpl::IsAbsent() const {
    return m_EncodingState == kAbsent && m_Bytes.empty() && m_TerminatorState == kAbsent;
}

std::vector<uint8_t> YStringImpl::ValueHexdump() {
    // A string the payload lacks stands for the empty text, so that the bytes
    // of the values after it stay in their places.
    bool absent = IsAbsent();
    std::vector<uint8_t> out;
    if (HasEncodingByte() && (absent || m_EncodingState != kAbsent))
        out.push_back(static_cast<uint8_t>(m_Encoding));
    out.insert(out.end(), m_Bytes.begin(), m_Bytes.end());
    if (absent)
        out.insert(out.end(), m_Encoding == 0 ? 2 : 1, 0);
    else
        out.insert(out.end(), m_Terminator.begin(), m_Terminator.end());
    return out;
}

void YStringImpl::AppendValueHexdumpStr(std::string& out) {
    // Undefined parts show as "__", as undefined numbers do: a string the
    // payload lacks keeps a place of an encoding byte and a terminator.
    bool absent = IsAbsent();
    if (HasEncodingByte()) {
        uint8_t code = static_cast<uint8_t>(m_Encoding);
        if (m_EncodingState == kPresent)
            AppendHex(out, &code, 1);
        else if (absent || m_EncodingState == kUndefined)
            out += "__";
    }
    AppendHex(out, m_Bytes.data(), m_Bytes.size());
    if (m_TerminatorState == kPresent)
        AppendHex(out, m_Terminator.data(), m_Terminator.size());
    else if (m_TerminatorState == kUndefined || absent)
        out.append(2 * (m_Encoding == 0 ? 2 : 1), '_');
}

std::string YStringImpl::Value() const {
    std::string out;
    if (m_Encoding == 0) {
        for (size_t i = 0; i + 1 < m_Bytes.size(); i += 2)
            out.push_back(m_Bytes[i] == 0 ? static_cast<char>(m_Bytes[i + 1]) : '?');
        return out;
    }
    return std::string(m_Bytes.begin(), m_Bytes.end());
}

void YStringImpl::SetValueHexdumpStr(const std::string& text) {
    YValueContext ctx(text, DecodeOptions());
    Disassemble(ctx);
    NotifyChanged(false);
}

void YStringImpl::SetValue(const std::string& text) {
    if (!Def()) return;
    // The same text again changes nothing (an encoding-7 string keeps the
    // byte after its terminator).
    if (m_Defined && text == Value()) return;
    std::vector<uint8_t> bytes;
    StringDef(Def())->EncodeString(text, static_cast<uint8_t>(m_Encoding), bytes);
    if (m_Encoding == 7 && m_TerminatorState == kPresent && m_Terminator.size() == 2 &&
        !bytes.empty())
        bytes.back() = m_Terminator.back();
    SetValueHexdumpStr(Condensed(bytes));
}

bool YStringImpl::SetUserInputStr(const std::string& input, bool& changed) {
    changed = false;
    // A new text longer than the catalog allows is refused.
    if (!FitsMaxSize(input.size()) && !(m_Defined && input == Value())) return false;
    std::string before = ValueHexdumpStr();
    bool wasDefined = m_Defined;
    SetValue(input);
    changed = before != ValueHexdumpStr() || wasDefined != m_Defined;
    return true;
}

void YStringImpl::SetHexdump(const std::vector<uint8_t>& bytes) {
    SetValueHexdumpStr(Condensed(bytes));
}

void YStringImpl::SetEncoding(uint32_t encoding) {
    if (encoding > 255 || encoding == m_Encoding || !HasEncodingByte()) return;
    // The text stays; its bytes follow the new encoding.
    std::string text = Value();
    m_Encoding = encoding;
    m_EncodingState = kPresent;
    m_Defined = false;
    SetValue(text);
}

// --- signals ----------------------------------------------------------------------------

namespace {

const YMTParamSignal* SignalDef(const YMTParam* d) {
    return static_cast<const YMTParamSignal*>(d);
}

} // namespace

long YSignalImpl::BitLength() const {
    return Def() ? SignalDef(Def())->BitLength() : 0;
}

bool YSignalImpl::IsSigned() const {
    return Def() && SignalDef(Def())->IsSigned();
}

bool YSignalImpl::IsBigEndian() const {
    return !Def() || SignalDef(Def())->IsBigEndian();
}

bool YSignalImpl::IsDescriptionParam() const {
    return Def() && SignalDef(Def())->HasNoBits();
}

void YSignalImpl::SetDefinition(const YMTParam* definition) {
    YFciParamImpl::SetDefinition(definition);
    long n = BitLength();
    m_Bytes.assign(n > 0 ? static_cast<size_t>((n + 7) / 8) : 0, 0);
}

int64_t YSignalImpl::MinValue() const {
    long n = BitLength();
    if (!IsSigned() || n < 1) return 0;
    return n >= 64 ? INT64_MIN : -(int64_t(1) << (n - 1));
}

uint64_t YSignalImpl::MaxValue() const {
    long n = BitLength();
    if (n < 1) return 0;
    if (IsSigned()) return n >= 64 ? uint64_t(INT64_MAX) : (uint64_t(1) << (n - 1)) - 1;
    return n >= 64 ? ~uint64_t(0) : (uint64_t(1) << n) - 1;
}

void YSignalImpl::Disassemble(YValueContext& ctx) {
    long bits = BitLength();
    if (bits <= 0) return;
    uint32_t n = static_cast<uint32_t>(bits);
    uint32_t o = ctx.m_BitPos;
    uint32_t pos = ctx.m_Pos;
    bool lsbFirst = !IsBigEndian();
    m_Bytes.assign((n + 7) / 8, 0);
    uint32_t t = lsbFirst ? 0 : (8 - n % 8) % 8;
    for (uint32_t k = o; k < o + n; ++k, ++t) {
        uint8_t src = ctx.Byte(pos + k / 8);
        bool set = lsbFirst ? (src >> (k % 8)) & 1 : (src >> (7 - k % 8)) & 1;
        if (set)
            m_Bytes[t / 8] |= static_cast<uint8_t>(lsbFirst ? 1u << (t % 8) : 0x80u >> (t % 8));
    }
    m_Defined = ctx.Defined(pos, (o + n + 7) / 8);
    ctx.m_Pos = pos + (o + n) / 8;
    ctx.m_BitPos = static_cast<uint16_t>((o + n) % 8);
}

uint64_t YSignalImpl::Value() const {
    return Def() ? SignalDef(Def())->SignalInt(m_Bytes) : 0;
}

bool YSignalImpl::SetValue(uint64_t value) {
    std::vector<uint8_t> bytes;
    if (!Def() || !SignalDef(Def())->EncodeSignal(value, bytes)) return false;
    m_Bytes.swap(bytes);
    m_Defined = true;
    NotifyChanged(false);
    return true;
}

bool YSignalImpl::SetValueHexdump(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != m_Bytes.size()) return false;
    m_Bytes = bytes;
    m_Defined = true;
    NotifyChanged(false);
    return true;
}

void YSignalImpl::AppendValueHexdumpStr(std::string& out) {
    AppendHex(out, m_Bytes.data(), m_Bytes.size());
}

bool YSignalImpl::Encode(const std::string& text, std::vector<uint8_t>& out) const {
    uint64_t value = 0;
    return Def() && SignalDef(Def())->ParseSignalInput(text, value) &&
           SignalDef(Def())->EncodeSignal(value, out);
}

void YSignalImpl::SetValueHexdumpStr(const std::string& text) {
    std::vector<uint8_t> bytes;
    if (!Encode(text, bytes)) return;
    m_Bytes.swap(bytes);
    m_Defined = true;
}

bool YSignalImpl::SetUserInputStr(const std::string& input, bool& changed) {
    changed = false;
    std::vector<uint8_t> bytes;
    // A value that does not fit the signal is refused like an unreadable one.
    if (!Encode(input, bytes)) return false;
    if (m_Defined && bytes == m_Bytes) return true;
    m_Bytes.swap(bytes);
    m_Defined = true;
    changed = true;
    NotifyChanged(false);
    return true;
}

std::string YSignalImpl::UserInputStr(uint32_t mode) {
    if (!m_Defined || !Def()) return std::string();
    return HexPrefix(mode) + SignalDef(Def())->SignalText(m_Bytes, (mode & 0x10) != 0);
}

// --- raw streams and remaining bytes -------------------------------------------------------------

bool YRawImpl::IsValueDefined() const {
    return m_Kind == eFciParamRemain ? !m_Bytes.empty() : m_Defined;
}

unsigned long YRawImpl::MaxLength() const {
    if (m_Kind != eFciParamRawStream || !Def()) return 0;
    return static_cast<const YMTParamRawStream*>(Def())->Length();
}

void YRawImpl::Store(const YValueContext& ctx, uint32_t pos, uint32_t n) {
    ctx.Copy(pos, n, m_Bytes);
    m_Text = ctx.TextOf(pos, n);
    m_Defined = ctx.Defined(pos, n);
}

void YRawImpl::Disassemble(YValueContext& ctx) {
    uint32_t left = ctx.Left();
    uint32_t n = left;
    if (m_Kind == eFciParamRawStream) {
        uint32_t limit = ctx.StreamLimit();
        if (limit != YValueContext::kNone)
            n = left < limit ? left : limit;
        else if (MaxLength() != 0 && MaxLength() < left)
            n = static_cast<uint32_t>(MaxLength());
    }
    Store(ctx, ctx.m_Pos, n);
    ctx.m_Pos += n;
    // A raw stream of fixed length that the payload does not fill keeps the
    // place of its missing bytes ("__"), as an undefined number does (the
    // contents of short and classified streams follow their length fields).
    const auto* parent = dynamic_cast<const YFciParamImpl*>(m_ParentEntity);
    bool counted = parent && (parent->ParamType() == eFciParamCStream ||
                              parent->ParamType() == eFciParamRawShortStream);
    if (m_Kind == eFciParamRawStream && ctx.StreamLimit() == YValueContext::kNone && !counted &&
        MaxLength() > n) {
        size_t missing = MaxLength() - n;
        m_Bytes.resize(m_Bytes.size() + missing, 0);
        m_Text.append(2 * missing, '_');
        m_Defined = false;
    }
}

void YRawImpl::SetValueHexdumpStr(const std::string& text) {
    YValueContext ctx(text, 0);
    Store(ctx, 0, ctx.PayloadSize());
    NotifyChanged(false);
}

void YRawImpl::SetHexdump(const std::vector<uint8_t>& bytes) {
    SetValueHexdumpStr(Condensed(bytes));
}

bool YRawImpl::IsLastBytes() const {
    if (m_Kind == eFciParamRemain) return true;
    if (MaxLength() != 0) return false;
    // This value and each structure around it stand last in their lists, and
    // none of them has a length field that counts these bytes.
    const YFciParamImpl* v = this;
    while (v) {
        const std::vector<YFciParam*>* list = v->SiblingList();
        if (!list || list->empty() || list->back() != v->Handle()) return false;
        YFciParamIDEntity* parent = v->ParentEntity();
        if (dynamic_cast<YValueOwner*>(parent)) return true;
        v = dynamic_cast<const YFciParamImpl*>(parent);
        if (!v) return false;
        uint32_t kind = v->ParamType();
        if (kind == eFciParamDetailedShortStream || kind == eFciParamCStream ||
            kind == eFciParamRawShortStream)
            return false;
    }
    return false;
}

bool YRawImpl::SetUserInputStr(const std::string& input, bool& changed) {
    changed = false;
    std::vector<uint8_t> bytes;
    std::string hex = input;
    if (hex.size() >= 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) hex.erase(0, 2);
    if (!YFciHexdumpHelper::StringToBytes(bytes, hex)) return false;
    // Only bytes at the end of the message may change their count: anywhere
    // else the text would decode into other values than the tree holds.
    if (bytes.size() != m_Bytes.size() && !IsLastBytes()) return false;
    changed = bytes != m_Bytes || !m_Defined;
    YValueContext ctx(Condensed(bytes), 0);
    Store(ctx, 0, ctx.PayloadSize());
    // Remaining bytes that become none leave the tree: decode it again.
    NotifyChanged(m_Kind == eFciParamRemain && m_Bytes.empty());
    return true;
}

std::string YRawImpl::UserInputStr(uint32_t mode) {
    return HexPrefix(mode) + m_Text;
}

} // namespace mostfcat
