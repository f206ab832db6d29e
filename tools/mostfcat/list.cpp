// The outline printed by "mostfcat list".
#include <set>
#include <vector>

#include "mostfcat/cli.h"
#include "params/param_bool.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {

namespace {

const char* ClassName(uint8_t code) {
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
        return "no class";
    default:
        return "?";
    }
}

std::string FormatNumber(double v) {
    std::string s = StrFormat("%.6g", v);
    return s;
}

std::string Indent(int depth) {
    return std::string(static_cast<size_t>(depth) * 2, ' ');
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

void ListParam(const YMTParam& p, int depth, std::string& out);

void ListChildren(const YMTChildList& list, int depth, std::string& out) {
    ForEachChild(list, [&](uint32_t, YMTNode* n) {
        if (IsParamNodeType(n->NodeType())) ListParam(*static_cast<YMTParam*>(n), depth, out);
    });
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

void ListParam(const YMTParam& p, int depth, std::string& out) {
    std::string line = Indent(depth) + PositionText(p) + " " + p.NameRef() + ": ";
    switch (p.NodeType()) {
    case kNodeNumber: {
        const auto& n = static_cast<const YMTParamNumber&>(p);
        line +=
            StrFormat("number, %s %s", WidthText(p).c_str(), n.IsSigned() ? "signed" : "unsigned");
        line += BitText(p);
        if (!n.UnitName().empty()) line += ", unit " + n.UnitName();
        if (n.RangeMin() != 0 || n.RangeMax() != 0)
            line += ", range " + FormatNumber(n.RangeMin()) + ".." + FormatNumber(n.RangeMax());
        if (n.Exponent() != 0) line += StrFormat(", exponent %d", n.Exponent());
        if (n.Step() != 0) line += ", step " + FormatNumber(n.Step());
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
        std::string bits;
        ForEachChild(b, [&](uint32_t pos, YMTNode* n) {
            if (n->NodeType() != kNodeBoolField) return;
            auto* f = static_cast<YMTParamBoolField*>(n);
            if (f->TrueDesc() == "True" && f->FalseDesc() == "False") return;
            if (!bits.empty()) bits += ", ";
            bits += StrFormat("%u=%s/%s", pos, f->TrueDesc().c_str(), f->FalseDesc().c_str());
        });
        if (!bits.empty()) line += ", bits " + bits;
        out += line + "\n";
        return;
    }
    default:
        line += StrFormat("type %u", p.NodeType());
        break;
    }
    if (!p.SymID().empty() && p.SymID() != p.NameRef() && p.NodeType() != kNodeStreamCase)
        line += "  {" + p.SymID() + "}";
    out += line + "\n";

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
                    ListParam(*static_cast<YMTParam*>(n), depth + 1, out);
                return;
            }
            auto* c = static_cast<YMTParamStreamCase*>(n);
            if (c->GetCount() != 0) {
                ListParam(*c, depth + 1, out);
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
        ListChildren(*dynamic_cast<const YMTChildList*>(&p), depth + 1, out);
        break;
    default:
        break;
    }
}

void ListFunction(const YMTFunction& f, int depth, std::string& out) {
    const char* kind = f.Type == kFunctionProperty ? "property"
                       : f.Type == kFunctionMethod ? "method"
                                                   : "?";
    out += Indent(depth) + StrFormat("function 0x%03X %s: %s, class %s", f.FunctionID,
                                     f.NameRef().c_str(), kind, ClassName(f.Class));
    if (f.ClassSub != 255) out += StrFormat(" (sub %u)", f.ClassSub);
    if (f.Notification) out += ", notifies";
    if (f.Flags & kFunctionErrors) out += ", import errors";
    out += "\n";
    ForEachChild(f, [&](uint32_t, YMTNode* n) {
        if (n->NodeType() != kNodeOperation) return;
        auto* op = static_cast<YMTOperation*>(n);
        out += Indent(depth + 1) + StrFormat("0x%X %s", op->OpType, op->NameRef().c_str());
        out += op->GetCount() == 0 ? " (no parameters)\n" : "\n";
        ListChildren(*op, depth + 2, out);
    });
}

} // namespace

void ListCatalog(const YMTCatalog& catalog, std::string& out) {
    out += "catalog " + catalog.FilePath + "\n";
    if (!catalog.Release.empty() || !catalog.Date.empty())
        out += "  release " + catalog.Release + " " + catalog.Date + "\n";
    ForEachChild(catalog, [&](uint32_t, YMTNode* n) {
        if (n->NodeType() != kNodeFBlock) return;
        auto* fb = static_cast<YMTFBlock*>(n);
        out += StrFormat("\nFBlock 0x%02X %s\n", fb->FBlockID, fb->NameRef().c_str());
        std::vector<const YMTInstance*> printed;
        ForEachChild(*fb, [&](uint32_t, YMTNode* i) {
            if (i->NodeType() != kNodeInstance) return;
            auto* inst = static_cast<YMTInstance*>(i);
            out += StrFormat("  instance 0x%02X", inst->InstanceID);
            if (!inst->DeviceName.empty()) out += " " + inst->DeviceName;
            if (inst->InstFBlockName != fb->NameRef())
                out += " (from FBlock " + inst->InstFBlockName + ")";
            // Instances of one FBlock element share their functions: print a
            // list only once.
            for (const YMTInstance* other : printed) {
                bool same = other->GetSize() == inst->GetSize();
                for (uint32_t k = 0; same && k < inst->GetSize(); ++k)
                    same = other->GetAt(k) == inst->GetAt(k);
                if (same) {
                    out += StrFormat(": functions as instance 0x%02X\n", other->InstanceID);
                    return;
                }
            }
            out += inst->GetCount() ? "\n" : ": no functions\n";
            printed.push_back(inst);
            ForEachChild(*inst, [&](uint32_t, YMTNode* f) {
                if (f->NodeType() == kNodeFunction)
                    ListFunction(*static_cast<YMTFunction*>(f), 2, out);
            });
        });
    });
}

} // namespace mostfcat
