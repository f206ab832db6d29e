// Two versions of a catalog compared item by item: FBlocks, instances,
// functions and operations matched by their IDs, parameters by position,
// enumeration values by code. A change is breaking when a payload that the
// old version decodes would decode differently (or not at all) under the new
// one; anything else (added items, new values, wider ranges, names, units,
// descriptions, versions) is compatible.
#include <algorithm>
#include <cmath>
#include <exception>
#include <map>

#include "manager/manager.h"
#include "mostfcat/catalog_diff.h"
#include "mostfcat/fci.h"
#include "mostfcat/fct.h"
#include "params/param.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/node.h"

namespace mostfcat {
void AppendJsonString(std::string& out, const std::string& utf8);
void AppendJsonNumber(std::string& out, double v);
} // namespace mostfcat

using namespace mostfcat;

namespace {

using Change = YFciCatalogDiff::Change;
using Changes = std::vector<Change>;
using Items = std::vector<std::pair<uint32_t, YMTNode*>>;

constexpr auto kBreaking = YFciCatalogDiff::eBreaking;
constexpr auto kCompatible = YFciCatalogDiff::eCompatible;

bool IsParam(const YMTNode* n) {
    switch (n->NodeType()) {
    case kNodeDetailedStream:
    case kNodeStreamCase:
    case kNodeArray:
    case kNodeRecord:
    case kNodeBool:
    case kNodeBoolField:
    case kNodeNumber:
    case kNodeEnum:
    case kNodeString:
    case kNodeBitField:
    case kNodeVoid:
    case kNodeDetailedShortStream:
    case kNodeFktIDBitStream:
    case kNodeRawStream:
    case kNodeCStream:
    case kNodeRawShortStream:
    case kNodeSignal:
        return true;
    default:
        return false;
    }
}

// The children of one item kind with their slot (the ID, or a parameter's
// position), in slot order.
Items ItemsOf(YMTNode* node, uint32_t kind) {
    Items out;
    YMTNode* const* items = nullptr;
    uint32_t count = 0;
    if (!node || node->GetSubItemList(kind, &items, &count) != kAttrOk || !items) return out;
    for (uint32_t i = 0; i < count; ++i) {
        YMTNode* n = items[i];
        if (!n) continue;
        uint32_t k = 0;
        bool match = kind == MOSTFCAT_ITEM_PARAM
                         ? IsParam(n)
                         : n->GetAttrInt(MOSTFCAT_ATTR_ITEM_KIND, &k) == kAttrOk && k == kind;
        if (match) out.emplace_back(i, n);
    }
    return out;
}

std::string Str(YMTNode* n, uint32_t attr) {
    const char* v = nullptr;
    return n && n->GetAttrStr(attr, &v) == kAttrOk && v ? YFciUserInput::Latin1ToUtf8(v)
                                                        : std::string();
}

std::string Name(YMTNode* n) {
    return n ? YFciUserInput::Latin1ToUtf8(n->NameRef()) : std::string();
}

bool Int(YMTNode* n, uint32_t attr, uint32_t& v) {
    v = 0;
    return n->GetAttrInt(attr, &v) == kAttrOk;
}

bool Float(YMTNode* n, uint32_t attr, double& v) {
    v = 0;
    return n->GetAttrFloat(attr, &v) == kAttrOk;
}

std::string Num(double v) {
    if (std::floor(v) == v && std::fabs(v) < 1e15) return StrFormat("%.0f", v);
    return StrFormat("%g", v);
}

const char* TypeName(uint32_t type) {
    switch (type) {
    case kNodeDetailedStream:
        return "stream";
    case kNodeStreamCase:
        return "stream case";
    case kNodeArray:
        return "array";
    case kNodeRecord:
        return "record";
    case kNodeBool:
        return "bool";
    case kNodeBoolField:
        return "bool field";
    case kNodeNumber:
        return "number";
    case kNodeEnum:
        return "enum";
    case kNodeString:
        return "string";
    case kNodeBitField:
        return "bit field";
    case kNodeVoid:
        return "void";
    case kNodeDetailedShortStream:
        return "short stream";
    case kNodeFktIDBitStream:
        return "function ID list";
    case kNodeRawStream:
        return "raw stream";
    case kNodeCStream:
        return "classified stream";
    case kNodeRawShortStream:
        return "raw short stream";
    case kNodeSignal:
        return "signal";
    default:
        return "item";
    }
}

class Walker {
public:
    explicit Walker(Changes& out) : m_Out(out) {}

    void FBlocks(const Items& olds, const Items& news);

private:
    Change& Add(const Change& base, const char* change, const char* item,
                YFciCatalogDiff::Class cls, const std::string& oldText, const std::string& newText,
                const std::string& detail, Changes& out) {
        out.push_back(base);
        Change& c = out.back();
        c.change = change;
        c.item = item;
        c.cls = cls;
        c.oldText = oldText;
        c.newText = newText;
        c.detail = detail;
        return c;
    }
    // Texts that do not change a decode: names, descriptions, versions.
    void Texts(YMTNode* a, YMTNode* b, const char* item, uint32_t release, uint32_t date,
               const Change& base, Changes& out) {
        if (Name(a) != Name(b)) Add(base, "renamed", item, kCompatible, Name(a), Name(b), "", out);
        struct {
            uint32_t attr;
            const char* what;
        } const kTexts[] = {
            {MOSTFCAT_ATTR_DESCRIPTION, "description"}, {release, "release"}, {date, "date"}};
        for (const auto& t : kTexts) {
            if (!t.attr) continue;
            std::string x = t.attr == MOSTFCAT_ATTR_DESCRIPTION
                                ? YFciUserInput::Latin1ToUtf8(a->Description())
                                : Str(a, t.attr);
            std::string y = t.attr == MOSTFCAT_ATTR_DESCRIPTION
                                ? YFciUserInput::Latin1ToUtf8(b->Description())
                                : Str(b, t.attr);
            if (x != y)
                Add(base, "changed", item, kCompatible, x, y, std::string(t.what) + " changed",
                    out);
        }
    }

    void Functions(YMTNode* oldInst, YMTNode* newInst, const Change& base, Changes& out);
    void Operations(YMTNode* a, YMTNode* b, const Change& base, Changes& out);
    void Params(YMTNode* a, YMTNode* b, const Change& base, const std::string& path, bool top,
                Changes& out);
    void Param(YMTNode* a, YMTNode* b, const Change& base, const std::string& path, Changes& out);
    void EnumValues(YMTNode* a, YMTNode* b, const Change& base, const std::string& path,
                    Changes& out);

    Changes& m_Out;
    bool m_Shifted = false; // an earlier parameter of the operation changed its layout
};

void Walker::FBlocks(const Items& olds, const Items& news) {
    std::map<uint32_t, std::pair<YMTNode*, YMTNode*>> pairs;
    for (const auto& [slot, n] : olds)
        pairs[n->ID()].first = n;
    for (const auto& [slot, n] : news)
        pairs[n->ID()].second = n;
    for (const auto& [id, ab] : pairs) {
        auto [a, b] = ab;
        Change base;
        base.fblock = id;
        base.fblockOld = Name(a);
        base.fblockNew = Name(b);
        if (!b) {
            Add(base, "removed", "fblock", kBreaking, Name(a), "", "", m_Out);
            continue;
        }
        if (!a) {
            Add(base, "added", "fblock", kCompatible, "", Name(b), "", m_Out);
            continue;
        }
        Texts(a, b, "fblock", MOSTFCAT_ATTR_FBLOCK_RELEASE, MOSTFCAT_ATTR_FBLOCK_DATE, base, m_Out);
        Items ai = ItemsOf(a, MOSTFCAT_ITEM_INSTANCE), bi = ItemsOf(b, MOSTFCAT_ITEM_INSTANCE);
        std::map<uint32_t, std::pair<YMTNode*, YMTNode*>> insts;
        for (const auto& [slot, n] : ai)
            insts[n->ID()].first = n;
        for (const auto& [slot, n] : bi)
            insts[n->ID()].second = n;
        // Instances share their functions: the changes below them are given
        // once, without an instance, when every common instance has the same.
        std::vector<Changes> perInstance;
        for (const auto& [instId, pq] : insts) {
            auto [p, q] = pq;
            Change ib = base;
            ib.instance = instId;
            if (!q) {
                Add(ib, "removed", "instance", kBreaking,
                    Str(p, MOSTFCAT_ATTR_INSTANCE_DEVICE_NAME), "", "", m_Out);
                continue;
            }
            if (!p) {
                Add(ib, "added", "instance", kCompatible, "",
                    Str(q, MOSTFCAT_ATTR_INSTANCE_DEVICE_NAME), "", m_Out);
                continue;
            }
            std::string dp = Str(p, MOSTFCAT_ATTR_INSTANCE_DEVICE_NAME);
            std::string dq = Str(q, MOSTFCAT_ATTR_INSTANCE_DEVICE_NAME);
            if (dp != dq) Add(ib, "renamed", "instance", kCompatible, dp, dq, "device name", m_Out);
            for (auto [attr, what] : {std::pair<uint32_t, const char*>{
                                          MOSTFCAT_ATTR_INSTANCE_FBLOCK_NAME, "FBlock name"},
                                      {MOSTFCAT_ATTR_INSTANCE_RELEASE, "release"},
                                      {MOSTFCAT_ATTR_INSTANCE_DATE, "date"},
                                      {MOSTFCAT_ATTR_INSTANCE_DESCRIPTION, "description"}}) {
                std::string x = Str(p, attr), y = Str(q, attr);
                if (x != y)
                    Add(ib, "changed", "instance", kCompatible, x, y,
                        std::string(what) + " changed", m_Out);
            }
            perInstance.emplace_back();
            Functions(p, q, ib, perInstance.back());
        }
        auto same = [](const Changes& x, const Changes& y) {
            if (x.size() != y.size()) return false;
            for (size_t i = 0; i < x.size(); ++i) {
                const Change &c = x[i], &d = y[i];
                if (c.change != d.change || c.item != d.item || c.function != d.function ||
                    c.operation != d.operation || c.parameter != d.parameter ||
                    c.value != d.value || c.oldText != d.oldText || c.newText != d.newText ||
                    c.detail != d.detail)
                    return false;
            }
            return true;
        };
        bool shared = !perInstance.empty() &&
                      std::all_of(perInstance.begin(), perInstance.end(),
                                  [&](const Changes& c) { return same(c, perInstance.front()); });
        if (shared && perInstance.size() > 1) {
            for (Change& c : perInstance.front()) {
                c.instance = -1;
                m_Out.push_back(std::move(c));
            }
        } else {
            for (Changes& list : perInstance)
                for (Change& c : list)
                    m_Out.push_back(std::move(c));
        }
    }
}

void Walker::Functions(YMTNode* oldInst, YMTNode* newInst, const Change& base, Changes& out) {
    Items af = ItemsOf(oldInst, MOSTFCAT_ITEM_FUNCTION),
          bf = ItemsOf(newInst, MOSTFCAT_ITEM_FUNCTION);
    std::map<uint32_t, std::pair<YMTNode*, YMTNode*>> pairs;
    for (const auto& [slot, n] : af)
        pairs[n->ID()].first = n;
    for (const auto& [slot, n] : bf)
        pairs[n->ID()].second = n;
    for (const auto& [id, ab] : pairs) {
        auto [a, b] = ab;
        Change fb = base;
        fb.function = id;
        fb.functionOld = Name(a);
        fb.functionNew = Name(b);
        if (!b) {
            Add(fb, "removed", "function", kBreaking, Name(a), "", "", out);
            continue;
        }
        if (!a) {
            Add(fb, "added", "function", kCompatible, "", Name(b), "", out);
            continue;
        }
        Texts(a, b, "function", MOSTFCAT_ATTR_FUNCTION_RELEASE, MOSTFCAT_ATTR_FUNCTION_DATE, fb,
              out);
        uint32_t ka = 0, kb = 0;
        Int(a, MOSTFCAT_ATTR_FUNCTION_KIND, ka);
        Int(b, MOSTFCAT_ATTR_FUNCTION_KIND, kb);
        static const char* const kKinds[] = {"unknown", "property", "method"};
        if (ka != kb)
            Add(fb, "changed", "function", kCompatible, kKinds[ka < 3 ? ka : 0],
                kKinds[kb < 3 ? kb : 0], "kind changed", out);
        Operations(a, b, fb, out);
    }
}

void Walker::Operations(YMTNode* fa, YMTNode* fb, const Change& base, Changes& out) {
    Items ao = ItemsOf(fa, MOSTFCAT_ITEM_OPERATION), bo = ItemsOf(fb, MOSTFCAT_ITEM_OPERATION);
    std::map<uint32_t, std::pair<YMTNode*, YMTNode*>> pairs;
    for (const auto& [slot, n] : ao)
        pairs[n->ID()].first = n;
    for (const auto& [slot, n] : bo)
        pairs[n->ID()].second = n;
    for (const auto& [op, ab] : pairs) {
        auto [a, b] = ab;
        Change ob = base;
        ob.operation = op;
        if (!b) {
            Add(ob, "removed", "operation", kBreaking, Name(a), "", "", out);
            continue;
        }
        if (!a) {
            Add(ob, "added", "operation", kCompatible, "", Name(b), "", out);
            continue;
        }
        if (Name(a) != Name(b))
            Add(ob, "renamed", "operation", kCompatible, Name(a), Name(b), "", out);
        m_Shifted = false;
        Params(a, b, ob, "", true, out);
    }
}

// The parameters below a and b, by position. top: the operation's own
// parameters (the position is the change's coordinate).
void Walker::Params(YMTNode* a, YMTNode* b, const Change& base, const std::string& path, bool top,
                    Changes& out) {
    Items ap = ItemsOf(a, MOSTFCAT_ITEM_PARAM), bp = ItemsOf(b, MOSTFCAT_ITEM_PARAM);
    std::map<uint32_t, std::pair<YMTNode*, YMTNode*>> pairs;
    for (const auto& [slot, n] : ap)
        pairs[slot].first = n;
    for (const auto& [slot, n] : bp)
        pairs[slot].second = n;
    auto slotOfName = [](const Items& items, const std::string& name) -> int64_t {
        for (const auto& [slot, n] : items)
            if (Name(n) == name) return slot;
        return -1;
    };
    for (const auto& [slot, pq] : pairs) {
        auto [p, q] = pq;
        Change pb = base;
        if (top) pb.parameter = slot;
        const std::string name = Name(p ? p : q);
        const std::string here = path.empty() ? name : path + "." + name;
        const std::string where =
            top ? std::string() : StrFormat("in %s, position %u", path.c_str(), slot);
        if (!q) {
            Add(pb, "removed", "parameter", kBreaking, Name(p), "", where, out);
            m_Shifted = true;
            continue;
        }
        if (!p) {
            Add(pb, "added", "parameter", kBreaking, "", Name(q), where, out);
            continue;
        }
        if (Name(p) != Name(q)) {
            int64_t moved = slotOfName(bp, Name(p));
            if (moved >= 0 && moved != slot) {
                Add(pb, "changed", "parameter", kBreaking, Name(p), Name(q),
                    StrFormat("%s moved from position %u to %u", here.c_str(), slot,
                              static_cast<uint32_t>(moved)),
                    out);
                m_Shifted = true;
                continue; // the layouts at this position are of different parameters
            }
            Add(pb, "renamed", "parameter", kCompatible, Name(p), Name(q), where, out);
        }
        size_t before = out.size();
        Param(p, q, pb, path.empty() ? Name(q) : path + "." + Name(q), out);
        for (size_t i = before; i < out.size(); ++i)
            if (out[i].cls == kBreaking) m_Shifted = true;
    }
}

void Walker::Param(YMTNode* a, YMTNode* b, const Change& base, const std::string& path,
                   Changes& out) {
    const std::string oldName = Name(a), newName = Name(b);
    // One change per aspect: a wider number changes several width fields.
    bool widthSaid = false;
    auto breaking = [&](const std::string& what, const std::string& x, const std::string& y) {
        bool width = what.starts_with("width") || what == "bit length";
        // Behind a parameter that changed, the next ones move: said once.
        if (m_Shifted && (what == "bit offset in the payload" || what == "bit position")) return;
        if (width && widthSaid) return;
        widthSaid = widthSaid || width;
        Add(base, "changed", "parameter", kBreaking, x, y, path + ": " + what, out);
    };
    auto compatible = [&](const std::string& what, const std::string& x, const std::string& y) {
        Add(base, "changed", "parameter", kCompatible, x, y, path + ": " + what, out);
    };
    if (a->NodeType() != b->NodeType()) {
        breaking("another type", TypeName(a->NodeType()), TypeName(b->NodeType()));
        return;
    }
    auto* pa = static_cast<YMTParam*>(a);
    auto* pb = static_cast<YMTParam*>(b);
    // What a decode reads: any difference changes the meaning of the bytes.
    if (a->BytesInMsg() != b->BytesInMsg())
        breaking("width in bytes", std::to_string(a->BytesInMsg()),
                 std::to_string(b->BytesInMsg()));
    if (pa->BitWidth() != pb->BitWidth())
        breaking("width in bits", std::to_string(int64_t(int32_t(pa->BitWidth()))),
                 std::to_string(int64_t(int32_t(pb->BitWidth()))));
    if (pa->MsgBitPos() != pb->MsgBitPos())
        breaking("bit offset in the payload", std::to_string(int64_t(int32_t(pa->MsgBitPos()))),
                 std::to_string(int64_t(int32_t(pb->MsgBitPos()))));
    struct IntAttr {
        uint32_t attr;
        const char* what;
        bool isSigned;
    };
    static const IntAttr kInts[] = {
        {MOSTFCAT_ATTR_PARAM_DATA_TYPE, "data type", false},
        {MOSTFCAT_ATTR_PARAM_BIT_POS, "bit position", false},
        {MOSTFCAT_ATTR_PARAM_BIT_WIDTH, "bit length", true},
        {MOSTFCAT_ATTR_PARAM_SIGNED, "signedness", false},
        {MOSTFCAT_ATTR_PARAM_BIG_ENDIAN, "byte order", false},
        {MOSTFCAT_ATTR_NUMBER_EXPONENT, "exponent", true},
        {MOSTFCAT_ATTR_STRING_MAX_SIZE, "maximum string size", true},
        {MOSTFCAT_ATTR_STRING_ENCODING_BYTE, "encoding byte", false},
        {MOSTFCAT_ATTR_ENUM_MAX, "enumeration width", false},
        {MOSTFCAT_ATTR_ARRAY_MAX_ELEMENTS, "array structure (maximum elements)", true},
        {MOSTFCAT_ATTR_CASE_GROUP_SIZE, "stream structure (repeated group)", false},
        {MOSTFCAT_ATTR_CASE_REPEAT_MAX, "stream structure (repetitions)", false},
        {MOSTFCAT_ATTR_CASE_SELECT_MIN, "stream structure (case selector from)", false},
        {MOSTFCAT_ATTR_CASE_SELECT_MAX, "stream structure (case selector to)", false},
        {MOSTFCAT_ATTR_STREAM_MAX_LENGTH, "stream structure (length)", false},
    };
    for (const IntAttr& i : kInts) {
        uint32_t x = 0, y = 0;
        bool hx = Int(a, i.attr, x), hy = Int(b, i.attr, y);
        if (hx == hy && x == y) continue;
        auto text = [&](bool has, uint32_t v) {
            if (!has) return std::string("none");
            return i.isSigned ? std::to_string(int64_t(int32_t(v))) : std::to_string(v);
        };
        breaking(i.what, text(hx, x), text(hy, y));
    }
    // (The factor follows from the exponent, compared above.)
    double oa = 0, ob = 0;
    bool hoa = Float(a, MOSTFCAT_ATTR_NUMBER_OFFSET, oa),
         hob = Float(b, MOSTFCAT_ATTR_NUMBER_OFFSET, ob);
    if (hoa != hob || oa != ob) breaking("offset", Num(oa), Num(ob));
    if (auto* sa = dynamic_cast<YMTParamDetailedStreamBase*>(a)) {
        auto* sb = static_cast<YMTParamDetailedStreamBase*>(b);
        if (sa->Length() != sb->Length())
            breaking("stream structure (length)", std::to_string(sa->Length()),
                     std::to_string(sb->Length()));
    }
    // The range: narrowed breaks payloads that were valid, widened does not.
    if (a->NodeType() == kNodeNumber) {
        double amin = 0, amax = 0, bmin = 0, bmax = 0;
        Float(a, MOSTFCAT_ATTR_NUMBER_MIN, amin);
        Float(a, MOSTFCAT_ATTR_NUMBER_MAX, amax);
        Float(b, MOSTFCAT_ATTR_NUMBER_MIN, bmin);
        Float(b, MOSTFCAT_ATTR_NUMBER_MAX, bmax);
        if (amin != bmin || amax != bmax) {
            std::string x = Num(amin) + ".." + Num(amax), y = Num(bmin) + ".." + Num(bmax);
            if (bmin > amin || bmax < amax)
                breaking("range narrowed", x, y);
            else
                compatible("range widened", x, y);
        }
        double sa = static_cast<YMTParamNumber*>(a)->Step();
        double sb = static_cast<YMTParamNumber*>(b)->Step();
        if (sa != sb) compatible("step changed", Num(sa), Num(sb));
    }
    std::string ua = Str(a, MOSTFCAT_ATTR_NUMBER_UNIT), ub = Str(b, MOSTFCAT_ATTR_NUMBER_UNIT);
    if (ua != ub) compatible("unit changed", ua, ub);
    if (pa->ParamDispMode() != pb->ParamDispMode())
        compatible("display changed", pa->ParamDispMode() == kDispHex ? "hex" : "decimal",
                   pb->ParamDispMode() == kDispHex ? "hex" : "decimal");
    std::string da = YFciUserInput::Latin1ToUtf8(a->Description());
    std::string db = YFciUserInput::Latin1ToUtf8(b->Description());
    if (da != db) compatible("description changed", da, db);
    for (auto [attr, what] :
         {std::pair<uint32_t, const char*>{MOSTFCAT_ATTR_BOOLFIELD_SET_TEXT, "set text changed"},
          {MOSTFCAT_ATTR_BOOLFIELD_CLEAR_TEXT, "clear text changed"}}) {
        std::string x = Str(a, attr), y = Str(b, attr);
        if (x != y) compatible(what, x, y);
    }
    if (a->NodeType() == kNodeEnum) EnumValues(a, b, base, path, out);
    Params(a, b, base, path, false, out);
}

void Walker::EnumValues(YMTNode* a, YMTNode* b, const Change& base, const std::string& path,
                        Changes& out) {
    struct Value {
        uint32_t max;
        std::string name;
    };
    auto values = [](YMTNode* e) {
        std::map<uint32_t, Value> m;
        for (const auto& [slot, v] : ItemsOf(e, MOSTFCAT_ITEM_ENUMVALUE)) {
            uint32_t lo = 0, hi = 0;
            Int(v, MOSTFCAT_ATTR_ENUMVALUE_CODE_MIN, lo);
            Int(v, MOSTFCAT_ATTR_ENUMVALUE_CODE_MAX, hi);
            m[lo] = Value{hi, Name(v)};
        }
        return m;
    };
    std::map<uint32_t, Value> va = values(a), vb = values(b);
    auto codeOf = [](const std::map<uint32_t, Value>& m, const std::string& name) -> int64_t {
        for (const auto& [code, v] : m)
            if (v.name == name) return code;
        return -1;
    };
    auto codes = [](uint32_t lo, uint32_t hi) {
        return lo == hi ? StrFormat("0x%X", lo) : StrFormat("0x%X..0x%X", lo, hi);
    };
    for (const auto& [code, v] : va) {
        Change vc = base;
        vc.value = code;
        auto it = vb.find(code);
        if (it == vb.end()) {
            int64_t moved = codeOf(vb, v.name);
            if (moved >= 0 && va.find(uint32_t(moved)) == va.end())
                Add(vc, "changed", "value", kBreaking, v.name, v.name,
                    StrFormat("%s: recoded from %s to %s", path.c_str(), codes(code, v.max).c_str(),
                              codes(uint32_t(moved), vb[uint32_t(moved)].max).c_str()),
                    out);
            else
                Add(vc, "removed", "value", kBreaking, v.name, "",
                    path + ": code " + codes(code, v.max), out);
            continue;
        }
        if (it->second.max != v.max)
            Add(vc, "changed", "value", it->second.max < v.max ? kBreaking : kCompatible, v.name,
                it->second.name,
                path + ": codes " + codes(code, v.max) + " now " + codes(code, it->second.max),
                out);
        if (it->second.name != v.name) {
            int64_t other = codeOf(vb, v.name);
            if (other >= 0 && other != code)
                Add(vc, "changed", "value", kBreaking, v.name, it->second.name,
                    StrFormat("%s: %s recoded from 0x%X to 0x%X", path.c_str(), v.name.c_str(),
                              code, uint32_t(other)),
                    out);
            else
                Add(vc, "renamed", "value", kCompatible, v.name, it->second.name,
                    path + ": code " + codes(code, v.max), out);
        }
    }
    for (const auto& [code, v] : vb) {
        if (va.count(code)) continue;
        int64_t was = codeOf(va, v.name);
        if (was >= 0 && vb.find(uint32_t(was)) == vb.end()) continue; // reported as recoded
        Change vc = base;
        vc.value = code;
        Add(vc, "added", "value", kCompatible, "", v.name, path + ": code " + codes(code, v.max),
            out);
    }
}

Items FBlocksOf(YMTNode* catalog) {
    return ItemsOf(catalog, MOSTFCAT_ITEM_FBLOCK);
}

void Coordinate(std::string& out, const char* key, int64_t v) {
    if (v < 0) return;
    out += ",\"";
    out += key;
    out += "\":" + std::to_string(v);
}

} // namespace

bool YFciCatalogDiff::Compare(uint64_t oldCatalog, uint64_t newCatalog, std::vector<Change>& out,
                              std::string& error) {
    try {
        auto* a = reinterpret_cast<YMTNode*>(oldCatalog);
        auto* b = reinterpret_cast<YMTNode*>(newCatalog);
        for (YMTNode* n : {a, b})
            if (n && n->NodeType() != kNodeCatalog) {
                error = "not a catalog node";
                return false;
            }
        Walker walker(out);
        walker.FBlocks(a ? FBlocksOf(a) : Items(), b ? FBlocksOf(b) : Items());
        return true;
    } catch (const std::exception& e) {
        error = std::string("not compared: ") + e.what();
        return false;
    }
}

bool YFciCatalogDiff::Compare(YFciFCatManager& oldManager, uint16_t oldChannel,
                              const std::string& oldName, YFciFCatManager& newManager,
                              uint16_t newChannel, const std::string& newName,
                              std::vector<Change>& out, std::string& error) {
    try {
        auto fblocks = [](YFciFCatManager& m, uint16_t ch, const std::string& name) {
            YFciFCatManager::NodeList nodes;
            m.GetFBlockNodes(ch, name, nodes);
            Items items;
            for (uint64_t h : nodes)
                if (h) items.emplace_back(0, reinterpret_cast<YMTNode*>(h));
            return items;
        };
        Walker walker(out);
        walker.FBlocks(fblocks(oldManager, oldChannel, oldName),
                       fblocks(newManager, newChannel, newName));
        return true;
    } catch (const std::exception& e) {
        error = std::string("not compared: ") + e.what();
        return false;
    }
}

uint32_t YFciCatalogDiff::Count(const std::vector<Change>& changes, Class cls) {
    return static_cast<uint32_t>(std::count_if(changes.begin(), changes.end(),
                                               [cls](const Change& c) { return c.cls == cls; }));
}

std::string YFciCatalogDiff::Json(const std::vector<Change>& changes) {
    std::string out = "{\"changes\":[";
    try {
        bool first = true;
        for (const Change& c : changes) {
            out += first ? "{" : ",{";
            first = false;
            out += "\"change\":";
            AppendJsonString(out, c.change);
            out += ",\"item\":";
            AppendJsonString(out, c.item);
            out += c.cls == eBreaking ? ",\"class\":\"breaking\"" : ",\"class\":\"compatible\"";
            Coordinate(out, "fblock", c.fblock);
            Coordinate(out, "instance", c.instance);
            Coordinate(out, "function", c.function);
            Coordinate(out, "operation", c.operation);
            Coordinate(out, "parameter", c.parameter);
            Coordinate(out, "value", c.value);
            out += ",\"old\":";
            AppendJsonString(out, c.oldText);
            out += ",\"new\":";
            AppendJsonString(out, c.newText);
            if (!c.detail.empty()) {
                out += ",\"detail\":";
                AppendJsonString(out, c.detail);
            }
            out += "}";
        }
    } catch (const std::exception&) {
    }
    out += StrFormat("],\"breaking\":%u,\"compatible\":%u}\n", Count(changes, eBreaking),
                     Count(changes, eCompatible));
    return out;
}

std::string YFciCatalogDiff::Text(const std::vector<Change>& changes) {
    std::string out;
    try {
        auto names = [](const std::string& a, const std::string& b) {
            if (a.empty()) return b;
            if (b.empty() || a == b) return a;
            return a + " -> " + b;
        };
        int64_t fblock = -2, function = -2, instance = -2;
        for (const Change& c : changes) {
            if (c.fblock != fblock) {
                fblock = c.fblock;
                function = instance = -2;
                out += StrFormat("FBlock %02X ", unsigned(c.fblock)) +
                       names(c.fblockOld, c.fblockNew) + "\n";
            }
            if (c.function >= 0 && (c.function != function || c.instance != instance)) {
                function = c.function;
                instance = c.instance;
                out += StrFormat("  function %03X ", unsigned(c.function)) +
                       names(c.functionOld, c.functionNew);
                if (c.instance >= 0) out += StrFormat(" (instance %02X)", unsigned(c.instance));
                out += "\n";
            }
            out += c.function >= 0 ? "    " : "  ";
            out += c.cls == eBreaking ? "breaking    " : "compatible  ";
            out += c.change + " " + c.item;
            if (c.item == "instance") out += StrFormat(" %02X", unsigned(c.instance));
            if (c.operation >= 0) out += StrFormat(" op %X", unsigned(c.operation));
            if (c.parameter >= 0) out += StrFormat(" param %u", unsigned(c.parameter));
            if (c.item == "value") out += StrFormat(" 0x%X", unsigned(c.value));
            if (c.change == "renamed" || c.change == "changed")
                out += ": '" + c.oldText + "' -> '" + c.newText + "'";
            else if (c.change == "removed")
                out += ": '" + c.oldText + "'";
            else
                out += ": '" + c.newText + "'";
            if (!c.detail.empty()) out += " (" + c.detail + ")";
            out += "\n";
        }
        out += StrFormat("%u breaking, %u compatible %s\n", Count(changes, eBreaking),
                         Count(changes, eCompatible), changes.size() == 1 ? "change" : "changes");
    } catch (const std::exception&) {
        out += "(the list could not be written in full)\n";
    }
    return out;
}
