// Stream cases: the import of the StreamCase elements of a detailed stream
// (sequence descriptions, member lists, the rebuild from index attributes)
// and the stream-case node itself.
#include <algorithm>
#include <memory>
#include <unordered_map>
#include <utility>

#include "import/import_log.h"
#include "import/text_read.h"
#include "import/xml.h"
#include "decoding/disasm_context.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "platform/strings.h"
#include "tree/identifiers.h"

namespace mostfcat {

using Ctx = YImportContext;

// Warning number of the size limits (not part of the catalog checks proper:
// it only fires for catalogs far beyond any real device).
constexpr uint32_t kWarnStreamTooLarge = 240;

namespace {

// A name of a sequence description or a selector: letters, digits and "_".
bool IsValidName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name)
        if (!IsIdentifierChar(c)) return false;
    return true;
}

bool HasNameChar(const std::string& text) {
    for (char c : text)
        if (IsIdentifierChar(c)) return true;
    return false;
}

// "%s_%d" with the smallest number from 1 to 99 that used() refuses; empty
// when every number is taken.
template <class Used> std::string UniqueName(const std::string& name, Used used) {
    for (int i = 1; i <= 99; ++i) {
        std::string candidate = StrFormat("%s_%d", name.c_str(), i);
        if (!used(candidate)) return candidate;
    }
    return std::string();
}

// The whole character content of an element's direct text children.
std::string AllText(const XDomElement* element) {
    std::string out;
    for (XDomNode* n = element ? element->getFirstChild() : nullptr; n; n = n->getNextSibling()) {
        auto type = n->getNodeType();
        if (type == XDomNode::TEXT_NODE || type == XDomNode::CDATA_SECTION_NODE)
            out += XmlToLocal(n->getNodeValue());
    }
    return out;
}

// Number of nodes of a subtree, the node itself included.
uint64_t CountNodes(const YMTNode* node) {
    uint64_t count = 0;
    std::vector<const YMTNode*> stack{node};
    while (!stack.empty()) {
        const YMTNode* n = stack.back();
        stack.pop_back();
        if (!n) continue;
        ++count;
        if (const YMTChildList* list = n->Children())
            ForEachChild(*list, [&](uint32_t, YMTNode* child) { stack.push_back(child); });
    }
    return count;
}

// The parameter at a child-list entry (null for empty entries and other
// nodes).
YMTParam* ParamIn(const YMTChildList& list, uint32_t index) {
    YMTNode* n = list.GetAt(index);
    return (n && IsParamNodeType(n->NodeType())) ? static_cast<YMTParam*>(n) : nullptr;
}

// --- sequence descriptions ----------------------------------------------------

// One member of a sequence: its name, its 1-based position and its
// repetition mark (the size of the repeated group, 0 when fixed).
struct YSeqEntry {
    std::string name;
    uint16_t pos = 0;
    uint16_t mark = 0;
};

// One case layout: the selector name and range and the members.
struct YSeqDesc {
    std::string selName;
    uint32_t selMin = 0;
    uint32_t selMax = 0;
    std::vector<YSeqEntry> entries;
};

// Names compared ignoring letter case, found without a linear search (a
// hostile catalog may list thousands of names).
class YNameIndex {
public:
    // Index of the first entry of that name, or -1.
    long Find(const std::string& name) const {
        auto it = m_Map.find(ToLower(name));
        return it == m_Map.end() ? -1 : static_cast<long>(it->second);
    }
    bool Has(const std::string& name) const { return Find(name) >= 0; }
    void Add(const std::string& name, size_t index) { m_Map.emplace(ToLower(name), index); }

private:
    std::unordered_map<std::string, size_t> m_Map;
};

// Keeps the characters a description is made of.
std::string CleanDescription(std::string text) {
    for (const char* entity : {"&lt;", "&gt;"})
        for (size_t p = text.find(entity); p != std::string::npos; p = text.find(entity, p))
            text.erase(p, 4);
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (IsIdentifierChar(c) || c == '{' || c == '}' || c == '=' || c == '.' || c == ';' ||
            c == ',' || c == '\n')
            out.push_back(c);
    return out;
}

std::vector<std::string> SplitAny(const std::string& text, const char* separators) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find_first_of(separators, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

// The selector part "name=range" in front of a member list; taken only when
// both the name and the first token of the range are valid.
void ParseSelector(const std::string& text, YSeqDesc& desc) {
    size_t eq = text.find('=');
    if (eq == std::string::npos) return;
    std::string name = Trim(text.substr(0, eq));
    if (!IsValidName(name)) return;
    std::string token;
    for (const std::string& t : SplitAny(text.substr(eq + 1), ";,\t\n:"))
        if (!t.empty()) {
            token = t;
            break;
        }
    YCodeRange range;
    if (!ReadCodeRange(token, range) || range.min < 0 || range.max > int64_t(UINT32_MAX)) return;
    FixLeadingDigit(name);
    desc.selName = name;
    desc.selMin = static_cast<uint32_t>(range.min);
    desc.selMax = static_cast<uint32_t>(range.max);
}

// Member names: letters, digits and "_"; a leading digit is adapted like the
// parameter names themselves, so that the names still match the members.
bool NextName(std::string name, std::string& out) {
    if (!IsValidName(name)) return false;
    FixLeadingDigit(name);
    out = std::move(name);
    return true;
}

// The member list of one description: fixed names, then an optional
// repeated group in braces. Sets overflow when positions ran out.
void ParseMemberList(std::string list, YSeqDesc& desc, bool& overflow) {
    if (!list.empty() && list.front() == '{') {
        list.erase(0, 1);
        if (!list.empty() && list.back() == '}') list.pop_back();
    }
    std::string fixed = list;
    std::string group;
    bool hasGroup = false;
    size_t open = list.find('{');
    if (open != std::string::npos) {
        size_t close = list.find('}', open + 1);
        if (close != std::string::npos && close - open >= 2) {
            fixed = list.substr(0, open);
            group = list.substr(open + 1, close - open - 1);
            hasGroup = true;
        }
    }
    std::vector<YSeqEntry>& entries = desc.entries;
    YNameIndex index;
    uint32_t next = 1;
    for (const std::string& raw : SplitAny(fixed, ",\n\t")) {
        std::string name;
        if (!NextName(raw, name)) continue;
        if (index.Has(name)) {
            name = UniqueName(name, [&](const std::string& n) { return index.Has(n); });
            if (name.empty()) continue;
        }
        if (next > kMaxCaseMembers) {
            overflow = true;
            break;
        }
        index.Add(name, entries.size());
        entries.push_back({name, static_cast<uint16_t>(next++), 0});
    }
    if (!hasGroup) return;
    std::vector<size_t> members;
    std::vector<bool> inGroup(entries.size(), false);
    for (const std::string& raw : SplitAny(group, ",\n\t")) {
        std::string name;
        if (!NextName(raw, name)) continue;
        long found = index.Find(name);
        if (found >= 0) {
            // A name of the fixed part keeps its position; a name repeated
            // inside the group counts once.
            if (!inGroup[size_t(found)]) {
                inGroup[size_t(found)] = true;
                members.push_back(size_t(found));
            }
            continue;
        }
        if (next > kMaxCaseMembers) {
            overflow = true;
            break;
        }
        index.Add(name, entries.size());
        entries.push_back({name, static_cast<uint16_t>(next++), 0});
        inGroup.push_back(true);
        members.push_back(entries.size() - 1);
    }
    for (size_t i : members)
        entries[i].mark = static_cast<uint16_t>(members.size());
}

// Parses the text of a PosDescription element into case layouts.
std::vector<YSeqDesc> ParseDescriptions(const std::string& text, bool& overflow) {
    std::string clean = CleanDescription(text);
    std::vector<std::string> pieces;
    if (std::count(clean.begin(), clean.end(), '=') >= 2)
        pieces = SplitAny(clean, "\n");
    else
        pieces.push_back(clean);
    std::vector<YSeqDesc> out;
    for (const std::string& piece : pieces) {
        if (piece.empty() || !HasNameChar(piece)) continue;
        if (out.size() >= kMaxStreamCases) {
            overflow = true;
            break;
        }
        YSeqDesc desc;
        std::string list = piece;
        size_t last = piece.rfind('=');
        if (last != std::string::npos) {
            list = piece.substr(last + 1);
            ParseSelector(piece.substr(0, last), desc);
        }
        ParseMemberList(list, desc, overflow);
        out.push_back(std::move(desc));
    }
    return out;
}

// Reads "n" or "nseqm" of an index attribute.
bool ReadSeqIndex(const std::string& text, int64_t& index, int64_t& count) {
    std::string t = ToLower(Trim(text));
    size_t seq = t.find("seq");
    std::string indexText = Trim(t.substr(0, seq));
    count = 0;
    if (indexText.empty() || !ReadNumber(indexText, index)) return false;
    if (seq == std::string::npos) return true;
    std::string countText = Trim(t.substr(seq + 3));
    return !countText.empty() && ReadNumber(countText, count);
}

} // namespace

// --- import of the stream cases ---------------------------------------------------

// Turns the StreamCase elements of one detailed stream into stream cases.
class YStreamCaseImporter {
public:
    YStreamCaseImporter(YMTParamDetailedStreamBase& stream, YImportContext& ctx, YImportLog& log,
                        bool single, uint64_t budget)
        : m_Stream(stream), m_Ctx(ctx), m_Log(log), m_Single(single), m_Budget(budget),
          m_CasePath(stream.PathName() + "/StreamCase") {}

    ~YStreamCaseImporter() {
        for (YMTParamStreamCase* c : m_Cases)
            delete c;
    }

    // Imports one StreamCase element; false when the size limits stop the
    // import of further cases.
    bool ImportElement(const XDomElement* element);

    // Hands the cases over to the caller.
    std::vector<YMTParamStreamCase*> TakeCases() { return std::exchange(m_Cases, {}); }

private:
    void ImportSignals(const XDomElement* element, YMTParamStreamCase& members);
    void ImportParams(const XDomElement* element, YMTParamStreamCase& members);
    bool AddMember(YMTParam* member, YMTParamStreamCase& members);
    bool Rebuild(const XDomElement* element, bool signals, YSeqDesc& out);
    bool MakeCase(const YSeqDesc& desc, const YMTParamStreamCase& members,
                  const std::vector<uint64_t>& sizes);
    void WarnTooLarge();

    YMTParamDetailedStreamBase& m_Stream;
    YImportContext& m_Ctx;
    YImportLog& m_Log;
    bool m_Single;
    uint64_t m_Budget;
    uint64_t m_Used = 0;
    bool m_Warned = false;
    std::string m_CasePath;
    std::vector<YMTParamStreamCase*> m_Cases;
    // Names of the members of the element being imported, by list index.
    YNameIndex m_MemberIndex;
};

void YStreamCaseImporter::WarnTooLarge() {
    if (m_Warned) return;
    m_Warned = true;
    m_Log.LogWarning(kWarnStreamTooLarge,
                     "Stream exceeds the supported size; further stream cases and members are "
                     "dropped.",
                     m_Stream.PathName(), 1);
}

bool YStreamCaseImporter::AddMember(YMTParam* member, YMTParamStreamCase& members) {
    std::unique_ptr<YMTParam> owned(member);
    if (members.GetSize() >= kMaxCaseMembers) {
        WarnTooLarge();
        return false;
    }
    if (m_MemberIndex.Has(member->NameRef())) {
        std::string renamed = UniqueName(
            member->NameRef(), [&](const std::string& n) { return m_MemberIndex.Has(n); });
        if (!renamed.empty()) {
            m_Log.LogWarning(165,
                             StrFormat("Double definition of StreamParam/StreamSignal name '%s'. "
                                       "StreamParam/StreamSignal will be renamed to '%s'.",
                                       member->NameRef().c_str(), renamed.c_str()),
                             m_CasePath, 10);
            member->SetName(renamed);
        }
    }
    m_MemberIndex.Add(member->NameRef(), members.GetSize());
    members.Add(owned.release());
    return true;
}

void YStreamCaseImporter::ImportSignals(const XDomElement* element, YMTParamStreamCase& members) {
    std::string order;
    bool little = Ctx::GetAttr(element, "ByteOrder", order) && order == "LittleEndian";
    uint32_t bitPos = 0;
    for (const XDomElement* s = Ctx::FirstChildElement(element, "StreamSignal"); s;
         s = Ctx::NextSiblingElement(s, "StreamSignal")) {
        auto signal = std::make_unique<YMTParamSignal>();
        signal->SetLittleEndian(little);
        signal->SetBitPos(bitPos);
        signal->SetParent(&members);
        if (!signal->ImportXML(s, m_Ctx, m_Log)) continue;
        uint32_t next = bitPos + static_cast<uint32_t>(signal->BitLength());
        if (!AddMember(signal.release(), members)) break;
        bitPos = next;
    }
}

void YStreamCaseImporter::ImportParams(const XDomElement* element, YMTParamStreamCase& members) {
    for (const XDomElement* p = Ctx::FirstChildElement(element, "StreamParam"); p;
         p = Ctx::NextSiblingElement(p, "StreamParam")) {
        std::unique_ptr<YMTParam> param(CreateParamFromElement(m_Ctx, p, false, std::string()));
        if (!param) {
            m_Log.LogWarning(20, "Unknown parameter type in <StreamParam>", m_CasePath, 5);
            continue;
        }
        uint32_t type = param->NodeType();
        if (type == kNodeVoid) continue;
        if (type == kNodeArray || type == kNodeRecord) {
            m_Log.LogWarning(157, "Parameter type not allowed in this context", m_CasePath, 5);
            continue;
        }
        param->SetParent(&members);
        if (!param->ImportXML(p, m_Ctx, m_Log)) {
            m_Log.LogWarning(21, "Failed to import element <StreamParam>", m_CasePath, 5);
            continue;
        }
        if (!AddMember(param.release(), members)) break;
    }
}

bool YStreamCaseImporter::Rebuild(const XDomElement* element, bool signals, YSeqDesc& out) {
    const char* memberTag = signals ? "StreamSignal" : "StreamParam";
    const char* indexAttr = signals ? "SignalIdx" : "ParamIdx";
    const char* nameTag = signals ? "SignalName" : "ParamName";
    std::vector<const XDomElement*> elements;
    for (const XDomElement* e = Ctx::FirstChildElement(element, memberTag); e;
         e = Ctx::NextSiblingElement(e, memberTag))
        elements.push_back(e);
    if (elements.empty()) return false;

    // An index 0 moves every index of the case up by one.
    int64_t increment = 0;
    for (const XDomElement* e : elements) {
        std::string text;
        int64_t index = 0, count = 0;
        if (Ctx::GetAttr(e, indexAttr, text) && ReadSeqIndex(text, index, count) && index == 0) {
            m_Log.LogWarning(231,
                             StrFormat("Attribute '%s=\"%s\"' is not allowed. Now incrementing all "
                                       "indices by one for this stream.",
                                       indexAttr, text.c_str()),
                             m_CasePath, 5);
            increment = 1;
            break;
        }
    }

    struct Item {
        int64_t index;
        int64_t count;
        std::string name;
    };
    std::vector<Item> items;
    YNameIndex names;
    std::vector<bool> indexUsed(4096, false);
    int64_t groupCount = 0;
    for (const XDomElement* e : elements) {
        std::string text;
        if (!Ctx::GetAttr(e, indexAttr, text)) {
            m_Log.LogError(161, StrFormat("Missing required attribute %s", indexAttr), m_CasePath);
            return false;
        }
        int64_t index = 0, count = 0;
        if (!ReadSeqIndex(text, index, count) || index + increment < 1 ||
            index + increment > 4095 || count < 0 || count > 4095) {
            m_Log.LogError(162,
                           StrFormat("Failed to analyze '%s=\"%s\"'. Attribute value is invalid.",
                                     indexAttr, text.c_str()),
                           m_CasePath);
            return false;
        }
        index += increment;
        std::string name;
        if (!Ctx::ChildText(e, nameTag, name)) {
            m_Log.LogError(163, StrFormat("Can not find element <%s>", nameTag), m_CasePath);
            return false;
        }
        name = Trim(name);
        if (name.empty()) {
            m_Log.LogError(164, "Invalid parameter name in tag <ParamName>", m_CasePath);
            return false;
        }
        if (FixLeadingDigit(name))
            m_Log.LogWarning(
                222, StrFormat("Adapted parameter name due to leading digit ('%s').", name.c_str()),
                m_CasePath, 1);
        if (names.Has(name)) {
            std::string renamed =
                UniqueName(name, [&](const std::string& n) { return names.Has(n); });
            if (!renamed.empty()) name = renamed;
        }
        if (indexUsed[size_t(index)] || (count != 0 && groupCount != 0 && count != groupCount)) {
            m_Log.LogError(166,
                           "Can't reconstruct sequence of parameters (check attribute 'ParamIdx' "
                           "of StreamParams)",
                           m_CasePath);
            return false;
        }
        if (count != 0) groupCount = count;
        indexUsed[size_t(index)] = true;
        names.Add(name, items.size());
        items.push_back({index, count, name});
    }
    if (groupCount != 0) {
        int64_t inGroup =
            std::count_if(items.begin(), items.end(), [](const Item& i) { return i.count != 0; });
        if (inGroup != groupCount) {
            m_Log.LogError(167,
                           "Can't reconstruct sequence of parameters (check attribute 'ParamIdx' "
                           "of StreamParams)",
                           m_CasePath);
            return false;
        }
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const Item& a, const Item& b) { return a.index < b.index; });
    out = YSeqDesc();
    uint16_t pos = 1;
    for (const Item& i : items)
        out.entries.push_back({i.name, pos++, static_cast<uint16_t>(i.count)});
    return true;
}

bool YStreamCaseImporter::MakeCase(const YSeqDesc& desc, const YMTParamStreamCase& members,
                                   const std::vector<uint64_t>& sizes) {
    // Every name of a description is a piece of catalog text the stream may
    // spend nodes on.
    m_Budget += uint64_t(kStreamNodesPerItem) * desc.entries.size();
    uint64_t need = 1;
    for (const YSeqEntry& e : desc.entries)
        if (long i = m_MemberIndex.Find(e.name); i >= 0) need += sizes[size_t(i)];
    if (m_Cases.size() >= kMaxStreamCases || m_Used + need > m_Budget) {
        WarnTooLarge();
        return false;
    }
    m_Used += need;

    auto c = std::make_unique<YMTParamStreamCase>();
    c->SetName("StreamCase");
    c->SetParent(&m_Stream);
    c->m_PosXString = desc.selName;
    c->m_PosYMin = desc.selMin;
    c->m_PosYMax = desc.selMax;
    bool missing = false;
    for (const YSeqEntry& e : desc.entries) {
        long i = m_MemberIndex.Find(e.name);
        YMTNode* m = i >= 0 ? members.GetAt(static_cast<uint32_t>(i)) : nullptr;
        if (!m) {
            m_Log.LogWarning(160,
                             StrFormat("Definition of parameter %s is missing", e.name.c_str()),
                             m_CasePath, 10);
            missing = true;
            continue;
        }
        if (c->GetAt(e.pos)) continue; // positions of one description are unique
        std::unique_ptr<YMTParam> clone(CloneParam(static_cast<const YMTParam*>(m)));
        if (!clone) continue;
        clone->SetParent(c.get());
        clone->SetParamPos(e.pos);
        clone->SetSeqIndex(e.mark);
        if (e.mark != 0) c->m_SeqCnt = e.mark;
        c->SetAt(clone.release(), e.pos);
    }
    if (missing) {
        c->m_SeqCnt = 0;
        ForEachChild(*c, [](uint32_t, YMTNode* n) {
            if (IsParamNodeType(n->NodeType())) static_cast<YMTParam*>(n)->SetSeqIndex(0);
        });
    }
    if (c->m_SeqCnt != 0) {
        std::vector<uint16_t> positions;
        ForEachChild(*c, [&](uint32_t pos, YMTNode* n) {
            if (static_cast<YMTParam*>(n)->SeqIndex() != 0)
                positions.push_back(static_cast<uint16_t>(pos));
        });
        c->m_SeqPositions = positions;
    }
    m_Cases.push_back(c.release());
    return true;
}

bool YStreamCaseImporter::ImportElement(const XDomElement* element) {
    // Members, imported into a holder that stands where the cases will.
    YMTParamStreamCase members;
    m_MemberIndex = YNameIndex();
    members.SetName("StreamCase");
    members.SetParent(&m_Stream);
    bool signals = Ctx::FirstChildElement(element, "StreamSignal") != nullptr;
    if (signals)
        ImportSignals(element, members);
    else if (Ctx::FirstChildElement(element, "StreamParam"))
        ImportParams(element, members);
    bool hasMembers = members.GetCount() != 0;

    const XDomElement* posDesc = Ctx::FirstChildElement(element, "PosDescription");
    if (!posDesc) {
        m_Log.LogError(158, "Can not find element <PosDescription>", m_CasePath);
        return true;
    }

    std::vector<YSeqDesc> descs;
    bool overflow = false;
    auto rebuildOrEmpty = [&]() {
        YSeqDesc rebuilt;
        if (Rebuild(element, signals, rebuilt)) {
            descs.push_back(std::move(rebuilt));
            return;
        }
        m_Log.LogWarning(159,
                         "Unable to reconstruct parameter sequence in <StreamCase>. Check "
                         "attribute 'ParamIdx' in <StreamParam> and <PosDescrition>.",
                         m_CasePath, 10);
        members.RemoveAll();
        m_MemberIndex = YNameIndex();
        descs.push_back(YSeqDesc());
    };
    if (hasMembers) {
        descs = ParseDescriptions(AllText(posDesc), overflow);
        if (descs.size() == 1) {
            // A single description is taken when it names members only.
            bool allKnown = !descs[0].entries.empty();
            for (const YSeqEntry& e : descs[0].entries)
                if (!m_MemberIndex.Has(e.name)) allKnown = false;
            if (!allKnown) {
                descs.clear();
                rebuildOrEmpty();
            }
        } else if (descs.empty()) {
            rebuildOrEmpty();
        }
    } else if (!m_Single) {
        descs.push_back(YSeqDesc());
    } else {
        rebuildOrEmpty();
    }
    if (overflow) WarnTooLarge();

    if (!m_Single) {
        if (descs.size() > 1) descs.resize(1);
        std::string text;
        if (!Ctx::GetAttr(posDesc, "PosY", text)) text = "#NULL#";
        YCodeRange range;
        if (!ReadCodeRange(text, range) || range.min < 0 || range.max > int64_t(UINT32_MAX)) {
            m_Log.LogError(17, StrFormat("Failed to analyze value '%s'", text.c_str()), m_CasePath);
            return true;
        }
        std::string selector;
        Ctx::GetAttr(posDesc, "PosX", selector);
        selector = Trim(selector);
        if (FixLeadingDigit(selector))
            m_Log.LogWarning(
                221,
                StrFormat("Adapted parameter name due to leading digit ('%s').", selector.c_str()),
                m_CasePath, 1);
        descs[0].selName = selector;
        descs[0].selMin = static_cast<uint32_t>(range.min);
        descs[0].selMax = static_cast<uint32_t>(range.max);
    }

    std::vector<uint64_t> sizes(members.GetSize(), 0);
    for (uint32_t i = 0; i < members.GetSize(); ++i)
        sizes[i] = CountNodes(members.GetAt(i));
    for (const YSeqDesc& d : descs)
        if (!MakeCase(d, members, sizes)) return false;
    return true;
}

std::vector<YMTParamStreamCase*>
ImportStreamCaseElements(YMTParamDetailedStreamBase& stream,
                         const std::vector<const XDomElement*>& elements, YImportContext& ctx,
                         YImportLog& log, uint64_t budget) {
    YStreamCaseImporter importer(stream, ctx, log, elements.size() == 1, budget);
    for (const XDomElement* e : elements)
        if (!importer.ImportElement(e)) break;
    return importer.TakeCases();
}

// --- YMTParamStreamCase -------------------------------------------------------------------

template <class Ar> void YMTParamStreamCase::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.Serialize32(m_PosYMin);
    ar.Serialize32(m_PosYMax);
    ar.SerializeString(m_PosXString);
    ar.Serialize16(m_SeqCnt);
    ar.SerializeWords(m_SeqPositions);
    ar.Serialize32(m_SeqIndexMax);
    ar.SerializeList(*this, YMTListKind::Params);
}

void YMTParamStreamCase::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamStreamCase::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

uint8_t YMTParamStreamCase::ParamLevel() const {
    const YMTNode* p = Parent();
    return p ? p->ParamLevel() : 0;
}

bool YMTParamStreamCase::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "PARAMSTREAMCASE: " + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log, ".PosXString: " + m_PosXString);
    DumpLine(log, StrFormat(".PosYMin: %d", static_cast<int>(m_PosYMin)));
    DumpLine(log, StrFormat(".PosYMax: %d", static_cast<int>(m_PosYMax)));
    DumpLine(log, StrFormat(".SeqCnt: %d", static_cast<int>(m_SeqCnt)));
    DumpLine(log, StrFormat(".SeqIndexMax: %d", static_cast<int>(m_SeqIndexMax)));
    return DumpAll(ctx, log);
}

YMTParamDetailedStreamBase* YMTParamStreamCase::Stream() const {
    YMTNode* p = Parent();
    return (p && IsDetailedStreamType(p->NodeType())) ? static_cast<YMTParamDetailedStreamBase*>(p)
                                                      : nullptr;
}

bool YMTParamStreamCase::Check(YImportContext& ctx, YImportLog& log) {
    YMTParamDetailedStreamBase* stream = Stream();
    if (!stream) return false;
    if (!YMTParam::Check(ctx, log)) return false;

    // The selector is a number or an enumeration before the stream.
    YMTNode* found = nullptr;
    if (!m_PosXString.empty() && stream->Parent())
        found = stream->Parent()->LookupName(m_PosXString, stream->ID());
    if (found) {
        if (stream->m_SelectorParam && stream->m_SelectorParam != found) {
            log.LogError(27, "Only one selector parameter per stream supported yet", PathName());
            return false;
        }
        if (found->NodeType() == kNodeNumber || found->NodeType() == kNodeEnum) {
            stream->m_SelectorParam = found;
            static_cast<YMTParam*>(found)->SetSelector(true);
        }
    } else {
        stream->m_SelectorParam = nullptr;
    }
    // The members build their identifiers on the case's, which names the
    // selector value only now that the selector is known.
    std::string symId;
    BuildSymID(symId);
    m_SymID = symId;

    if (!CheckAll(ctx, log)) return false;
    if (m_SeqCnt != 0 && stream->m_Length != 0) ComputeSeqIndexMax(*stream, log);
    WarnAfterUnspecifiedLength(log);
    return true;
}

void YMTParamStreamCase::ComputeSeqIndexMax(const YMTParamDetailedStreamBase& stream,
                                            YImportLog& log) {
    uint64_t fixedBits = 0, repeatedBits = 0;
    for (uint32_t i = 0; i < GetSize(); ++i) {
        YMTParam* p = ParamIn(*this, i);
        if (!p) continue;
        uint64_t bits = 0;
        if (p->NodeType() == kNodeRawStream) {
            uint32_t length = static_cast<YMTParamRawStream*>(p)->Length();
            if (length == 0) break;
            bits = uint64_t(length) * 8;
        } else {
            uint32_t width = p->BitWidth();
            if (width == kNoBitWidth) break;
            bits = width;
        }
        (p->SeqIndex() > 0 ? repeatedBits : fixedBits) += bits;
    }
    if (repeatedBits == 0) return;
    uint64_t fixedBytes = (fixedBits + 7) / 8;
    uint64_t repeatedBytes = (repeatedBits + 7) / 8;
    if (stream.m_Length >= fixedBytes + repeatedBytes) {
        uint64_t count = (stream.m_Length - fixedBytes) / repeatedBytes;
        m_SeqIndexMax = static_cast<uint32_t>(std::min<uint64_t>(count, kMaxSeqIndex));
    } else {
        log.LogWarning(209,
                       StrFormat("Attribute Length (=%d bytes) of TStream conflicts with the total "
                                 "width of the stream parameters.",
                                 static_cast<int>(stream.m_Length)),
                       PathName(), 5);
    }
}

void YMTParamStreamCase::WarnAfterUnspecifiedLength(YImportLog& log) const {
    const YMTParam* open = nullptr;
    for (uint32_t i = 0; i < GetSize(); ++i) {
        YMTParam* p = ParamIn(*this, i);
        if (!p) continue;
        if (open) {
            log.LogWarning(207,
                           StrFormat("Parameter '%s' follows a parameter with unspecified length "
                                     "('%s'). Message may not disassemble properly.",
                                     p->NameRef().c_str(), open->NameRef().c_str()),
                           PathName(), 5);
            return;
        }
        if (p->HasUnspecifiedLength()) open = p;
    }
}

bool YMTParamStreamCase::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    const auto* s = static_cast<const YMTParamStreamCase*>(source);
    m_PosYMin = s->m_PosYMin;
    m_PosYMax = s->m_PosYMax;
    m_PosXString = s->m_PosXString;
    m_SeqCnt = s->m_SeqCnt;
    m_SeqPositions = s->m_SeqPositions;
    m_SeqIndexMax = s->m_SeqIndexMax;
    return YMTChildList::CopyFrom(*s, this);
}

uint32_t YMTParamStreamCase::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = 13;
        return kAttrOk;
    case 1004:
        *value = 1;
        return kAttrOk;
    case 1300:
        *value = m_SeqCnt;
        return kAttrOk;
    case 1301:
        *value = m_SeqIndexMax;
        return kAttrOk;
    case 1304:
        *value = m_PosYMin;
        return kAttrOk;
    case 1305:
        *value = m_PosYMax;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

bool YMTParamStreamCase::HasUnspecifiedLength() const {
    if (m_SeqCnt != 0 && m_SeqIndexMax == 0) {
        YMTParamDetailedStreamBase* stream = Stream();
        if (!stream || !stream->m_ListSizeParam) return true;
    }
    for (uint32_t i = 0; i < GetSize(); ++i)
        if (YMTParam* p = ParamIn(*this, i); p && p->HasUnspecifiedLength()) return true;
    return false;
}

std::string YMTParamStreamCase::SymIDPart() const {
    YMTParamDetailedStreamBase* stream = Stream();
    if (stream && stream->m_SelectorParam) return StrFormat("(%u)", m_PosYMin);
    return std::string();
}

void YMTParamStreamCase::BuildSymID(std::string& out) const {
    YMTNode* p = Parent();
    if (p && IsDetailedStreamType(p->NodeType()))
        out = static_cast<YMTParam*>(p)->SymID() + SymIDPart();
    else
        out = SymIDPart();
}

bool YMTParamStreamCase::IsIndexedChild(const YMTParam* child) const {
    return child && child->SeqIndex() > 0;
}

bool YMTParamStreamCase::IsNameDuplicated() {
    if (EqualsNoCase(m_Texts.Name(), "StreamCase")) return false;
    return YMTParam::IsNameDuplicated();
}

// --- decoding and assembling --------------------------------------------------------

namespace {

// The level of the entries of a case's members, minus one: the level of the
// stream head just added, or of the length field before the case.
uint32_t CaseBaseLevel(const DisasmContext& ctx) {
    const YFciParamInfoImpl* last = ctx.LastEntry();
    if (!last) return 0;
    uint32_t kind = last->ParamType();
    if (kind == kKindDetailedStream || kind == kKindDetailedShortStream) return last->Level();
    if (last->ParamMeaning() == kMeaningLength && last->Level() != 0) return last->Level() - 1;
    return 0;
}

} // namespace

uint32_t YMTParamStreamCase::RepetitionCount(const DisasmContext& ctx) const {
    uint32_t count = kNoLimit;
    if (YMTParamDetailedStreamBase* stream = Stream())
        if (YMTParam* listSize = stream->ListSizeParam()) {
            uint32_t v = 0;
            if (ctx.RecordedCount(listSize, v)) count = v;
        }
    return count;
}

bool YMTParamStreamCase::Disassemble(DisasmContext& ctx) {
    if (ctx.EntryLimitReached()) return true;
    uint32_t base = CaseBaseLevel(ctx);
    uint32_t count = RepetitionCount(ctx);
    bool sequence = m_SeqCnt != 0;
    uint8_t wasOpen = ctx.m_OpenLength;
    if (sequence) {
        ctx.m_OpenLength = HasUnspecifiedLength() ? 1 : 0;
        if (ctx.m_Pos >= ctx.AvailableLength()) return true;
    }
    bool failed = false;
    uint32_t pos = 0;
    for (bool more = GetFirstPos(pos); more; more = GetNextPos(pos, pos)) {
        YMTNode* member = GetAt(pos);
        if (ctx.EntryLimitReached() || count == 0) break;
        if (ctx.m_Pos >= ctx.AvailableLength()) return true;
        uint32_t first = ctx.EntryCount();
        bool ok = member->Disassemble(ctx);
        if (sequence && static_cast<YMTParam*>(member)->SeqIndex() > 0)
            ctx.SuffixEntries(first, base + 1, 1);
        if (!ok) {
            failed = true;
            break;
        }
    }
    if (!failed && wasOpen && sequence && HasUnspecifiedLength() &&
        ctx.m_Pos < ctx.AvailableLength()) {
        if (ctx.Opt(kOptDiagNoInterp)) ctx.Diagnose(5, NameRef(), nullptr, 0, ctx.m_Pos, base);
        failed = true;
    }
    if (sequence && !failed) {
        for (uint32_t r = 2;; ++r) {
            if ((m_SeqIndexMax != 0 && r > m_SeqIndexMax) || r >= ctx.m_LoopLimit) break;
            uint32_t startPos = ctx.m_Pos;
            uint16_t startBit = ctx.m_BitPos;
            bool stop = false;
            for (uint16_t seqPos : m_SeqPositions) {
                YMTNode* member = GetAt(seqPos);
                if (!member) continue;
                if (ctx.m_Pos >= ctx.AvailableLength() || ctx.EntryLimitReached() ||
                    r - 1 >= count) {
                    stop = true;
                    break;
                }
                uint32_t first = ctx.EntryCount();
                bool ok = member->Disassemble(ctx);
                ctx.SuffixEntries(first, base + 1, r);
                if (!ok) {
                    failed = true;
                    break;
                }
            }
            // A round that read nothing would repeat unchanged until the loop
            // limit: stop it here.
            if (stop || failed || (ctx.m_Pos == startPos && ctx.m_BitPos == startBit)) break;
        }
    }
    if (ctx.m_BitPos != 0) {
        ctx.m_BitPos = 0;
        if (ctx.m_Pos < ctx.AvailableLength()) ++ctx.m_Pos;
    }
    return !failed;
}

bool YMTParamStreamCase::Assemble(DisasmContext& ctx) {
    uint32_t base = CaseBaseLevel(ctx);
    uint32_t count = RepetitionCount(ctx);
    bool sequence = m_SeqCnt != 0;
    uint32_t pos = 0;
    for (bool more = GetFirstPos(pos); more; more = GetNextPos(pos, pos)) {
        YMTNode* member = GetAt(pos);
        if (ctx.EntryLimitReached() || !ctx.InputsLeft() || count == 0) return true;
        uint32_t first = ctx.EntryCount();
        bool ok = member->Assemble(ctx);
        if (sequence && static_cast<YMTParam*>(member)->SeqIndex() > 0)
            ctx.SuffixEntries(first, base + 1, 1);
        if (!ok) return false;
    }
    if (!sequence) return true;
    for (uint32_t r = 2;; ++r) {
        if ((m_SeqIndexMax != 0 && r > m_SeqIndexMax) || r >= ctx.m_LoopLimit) return true;
        for (uint16_t seqPos : m_SeqPositions) {
            YMTNode* member = GetAt(seqPos);
            if (!member) continue;
            if (!ctx.InputsLeft() || ctx.EntryLimitReached() || r - 1 >= count) return true;
            uint32_t first = ctx.EntryCount();
            bool ok = member->Assemble(ctx);
            ctx.SuffixEntries(first, base + 1, r);
            if (!ok) return false;
        }
    }
}

} // namespace mostfcat
