#include "cache/archive_io.h"

#include <cstring>
#include <new>

#include "cache/fcat_file.h"
#include "params/param.h"
#include "tree/catalog.h"
#include "tree/node.h"

namespace mostfcat {

namespace {

constexpr uint16_t kEndMark = 0xFFFF;
constexpr size_t kChunk = 64 * 1024;

// The node classes a list of each kind may hold.
bool ChildAllowed(YMTListKind kind, uint32_t type) {
    switch (kind) {
    case YMTListKind::FBlocks:
        return type == kNodeFBlock;
    case YMTListKind::Instances:
        return type == kNodeInstance;
    case YMTListKind::Functions:
        return type == kNodeFunction;
    case YMTListKind::Operations:
        return type == kNodeOperation;
    // A detailed short stream keeps its length number in front of the cases.
    case YMTListKind::StreamCases:
        return type == kNodeStreamCase || type == kNodeNumber;
    case YMTListKind::EnumValues:
        return type == kNodeEnumValue;
    case YMTListKind::BoolFields:
        return type == kNodeBoolField;
    case YMTListKind::StreamParts:
        return type == kNodeNumber || type == kNodeString || type == kNodeRawStream;
    case YMTListKind::Params:
        return IsParamNodeType(type) && type != kNodeParam && type != kNodeStreamCase &&
               type != kNodeBoolField;
    }
    return false;
}

// Lists whose entries are identified by their index: the entry's ID must
// equal it (and stay in the identifier's range).
bool IndexIsId(YMTListKind kind) {
    return kind == YMTListKind::FBlocks || kind == YMTListKind::Instances ||
           kind == YMTListKind::Functions || kind == YMTListKind::Operations;
}

uint32_t IdLimit(YMTListKind kind) {
    switch (kind) {
    case YMTListKind::FBlocks:
    case YMTListKind::Instances:
        return 256;
    case YMTListKind::Functions:
        return 4096;
    case YMTListKind::Operations:
        return 16;
    default:
        return 0x10000;
    }
}

// A parameter that another one refers to (a selector, a list size, an index)
// lies in the same operation and outside the referring parameter: decoding
// reads the target before the owner, so a target at or below the owner would
// make the owner depend on itself.
bool InSameOperationOutside(const YMTNode* target, const YMTNode* owner) {
    const YMTNode* operation = nullptr;
    for (const YMTNode* n = target; n && !operation; n = n->Parent()) {
        if (n == owner) return false;
        if (n->NodeType() == kNodeOperation) operation = n;
    }
    for (const YMTNode* n = owner; n && operation; n = n->Parent())
        if (n == operation) return true;
    return false;
}

// The node classes a reference of each kind may name.
bool RefAllowed(YMTRefKind kind, const YMTNode* target, const YMTNode* owner) {
    uint32_t t = target->NodeType();
    switch (kind) {
    case YMTRefKind::Parent:
        return true;
    case YMTRefKind::Instance:
        return t == kNodeInstance && target->Parent() == owner;
    case YMTRefKind::Selector:
        return (t == kNodeNumber || t == kNodeEnum) && InSameOperationOutside(target, owner);
    case YMTRefKind::ListSize:
        return t == kNodeNumber && InSameOperationOutside(target, owner);
    case YMTRefKind::IndexParam:
        return (t == kNodeNumber || t == kNodeEnum || t == kNodeArray || t == kNodeRecord) &&
               InSameOperationOutside(target, owner);
    }
    return false;
}

// An instance shares only functions owned by another instance of its FBlock.
bool SharedEntryAllowed(YMTListKind kind, const YMTNode* target, const YMTNode* owner) {
    if (kind != YMTListKind::Functions) return false;
    const YMTNode* ownerInstance = target->Parent();
    return owner && ownerInstance && ownerInstance != owner &&
           ownerInstance->Parent() == owner->Parent();
}

} // namespace

// --- writer -------------------------------------------------------------------

void YMTArchiveWrite::Reset() {
    m_Ok = true;
    m_Sequence = 0;
    m_NextId = 1;
    m_Ids.clear();
    m_Ids.reserve(1u << 16);
    m_Buffer.clear();
}

void YMTArchiveWrite::Put(const void* data, size_t size) {
    if (size == 0) return;
    const auto* p = static_cast<const uint8_t*>(data);
    m_Buffer.insert(m_Buffer.end(), p, p + size);
    if (m_Buffer.size() >= kChunk) Flush();
}

bool YMTArchiveWrite::Flush() {
    if (!m_Buffer.empty() && m_File.Write(m_Buffer.data(), 1, m_Buffer.size()) != m_Buffer.size())
        m_Ok = false;
    m_Buffer.clear();
    return m_Ok;
}

uint32_t YMTArchiveWrite::IdOf(const YMTNode* node) {
    if (!node) return 0;
    auto it = m_Ids.find(node);
    if (it != m_Ids.end()) return it->second;
    uint32_t id = m_NextId++;
    m_Ids.emplace(node, id);
    return id;
}

void YMTArchiveWrite::Serialize8(uint8_t& value) {
    Put(&value, 1);
}

void YMTArchiveWrite::Serialize16(uint16_t& value) {
    uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
    Put(b, 2);
}

void YMTArchiveWrite::Serialize32(uint32_t& value) {
    uint8_t b[4];
    for (int i = 0; i < 4; ++i)
        b[i] = uint8_t(value >> (8 * i));
    Put(b, 4);
}

void YMTArchiveWrite::Serialize32(int32_t& value) {
    uint32_t u = static_cast<uint32_t>(value);
    Serialize32(u);
}

void YMTArchiveWrite::Serialize64(uint64_t& value) {
    uint8_t b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = uint8_t(value >> (8 * i));
    Put(b, 8);
}

void YMTArchiveWrite::SerializeBool(bool& value) {
    uint8_t b = value ? 1 : 0;
    Put(&b, 1);
}

void YMTArchiveWrite::PutString(const std::string& text) {
    uint16_t len = text.size() > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(text.size());
    Serialize16(len);
    Put(text.data(), len);
}

void YMTArchiveWrite::SerializeString(std::string& text) {
    PutString(text);
}

void YMTArchiveWrite::SerializeString(YMTText& text) {
    PutString(text.str());
}

void YMTArchiveWrite::SerializeTexts(YMTNodeTexts& texts) {
    PutString(texts.Name());
    PutString(texts.Description());
}

void YMTArchiveWrite::PutWords(const uint16_t* words, size_t count) {
    if (!m_Ok) return;
    // The reader refuses longer vectors, so such a tree is not saved at all.
    if (count > 0xFFFF) {
        m_Ok = false;
        return;
    }
    uint32_t n = static_cast<uint32_t>(count);
    Serialize32(n);
    for (size_t i = 0; i < count; ++i) {
        uint16_t w = words[i];
        Serialize16(w);
    }
}

void YMTArchiveWrite::SerializeWords(std::vector<uint16_t>& words) {
    PutWords(words.data(), words.size());
}

void YMTArchiveWrite::SerializeWords(YMTWords& words) {
    PutWords(words.data(), words.size());
}

void YMTArchiveWrite::SerializeRef(YMTNode*& node, YMTRefKind) {
    uint32_t id = IdOf(node);
    Serialize32(id);
}

YMTNode* YMTArchiveWrite::NodeHeader(YMTNode* node) {
    uint16_t seq = m_Sequence++;
    Serialize16(seq);
    uint8_t type = static_cast<uint8_t>(node->NodeType());
    Serialize8(type);
    uint32_t id = IdOf(node);
    Serialize32(id);
    return node;
}

void YMTArchiveWrite::SerializeList(YMTChildList& list, YMTListKind) {
    if (!m_Ok) return;
    Put("LI", 2);
    if (!m_Ok) return;
    bool owns = list.OwnsChildren();
    SerializeBool(owns);
    if (list.GetSize() > 0xFFFF) {
        m_Ok = false;
        return;
    }
    uint16_t size = static_cast<uint16_t>(list.GetSize());
    Serialize16(size);
    for (uint32_t i = 0; i < list.GetSize(); ++i) {
        YMTNode* child = list.GetAt(i);
        if (!child) continue;
        uint16_t index = static_cast<uint16_t>(i);
        Serialize16(index);
        if (owns) {
            NodeHeader(child);
            child->Serialize(*this);
            if (!m_Ok) return;
        } else {
            uint32_t id = IdOf(child);
            Serialize32(id);
        }
    }
    uint16_t end = kEndMark;
    Serialize16(end);
}

// --- reader -------------------------------------------------------------------

size_t YMTArchiveRead::BodySize() const {
    return size_t(m_End - m_Pos) + m_File.RestUnread();
}

bool YMTArchiveRead::Refill(size_t need) {
    return m_File.MoreRest(m_Pos, m_End, need);
}

bool YMTArchiveRead::Reset(YMTStorage* storage) {
    const uint8_t* body = nullptr;
    size_t size = 0;
    bool got = m_File.ReadRest(body, size);
    SetInput(body, size, storage);
    m_Ok = true;
    m_Sequence = 0;
    // Sized once: a node record takes well over 16 bytes, and the pages of
    // the table that stay unused are never touched.
    m_Ids.clear();
    m_Ids.reserve(BodySize() / 16 + 1);
    m_Ids.assign(1, nullptr);
    m_IdRecords = 0;
    m_Refs.clear();
    m_Entries.clear();
    m_Stack.clear();
    m_ParentNode = nullptr;
    m_ParentId = 0;
    m_LastId = 0;
    if (!got) SetFailed();
    return got;
}

void YMTArchiveRead::Push(YMTNode* node, uint32_t id) {
    if (!m_Stack.empty()) {
        m_ParentNode = m_Stack.back().first;
        m_ParentId = m_Stack.back().second;
    }
    m_Stack.emplace_back(node, id);
}

void YMTArchiveRead::Pop() {
    m_Stack.pop_back();
    size_t n = m_Stack.size();
    m_ParentNode = n >= 2 ? m_Stack[n - 2].first : nullptr;
    m_ParentId = n >= 2 ? m_Stack[n - 2].second : 0;
}

void YMTArchiveRead::PushRoot(YMTNode* root) {
    Push(root, m_LastId);
}

void YMTArchiveRead::ReadRef(YMTNode*& node, YMTRefKind kind) {
    uint32_t id = 0;
    Serialize32(id);
    node = nullptr;
    if (!m_Ok || id == 0) return;
    if (id > ++m_IdRecords) {
        SetFailed();
        return;
    }
    m_Refs.push_back(
        YMTPendingRef{&node, id, m_Stack.empty() ? nullptr : m_Stack.back().first, kind});
}

YMTNode* YMTArchiveRead::ReadNodeHeader(bool root) {
    uint16_t seq = 0;
    Serialize16(seq);
    if (!m_Ok || seq != m_Sequence) {
        SetFailed();
        return nullptr;
    }
    ++m_Sequence;
    uint8_t type = 0;
    uint32_t id = 0;
    Serialize8(type);
    Serialize32(id);
    if (!m_Ok) return nullptr;
    // Id 0 stands for null, every node has an id of its own, and no valid
    // body mentions more ids than it has id-carrying records.
    ++m_IdRecords;
    if (id == 0 || id > m_IdRecords || NodeById(id)) {
        SetFailed();
        return nullptr;
    }
    // A catalog is only ever the root. It lives on the heap (it owns the
    // storage of its tree), so one inside a tree would outlive the storage.
    if (type == kNodeCatalog && !root) {
        SetFailed();
        return nullptr;
    }
    YMTNode* node = (type == 0 || type > 200) ? nullptr : CreateArchiveNode(type);
    if (!node) {
        SetFailed();
        return nullptr;
    }
    if (m_Ids.size() <= id) m_Ids.resize(id + 1u, nullptr);
    m_Ids[id] = node;
    m_LastId = id;
    return node;
}

void YMTArchiveRead::SerializeList(YMTChildList& list, YMTListKind kind) {
    if (!m_Ok) return;
    uint8_t mark[2] = {0, 0};
    Take(mark, 2);
    if (!m_Ok || mark[0] != 'L' || mark[1] != 'I') {
        SetFailed();
        return;
    }
    bool owns = true;
    SerializeBool(owns);
    list.RemoveAll();
    // Only the function lists of instances may hold references.
    if (!owns && kind != YMTListKind::Functions) {
        SetFailed();
        return;
    }
    list.SetOwnsChildren(owns);
    uint16_t size = 0;
    Serialize16(size);
    // No list of identified entries is longer than the identifier's range.
    if (!m_Ok || size > IdLimit(kind)) {
        SetFailed();
        return;
    }
    list.Reserve(size);
    YMTNode* owner = m_Stack.empty() ? nullptr : m_Stack.back().first;
    uint32_t next = 0; // the writer stores the entries in index order, each once
    for (;;) {
        uint16_t index = 0;
        Serialize16(index);
        if (!m_Ok) return;
        if (index == kEndMark) {
            // Empty entries at the end count in the size, as they did when saved.
            if (size > list.GetSize()) list.SetAt(nullptr, size - 1u);
            return;
        }
        if (index >= size || index < next || list.GetAt(index) || IdLimit(kind) <= index) {
            SetFailed();
            return;
        }
        next = index + 1u;
        if (owns) {
            if (m_Stack.size() >= kMaxDepth) {
                SetFailed();
                return;
            }
            YMTNode* child = ReadNodeHeader();
            if (!child) return;
            // Stored first, so that the list owns (and frees) it whatever follows.
            list.SetAt(child, index);
            if (!ChildAllowed(kind, child->NodeType())) {
                SetFailed();
                return;
            }
            Push(child, m_LastId);
            child->SetParent(owner);
            child->Read(*this);
            Pop();
            if (!m_Ok) return;
            if (IndexIsId(kind) && child->ID() != index) {
                SetFailed();
                return;
            }
        } else {
            uint32_t id = 0;
            Serialize32(id);
            if (!m_Ok) return;
            if (id == 0 || id > ++m_IdRecords) {
                SetFailed();
                return;
            }
            m_Entries.push_back(YMTPendingEntry{&list, owner, index, id, kind});
        }
    }
}

// --- relinker -------------------------------------------------------------------

bool YMTArchiveRelink::Run() {
    // Parents were taken from the structure while reading; the other
    // references and the shared entries are resolved in the order they were
    // read.
    for (const YMTPendingRef& ref : m_Reader.PendingRefs()) {
        YMTNode* target = m_Reader.NodeById(ref.id);
        if (!target || !RefAllowed(ref.kind, target, ref.owner)) return m_Ok = false;
        *ref.field = target;
    }
    for (const YMTPendingEntry& e : m_Reader.PendingEntries()) {
        YMTNode* target = m_Reader.NodeById(e.id);
        if (!target || !ChildAllowed(e.kind, target->NodeType()) ||
            (IndexIsId(e.kind) && target->ID() != e.index) ||
            !SharedEntryAllowed(e.kind, target, e.owner))
            return m_Ok = false;
        e.list->SetAt(target, e.index);
    }
    // An instance whose list holds the same functions as the instance that
    // owns them uses that list's array (the usual case: every instance of an
    // FBlock offers all of its functions).
    const YMTChildList* done = nullptr;
    for (const YMTPendingEntry& e : m_Reader.PendingEntries()) {
        if (e.list == done) continue;
        done = e.list;
        const YMTNode* owningInstance = m_Reader.NodeById(e.id)->Parent();
        if (const YMTChildList* owning = owningInstance ? owningInstance->Children() : nullptr)
            e.list->ShareItems(*owning);
    }
    return m_Ok;
}

// --- load and save ----------------------------------------------------------------

bool SaveCatalog(YMTArchiveWrite& writer, YMTCatalog* catalog, YFCatFile&) {
    writer.Reset();
    if (!catalog) return false;
    try {
        writer.WriteNodeHeader(catalog);
        catalog->Serialize(writer);
        writer.Flush();
    } catch (const std::bad_alloc&) {
        writer.SetFailed();
    }
    return writer.IsOk();
}

bool RelinkTree(YMTArchiveRelink& relinker, YMTNode* root) {
    return root && relinker.Run();
}

YMTCatalog* LoadCatalog(YMTArchiveRead& reader, YFCatFile&) {
    // The tree is built in a storage of its own, which the catalog takes
    // over; nodes made before the catalog exists (a root of another class)
    // go with the storage.
    auto storage = std::make_unique<YMTStorage>();
    YMTNode* root = nullptr;
    YMTCatalog* catalog = nullptr;
    try {
        YMTStorageScope scope(storage.get());
        if (!reader.Reset(storage.get())) return nullptr;
        // A tree takes about as much memory as its body: one large block.
        storage->Arena().ExpectBytes(reader.BodySize());
        storage->ExpectBody(reader.BodySize());
        root = reader.ReadNodeHeader(true);
        if (!root) return nullptr;
        if (root->NodeType() != kNodeCatalog) {
            delete root;
            return nullptr;
        }
        catalog = static_cast<YMTCatalog*>(root);
        catalog->AdoptStorage(std::move(storage));
        reader.PushRoot(root);
        root->Read(reader);
        if (!reader.IsOk()) {
            delete catalog;
            return nullptr;
        }
        YMTArchiveRelink relinker(reader);
        if (!RelinkTree(relinker, root)) {
            delete catalog;
            return nullptr;
        }
        catalog->Storage()->Seal();
    } catch (const std::bad_alloc&) {
        delete root;
        return nullptr;
    }
    return catalog;
}

} // namespace mostfcat
