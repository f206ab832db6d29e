// Input texts of users (hex bytes, values as a decode shows them, UTF-8
// texts) turned into message values, and the values of decoded entries as a
// user reads them.
#include "mostfcat/user_input.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <typeinfo>

#include "decoding/param_info.h"
#include "message/message.h"
#include "params/param_bool.h"
#include "params/param_number.h"
#include "platform/hex.h"
#include "platform/strings.h"
#include "values/param_path.h"
#include "values/value_impl.h"

using namespace mostfcat;

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A character of an input as a message names it: printable ones quoted,
// others as their byte value.
std::string CharName(unsigned char c) {
    if (c >= 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
    return StrFormat("the byte 0x%02X", c);
}

template <class Def> const Def* DefinitionOf(YFciParam& param) {
    if (!param.Impl()) return nullptr;
    return static_cast<const Def*>(param.Impl()->Definition());
}

// --- exact decimal numbers --------------------------------------------------------------

// A decimal text: value = (negative ? -1 : 1) * digits * 10^exp10.
struct Decimal {
    bool negative = false;
    std::string digits; // without leading zeros; empty for zero
    int64_t exp10 = 0;
};

// Sign, digits with an optional point, an optional exponent; nothing else
// (no "nan", no "inf", no hex).
bool ParseDecimal(const std::string& t, Decimal& d) {
    size_t i = 0, n = t.size();
    if (i < n && (t[i] == '+' || t[i] == '-')) d.negative = t[i++] == '-';
    bool any = false, point = false;
    for (; i < n; ++i) {
        char c = t[i];
        if (c >= '0' && c <= '9') {
            any = true;
            if (!(d.digits.empty() && c == '0')) d.digits.push_back(c);
            if (point) --d.exp10;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < n && (t[i] == '+' || t[i] == '-')) negExp = t[i++] == '-';
        if (i >= n) return false;
        int64_t e = 0;
        for (; i < n; ++i) {
            if (t[i] < '0' || t[i] > '9') return false;
            if (e < 100000) e = e * 10 + (t[i] - '0');
        }
        d.exp10 += negExp ? -e : e;
    }
    return i == n;
}

enum class Scaled { Ok, Finer, TooLarge };

// d / 10^exponent as an integer, when it is one.
Scaled ToRaw(const Decimal& d, int64_t exponent, int64_t& raw) {
    raw = 0;
    if (d.digits.empty()) return Scaled::Ok;
    std::string digits = d.digits;
    int64_t shift = d.exp10 - exponent;
    if (shift < 0) {
        // The digits cut off must all be zeros.
        size_t cut = static_cast<size_t>(std::min<int64_t>(-shift, int64_t(digits.size())));
        for (size_t k = digits.size() - cut; k < digits.size(); ++k)
            if (digits[k] != '0') return Scaled::Finer;
        if (-shift > int64_t(digits.size())) return Scaled::Finer; // nonzero digits left over
        digits.resize(digits.size() - cut);
        shift = 0;
    }
    if (int64_t(digits.size()) + shift > 18) return Scaled::TooLarge;
    digits.append(static_cast<size_t>(shift), '0');
    for (char c : digits)
        raw = raw * 10 + (c - '0');
    if (d.negative) raw = -raw;
    return Scaled::Ok;
}

// A raw integer: optional sign, decimal digits or "0x" hex digits.
bool ParseRawInteger(const std::string& t, int64_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    bool hex = t.size() > i + 2 && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X');
    if (hex) i += 2;
    if (i >= t.size()) return false;
    uint64_t v = 0;
    for (; i < t.size(); ++i) {
        int digit = hex ? HexDigit(t[i]) : (t[i] >= '0' && t[i] <= '9' ? t[i] - '0' : -1);
        if (digit < 0) return false;
        if (v > (uint64_t(1) << 62)) return false;
        v = v * (hex ? 16 : 10) + static_cast<unsigned>(digit);
    }
    out = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return true;
}

// An unsigned code or value: decimal, "0x" hex or "0b" binary, no sign.
bool ParseUnsigned(const std::string& t, uint64_t& out) {
    if (t.empty() || t[0] == '-' || t[0] == '+') return false;
    int64_t v = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'b' || t[1] == 'B')) {
        uint64_t b = 0;
        for (size_t i = 2; i < t.size(); ++i) {
            if ((t[i] != '0' && t[i] != '1') || b >> 62) return false;
            b = b * 2 + static_cast<unsigned>(t[i] - '0');
        }
        out = b;
        return true;
    }
    if (!ParseRawInteger(t, v) || v < 0) return false;
    out = static_cast<uint64_t>(v);
    return true;
}

// raw * 10^e written exactly ("-20.0" for -200 and -1).
std::string ScaledText(double raw, long e) {
    if (!std::isfinite(raw)) return StrFormat("%g", raw);
    if (raw != std::floor(raw) || std::fabs(raw) >= 1e17 || e < -17 || e > 17) {
        // Fixed notation all the same, without trailing zeros.
        std::string t = StrFormat("%.*f", static_cast<int>(std::max(0L, -e) + 6),
                                  raw * std::pow(10.0, static_cast<double>(e)));
        if (t.find('.') != std::string::npos) {
            t.erase(t.find_last_not_of('0') + 1);
            if (t.back() == '.') t.pop_back();
        }
        return t;
    }
    auto r = static_cast<int64_t>(raw);
    std::string digits = std::to_string(r < 0 ? -r : r);
    std::string out = r < 0 ? "-" : "";
    if (e >= 0) {
        out += digits;
        if (r != 0) out.append(static_cast<size_t>(e), '0');
        return out;
    }
    auto decimals = static_cast<size_t>(-e);
    if (digits.size() <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
    out +=
        digits.substr(0, digits.size() - decimals) + "." + digits.substr(digits.size() - decimals);
    return out;
}

std::string WithUnit(const std::string& text, const std::string& unit) {
    return unit.empty() ? text : text + " " + YFciUserInput::Latin1ToUtf8(unit);
}

// --- per kind -----------------------------------------------------------------------------

bool SetNumber(YFciParamNumber& num, const std::string& t, bool raw, std::string& error) {
    const YMTParamNumber* def = DefinitionOf<YMTParamNumber>(num);
    long e = num.Exponent();
    int64_t value = 0;
    bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
    if (raw || (hex && e == 0)) {
        if (!ParseRawInteger(t, value)) {
            error =
                "'" + t + "' is not a whole number (raw values are integers, decimal or 0x hex)";
            return false;
        }
    } else {
        Decimal d;
        if (!ParseDecimal(t, d)) {
            error = "'" + t + "' is not a number: write it as decode shows it, for example " +
                    ScaledText(num.MinValue(), e);
            return false;
        }
        switch (ToRaw(d, e, value)) {
        case Scaled::Finer:
            error = "'" + t + "' is finer than the resolution " +
                    WithUnit(ScaledText(1, e), num.Unit()) + " (exponent " + std::to_string(e) +
                    ")";
            return false;
        case Scaled::TooLarge:
            value = d.negative ? INT64_MIN : INT64_MAX;
            break;
        case Scaled::Ok:
            break;
        }
    }
    double lo = num.MinValue(), hi = num.MaxValue();
    auto v = static_cast<double>(value);
    if (v < lo || v > hi) {
        error = "'" + t + "' is outside the range " +
                WithUnit(raw ? ScaledText(lo, 0) + ".." + ScaledText(hi, 0)
                             : ScaledText(lo, e) + ".." + ScaledText(hi, e),
                         raw ? std::string() : num.Unit());
        if (raw) error += " (raw)";
        return false;
    }
    double step = def ? def->Step() : 0;
    if (!raw && step > 0 && std::isfinite(step)) {
        double base = (def->RangeMin() != 0 || def->RangeMax() != 0) ? def->RangeMin() : 0;
        double k = (v - base) / step;
        if (std::fabs(k - std::round(k)) > 1e-9) {
            error = "'" + t + "' is not on the step grid: steps of " +
                    WithUnit(step == std::floor(step)
                                 ? ScaledText(step, e)
                                 : StrFormat("%g", step * std::pow(10.0, double(e))),
                             num.Unit()) +
                    " from " + ScaledText(base, e);
            return false;
        }
    }
    if (!num.SetValue(v)) {
        error = "'" + t + "' does not fit the number's bytes";
        return false;
    }
    return true;
}

bool SetEnum(YFciParamEnum& en, const std::string& t, bool raw, std::string& error) {
    const YMTParamEnum* def = DefinitionOf<YMTParamEnum>(en);
    uint64_t code = 0;
    if (const YMTEnumValue* v = def ? def->FindValueByName(t) : nullptr) {
        if (v->CodeMin() != v->CodeMax()) {
            error = "'" + t + "' stands for the codes " + std::to_string(v->CodeMin()) + ".." +
                    std::to_string(v->CodeMax()) + ": give one of them as a number";
            return false;
        }
        code = v->CodeMin();
    } else if (!ParseUnsigned(t, code)) {
        error = "'" + t + "' is neither a value name nor a code";
        return false;
    } else if (!raw && def && !def->FindValueByCode(static_cast<uint32_t>(code))) {
        error = "the code " + t + " has no value in the catalog (--raw sends it anyway)";
        return false;
    }
    uint64_t most = en.ValueType() == YFciParamEnum::eEnum8 ? 0xFF : 0xFFFF;
    if (code > most || !en.SetValue(static_cast<long>(code))) {
        error = "the code " + t + " does not fit in " + (most == 0xFF ? "1 byte" : "2 bytes");
        return false;
    }
    return true;
}

bool SetBoolField(YFciParamBoolfield& field, const std::string& t, std::string& error) {
    const auto* def = DefinitionOf<YMTParamBoolField>(field);
    bool set = false;
    if (t == "1" || (def && !def->TrueDesc().empty() && EqualsNoCase(t, def->TrueDesc())))
        set = true;
    else if (t == "0" || (def && !def->FalseDesc().empty() && EqualsNoCase(t, def->FalseDesc())))
        set = false;
    else {
        error = "'" + t + "' is not 0 or 1";
        return false;
    }
    field.SetValue(set ? YFciParamBoolfield::eBitSet : YFciParamBoolfield::eBitClear);
    return true;
}

bool SetString(YFciParamString& s, const std::string& text, std::string& error) {
    uint32_t code = s.HasEncodingByte() ? s.Encoding() : 1;
    YFciUserInput::Bytes bytes;
    if (!YFciUserInput::Utf8ToString(text, code, bytes, error)) return false;
    unsigned long most = s.MaxSize();
    if (most != static_cast<unsigned long>(-1) && bytes.size() > most) {
        error = "the text takes " + std::to_string(bytes.size()) + " bytes, more than the " +
                std::to_string(most) + " the catalog allows";
        return false;
    }
    YFciUserInput::Bytes all;
    if (s.HasEncodingByte()) all.push_back(static_cast<unsigned char>(code));
    all.insert(all.end(), bytes.begin(), bytes.end());
    all.insert(all.end(), code == 0 ? 2 : 1, 0);
    s.SetHexdump(all);
    if (!s.IsValueDefined()) {
        error = "the text cannot be stored";
        return false;
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

constexpr uint32_t kReplacement = 0xFFFD;

// The next code point of UTF-8 text at i; false for a malformed sequence
// (i then steps over one byte).
bool NextUtf8(const unsigned char* p, size_t n, size_t& i, uint32_t& cp) {
    unsigned char c = p[i];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > n) {
        ++i;
        return false;
    }
    cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < len; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += len;
    return true;
}

// The ISO 8859-15 characters that differ from Latin-1.
struct Latin9 {
    unsigned char byte;
    uint16_t cp;
};
constexpr Latin9 kLatin9[] = {{0xA4, 0x20AC}, {0xA6, 0x0160}, {0xA8, 0x0161}, {0xB4, 0x017D},
                              {0xB8, 0x017E}, {0xBC, 0x0152}, {0xBD, 0x0153}, {0xBE, 0x0178}};

uint32_t FromLatin9(unsigned char b) {
    for (const Latin9& l : kLatin9)
        if (l.byte == b) return l.cp;
    return b;
}

int ToLatin9(uint32_t cp) {
    for (const Latin9& l : kLatin9) {
        if (l.cp == cp) return l.byte;
        if (l.byte == cp) return -1; // replaced in ISO 8859-15
    }
    return cp <= 0xFF ? static_cast<int>(cp) : -1;
}

std::string CodePointName(uint32_t cp, const std::string& text, size_t at, size_t len) {
    return StrFormat("U+%04X", cp) +
           (cp >= 0x20 && cp != 0x7F ? " '" + text.substr(at, len) + "'" : std::string());
}

const char* EncodingName(uint32_t code) {
    return code == 0 ? "UTF-16" : code == 1 ? "ISO 8859-15" : "UTF-8";
}

} // namespace

// --- exported helpers -------------------------------------------------------------------

bool YFciUserInput::ParseHex(const std::string& text, Bytes& out, std::string& error) {
    try {
        Bytes bytes;
        bytes.reserve(text.size() / 2);
        const size_t n = text.size();
        for (size_t i = 0; i < n;) {
            if (IsBlank(text[i])) {
                ++i;
                continue;
            }
            int hi = HexDigit(text[i]);
            if (hi < 0) {
                error = CharName(static_cast<unsigned char>(text[i])) + " at position " +
                        std::to_string(i + 1) + " is not a hex digit";
                return false;
            }
            if (i + 1 >= n || IsBlank(text[i + 1])) {
                error = "the hex digit '" + std::string(1, text[i]) + "' at position " +
                        std::to_string(i + 1) + " stands alone (a byte is two hex digits)";
                return false;
            }
            int lo = HexDigit(text[i + 1]);
            if (lo < 0) {
                error = CharName(static_cast<unsigned char>(text[i + 1])) + " at position " +
                        std::to_string(i + 2) + " is not a hex digit";
                return false;
            }
            bytes.push_back(static_cast<unsigned char>(hi << 4 | lo));
            i += 2;
        }
        out.swap(bytes);
        return true;
    } catch (...) {
        error = "out of memory";
        return false;
    }
}

bool YFciUserInput::SetValue(YFciParam& param, const std::string& text, bool raw,
                             std::string& error) {
    try {
        std::string t = param.ParamType() == eFciParamString ? text : Trim(text);
        switch (param.ParamType()) {
        case eFciParamNumber:
            return SetNumber(static_cast<YFciParamNumber&>(param), t, raw, error);
        case eFciParamEnum:
            return SetEnum(static_cast<YFciParamEnum&>(param), t, raw, error);
        case eFciParamBoolfield:
            return SetBoolField(static_cast<YFciParamBoolfield&>(param), t, error);
        case eFciParamString:
            return SetString(static_cast<YFciParamString&>(param), t, error);
        case eFciParamBool:
        case eFciParamBitfield: {
            auto& b = static_cast<YFciParamBool&>(param);
            uint64_t v = 0;
            if (!ParseUnsigned(t, v) || v > b.MaxValue()) {
                error = "'" + t + "' does not fit: " + Accepts(param, raw);
                return false;
            }
            b.SetValue(v);
            return true;
        }
        case eFciParamSignal: {
            int64_t v = 0;
            bool changed = false;
            if (!ParseRawInteger(t, v) || !param.SetUserInputStr(t, changed)) {
                error = "'" + t + "' does not fit: " + Accepts(param, raw);
                return false;
            }
            return true;
        }
        case eFciParamRawStream:
        case eFciParamRemain:
        case eFciParamRawShortStream:
        case eFciParamCStream:
        case eFciParamFktIDBitStream: {
            Bytes bytes;
            std::string why;
            if (!ParseHex(t, bytes, why)) {
                error = "'" + t + "' is not hex bytes: " + why;
                return false;
            }
            std::string hex;
            AppendHex(hex, bytes.data(), bytes.size());
            bool changed = false;
            if (!param.SetUserInputStr(hex, changed) || param.ValueHexdumpStr() != hex) {
                error = "'" + t + "' does not fit: " + Accepts(param, raw);
                return false;
            }
            return true;
        }
        default:
            error = "it has no value of its own (it is a structure)";
            return false;
        }
    } catch (const std::exception& e) {
        error = std::string("the value could not be set: ") + e.what();
        return false;
    }
}

std::string YFciUserInput::Accepts(YFciParam& p, bool raw) {
    try {
        switch (p.ParamType()) {
        case eFciParamNumber: {
            auto& n = static_cast<YFciParamNumber&>(p);
            if (raw)
                return "a whole number from " + ScaledText(n.MinValue(), 0) + " to " +
                       ScaledText(n.MaxValue(), 0) + " (raw, before the exponent " +
                       std::to_string(n.Exponent()) + ")";
            return "a number from " + ScaledText(n.MinValue(), n.Exponent()) + " to " +
                   WithUnit(ScaledText(n.MaxValue(), n.Exponent()), n.Unit());
        }
        case eFciParamEnum:
            return raw ? "a value name or a code up to " +
                             std::to_string(static_cast<YFciParamEnum&>(p).MaxValue())
                       : "a value name or a code the catalog defines";
        case eFciParamBool:
        case eFciParamBitfield:
            return "a number from 0 to " +
                   std::to_string(static_cast<YFciParamBool&>(p).MaxValue()) +
                   " (decimal or 0x hexadecimal)";
        case eFciParamBoolfield:
            return "0 or 1 (or the text of the state)";
        case eFciParamSignal: {
            auto& s = static_cast<YFciParamSignal&>(p);
            return s.IsSigned() ? "a number from " + std::to_string(s.MinValue()) + " to " +
                                      std::to_string(static_cast<int64_t>(s.MaxValue()))
                                : "a number from 0 to " + std::to_string(s.MaxValue());
        }
        case eFciParamString: {
            unsigned long most = static_cast<YFciParamString&>(p).MaxSize();
            return most == static_cast<unsigned long>(-1)
                       ? "a text"
                       : "a text of at most " + std::to_string(most) + " bytes";
        }
        case eFciParamRawStream:
        case eFciParamRemain:
        case eFciParamRawShortStream:
        case eFciParamCStream:
        case eFciParamFktIDBitStream:
            return "hexadecimal bytes, as many as it holds now (" +
                   std::to_string(p.ValueHexdump().size()) + ") unless it ends the message";
        default:
            return "no value of its own (it is a structure)";
        }
    } catch (...) {
        return std::string();
    }
}

bool YFciUserInput::EncodeValues(YFciMessage& message,
                                 const std::vector<std::pair<std::string, std::string>>& values,
                                 bool raw, Bytes& payload, std::vector<std::string>& unset,
                                 std::string& param, std::string& error) {
    try {
        auto* impl = dynamic_cast<YFciMessageImpl*>(&message);
        if (!impl || !impl->IsOperationValid() || !impl->OperationNode()) {
            error = StrFormat("no operation %02X.%02X.%03X.%X", message.FBlockID(),
                              message.InstID(), message.FktID(), message.OpType());
            return false;
        }
        for (size_t i = 0; i < values.size(); ++i)
            for (size_t j = i + 1; j < values.size(); ++j)
                if (EqualsNoCase(values[i].first, values[j].first)) {
                    param = values[j].first;
                    error = param + " is given twice";
                    return false;
                }
        for (const auto& [name, text] : values) {
            param = name;
            YParamPath path;
            if (!ParseParamPath(name, YPathKind::Symbolic, path)) {
                error = "'" + name + "' is not a parameter name (letters, digits, _ and " +
                        "indexes such as Data.Band[2].Level)";
                return false;
            }
            impl->ExpandPath(path);
            YFciParam* p = impl->GetParamBySymID(name);
            if (!p) {
                error = "no parameter " + name + " in " + Latin1ToUtf8(impl->FunctionName()) + "." +
                        Latin1ToUtf8(impl->OperationName());
                return false;
            }
            std::string why;
            if (!SetValue(*p, text, raw, why)) {
                error = name + ": " + why;
                return false;
            }
            // Edits that reshape the message (lengths, selectors) take effect here.
            (void)impl->HexdumpStr();
            p = impl->GetParamBySymID(name);
            // Raw enumeration codes may lie beyond the values the catalog names.
            bool rawCode = raw && p && p->ParamType() == eFciParamEnum;
            if (p && !rawCode && p->IsValueDefined() && !p->IsValueValid()) {
                error = name + ": '" + text + "' does not fit: " + Accepts(*p, raw);
                return false;
            }
        }
        param.clear();
        unset.clear();
        for (YFciParam* p : impl->AllParams(true))
            if (!p->IsValueDefined()) unset.push_back(p->SymID());
        payload = impl->Data();
        return true;
    } catch (const std::exception& e) {
        error = std::string("encoding failed: ") + e.what();
        return false;
    }
}

bool YFciUserInput::CheckInputs(const std::vector<std::string>& inputs, uint32_t& index,
                                std::string& error) {
    try {
        for (size_t i = 0; i < inputs.size(); ++i) {
            const std::string& in = inputs[i];
            if (in.size() >= 2 && in.front() == '{' && in.back() == '}') {
                Bytes bytes;
                std::string why;
                if (!ParseHex(in.substr(1, in.size() - 2), bytes, why)) {
                    index = static_cast<uint32_t>(i);
                    error = "raw bytes: " + why;
                    return false;
                }
            }
        }
        return true;
    } catch (...) {
        error = "out of memory";
        return false;
    }
}

const char* YFciUserInput::AssembleStatusText(uint32_t status) {
    switch (status) {
    case 0:
        return "assembled";
    case 3:
        return "the catalog has no such operation";
    case 4:
        return "the text cannot be converted into bytes";
    case 5:
        return "the wildcard * is not allowed here";
    case 6:
        return "the input is missing, empty or of the wrong shape for the parameter";
    case 7:
        return "no stream case matches the selector value";
    case 8:
        return "the value name stands for several codes";
    case 9:
        return "this kind of parameter cannot be assembled";
    case 10:
        return "more inputs than parameters";
    default:
        return "assembling failed";
    }
}

bool YFciUserInput::StringToUtf8(const Bytes& data, bool hasEncodingByte, std::string& out,
                                 uint32_t& code) {
    try {
        out.clear();
        size_t i = 0;
        code = 1;
        if (hasEncodingByte) {
            if (data.empty()) return true;
            code = data[0];
            i = 1;
        }
        const size_t n = data.size();
        if (code == 0) {
            for (; i + 1 < n; i += 2) {
                uint32_t u = uint32_t(data[i]) << 8 | data[i + 1];
                if (u == 0) break;
                if (u >= 0xD800 && u <= 0xDBFF && i + 3 < n) {
                    uint32_t l = uint32_t(data[i + 2]) << 8 | data[i + 3];
                    if (l >= 0xDC00 && l <= 0xDFFF) {
                        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (l - 0xDC00));
                        i += 2;
                        continue;
                    }
                }
                AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
            }
            return true;
        }
        size_t end = i;
        while (end < n && data[end] != 0)
            ++end;
        if (code == 2) {
            while (i < end) {
                uint32_t cp = 0;
                AppendUtf8(out, NextUtf8(data.data(), end, i, cp) ? cp : kReplacement);
            }
            return true;
        }
        for (; i < end; ++i)
            AppendUtf8(out, code == 1 ? FromLatin9(data[i]) : data[i]);
        return code == 1;
    } catch (...) {
        return false;
    }
}

bool YFciUserInput::Utf8ToString(const std::string& text, uint32_t code, Bytes& out,
                                 std::string& error) {
    try {
        out.clear();
        if (code > 2) {
            error = StrFormat("the string's encoding 0x%02X is not one that can be written "
                              "(0x00 UTF-16, 0x01 ISO 8859-15, 0x02 UTF-8)",
                              code);
            return false;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(text.data());
        for (size_t i = 0; i < text.size();) {
            size_t at = i;
            uint32_t cp = 0;
            if (!NextUtf8(p, text.size(), i, cp)) {
                error = StrFormat("the text is not UTF-8 (the byte 0x%02X at position %zu)", p[at],
                                  at + 1);
                return false;
            }
            if (cp == 0) {
                error = StrFormat(
                    "the text holds a zero character at position %zu, which would end it", at + 1);
                return false;
            }
            if (code == 0) {
                if (cp >= 0x10000) {
                    uint32_t v = cp - 0x10000;
                    uint32_t hi = 0xD800 + (v >> 10), lo = 0xDC00 + (v & 0x3FF);
                    out.insert(out.end(),
                               {static_cast<unsigned char>(hi >> 8), static_cast<unsigned char>(hi),
                                static_cast<unsigned char>(lo >> 8),
                                static_cast<unsigned char>(lo)});
                } else {
                    out.push_back(static_cast<unsigned char>(cp >> 8));
                    out.push_back(static_cast<unsigned char>(cp));
                }
            } else if (code == 2) {
                out.insert(out.end(), p + at, p + i);
            } else {
                int b = ToLatin9(cp);
                if (b < 0) {
                    error = "the character " + CodePointName(cp, text, at, i - at) +
                            " at position " + std::to_string(at + 1) + " has no place in " +
                            EncodingName(code);
                    return false;
                }
                out.push_back(static_cast<unsigned char>(b));
            }
        }
        return true;
    } catch (...) {
        error = "out of memory";
        return false;
    }
}

std::string YFciUserInput::PhysicalText(double raw, long exponent) {
    try {
        return ScaledText(raw, exponent);
    } catch (...) {
        return std::string();
    }
}

std::string YFciUserInput::Latin1ToUtf8(const std::string& text) {
    try {
        if (IsAscii(text)) return text;
        std::string out;
        out.reserve(text.size());
        for (char ch : text)
            AppendUtf8(out, static_cast<unsigned char>(ch));
        return out;
    } catch (...) {
        return std::string();
    }
}

std::string YFciUserInput::InputTextToUtf8(const std::string& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    uint32_t cp = 0;
    for (size_t i = 0; i < text.size();)
        if (!NextUtf8(p, text.size(), i, cp)) return Latin1ToUtf8(text);
    return text;
}

namespace {

// The remark bits of an entry the library made; none for a host's own
// entries. (Comparing the type is cheaper than a cast that searches the
// class hierarchy, and the library's entries are of this one class.)
uint8_t LibraryRemarks(const YFciParamInfo& e) {
    if (typeid(e) != typeid(YFciParamInfoImpl)) return 0;
    return static_cast<const YFciParamInfoImpl&>(e).Remarks();
}

} // namespace

std::string YFciUserInput::EntryValueText(const YFciParamInfo& e) {
    try {
        const std::string& library = e.ValueText().empty() ? e.DecimalText() : e.ValueText();
        // One text for both states of a bool field would hide the state: the
        // bit itself is shown.
        if (e.ParamType() == eFciParamBoolfield && (LibraryRemarks(e) & kRemarkOneText))
            return e.DecimalText().empty() ? e.HexText() : e.DecimalText();
        if (e.ParamType() != eFciParamString || library.empty()) return Latin1ToUtf8(library);
        std::string text;
        uint32_t code = 1;
        if (!StringToUtf8(e.Data(), e.HasEncodingByte(), text, code)) {
            // The code is the string's first byte.
            text = Latin1ToUtf8(library);
            text += " (encoding 0x";
            text += HexPair(static_cast<unsigned char>(code));
            text += ')';
            return text;
        }
        // The library's text was cut to its limit: keep the marks it set.
        for (const char* mark : {" {NotTerm}", "..."}) {
            size_t m = std::char_traits<char>::length(mark);
            if (library.size() >= m && library.compare(library.size() - m, m, mark) == 0) {
                text += mark;
                break;
            }
        }
        return text;
    } catch (...) {
        return std::string();
    }
}

bool YFciUserInput::AppendEntryValueText(std::string& out, const YFciParamInfo& e) {
    try {
        uint32_t kind = e.ParamType();
        // Strings are decoded by their encoding byte, and a bool field with
        // one text for both states shows its bit; every other entry shows
        // the library's text as it is (made UTF-8).
        if (kind == eFciParamString ||
            (kind == eFciParamBoolfield && (LibraryRemarks(e) & kRemarkOneText))) {
            out += EntryValueText(e);
            return true;
        }
        const std::string& library = e.ValueText().empty() ? e.DecimalText() : e.ValueText();
        if (IsAscii(library))
            out += library;
        else
            out += Latin1ToUtf8(library);
        return true;
    } catch (...) {
        return false;
    }
}

uint32_t YFciUserInput::EntryRemarks(const YFciParamInfo& e) {
    return LibraryRemarks(e) & (eRemarkOutOfRange | eRemarkUndefined);
}
