// The text outline printed by "mostfcat list", and what it shares with the
// JSON outline: filters, class names and physical values.
#include <cctype>
#include <cmath>
#include <vector>

#include "mostfcat/cli.h"
#include "mostfcat/user_input.h"
#include "params/param_bool.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat::cli {

const char* FunctionClassName(uint8_t code) {
    switch (code) {
    case 0:
        return "unclassified method";
    case 1:
        return "trigger";
    case 2:
        return "sequence method";
    case 16:
        return "unclassified property";
    case 17:
        return "switch";
    case 18:
        return "number";
    case 19:
        return "text";
    case 20:
        return "enumeration";
    case 21:
        return "array";
    case 22:
        return "record";
    case 23:
        return "dynamic array";
    case 24:
        return "long array";
    case 25:
        return "bool field";
    case 26:
        return "bit set";
    case 27:
        return "container";
    case 28:
        return "sequence property";
    case 29:
        return "map";
    case 255:
        return "not read";
    default:
        return "unknown";
    }
}

std::string ClassSubName(uint8_t classCode, uint8_t subCode) {
    static const char* const kWidths[] = {"8 bits", "16 bits", "32 bits"};
    static const char* const kNumbers[] = {"unsigned byte", "unsigned word", "unsigned long",
                                           "signed byte",   "signed word",   "signed long"};
    switch (classCode) {
    case 17:
    case 20:
    case 25:
    case 26: // switch, enumeration, bool field, bit set: the width of the value
        if (subCode <= 2) return kWidths[subCode];
        if (subCode == 13) return "64 bits";
        break;
    case 18: // number: its basis type
        if (subCode <= 5) return kNumbers[subCode];
        break;
    case 21:
    case 23:
    case 24: // arrays: the kind of element
        switch (subCode) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            return std::string("elements of ") + kNumbers[subCode] + " size";
        case 7:
            return "strings";
        case 9:
            return "classified streams";
        case 10:
            return "short streams";
        case 11:
            return "arrays";
        case 12:
            return "records";
        case 13:
            return "64-bit elements";
        default:
            break;
        }
        break;
    default:
        break;
    }
    return subCode == 255 ? "" : "unknown";
}

double PhysicalValue(double raw, int32_t exponent) {
    return exponent < 0 ? raw / std::pow(10.0, -exponent) : raw * std::pow(10.0, exponent);
}

std::string PhysicalText(double raw, int32_t exponent) {
    return YFciUserInput::PhysicalText(raw, exponent);
}

bool IdFilter::Parse(const std::string& text) {
    any = text.empty();
    byId = false;
    name = text;
    if (any || !(text[0] >= '0' && text[0] <= '9')) return true;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 8) return false;
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    id = static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
    byId = true;
    return true;
}

bool IdFilter::Matches(const std::string& itemName, uint32_t itemId) const {
    if (any) return true;
    return byId ? itemId == id : EqualsNoCase(itemName, name);
}

namespace {

std::string Indent(int depth) {
    return std::string(static_cast<size_t>(depth) * 2, ' ');
}

std::string FormatRaw(double v) {
    return YFciUserInput::PhysicalText(v, 0);
}

// The bit offset in the payload, when the layout fixed one.
std::string BitText(const YMTParam& p) {
    if (p.MsgBitPos() == kNoBitPos) return std::string();
    uint32_t width = p.BitWidth();
    if (width == kNoBitWidth || width == 0) return StrFormat(", at bit %u", p.MsgBitPos());
    return StrFormat(", bits %u..%u", p.MsgBitPos(), p.MsgBitPos() + width - 1);
}

std::string WidthText(const YMTParam& p) {
    uint16_t bytes = p.BytesInMsg();
    if (bytes == 0) return "open length";
    return StrFormat("%u byte%s", bytes, bytes == 1 ? "" : "s");
}

std::string PositionText(const YMTParam& p) {
    if (p.SeqIndex() != 0) return StrFormat("[%u, repeated x%u]", p.ParamPos(), p.SeqIndex());
    return StrFormat("[%u]", p.ParamPos());
}

// Range, unit and step of a number: physical values (raw x 10^exponent)
// first, the raw ones after them when the exponent makes them differ.
std::string NumberText(const YMTParamNumber& n) {
    std::string text;
    const int32_t e = n.Exponent();
    const bool range = n.RangeMin() != 0 || n.RangeMax() != 0;
    const std::string& unit = n.UnitName();
    if (range) {
        text += ", range " + PhysicalText(n.RangeMin(), e) + ".." + PhysicalText(n.RangeMax(), e);
        if (!unit.empty()) text += " " + unit;
    } else if (!unit.empty()) {
        text += ", unit " + unit;
    }
    if (n.Step() != 0) text += ", step " + PhysicalText(n.Step(), e);
    if (e != 0) {
        if (range || n.Step() != 0) {
            text += " (raw ";
            if (range) text += FormatRaw(n.RangeMin()) + ".." + FormatRaw(n.RangeMax());
            if (n.Step() != 0)
                text += std::string(range ? ", " : "") + "step " + FormatRaw(n.Step());
            text += StrFormat(", exponent %d)", e);
        } else {
            text += StrFormat(", value = raw x 10^%d", e);
        }
    }
    return text;
}

std::string EnumValues(const YMTParamEnum& e) {
    std::string values;
    size_t shown = 0, total = e.GetCount();
    ForEachChild(e, [&](uint32_t, YMTNode* n) {
        if (n->NodeType() != kNodeEnumValue || shown >= 12) return;
        auto* v = static_cast<YMTEnumValue*>(n);
        if (!values.empty()) values += ", ";
        if (v->CodeMin() == v->CodeMax())
            values += StrFormat("0x%02X=%s", v->CodeMin(), v->NameRef().c_str());
        else
            values +=
                StrFormat("0x%02X..0x%02X=%s", v->CodeMin(), v->CodeMax(), v->NameRef().c_str());
        ++shown;
    });
    if (total > shown) values += StrFormat(", ... (%zu values)", total);
    return values;
}

// Positions as "5..7, 10".
std::string BitRanges(const std::vector<uint32_t>& bits) {
    std::string out;
    for (size_t i = 0; i < bits.size();) {
        size_t j = i;
        while (j + 1 < bits.size() && bits[j + 1] == bits[j] + 1)
            ++j;
        if (!out.empty()) out += ", ";
        out += j == i ? StrFormat("%u", bits[i]) : StrFormat("%u..%u", bits[i], bits[j]);
        i = j + 1;
    }
    return out;
}

// The bool fields of a bool or bit field, each with the text of a set and
// of a clear bit. Fields named only after their bit ("Bit05") are not named
// again; fields with the default texts are summed up at the end.
std::string BoolFields(const YMTParamBool& b) {
    std::string bits;
    std::vector<uint32_t> plain;
    ForEachChild(b, [&](uint32_t pos, YMTNode* n) {
        if (n->NodeType() != kNodeBoolField) return;
        auto* f = static_cast<YMTParamBoolField*>(n);
        const std::string& name = f->NameRef();
        bool generic = name.rfind("Bit", 0) == 0 && name.size() > 3 &&
                       name.find_first_not_of("0123456789", 3) == std::string::npos;
        if (generic && f->TrueDesc() == "True" && f->FalseDesc() == "False") {
            plain.push_back(pos);
            return;
        }
        bits += StrFormat("; bit %u", pos);
        if (!generic && !name.empty()) bits += " " + name;
        if (f->TrueDesc() == f->FalseDesc())
            bits += ": one text for both states: " + f->TrueDesc();
        else
            bits += ": set=" + f->TrueDesc() + ", clear=" + f->FalseDesc();
    });
    if (!plain.empty())
        bits += (plain.size() == 1 ? "; bit " : "; bits ") + BitRanges(plain) +
                ": set=True, clear=False";
    return bits;
}

class TextOutline {
public:
    TextOutline(const ListOptions& options, std::string& out) : m_Options(options), m_Out(out) {}

    void Catalog(const YMTCatalog& catalog, const IdFilter& fblocks, const IdFilter& functions,
                 bool& matched);

private:
    void Param(const YMTParam& p, int depth, std::string& out);
    void Children(const YMTChildList& list, int depth, std::string& out);
    void Function(const YMTFunction& f, int depth, std::string& out);
    void Operation(const YMTOperation& op, int depth, std::string& out);
    void Verbose(const YMTNode& node, const std::string& release, const std::string& date,
                 int depth, std::string& out);

    const ListOptions& m_Options;
    std::string& m_Out;
    // The parameter lines of the first standard Error operation shown.
    std::string m_StandardError;
};

void TextOutline::Verbose(const YMTNode& node, const std::string& release, const std::string& date,
                          int depth, std::string& out) {
    if (!m_Options.verbose) return;
    if (!release.empty() || !date.empty()) {
        out += Indent(depth) + "version " + (release.empty() ? "-" : release);
        if (!date.empty()) out += ", " + date;
        out += "\n";
    }
    if (!node.Description().empty())
        out += Indent(depth) + "description: " + node.Description() + "\n";
}

void TextOutline::Children(const YMTChildList& list, int depth, std::string& out) {
    ForEachChild(list, [&](uint32_t, YMTNode* n) {
        if (IsParamNodeType(n->NodeType())) Param(*static_cast<YMTParam*>(n), depth, out);
    });
}

void TextOutline::Param(const YMTParam& p, int depth, std::string& out) {
    std::string line = Indent(depth) + PositionText(p) + " " + p.NameRef() + ": ";
    switch (p.NodeType()) {
    case kNodeNumber: {
        const auto& n = static_cast<const YMTParamNumber&>(p);
        line +=
            StrFormat("number, %s %s", WidthText(p).c_str(), n.IsSigned() ? "signed" : "unsigned");
        line += BitText(p) + NumberText(n);
        if (n.ParamDispMode() == kDispHex) line += ", hex";
        break;
    }
    case kNodeEnum: {
        const auto& e = static_cast<const YMTParamEnum&>(p);
        line += "enum, " + WidthText(p) + BitText(p) + ", values " + EnumValues(e);
        break;
    }
    case kNodeString: {
        const auto& s = static_cast<const YMTParamString&>(p);
        line += "string";
        if (s.MaxSize() >= 0) line += StrFormat(", at most %d bytes", s.MaxSize());
        line += s.HasEncodingByte() ? ", with encoding byte" : ", no encoding byte";
        line += BitText(p);
        break;
    }
    case kNodeVoid:
        line += "void";
        break;
    case kNodeFktIDBitStream:
        line += "function-identifier list" + BitText(p);
        break;
    case kNodeRawStream: {
        const auto& r = static_cast<const YMTParamRawStream&>(p);
        line += r.Length() ? StrFormat("raw stream, %u bytes", r.Length())
                           : "raw stream, rest of the payload";
        line += BitText(p);
        break;
    }
    case kNodeRawShortStream:
        line += StrFormat("short stream, at most %u bytes",
                          static_cast<const YMTParamRawShortStream&>(p).MaxLength());
        line += BitText(p);
        break;
    case kNodeCStream:
        line += StrFormat("classified stream, at most %u bytes",
                          static_cast<const YMTParamCStream&>(p).MaxLength());
        line += BitText(p);
        break;
    case kNodeDetailedStream:
    case kNodeDetailedShortStream: {
        const auto& s = static_cast<const YMTParamDetailedStreamBase&>(p);
        line += p.NodeType() == kNodeDetailedStream ? "stream" : "short stream";
        if (s.Length())
            line +=
                StrFormat(", %s %u bytes",
                          p.NodeType() == kNodeDetailedStream ? "length" : "at most", s.Length());
        if (s.SelectorParam()) line += ", cases selected by " + s.SelectorParam()->NameRef();
        if (s.ListSizeParam()) line += ", list size in " + s.ListSizeParam()->NameRef();
        line += BitText(p);
        break;
    }
    case kNodeStreamCase: {
        const auto& c = static_cast<const YMTParamStreamCase&>(p);
        line = Indent(depth) + "case";
        if (!c.PosXString().empty())
            line += c.PosYMin() == c.PosYMax()
                        ? StrFormat(" %s=%u", c.PosXString().c_str(), c.PosYMin())
                        : StrFormat(" %s=%u..%u", c.PosXString().c_str(), c.PosYMin(), c.PosYMax());
        if (c.SeqCnt()) line += StrFormat(", repeated group of %u", c.SeqCnt());
        if (c.SeqIndexMax()) line += StrFormat(" (%u times)", c.SeqIndexMax());
        line += ":";
        break;
    }
    case kNodeSignal: {
        const auto& s = static_cast<const YMTParamSignal&>(p);
        line += StrFormat("signal, %d bit%s at bit %u of the case%s%s", s.BitLength(),
                          s.BitLength() == 1 ? "" : "s", s.BitPos(), s.IsSigned() ? ", signed" : "",
                          s.IsBigEndian() ? "" : ", little-endian");
        break;
    }
    case kNodeArray: {
        const auto& a = static_cast<const YMTParamArray&>(p);
        line += a.NMax() == kOpenArray ? "array, open length"
                                       : StrFormat("array, at most %u elements", a.NMax());
        if (a.SelectorParam()) line += ", indexed by " + a.SelectorParam()->NameRef();
        line += BitText(p);
        break;
    }
    case kNodeRecord: {
        const auto& r = static_cast<const YMTParamRecord&>(p);
        line += StrFormat("record of %u fields", r.NElements());
        if (r.SelectorParam()) line += ", indexed by " + r.SelectorParam()->NameRef();
        line += BitText(p);
        break;
    }
    case kNodeBool:
    case kNodeBitField: {
        const auto& b = static_cast<const YMTParamBool&>(p);
        line += (p.NodeType() == kNodeBool ? "bool, " : "bit field, ") + WidthText(p) + BitText(p);
        line += BoolFields(b);
        break;
    }
    default:
        line += StrFormat("type %u", p.NodeType());
        break;
    }
    if (!p.SymID().empty() && p.SymID() != p.NameRef() && p.NodeType() != kNodeStreamCase)
        line += "  {" + p.SymID() + "}";
    out += line + "\n";
    if (m_Options.verbose && !p.Description().empty() && p.NodeType() != kNodeStreamCase)
        out += Indent(depth + 1) + "description: " + p.Description() + "\n";

    // Children: array element, record fields, stream cases and their members,
    // the parts of short and classified streams.
    switch (p.NodeType()) {
    case kNodeDetailedStream:
    case kNodeDetailedShortStream: {
        // Cases without members are named on one line; the others are listed.
        const auto& stream = static_cast<const YMTParamDetailedStreamBase&>(p);
        std::string empty;
        ForEachChild(stream, [&](uint32_t, YMTNode* n) {
            if (n->NodeType() != kNodeStreamCase) {
                if (IsParamNodeType(n->NodeType()))
                    Param(*static_cast<YMTParam*>(n), depth + 1, out);
                return;
            }
            auto* c = static_cast<YMTParamStreamCase*>(n);
            if (c->GetCount() != 0) {
                Param(*c, depth + 1, out);
                return;
            }
            if (!empty.empty()) empty += ", ";
            empty += c->PosYMin() == c->PosYMax() ? StrFormat("%u", c->PosYMin())
                                                  : StrFormat("%u..%u", c->PosYMin(), c->PosYMax());
        });
        if (!empty.empty()) out += Indent(depth + 1) + "cases without parameters: " + empty + "\n";
        break;
    }
    case kNodeArray:
    case kNodeRecord:
    case kNodeStreamCase:
    case kNodeRawShortStream:
    case kNodeCStream:
        Children(*dynamic_cast<const YMTChildList*>(&p), depth + 1, out);
        break;
    default:
        break;
    }
}

// True for an Error operation made of the built-in error parameters: the
// error code at position 1 and the error information at position 2.
bool IsStandardErrorShape(const YMTOperation& op) {
    if (op.OpType != 0xF || op.GetCount() != 2) return false;
    const YMTParam* code = op.ParamAt(1);
    const YMTParam* info = op.ParamAt(2);
    return code && info && code->NodeType() == kNodeEnum && code->NameRef() == "ErrorCode" &&
           info->NodeType() == kNodeDetailedStream && info->NameRef() == "ErrorInfo";
}

void TextOutline::Operation(const YMTOperation& op, int depth, std::string& out) {
    std::string head = Indent(depth) + StrFormat("0x%X %s", op.OpType, op.NameRef().c_str());
    if (op.GetCount() == 0) {
        out += head + " (no parameters)\n";
        return;
    }
    std::string params;
    Children(op, depth + 1, params);
    // Every function carries the same Error operation: it is shown in full
    // the first time and named on one line afterwards.
    if (!m_Options.all && IsStandardErrorShape(op)) {
        if (m_StandardError.empty()) {
            m_StandardError = params;
            out += head + " (standard error parameters, shown in full once)\n" + params;
            return;
        }
        if (params == m_StandardError) {
            out += head + ": standard error parameters\n";
            return;
        }
    }
    out += head + "\n" + params;
}

void TextOutline::Function(const YMTFunction& f, int depth, std::string& out) {
    const char* kind = f.Type == kFunctionProperty ? "property"
                       : f.Type == kFunctionMethod ? "method"
                                                   : "?";
    out += Indent(depth) +
           StrFormat("function 0x%03X %s: %s", f.FunctionID, f.NameRef().c_str(), kind);
    if (f.Class != 255) out += StrFormat(", class %u (%s)", f.Class, FunctionClassName(f.Class));
    std::string sub = ClassSubName(f.Class, f.ClassSub);
    if (!sub.empty()) out += StrFormat(", sub %u (%s)", f.ClassSub, sub.c_str());
    if (f.Notification) out += ", notifies";
    if (f.Flags & kFunctionErrors) out += ", import errors";
    out += "\n";
    Verbose(f, f.Release, f.Date, depth + 1, out);
    ForEachChild(f, [&](uint32_t, YMTNode* n) {
        if (n->NodeType() == kNodeOperation)
            Operation(*static_cast<YMTOperation*>(n), depth + 1, out);
    });
}

void TextOutline::Catalog(const YMTCatalog& catalog, const IdFilter& fblocks,
                          const IdFilter& functions, bool& matched) {
    Verbose(catalog, catalog.Release, catalog.Date, 1, m_Out);
    ForEachChild(catalog, [&](uint32_t, YMTNode* n) {
        if (n->NodeType() != kNodeFBlock) return;
        auto* fb = static_cast<YMTFBlock*>(n);
        if (!fblocks.Matches(fb->NameRef(), fb->FBlockID)) return;
        std::string block = StrFormat("\nFBlock 0x%02X %s\n", fb->FBlockID, fb->NameRef().c_str());
        Verbose(*fb, fb->Release, fb->Date, 1, block);
        bool anyFunction = false;
        std::vector<const YMTInstance*> printed;
        ForEachChild(*fb, [&](uint32_t, YMTNode* i) {
            if (i->NodeType() != kNodeInstance) return;
            auto* inst = static_cast<YMTInstance*>(i);
            std::string line = StrFormat("  instance 0x%02X", inst->InstanceID);
            if (!inst->DeviceName.empty()) line += " " + inst->DeviceName;
            if (inst->InstFBlockName != fb->NameRef())
                line += " (from FBlock " + inst->InstFBlockName + ")";
            // Instances of one FBlock element share their functions: print a
            // list only once.
            for (const YMTInstance* other : printed) {
                bool same = other->GetSize() == inst->GetSize();
                for (uint32_t k = 0; same && k < inst->GetSize(); ++k)
                    same = other->GetAt(k) == inst->GetAt(k);
                if (same) {
                    block +=
                        line + StrFormat(": functions as instance 0x%02X\n", other->InstanceID);
                    Verbose(*inst, inst->Release, inst->Date, 2, block);
                    return;
                }
            }
            std::string list;
            ForEachChild(*inst, [&](uint32_t, YMTNode* f) {
                if (f->NodeType() != kNodeFunction) return;
                auto* fn = static_cast<YMTFunction*>(f);
                if (!functions.Matches(fn->NameRef(), fn->FunctionID)) return;
                anyFunction = true;
                Function(*fn, 2, list);
            });
            if (!functions.any && list.empty()) return;
            printed.push_back(inst);
            block += line + (inst->GetCount() ? "\n" : ": no functions\n");
            if (m_Options.verbose && !inst->DeviceDescription.empty())
                block += "    device description: " + inst->DeviceDescription + "\n";
            Verbose(*inst, inst->Release, inst->Date, 2, block);
            block += list;
        });
        if (!functions.any && !anyFunction) return;
        matched = true;
        m_Out += block;
    });
}

} // namespace

bool ListCatalog(const YMTCatalog& catalog, const ListOptions& options, std::string& out) {
    IdFilter fblocks, functions;
    if (!fblocks.Parse(options.fblock) || !functions.Parse(options.function)) return false;
    bool matched = fblocks.any && functions.any;
    std::string text;
    TextOutline outline(options, text);
    outline.Catalog(catalog, fblocks, functions, matched);
    if (!matched) return false;
    // The path is the system's own text; the rest holds catalog texts, one
    // byte a character, which a terminal shows right only as UTF-8.
    out += "catalog " + catalog.FilePath + "\n" + JsonText(text);
    return true;
}

} // namespace mostfcat::cli
