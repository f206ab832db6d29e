// The JSON outline of "mostfcat list --json": the whole tree below the
// catalog, every parameter in full, IDs and codes as numbers.
#include "mostfcat/cli.h"
#include "params/param_bool.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat::cli {

namespace {

Json Text(const std::string& text) {
    return JsonText(text);
}

// Empty texts are left out.
void PutText(Json& j, const char* key, const std::string& text) {
    if (!text.empty()) j[key] = Text(text);
}

void PutVersion(Json& j, const YMTNode& node, const std::string& release, const std::string& date) {
    PutText(j, "description", node.Description());
    PutText(j, "release", release);
    PutText(j, "date", date);
}

const char* TypeName(uint32_t nodeType) {
    switch (nodeType) {
    case kNodeNumber:
        return "number";
    case kNodeEnum:
        return "enum";
    case kNodeString:
        return "string";
    case kNodeVoid:
        return "void";
    case kNodeFktIDBitStream:
        return "function_id_list";
    case kNodeRawStream:
        return "raw_stream";
    case kNodeRawShortStream:
        return "short_stream";
    case kNodeCStream:
        return "classified_stream";
    case kNodeDetailedStream:
        return "stream";
    case kNodeDetailedShortStream:
        return "detailed_short_stream";
    case kNodeStreamCase:
        return "stream_case";
    case kNodeSignal:
        return "signal";
    case kNodeArray:
        return "array";
    case kNodeRecord:
        return "record";
    case kNodeBool:
        return "bool";
    case kNodeBitField:
        return "bit_field";
    case kNodeBoolField:
        return "bool_field";
    default:
        return "other";
    }
}

Json Param(const YMTParam& p);

Json Params(const YMTChildList& list) {
    Json out = Json::array();
    ForEachChild(list, [&](uint32_t, YMTNode* n) {
        if (IsParamNodeType(n->NodeType()) && n->NodeType() != kNodeStreamCase)
            out.push_back(Param(*static_cast<YMTParam*>(n)));
    });
    return out;
}

Json Param(const YMTParam& p) {
    Json j;
    j["position"] = p.ParamPos();
    if (p.SeqIndex() != 0) j["repeat_index"] = p.SeqIndex();
    j["name"] = Text(p.NameRef());
    j["type"] = TypeName(p.NodeType());
    PutText(j, "symbol", p.SymID());
    j["bytes"] = p.BytesInMsg(); // 0: the length is not fixed
    if (p.MsgBitPos() != kNoBitPos) j["bit_offset"] = p.MsgBitPos();
    if (p.BitWidth() != kNoBitWidth) j["bit_width"] = p.BitWidth();
    PutText(j, "description", p.Description());

    switch (p.NodeType()) {
    case kNodeNumber: {
        const auto& n = static_cast<const YMTParamNumber&>(p);
        j["signed"] = n.IsSigned();
        j["exponent"] = n.Exponent();
        PutText(j, "unit", n.UnitName());
        if (n.RangeMin() != 0 || n.RangeMax() != 0) {
            j["raw_min"] = n.RangeMin();
            j["raw_max"] = n.RangeMax();
            j["min"] = PhysicalValue(n.RangeMin(), n.Exponent());
            j["max"] = PhysicalValue(n.RangeMax(), n.Exponent());
        }
        if (n.Step() != 0) {
            j["raw_step"] = n.Step();
            j["step"] = PhysicalValue(n.Step(), n.Exponent());
        }
        j["hex"] = n.ParamDispMode() == kDispHex;
        break;
    }
    case kNodeEnum: {
        const auto& e = static_cast<const YMTParamEnum&>(p);
        j["enum_max"] = e.EnumMax();
        Json values = Json::array();
        ForEachChild(e, [&](uint32_t, YMTNode* n) {
            if (n->NodeType() != kNodeEnumValue) return;
            auto* v = static_cast<YMTEnumValue*>(n);
            values.push_back(Json{{"code_min", v->CodeMin()},
                                  {"code_max", v->CodeMax()},
                                  {"name", Text(v->NameRef())}});
        });
        j["values"] = std::move(values);
        break;
    }
    case kNodeString: {
        const auto& s = static_cast<const YMTParamString&>(p);
        if (s.MaxSize() >= 0) j["max_size"] = s.MaxSize();
        j["encoding_byte"] = s.HasEncodingByte();
        break;
    }
    case kNodeRawStream:
        j["length"] = static_cast<const YMTParamRawStream&>(p).Length(); // 0: rest of the payload
        break;
    case kNodeRawShortStream:
    case kNodeCStream:
        j["max_length"] = static_cast<const YMTParamLengthStreamBase&>(p).MaxLength();
        j["parameters"] = Params(*dynamic_cast<const YMTChildList*>(&p));
        break;
    case kNodeDetailedStream:
    case kNodeDetailedShortStream: {
        const auto& s = static_cast<const YMTParamDetailedStreamBase&>(p);
        j["length"] = s.Length();
        if (s.SelectorParam()) j["selector"] = Text(s.SelectorParam()->NameRef());
        if (s.ListSizeParam()) j["list_size"] = Text(s.ListSizeParam()->NameRef());
        Json cases = Json::array();
        ForEachChild(s, [&](uint32_t, YMTNode* n) {
            if (n->NodeType() == kNodeStreamCase)
                cases.push_back(Param(*static_cast<YMTParam*>(n)));
        });
        j["parameters"] = Params(s);
        j["cases"] = std::move(cases);
        break;
    }
    case kNodeStreamCase: {
        const auto& c = static_cast<const YMTParamStreamCase&>(p);
        PutText(j, "selected_by", c.PosXString());
        j["from"] = c.PosYMin();
        j["to"] = c.PosYMax();
        if (c.SeqCnt()) j["repeated_group"] = c.SeqCnt();
        if (c.SeqIndexMax()) j["times"] = c.SeqIndexMax();
        j["parameters"] = Params(c);
        break;
    }
    case kNodeSignal: {
        const auto& s = static_cast<const YMTParamSignal&>(p);
        j["bit_length"] = s.BitLength();
        j["bit_position"] = s.BitPos();
        j["signed"] = s.IsSigned();
        j["big_endian"] = s.IsBigEndian();
        break;
    }
    case kNodeArray: {
        const auto& a = static_cast<const YMTParamArray&>(p);
        j["max_elements"] = a.NMax() == kOpenArray ? Json() : Json(a.NMax());
        if (a.SelectorParam()) j["indexed_by"] = Text(a.SelectorParam()->NameRef());
        j["parameters"] = Params(a);
        break;
    }
    case kNodeRecord: {
        const auto& r = static_cast<const YMTParamRecord&>(p);
        j["fields"] = r.NElements();
        if (r.SelectorParam()) j["indexed_by"] = Text(r.SelectorParam()->NameRef());
        j["parameters"] = Params(r);
        break;
    }
    case kNodeBool:
    case kNodeBitField: {
        Json fields = Json::array();
        ForEachChild(static_cast<const YMTParamBool&>(p), [&](uint32_t pos, YMTNode* n) {
            if (n->NodeType() != kNodeBoolField) return;
            auto* f = static_cast<YMTParamBoolField*>(n);
            Json field{{"bit", pos}, {"name", Text(f->NameRef())}};
            field["set"] = Text(f->TrueDesc());
            field["clear"] = Text(f->FalseDesc());
            PutText(field, "symbol", f->SymID());
            fields.push_back(std::move(field));
        });
        j["bool_fields"] = std::move(fields);
        break;
    }
    default:
        break;
    }
    return j;
}

Json Function(const YMTFunction& f) {
    Json j;
    j["id"] = f.FunctionID;
    j["name"] = Text(f.NameRef());
    j["kind"] = f.Type == kFunctionProperty ? "property"
                : f.Type == kFunctionMethod ? "method"
                                            : "unknown";
    if (f.Class != 255) {
        j["class"] = f.Class;
        j["class_name"] = FunctionClassName(f.Class);
    }
    std::string sub = ClassSubName(f.Class, f.ClassSub);
    if (!sub.empty()) {
        j["class_sub"] = f.ClassSub;
        j["class_sub_name"] = sub;
    }
    j["notification"] = f.Notification;
    j["import_errors"] = (f.Flags & kFunctionErrors) != 0;
    PutVersion(j, f, f.Release, f.Date);
    Json ops = Json::array();
    ForEachChild(f, [&](uint32_t, YMTNode* n) {
        if (n->NodeType() != kNodeOperation) return;
        auto* op = static_cast<YMTOperation*>(n);
        Json o{{"op_type", op->OpType}, {"name", Text(op->NameRef())}};
        o["parameters"] = Params(*op);
        ops.push_back(std::move(o));
    });
    j["operations"] = std::move(ops);
    return j;
}

} // namespace

bool ListCatalogJson(const YMTCatalog& catalog, const ListOptions& options, Json& out) {
    IdFilter fblocks, functions;
    if (!fblocks.Parse(options.fblock) || !functions.Parse(options.function)) return false;
    bool matched = fblocks.any && functions.any;
    out = Json::object();
    out["catalog"] = catalog.FilePath; // the system's own text, not a catalog text
    PutVersion(out, catalog, catalog.Release, catalog.Date);
    Json list = Json::array();
    ForEachChild(catalog, [&](uint32_t, YMTNode* n) {
        if (n->NodeType() != kNodeFBlock) return;
        auto* fb = static_cast<YMTFBlock*>(n);
        if (!fblocks.Matches(fb->NameRef(), fb->FBlockID)) return;
        Json block{{"id", fb->FBlockID}, {"name", Text(fb->NameRef())}};
        PutVersion(block, *fb, fb->Release, fb->Date);
        Json instances = Json::array();
        ForEachChild(*fb, [&](uint32_t, YMTNode* i) {
            if (i->NodeType() != kNodeInstance) return;
            auto* inst = static_cast<YMTInstance*>(i);
            Json fns = Json::array();
            ForEachChild(*inst, [&](uint32_t, YMTNode* f) {
                if (f->NodeType() != kNodeFunction) return;
                auto* fn = static_cast<YMTFunction*>(f);
                if (functions.Matches(fn->NameRef(), fn->FunctionID)) fns.push_back(Function(*fn));
            });
            if (!functions.any && fns.empty()) return;
            Json ij{{"id", inst->InstanceID}};
            PutText(ij, "device_name", inst->DeviceName);
            PutText(ij, "device_description", inst->DeviceDescription);
            PutText(ij, "fblock_name", inst->InstFBlockName);
            PutVersion(ij, *inst, inst->Release, inst->Date);
            ij["functions"] = std::move(fns);
            instances.push_back(std::move(ij));
        });
        if (!functions.any && instances.empty()) return;
        block["instances"] = std::move(instances);
        list.push_back(std::move(block));
        matched = true;
    });
    out["fblocks"] = std::move(list);
    return matched;
}

} // namespace mostfcat::cli
