// Signals: bit fields of a stream case.
#include <charconv>
#include <vector>

#include "import/import_log.h"
#include "import/text_read.h"
#include "import/xml.h"
#include "decoding/disasm_context.h"
#include "mostfcat/hexdump.h"
#include "params/param_stream.h"
#include "decoding/value_text.h"
#include "platform/strings.h"
#include "tree/identifiers.h"

namespace mostfcat {

using Ctx = YImportContext;

template <class Ar> void YMTParamSignal::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    uint8_t little = m_LittleEndian ? 1 : 0;
    uint8_t isSigned = m_IsSigned ? 1 : 0;
    ar.Serialize8(little);
    ar.Serialize8(isSigned);
    ar.Serialize32(m_BitLength);
    ar.Serialize32(m_BitPos);
    m_LittleEndian = little != 0;
    m_IsSigned = isSigned != 0;
}

void YMTParamSignal::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamSignal::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamSignal::Dump(YImportContext&, YImportLog& log) {
    DumpLine(log, "PARAMSIGNAL: " + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log,
             StrFormat(".BitLength: %d  .Signedness: %d  .ByteOrder: %d",
                       static_cast<int>(m_BitLength), m_IsSigned ? 1 : 0, m_LittleEndian ? 1 : 0));
    return true;
}

bool YMTParamSignal::ImportXML(const XDomElement* element, YImportContext&, YImportLog& log) {
    std::string name;
    if (!Ctx::ChildText(element, "SignalName", name)) {
        log.LogError(10, "Can not find element <SignalName>", PathName());
        return false;
    }
    name = Trim(name);
    // Parameter names never begin with a digit; the sequence rebuild adapts
    // signal names the same way, so the signal must match it.
    bool adapted = FixLeadingDigit(name);
    m_Texts.SetName(name);
    if (adapted)
        log.LogWarning(221,
                       StrFormat("Adapted parameter name due to leading digit ('%s').",
                                 m_Texts.Name().c_str()),
                       PathName(), 1);
    std::string text;
    m_IsSigned = Ctx::GetAttr(element, "Signedness", text) && text == "Signed";
    std::string lengthText;
    if (!Ctx::ChildText(element, "SignalBitLength", lengthText)) {
        log.LogError(230, "Can not find child element <SignalBitLength>", PathName());
        return false;
    }
    int64_t bits = 0;
    if (!ReadNumber(lengthText, bits)) {
        log.LogError(228, StrFormat("Failed to analyze value '%s'", lengthText.c_str()),
                     PathName());
        return false;
    }
    if (bits < 0 || bits >= 65) {
        log.LogError(
            229,
            StrFormat("Value '%lld' out of range [%d, %d)", static_cast<long long>(bits), 0, 64),
            PathName());
        return false;
    }
    m_BitLength = static_cast<int32_t>(bits);
    SetBytesInMsg(static_cast<uint16_t>((m_BitLength + 7) / 8));
    std::string description;
    if (Ctx::ChildText(element, "SignalDescription", description))
        m_Texts.SetDescription(description);
    return true;
}

bool YMTParamSignal::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    const auto* s = static_cast<const YMTParamSignal*>(source);
    m_IsSigned = s->m_IsSigned;
    m_LittleEndian = s->m_LittleEndian;
    m_BitLength = s->m_BitLength;
    m_BitPos = s->m_BitPos;
    return true;
}

uint32_t YMTParamSignal::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = 18;
        return kAttrOk;
    case 1004:
        *value = m_BitLength == 0 ? 1 : 0;
        return kAttrOk;
    case 1005:
        *value = m_BitPos;
        return kAttrOk;
    case 1006:
        *value = static_cast<uint32_t>(m_BitLength);
        return kAttrOk;
    case 1014:
        *value = m_LittleEndian ? 0 : 1;
        return kAttrOk;
    case 1015:
        *value = m_IsSigned ? 1 : 0;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

// --- value conversions ---------------------------------------------------------------

namespace {

uint32_t Bits(int32_t bitLength) {
    return bitLength > 0 ? static_cast<uint32_t>(bitLength) : 0;
}

uint64_t LowMask(uint32_t n) {
    return n >= 64 ? ~uint64_t(0) : (uint64_t(1) << n) - 1;
}

} // namespace

uint64_t YMTParamSignal::SignalInt(const uint8_t* bytes, size_t size) const {
    std::vector<uint8_t> v(bytes, bytes + size);
    uint32_t n = Bits(m_BitLength);
    if (!m_IsSigned) return YFciHexdumpHelper::BytesToUInt64(v, m_LittleEndian);
    uint64_t value = static_cast<uint64_t>(YFciHexdumpHelper::BytesToInt64(v, m_LittleEndian));
    if (n >= 1 && n < 64 && value < (uint64_t(1) << n) && (value >> (n - 1)) & 1)
        value |= ~LowMask(n);
    return value;
}

std::string YMTParamSignal::SignalText(const std::vector<uint8_t>& bytes, bool hex) const {
    if (hex) return YFciHexdumpHelper::CondensedString(bytes);
    uint64_t v = SignalInt(bytes);
    return m_IsSigned ? IntText(static_cast<int64_t>(v)) : UIntText(v);
}

double YMTParamSignal::SignalValue(const std::vector<uint8_t>& bytes) const {
    uint64_t v = SignalInt(bytes);
    return m_IsSigned ? static_cast<double>(static_cast<int64_t>(v)) : static_cast<double>(v);
}

bool YMTParamSignal::SignalFits(uint64_t value) const {
    uint32_t n = Bits(m_BitLength);
    if (n == 0) n = 1;
    if (!m_IsSigned) return n >= 64 || (value >> n) == 0;
    if (n >= 64) return true;
    if (((value >> (n - 1)) & 1) == 0) return (value >> (n - 1)) == 0;
    return (value | LowMask(n)) == ~uint64_t(0);
}

bool YMTParamSignal::ParseSignalInput(const std::string& text, uint64_t& value) const {
    std::string s = text;
    if (s.size() > 1 && s[0] == '+') s.erase(0, 1);
    bool negative = false;
    if (s.size() > 1 && s[0] == '-') {
        negative = true;
        s.erase(0, 1);
    }
    size_t blanks = s.find_first_not_of(' ');
    s.erase(0, blanks == std::string::npos ? s.size() : blanks);
    uint32_t n = Bits(m_BitLength);
    uint64_t v = 0;
    if (s.size() >= 3 && (s.compare(0, 2, "0x") == 0 || s.compare(0, 2, "0X") == 0)) {
        auto r = std::from_chars(s.data() + 2, s.data() + s.size(), v, 16);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
        if (m_IsSigned && n >= 1 && n < 64 && ((v >> (n - 1)) & 1) && (v >> n) == 0)
            v |= ~LowMask(n);
    } else {
        auto r = std::from_chars(s.data(), s.data() + s.size(), v, 10);
        if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
    }
    if (negative) {
        if (!m_IsSigned) return false;
        v = uint64_t(0) - v;
    }
    value = v;
    return true;
}

bool YMTParamSignal::EncodeSignal(uint64_t value, std::vector<uint8_t>& out) const {
    if (!SignalFits(value)) return false;
    uint32_t n = Bits(m_BitLength);
    if (m_IsSigned) value &= LowMask(n);
    size_t bytes = (n + 7) / 8;
    out.assign(bytes, 0);
    for (size_t i = 0; i < bytes; ++i) {
        uint8_t b = static_cast<uint8_t>(value >> (8 * i));
        out[m_LittleEndian ? i : bytes - 1 - i] = b;
    }
    return true;
}

uint32_t YMTParamSignal::ConvertBytesToDouble(const uint8_t* bytes, uint32_t length,
                                              double* value) {
    uint32_t n = Bits(m_BitLength);
    if (!value || !bytes || n > 48) return kAttrNotAvailable;
    // The bits at the signal's own offset when the bytes reach that far,
    // else from the first bit.
    uint64_t have = uint64_t(length) * 8;
    uint32_t offset = have >= uint64_t(m_BitPos) + n ? m_BitPos : 0;
    if (have < uint64_t(offset) + n) return kAttrNotAvailable;
    std::vector<uint8_t> out((n + 7) / 8, 0);
    uint32_t t = m_LittleEndian ? 0 : (8 - n % 8) % 8;
    for (uint32_t k = offset; k < offset + n; ++k, ++t) {
        if (m_LittleEndian) {
            if (bytes[k / 8] & (1u << (k % 8))) out[t / 8] |= static_cast<uint8_t>(1u << (t % 8));
        } else {
            if (bytes[k / 8] & (0x80u >> (k % 8)))
                out[t / 8] |= static_cast<uint8_t>(0x80u >> (t % 8));
        }
    }
    *value = SignalValue(out);
    return kAttrOk;
}

// --- decoding and assembling --------------------------------------------------------

namespace {

void FillSignalEntry(DisasmContext& ctx, const YMTParamSignal& signal, YFciParamInfoImpl& e) {
    const std::vector<uint8_t>& bytes = e.Data();
    e.SetLittleEndian(!signal.IsBigEndian());
    if (ctx.Opt(kOptDecimalText | kOptValueText)) {
        std::string text = signal.SignalText(bytes, false);
        if (ctx.Opt(kOptDecimalText)) e.DecimalRef() = text;
        if (ctx.Opt(kOptValueText)) ctx.SetValueText(e, std::move(text));
    }
    if (ctx.Opt(kOptHexText)) e.HexRef() = signal.SignalText(bytes, true);
    if (ctx.Opt(kOptNumeric)) e.SetNumeric(signal.SignalValue(bytes));
    if (ctx.Opt(kOptRawValue)) e.SetUInt64(signal.SignalInt(bytes));
    e.SetValueFlag(signal.IsSigned());
}

void AdvanceBits(DisasmContext& ctx, uint32_t bits) {
    uint32_t total = ctx.m_BitPos + bits;
    ctx.m_Pos += total / 8;
    ctx.m_BitPos = static_cast<uint16_t>(total % 8);
}

} // namespace

bool YMTParamSignal::Disassemble(DisasmContext& ctx) {
    uint32_t n = Bits(m_BitLength);
    uint32_t pos = ctx.m_Pos;
    if (n == 0) {
        if (ctx.Opt(kOptHeads))
            ctx.AddEntry(ctx.NewEntry(kKindSignal, Entry(), nullptr, 0, pos, true, 0));
        return true;
    }
    if (!ctx.Fits(pos, (uint64_t(ctx.m_BitPos) + n + 7) / 8)) {
        if (ctx.Opt(kOptDiagLength))
            ctx.Diagnose(1, NameRef(), nullptr, 0, pos, EntryLevelOf(*this));
        return false;
    }
    std::vector<uint8_t> bytes = ctx.ReadBits(pos, ctx.m_BitPos, n, m_LittleEndian);
    YFciParamInfoImpl* e =
        ctx.NewEntry(kKindSignal, Entry(), bytes.data(), bytes.size(), pos, false, n);
    FillSignalEntry(ctx, *this, *e);
    ctx.AddEntry(e);
    AdvanceBits(ctx, n);
    return true;
}

bool YMTParamSignal::Assemble(DisasmContext& ctx) {
    bool done = false;
    if (!ctx.TakeInput(done)) return done;
    const std::string& input = ctx.CurrentInput();
    uint64_t value = 0;
    if (!InputHasShape(kKindSignal, input) || !ParseSignalInput(input, value)) {
        ctx.SetStatus(kAsmBadInput);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!EncodeSignal(value, bytes)) {
        ctx.SetStatus(kAsmNotConvertible);
        return false;
    }
    uint32_t n = Bits(m_BitLength);
    YFciParamInfoImpl* e =
        ctx.NewEntry(kKindSignal, Entry(), bytes.data(), bytes.size(), ctx.m_Pos, false, n);
    FillSignalEntry(ctx, *this, *e);
    ctx.AddEntry(e);
    AdvanceBits(ctx, n);
    ++ctx.m_InputIndex;
    return true;
}

} // namespace mostfcat
