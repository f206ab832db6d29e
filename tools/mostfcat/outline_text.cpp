// The text outline printed by "mostfcat list", and what it shares with the
// JSON outline: filters, the walk over items and physical values.
#include <cctype>
#include <cmath>
#include <vector>

#include "mostfcat/user_input.h"
#include "tool_command.h"
#include "tool_outline.h"

namespace mostfcat::cli {

double PhysicalValue(double raw, int32_t exponent) {
    return exponent < 0 ? raw / std::pow(10.0, -exponent) : raw * std::pow(10.0, exponent);
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

std::vector<std::pair<uint32_t, TreeNode>> ItemsOf(TreeNode node, uint32_t kind) {
    std::vector<std::pair<uint32_t, TreeNode>> out;
    for (const auto& [slot, child] : node.Children(kind))
        if (child.Int(MOSTFCAT_ATTR_ITEM_KIND) == kind) out.emplace_back(slot, child);
    return out;
}

std::vector<std::pair<uint32_t, TreeNode>> ParamsOf(TreeNode node) {
    std::vector<std::pair<uint32_t, TreeNode>> out;
    for (const auto& [slot, child] : node.Children(MOSTFCAT_ITEM_PARAM))
        if (child.Kind() != 0) out.emplace_back(slot, child);
    return out;
}

namespace {

using Params = std::vector<std::pair<uint32_t, TreeNode>>;

std::string Indent(int depth) {
    return std::string(static_cast<size_t>(depth) * 2, ' ');
}

std::string PhysicalText(double raw, int32_t exponent) {
    return YFciUserInput::PhysicalText(raw, exponent);
}

std::string FormatRaw(double v) {
    return YFciUserInput::PhysicalText(v, 0);
}

int32_t Signed(TreeNode n, uint32_t attribute) {
    return static_cast<int32_t>(n.Int(attribute));
}

// The bit offset in the payload, when the layout fixed one.
std::string BitText(TreeNode p) {
    uint32_t pos = p.Int(MOSTFCAT_ATTR_MESSAGE_BIT_POS, MOSTFCAT_NO_BIT);
    if (pos == MOSTFCAT_NO_BIT) return std::string();
    uint32_t width = p.Int(MOSTFCAT_ATTR_MESSAGE_BIT_WIDTH, MOSTFCAT_NO_BIT);
    if (width == MOSTFCAT_NO_BIT || width == 0) return Format(", at bit %u", pos);
    return Format(", bits %u..%u", pos, pos + width - 1);
}

std::string WidthText(TreeNode p) {
    uint32_t bytes = p.Int(MOSTFCAT_ATTR_BYTES_IN_MESSAGE);
    if (bytes == 0) return "open length";
    return Format("%u byte%s", bytes, bytes == 1 ? "" : "s");
}

std::string PositionText(TreeNode p) {
    uint32_t pos = p.Int(MOSTFCAT_ATTR_PARAM_POSITION), repeat = p.Int(MOSTFCAT_ATTR_PARAM_REPEAT);
    if (repeat != 0) return Format("[%u, repeated x%u]", pos, repeat);
    return Format("[%u]", pos);
}

// Range, unit and step of a number: physical values (raw x 10^exponent)
// first, the raw ones after them when the exponent makes them differ.
std::string NumberText(TreeNode n) {
    std::string text;
    const int32_t e = Signed(n, MOSTFCAT_ATTR_NUMBER_EXPONENT);
    const double min = n.Float(MOSTFCAT_ATTR_NUMBER_MIN), max = n.Float(MOSTFCAT_ATTR_NUMBER_MAX);
    const double step = n.Float(MOSTFCAT_ATTR_NUMBER_STEP);
    const bool range = min != 0 || max != 0;
    const std::string unit = n.Str(MOSTFCAT_ATTR_NUMBER_UNIT);
    if (range) {
        text += ", range " + PhysicalText(min, e) + ".." + PhysicalText(max, e);
        if (!unit.empty()) text += " " + unit;
    } else if (!unit.empty()) {
        text += ", unit " + unit;
    }
    if (step != 0) text += ", step " + PhysicalText(step, e);
    if (e != 0) {
        if (range || step != 0) {
            text += " (raw ";
            if (range) text += FormatRaw(min) + ".." + FormatRaw(max);
            if (step != 0) text += std::string(range ? ", " : "") + "step " + FormatRaw(step);
            text += Format(", exponent %d)", e);
        } else {
            text += Format(", value = raw x 10^%d", e);
        }
    }
    return text;
}

std::string EnumValues(TreeNode e) {
    std::string values;
    size_t shown = 0;
    auto all = e.Children(MOSTFCAT_ITEM_ENUMVALUE);
    for (const auto& [slot, v] : all) {
        if (v.Int(MOSTFCAT_ATTR_ITEM_KIND) != MOSTFCAT_ITEM_ENUMVALUE || shown >= 12) continue;
        uint32_t lo = v.Int(MOSTFCAT_ATTR_ENUMVALUE_CODE_MIN);
        uint32_t hi = v.Int(MOSTFCAT_ATTR_ENUMVALUE_CODE_MAX);
        if (!values.empty()) values += ", ";
        if (lo == hi)
            values += Format("0x%02X=%s", lo, v.Name().c_str());
        else
            values += Format("0x%02X..0x%02X=%s", lo, hi, v.Name().c_str());
        ++shown;
    }
    if (all.size() > shown) values += Format(", ... (%zu values)", all.size());
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
        out += j == i ? Format("%u", bits[i]) : Format("%u..%u", bits[i], bits[j]);
        i = j + 1;
    }
    return out;
}

// The bool fields of a bool or bit field, each with the text of a set and
// of a clear bit. Fields named only after their bit ("Bit05") are not named
// again; fields with the default texts are summed up at the end.
std::string BoolFields(TreeNode b) {
    std::string bits;
    std::vector<uint32_t> plain;
    for (const auto& [pos, f] : b.Children(MOSTFCAT_ITEM_PARAM)) {
        if (f.Kind() != MOSTFCAT_KIND_BOOLFIELD) continue;
        const std::string name = f.Name();
        const std::string set = f.Str(MOSTFCAT_ATTR_BOOLFIELD_SET_TEXT);
        const std::string clear = f.Str(MOSTFCAT_ATTR_BOOLFIELD_CLEAR_TEXT);
        bool generic = name.rfind("Bit", 0) == 0 && name.size() > 3 &&
                       name.find_first_not_of("0123456789", 3) == std::string::npos;
        if (generic && set == "True" && clear == "False") {
            plain.push_back(pos);
            continue;
        }
        bits += Format("; bit %u", pos);
        if (!generic && !name.empty()) bits += " " + name;
        if (set == clear)
            bits += ": one text for both states: " + set;
        else
            bits += ": set=" + set + ", clear=" + clear;
    }
    if (!plain.empty())
        bits += (plain.size() == 1 ? "; bit " : "; bits ") + BitRanges(plain) +
                ": set=True, clear=False";
    return bits;
}

class TextOutline {
public:
    TextOutline(const ListOptions& options, std::string& out) : m_Options(options), m_Out(out) {}

    void Catalog(TreeNode catalog, const IdFilter& fblocks, const IdFilter& functions,
                 bool& matched);

private:
    void Param(TreeNode p, int depth, std::string& out);
    void Children(TreeNode list, int depth, std::string& out);
    void Function(TreeNode f, int depth, std::string& out);
    void Operation(TreeNode op, int depth, std::string& out);
    void Verbose(TreeNode node, uint32_t releaseAttr, uint32_t dateAttr, int depth,
                 std::string& out);

    const ListOptions& m_Options;
    std::string& m_Out;
    // The parameter lines of the first standard Error operation shown.
    std::string m_StandardError;
};

void TextOutline::Verbose(TreeNode node, uint32_t releaseAttr, uint32_t dateAttr, int depth,
                          std::string& out) {
    if (!m_Options.verbose) return;
    const std::string release = node.Str(releaseAttr), date = node.Str(dateAttr);
    if (!release.empty() || !date.empty()) {
        out += Indent(depth) + "version " + (release.empty() ? "-" : release);
        if (!date.empty()) out += ", " + date;
        out += "\n";
    }
    const std::string description = node.Description();
    if (!description.empty()) out += Indent(depth) + "description: " + description + "\n";
}

void TextOutline::Children(TreeNode list, int depth, std::string& out) {
    for (const auto& [slot, p] : ParamsOf(list))
        Param(p, depth, out);
}

void TextOutline::Param(TreeNode p, int depth, std::string& out) {
    const uint32_t kind = p.Kind();
    const std::string name = p.Name();
    std::string line = Indent(depth) + PositionText(p) + " " + name + ": ";
    switch (kind) {
    case MOSTFCAT_KIND_NUMBER:
        line += Format("number, %s %s", WidthText(p).c_str(),
                       p.Int(MOSTFCAT_ATTR_PARAM_SIGNED) ? "signed" : "unsigned");
        line += BitText(p) + NumberText(p);
        if (p.Int(MOSTFCAT_ATTR_DISP_MODE) == MOSTFCAT_DISP_HEX) line += ", hex";
        break;
    case MOSTFCAT_KIND_ENUM:
        line += "enum, " + WidthText(p) + BitText(p) + ", values " + EnumValues(p);
        break;
    case MOSTFCAT_KIND_STRING: {
        line += "string";
        int32_t max = Signed(p, MOSTFCAT_ATTR_STRING_MAX_SIZE);
        if (max >= 0) line += Format(", at most %d bytes", max);
        line += p.Int(MOSTFCAT_ATTR_STRING_ENCODING_BYTE) ? ", with encoding byte"
                                                          : ", no encoding byte";
        line += BitText(p);
        break;
    }
    case MOSTFCAT_KIND_VOID:
        line += "void";
        break;
    case MOSTFCAT_KIND_FKTID_LIST:
        line += "function-identifier list" + BitText(p);
        break;
    case MOSTFCAT_KIND_RAW_STREAM: {
        uint32_t length = p.Int(MOSTFCAT_ATTR_STREAM_MAX_LENGTH);
        line += length ? Format("raw stream, %u bytes", length) : "raw stream, rest of the payload";
        line += BitText(p);
        break;
    }
    case MOSTFCAT_KIND_RAW_SHORT_STREAM:
        line += Format("short stream, at most %u bytes", p.Int(MOSTFCAT_ATTR_STREAM_MAX_LENGTH));
        line += BitText(p);
        break;
    case MOSTFCAT_KIND_CSTREAM:
        line +=
            Format("classified stream, at most %u bytes", p.Int(MOSTFCAT_ATTR_STREAM_MAX_LENGTH));
        line += BitText(p);
        break;
    case MOSTFCAT_KIND_DETAILED_STREAM:
    case MOSTFCAT_KIND_DETAILED_SHORT_STREAM: {
        const bool full = kind == MOSTFCAT_KIND_DETAILED_STREAM;
        line += full ? "stream" : "short stream";
        if (uint32_t length = p.Int(MOSTFCAT_ATTR_STREAM_LENGTH))
            line += Format(", %s %u bytes", full ? "length" : "at most", length);
        if (TreeNode s = p.Node(MOSTFCAT_ATTR_SELECTOR)) line += ", cases selected by " + s.Name();
        if (TreeNode s = p.Node(MOSTFCAT_ATTR_LIST_SIZE)) line += ", list size in " + s.Name();
        line += BitText(p);
        break;
    }
    case MOSTFCAT_KIND_STREAM_CASE: {
        const std::string selector = p.Str(MOSTFCAT_ATTR_CASE_SELECTOR_NAME);
        const uint32_t lo = p.Int(MOSTFCAT_ATTR_CASE_SELECT_MIN);
        const uint32_t hi = p.Int(MOSTFCAT_ATTR_CASE_SELECT_MAX);
        line = Indent(depth) + "case";
        if (!selector.empty())
            line += lo == hi ? Format(" %s=%u", selector.c_str(), lo)
                             : Format(" %s=%u..%u", selector.c_str(), lo, hi);
        if (uint32_t group = p.Int(MOSTFCAT_ATTR_CASE_GROUP_SIZE))
            line += Format(", repeated group of %u", group);
        if (uint32_t times = p.Int(MOSTFCAT_ATTR_CASE_REPEAT_MAX))
            line += Format(" (%u times)", times);
        line += ":";
        break;
    }
    case MOSTFCAT_KIND_SIGNAL: {
        int32_t bits = Signed(p, MOSTFCAT_ATTR_PARAM_BIT_WIDTH);
        line += Format("signal, %d bit%s at bit %u of the case%s%s", bits, bits == 1 ? "" : "s",
                       p.Int(MOSTFCAT_ATTR_PARAM_BIT_POS),
                       p.Int(MOSTFCAT_ATTR_PARAM_SIGNED) ? ", signed" : "",
                       p.Int(MOSTFCAT_ATTR_PARAM_BIG_ENDIAN) ? "" : ", little-endian");
        break;
    }
    case MOSTFCAT_KIND_ARRAY: {
        uint32_t max = p.Int(MOSTFCAT_ATTR_ARRAY_MAX_ELEMENTS);
        line += max == MOSTFCAT_OPEN_ARRAY ? "array, open length"
                                           : Format("array, at most %u elements", max);
        if (TreeNode s = p.Node(MOSTFCAT_ATTR_SELECTOR)) line += ", indexed by " + s.Name();
        line += BitText(p);
        break;
    }
    case MOSTFCAT_KIND_RECORD:
        line += Format("record of %u fields", p.Int(MOSTFCAT_ATTR_RECORD_FIELDS));
        if (TreeNode s = p.Node(MOSTFCAT_ATTR_SELECTOR)) line += ", indexed by " + s.Name();
        line += BitText(p);
        break;
    case MOSTFCAT_KIND_BOOL:
    case MOSTFCAT_KIND_BITFIELD:
        line += (kind == MOSTFCAT_KIND_BOOL ? "bool, " : "bit field, ") + WidthText(p) + BitText(p);
        line += BoolFields(p);
        break;
    default:
        line += Format("kind %u", kind);
        break;
    }
    const std::string symbol = p.Str(MOSTFCAT_ATTR_PARAM_SYMBOL);
    if (!symbol.empty() && symbol != name && kind != MOSTFCAT_KIND_STREAM_CASE)
        line += "  {" + symbol + "}";
    out += line + "\n";
    if (m_Options.verbose && kind != MOSTFCAT_KIND_STREAM_CASE) {
        const std::string description = p.Description();
        if (!description.empty()) out += Indent(depth + 1) + "description: " + description + "\n";
    }

    // Children: array element, record fields, stream cases and their members,
    // the parts of short and classified streams.
    switch (kind) {
    case MOSTFCAT_KIND_DETAILED_STREAM:
    case MOSTFCAT_KIND_DETAILED_SHORT_STREAM: {
        // Cases without members are named on one line; the others are listed.
        std::string empty;
        for (const auto& [slot, n] : ParamsOf(p)) {
            if (n.Kind() != MOSTFCAT_KIND_STREAM_CASE) {
                Param(n, depth + 1, out);
                continue;
            }
            if (!n.Children(MOSTFCAT_ITEM_PARAM).empty()) {
                Param(n, depth + 1, out);
                continue;
            }
            const uint32_t lo = n.Int(MOSTFCAT_ATTR_CASE_SELECT_MIN);
            const uint32_t hi = n.Int(MOSTFCAT_ATTR_CASE_SELECT_MAX);
            if (!empty.empty()) empty += ", ";
            empty += lo == hi ? Format("%u", lo) : Format("%u..%u", lo, hi);
        }
        if (!empty.empty()) out += Indent(depth + 1) + "cases without parameters: " + empty + "\n";
        break;
    }
    case MOSTFCAT_KIND_ARRAY:
    case MOSTFCAT_KIND_RECORD:
    case MOSTFCAT_KIND_STREAM_CASE:
    case MOSTFCAT_KIND_RAW_SHORT_STREAM:
    case MOSTFCAT_KIND_CSTREAM:
        Children(p, depth + 1, out);
        break;
    default:
        break;
    }
}

// True for an Error operation made of the built-in error parameters: the
// error code at position 1 and the error information at position 2.
bool IsStandardErrorShape(TreeNode op) {
    if (op.Int(MOSTFCAT_ATTR_ID) != 0xF || op.Children(MOSTFCAT_ITEM_PARAM).size() != 2)
        return false;
    TreeNode code = op.ChildAt(MOSTFCAT_ITEM_PARAM, 1);
    TreeNode info = op.ChildAt(MOSTFCAT_ITEM_PARAM, 2);
    return code && info && code.Kind() == MOSTFCAT_KIND_ENUM && code.Name() == "ErrorCode" &&
           info.Kind() == MOSTFCAT_KIND_DETAILED_STREAM && info.Name() == "ErrorInfo";
}

void TextOutline::Operation(TreeNode op, int depth, std::string& out) {
    std::string head =
        Indent(depth) + Format("0x%X %s", op.Int(MOSTFCAT_ATTR_ID), op.Name().c_str());
    if (op.Children(MOSTFCAT_ITEM_PARAM).empty()) {
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

void TextOutline::Function(TreeNode f, int depth, std::string& out) {
    const uint32_t type = f.Int(MOSTFCAT_ATTR_FUNCTION_KIND);
    const char* kind = type == MOSTFCAT_FUNCTION_PROPERTY ? "property"
                       : type == MOSTFCAT_FUNCTION_METHOD ? "method"
                                                          : "?";
    const uint32_t cls = f.Int(MOSTFCAT_ATTR_FUNCTION_CLASS, 255);
    const uint32_t sub = f.Int(MOSTFCAT_ATTR_FUNCTION_CLASS_SUB, 255);
    out += Indent(depth) +
           Format("function 0x%03X %s: %s", f.Int(MOSTFCAT_ATTR_ID), f.Name().c_str(), kind);
    if (cls != 255) out += Format(", class %u (%s)", cls, gFctFunctionClassName(cls));
    const std::string subName = gFctFunctionClassSubName(cls, sub);
    if (!subName.empty()) out += Format(", sub %u (%s)", sub, subName.c_str());
    if (f.Int(MOSTFCAT_ATTR_FUNCTION_NOTIFICATION)) out += ", notifies";
    if (f.Int(MOSTFCAT_ATTR_FUNCTION_FLAGS) & MOSTFCAT_FUNCTION_FLAG_ERRORS)
        out += ", import errors";
    out += "\n";
    Verbose(f, MOSTFCAT_ATTR_FUNCTION_RELEASE, MOSTFCAT_ATTR_FUNCTION_DATE, depth + 1, out);
    for (const auto& [slot, op] : ItemsOf(f, MOSTFCAT_ITEM_OPERATION))
        Operation(op, depth + 1, out);
}

void TextOutline::Catalog(TreeNode catalog, const IdFilter& fblocks, const IdFilter& functions,
                          bool& matched) {
    Verbose(catalog, MOSTFCAT_ATTR_CATALOG_RELEASE, MOSTFCAT_ATTR_CATALOG_DATE, 1, m_Out);
    for (const auto& [fbSlot, fb] : ItemsOf(catalog, MOSTFCAT_ITEM_FBLOCK)) {
        const std::string fbName = fb.Name();
        const uint32_t fbId = fb.Int(MOSTFCAT_ATTR_ID);
        if (!fblocks.Matches(fbName, fbId)) continue;
        std::string block = Format("\nFBlock 0x%02X %s\n", fbId, fbName.c_str());
        Verbose(fb, MOSTFCAT_ATTR_FBLOCK_RELEASE, MOSTFCAT_ATTR_FBLOCK_DATE, 1, block);
        bool anyFunction = false;
        std::vector<TreeNode> printed;
        for (const auto& [instSlot, inst] : ItemsOf(fb, MOSTFCAT_ITEM_INSTANCE)) {
            const uint32_t instId = inst.Int(MOSTFCAT_ATTR_ID);
            std::string line = Format("  instance 0x%02X", instId);
            const std::string device = inst.Str(MOSTFCAT_ATTR_INSTANCE_DEVICE_NAME);
            const std::string instFBlock = inst.Str(MOSTFCAT_ATTR_INSTANCE_FBLOCK_NAME);
            if (!device.empty()) line += " " + device;
            if (instFBlock != fbName) line += " (from FBlock " + instFBlock + ")";
            // Instances of one FBlock element share their functions: print a
            // list only once.
            const TreeNode::Slots slots = inst.ChildSlots(MOSTFCAT_ITEM_FUNCTION);
            bool shared = false;
            for (const TreeNode& other : printed) {
                if (!(other.ChildSlots(MOSTFCAT_ITEM_FUNCTION) == slots)) continue;
                block +=
                    line + Format(": functions as instance 0x%02X\n", other.Int(MOSTFCAT_ATTR_ID));
                Verbose(inst, MOSTFCAT_ATTR_INSTANCE_RELEASE, MOSTFCAT_ATTR_INSTANCE_DATE, 2,
                        block);
                shared = true;
                break;
            }
            if (shared) continue;
            std::string list;
            for (const auto& [fnSlot, fn] : ItemsOf(inst, MOSTFCAT_ITEM_FUNCTION)) {
                if (!functions.Matches(fn.Name(), fn.Int(MOSTFCAT_ATTR_ID))) continue;
                anyFunction = true;
                Function(fn, 2, list);
            }
            if (!functions.any && list.empty()) continue;
            printed.push_back(inst);
            block +=
                line + (inst.Children(MOSTFCAT_ITEM_FUNCTION).empty() ? ": no functions\n" : "\n");
            const std::string deviceDescription = inst.Str(MOSTFCAT_ATTR_DEVICE_DESCRIPTION);
            if (m_Options.verbose && !deviceDescription.empty())
                block += "    device description: " + deviceDescription + "\n";
            Verbose(inst, MOSTFCAT_ATTR_INSTANCE_RELEASE, MOSTFCAT_ATTR_INSTANCE_DATE, 2, block);
            block += list;
        }
        if (!functions.any && !anyFunction) continue;
        matched = true;
        m_Out += block;
    }
}

} // namespace

bool ListCatalog(TreeNode catalog, const ListOptions& options, std::string& out) {
    IdFilter fblocks, functions;
    if (!fblocks.Parse(options.fblock) || !functions.Parse(options.function)) return false;
    bool matched = fblocks.any && functions.any;
    std::string text;
    TextOutline outline(options, text);
    outline.Catalog(catalog, fblocks, functions, matched);
    if (!matched) return false;
    // The path is the system's own text; the rest holds catalog texts, one
    // byte a character, which a terminal shows right only as UTF-8.
    out += "catalog " + catalog.Str(MOSTFCAT_ATTR_CATALOG_PATH) + "\n" + JsonText(text);
    return true;
}

} // namespace mostfcat::cli
