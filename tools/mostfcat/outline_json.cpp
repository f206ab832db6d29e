// The JSON outline of "mostfcat list --json": the whole tree below the
// catalog, every parameter in full, IDs and codes as numbers.
#include "tool_outline.h"

namespace mostfcat::cli {

namespace {

Json Text(const std::string& text) {
    return JsonText(text);
}

// Empty texts are left out.
void PutText(Json& j, const char* key, const std::string& text) {
    if (!text.empty()) j[key] = Text(text);
}

void PutVersion(Json& j, TreeNode node, uint32_t releaseAttr, uint32_t dateAttr) {
    PutText(j, "description", node.Description());
    PutText(j, "release", node.Str(releaseAttr));
    PutText(j, "date", node.Str(dateAttr));
}

int32_t Signed(TreeNode n, uint32_t attribute) {
    return static_cast<int32_t>(n.Int(attribute));
}

bool Flag(TreeNode n, uint32_t attribute) {
    return n.Int(attribute) != 0;
}

Json Param(TreeNode p);

Json Params(TreeNode list) {
    Json out = Json::array();
    for (const auto& [slot, n] : ParamsOf(list))
        if (n.Kind() != MOSTFCAT_KIND_STREAM_CASE) out.push_back(Param(n));
    return out;
}

Json Param(TreeNode p) {
    const uint32_t kind = p.Kind();
    Json j;
    j["position"] = p.Int(MOSTFCAT_ATTR_PARAM_POSITION);
    if (uint32_t repeat = p.Int(MOSTFCAT_ATTR_PARAM_REPEAT)) j["repeat_index"] = repeat;
    j["name"] = Text(p.Name());
    j["type"] = gFctParamKindName(kind);
    PutText(j, "symbol", p.Str(MOSTFCAT_ATTR_PARAM_SYMBOL));
    j["bytes"] = p.Int(MOSTFCAT_ATTR_BYTES_IN_MESSAGE); // 0: the length is not fixed
    uint32_t bitPos = p.Int(MOSTFCAT_ATTR_MESSAGE_BIT_POS, MOSTFCAT_NO_BIT);
    uint32_t bitWidth = p.Int(MOSTFCAT_ATTR_MESSAGE_BIT_WIDTH, MOSTFCAT_NO_BIT);
    if (bitPos != MOSTFCAT_NO_BIT) j["bit_offset"] = bitPos;
    if (bitWidth != MOSTFCAT_NO_BIT) j["bit_width"] = bitWidth;
    PutText(j, "description", p.Description());

    switch (kind) {
    case MOSTFCAT_KIND_NUMBER: {
        const int32_t e = Signed(p, MOSTFCAT_ATTR_NUMBER_EXPONENT);
        const double min = p.Float(MOSTFCAT_ATTR_NUMBER_MIN);
        const double max = p.Float(MOSTFCAT_ATTR_NUMBER_MAX);
        const double step = p.Float(MOSTFCAT_ATTR_NUMBER_STEP);
        j["signed"] = Flag(p, MOSTFCAT_ATTR_PARAM_SIGNED);
        j["exponent"] = e;
        PutText(j, "unit", p.Str(MOSTFCAT_ATTR_NUMBER_UNIT));
        if (min != 0 || max != 0) {
            j["raw_min"] = min;
            j["raw_max"] = max;
            j["min"] = PhysicalValue(min, e);
            j["max"] = PhysicalValue(max, e);
        }
        if (step != 0) {
            j["raw_step"] = step;
            j["step"] = PhysicalValue(step, e);
        }
        j["hex"] = p.Int(MOSTFCAT_ATTR_DISP_MODE) == MOSTFCAT_DISP_HEX;
        break;
    }
    case MOSTFCAT_KIND_ENUM: {
        j["enum_max"] = p.Int(MOSTFCAT_ATTR_ENUM_MAX);
        Json values = Json::array();
        for (const auto& [slot, v] : ItemsOf(p, MOSTFCAT_ITEM_ENUMVALUE))
            values.push_back(Json{{"code_min", v.Int(MOSTFCAT_ATTR_ENUMVALUE_CODE_MIN)},
                                  {"code_max", v.Int(MOSTFCAT_ATTR_ENUMVALUE_CODE_MAX)},
                                  {"name", Text(v.Name())}});
        j["values"] = std::move(values);
        break;
    }
    case MOSTFCAT_KIND_STRING: {
        int32_t max = Signed(p, MOSTFCAT_ATTR_STRING_MAX_SIZE);
        if (max >= 0) j["max_size"] = max;
        j["encoding_byte"] = Flag(p, MOSTFCAT_ATTR_STRING_ENCODING_BYTE);
        break;
    }
    case MOSTFCAT_KIND_RAW_STREAM: // 0: rest of the payload
        j["length"] = p.Int(MOSTFCAT_ATTR_STREAM_MAX_LENGTH);
        break;
    case MOSTFCAT_KIND_RAW_SHORT_STREAM:
    case MOSTFCAT_KIND_CSTREAM:
        j["max_length"] = p.Int(MOSTFCAT_ATTR_STREAM_MAX_LENGTH);
        j["parameters"] = Params(p);
        break;
    case MOSTFCAT_KIND_DETAILED_STREAM:
    case MOSTFCAT_KIND_DETAILED_SHORT_STREAM: {
        j["length"] = p.Int(MOSTFCAT_ATTR_STREAM_LENGTH);
        if (TreeNode s = p.Node(MOSTFCAT_ATTR_SELECTOR)) j["selector"] = Text(s.Name());
        if (TreeNode s = p.Node(MOSTFCAT_ATTR_LIST_SIZE)) j["list_size"] = Text(s.Name());
        Json cases = Json::array();
        for (const auto& [slot, n] : ParamsOf(p))
            if (n.Kind() == MOSTFCAT_KIND_STREAM_CASE) cases.push_back(Param(n));
        j["parameters"] = Params(p);
        j["cases"] = std::move(cases);
        break;
    }
    case MOSTFCAT_KIND_STREAM_CASE: {
        PutText(j, "selected_by", p.Str(MOSTFCAT_ATTR_CASE_SELECTOR_NAME));
        j["from"] = p.Int(MOSTFCAT_ATTR_CASE_SELECT_MIN);
        j["to"] = p.Int(MOSTFCAT_ATTR_CASE_SELECT_MAX);
        if (uint32_t group = p.Int(MOSTFCAT_ATTR_CASE_GROUP_SIZE)) j["repeated_group"] = group;
        if (uint32_t times = p.Int(MOSTFCAT_ATTR_CASE_REPEAT_MAX)) j["times"] = times;
        j["parameters"] = Params(p);
        break;
    }
    case MOSTFCAT_KIND_SIGNAL:
        j["bit_length"] = Signed(p, MOSTFCAT_ATTR_PARAM_BIT_WIDTH);
        j["bit_position"] = p.Int(MOSTFCAT_ATTR_PARAM_BIT_POS);
        j["signed"] = Flag(p, MOSTFCAT_ATTR_PARAM_SIGNED);
        j["big_endian"] = Flag(p, MOSTFCAT_ATTR_PARAM_BIG_ENDIAN);
        break;
    case MOSTFCAT_KIND_ARRAY: {
        uint32_t max = p.Int(MOSTFCAT_ATTR_ARRAY_MAX_ELEMENTS);
        j["max_elements"] = max == MOSTFCAT_OPEN_ARRAY ? Json() : Json(max);
        if (TreeNode s = p.Node(MOSTFCAT_ATTR_SELECTOR)) j["indexed_by"] = Text(s.Name());
        j["parameters"] = Params(p);
        break;
    }
    case MOSTFCAT_KIND_RECORD:
        j["fields"] = p.Int(MOSTFCAT_ATTR_RECORD_FIELDS);
        if (TreeNode s = p.Node(MOSTFCAT_ATTR_SELECTOR)) j["indexed_by"] = Text(s.Name());
        j["parameters"] = Params(p);
        break;
    case MOSTFCAT_KIND_BOOL:
    case MOSTFCAT_KIND_BITFIELD: {
        Json fields = Json::array();
        for (const auto& [pos, f] : p.Children(MOSTFCAT_ITEM_PARAM)) {
            if (f.Kind() != MOSTFCAT_KIND_BOOLFIELD) continue;
            Json field{{"bit", pos}, {"name", Text(f.Name())}};
            field["set"] = Text(f.Str(MOSTFCAT_ATTR_BOOLFIELD_SET_TEXT));
            field["clear"] = Text(f.Str(MOSTFCAT_ATTR_BOOLFIELD_CLEAR_TEXT));
            PutText(field, "symbol", f.Str(MOSTFCAT_ATTR_PARAM_SYMBOL));
            fields.push_back(std::move(field));
        }
        j["bool_fields"] = std::move(fields);
        break;
    }
    default:
        break;
    }
    return j;
}

Json Function(TreeNode f) {
    Json j;
    j["id"] = f.Int(MOSTFCAT_ATTR_ID);
    j["name"] = Text(f.Name());
    const uint32_t type = f.Int(MOSTFCAT_ATTR_FUNCTION_KIND);
    j["kind"] = type == MOSTFCAT_FUNCTION_PROPERTY ? "property"
                : type == MOSTFCAT_FUNCTION_METHOD ? "method"
                                                   : "unknown";
    const uint32_t cls = f.Int(MOSTFCAT_ATTR_FUNCTION_CLASS, 255);
    const uint32_t sub = f.Int(MOSTFCAT_ATTR_FUNCTION_CLASS_SUB, 255);
    if (cls != 255) {
        j["class"] = cls;
        j["class_name"] = gFctFunctionClassName(cls);
    }
    const std::string subName = gFctFunctionClassSubName(cls, sub);
    if (!subName.empty()) {
        j["class_sub"] = sub;
        j["class_sub_name"] = subName;
    }
    j["notification"] = Flag(f, MOSTFCAT_ATTR_FUNCTION_NOTIFICATION);
    j["import_errors"] = (f.Int(MOSTFCAT_ATTR_FUNCTION_FLAGS) & MOSTFCAT_FUNCTION_FLAG_ERRORS) != 0;
    PutVersion(j, f, MOSTFCAT_ATTR_FUNCTION_RELEASE, MOSTFCAT_ATTR_FUNCTION_DATE);
    Json ops = Json::array();
    for (const auto& [slot, op] : ItemsOf(f, MOSTFCAT_ITEM_OPERATION)) {
        Json o{{"op_type", op.Int(MOSTFCAT_ATTR_ID)}, {"name", Text(op.Name())}};
        o["parameters"] = Params(op);
        ops.push_back(std::move(o));
    }
    j["operations"] = std::move(ops);
    return j;
}

} // namespace

bool ListCatalogJson(TreeNode catalog, const ListOptions& options, Json& out) {
    IdFilter fblocks, functions;
    if (!fblocks.Parse(options.fblock) || !functions.Parse(options.function)) return false;
    bool matched = fblocks.any && functions.any;
    out = Json::object();
    // The path is the system's own text, not a catalog text.
    out["catalog"] = catalog.Str(MOSTFCAT_ATTR_CATALOG_PATH);
    PutVersion(out, catalog, MOSTFCAT_ATTR_CATALOG_RELEASE, MOSTFCAT_ATTR_CATALOG_DATE);
    Json list = Json::array();
    for (const auto& [fbSlot, fb] : ItemsOf(catalog, MOSTFCAT_ITEM_FBLOCK)) {
        const std::string fbName = fb.Name();
        const uint32_t fbId = fb.Int(MOSTFCAT_ATTR_ID);
        if (!fblocks.Matches(fbName, fbId)) continue;
        Json block{{"id", fbId}, {"name", Text(fbName)}};
        PutVersion(block, fb, MOSTFCAT_ATTR_FBLOCK_RELEASE, MOSTFCAT_ATTR_FBLOCK_DATE);
        Json instances = Json::array();
        for (const auto& [instSlot, inst] : ItemsOf(fb, MOSTFCAT_ITEM_INSTANCE)) {
            Json fns = Json::array();
            for (const auto& [fnSlot, fn] : ItemsOf(inst, MOSTFCAT_ITEM_FUNCTION))
                if (functions.Matches(fn.Name(), fn.Int(MOSTFCAT_ATTR_ID)))
                    fns.push_back(Function(fn));
            if (!functions.any && fns.empty()) continue;
            Json ij{{"id", inst.Int(MOSTFCAT_ATTR_ID)}};
            PutText(ij, "device_name", inst.Str(MOSTFCAT_ATTR_INSTANCE_DEVICE_NAME));
            PutText(ij, "device_description", inst.Str(MOSTFCAT_ATTR_DEVICE_DESCRIPTION));
            PutText(ij, "fblock_name", inst.Str(MOSTFCAT_ATTR_INSTANCE_FBLOCK_NAME));
            PutVersion(ij, inst, MOSTFCAT_ATTR_INSTANCE_RELEASE, MOSTFCAT_ATTR_INSTANCE_DATE);
            ij["functions"] = std::move(fns);
            instances.push_back(std::move(ij));
        }
        if (!functions.any && instances.empty()) continue;
        block["instances"] = std::move(instances);
        list.push_back(std::move(block));
        matched = true;
    }
    out["fblocks"] = std::move(list);
    return matched;
}

} // namespace mostfcat::cli
