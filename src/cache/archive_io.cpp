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

void YMTArchiveWrite::SerializeString(std::string& text) {
    uint16_t len = text.size() > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(text.size());
    Serialize16(len);
    Put(text.data(), len);
}

void YMTArchiveWrite::SerializeWords(std::vector<uint16_t>& words) {
    if (!m_Ok) return;
    // The reader refuses longer vectors, so such a tree is not saved at all.
    if (words.size() > 0xFFFF) {
        m_Ok = false;
        return;
    }
    uint32_t count = static_cast<uint32_t>(words.size());
    Serialize32(count);
    for (uint16_t& w : words)
        Serialize16(w);
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

void YMTArchiveRead::Reset() {
    m_Buffer.assign(kChunk, 0);
    m_BufferPos = m_BufferLen = 0;
    m_FileEnded = false;
    m_Ok = true;
    m_Sequence = 0;
    m_Ids.assign(1, nullptr);
    m_IdRecords = 0;
    m_Refs.clear();
    m_Entries.clear();
    m_Stack.clear();
    m_LastId = 0;
}

bool YMTArchiveRead::Refill() {
    if (m_FileEnded) return false;
    if (m_Buffer.size() < kChunk) m_Buffer.assign(kChunk, 0);
    m_BufferLen = m_File.Read(m_Buffer.data(), 1, kChunk);
    m_BufferPos = 0;
    if (m_BufferLen < kChunk) m_FileEnded = true;
    return m_BufferLen != 0;
}

bool YMTArchiveRead::Get(void* data, size_t size) {
    auto* out = static_cast<uint8_t*>(data);
    // Most fields lie wholly in the buffer.
    if (m_Ok && m_BufferLen - m_BufferPos >= size) {
        std::memcpy(out, m_Buffer.data() + m_BufferPos, size);
        m_BufferPos += size;
        return true;
    }
    size_t done = 0;
    while (m_Ok && done < size) {
        if (m_BufferPos == m_BufferLen && !Refill()) break;
        size_t n = m_BufferLen - m_BufferPos;
        if (n > size - done) n = size - done;
        std::memcpy(out + done, m_Buffer.data() + m_BufferPos, n);
        m_BufferPos += n;
        done += n;
    }
    if (done < size) {
        // A truncated body fails the load instead of leaving zeros behind.
        std::memset(out + done, 0, size - done);
        m_Ok = false;
        return false;
    }
    return true;
}

void YMTArchiveRead::Serialize8(uint8_t& value) {
    Get(&value, 1);
}

void YMTArchiveRead::Serialize16(uint16_t& value) {
    uint8_t b[2];
    Get(b, 2);
    value = static_cast<uint16_t>(b[0] | (b[1] << 8));
}

void YMTArchiveRead::Serialize32(uint32_t& value) {
    uint8_t b[4];
    Get(b, 4);
    value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(b[i]) << (8 * i);
}

void YMTArchiveRead::Serialize32(int32_t& value) {
    uint32_t u = 0;
    Serialize32(u);
    value = static_cast<int32_t>(u);
}

void YMTArchiveRead::Serialize64(uint64_t& value) {
    uint8_t b[8];
    Get(b, 8);
    value = 0;
    for (int i = 0; i < 8; ++i)
        value |= static_cast<uint64_t>(b[i]) << (8 * i);
}

void YMTArchiveRead::SerializeBool(bool& value) {
    uint8_t b = 0;
    Get(&b, 1);
    value = b != 0;
}

void YMTArchiveRead::SerializeString(std::string& text) {
    uint16_t len = 0;
    Serialize16(len);
    text.clear();
    if (!m_Ok || len == 0) return;
    text.resize(len);
    if (!Get(text.data(), len)) {
        text.clear();
        return;
    }
    size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
}

void YMTArchiveRead::SerializeWords(std::vector<uint16_t>& words) {
    if (!m_Ok) return;
    uint32_t count = 0;
    Serialize32(count);
    if (!m_Ok || count >= 0x10000) {
        m_Ok = false;
        return;
    }
    words.assign(count, 0);
    for (uint16_t& w : words)
        Serialize16(w);
}

void YMTArchiveRead::SerializeRef(YMTNode*& node, YMTRefKind kind) {
    uint32_t id = 0;
    Serialize32(id);
    node = nullptr;
    if (!m_Ok) return;
    if (kind == YMTRefKind::Parent) {
        // The parent is known from the structure; the stored reference must
        // agree with it.
        size_t n = m_Stack.size();
        uint32_t expected = n >= 2 ? m_Stack[n - 2].second : 0;
        if (id != expected) {
            m_Ok = false;
            return;
        }
        node = n >= 2 ? m_Stack[n - 2].first : nullptr;
        return;
    }
    if (id == 0) return;
    if (id > ++m_IdRecords) {
        m_Ok = false;
        return;
    }
    m_Refs.push_back(YMTPendingRef{&node, id, m_Stack.empty() ? nullptr : m_Stack.back().first});
}

YMTNode* YMTArchiveRead::NodeHeader(YMTNode*) {
    uint16_t seq = 0;
    Serialize16(seq);
    if (!m_Ok || seq != m_Sequence) {
        m_Ok = false;
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
        m_Ok = false;
        return nullptr;
    }
    YMTNode* node = (type == 0 || type > 200) ? nullptr : CreateArchiveNode(type);
    if (!node) {
        m_Ok = false;
        return nullptr;
    }
    if (m_Ids.size() <= id) m_Ids.resize(id + 1u, nullptr);
    m_Ids[id] = node;
    m_LastId = id;
    return node;
}

void YMTArchiveRead::SerializeList(YMTChildList& list, YMTListKind kind) {
    if (!m_Ok) return;
    char mark[2] = {0, 0};
    if (!Get(mark, 2) || mark[0] != 'L' || mark[1] != 'I') {
        m_Ok = false;
        return;
    }
    bool owns = true;
    SerializeBool(owns);
    list.RemoveAll();
    // Only the function lists of instances may hold references.
    if (!owns && kind != YMTListKind::Functions) {
        m_Ok = false;
        return;
    }
    list.SetOwnsChildren(owns);
    uint16_t size = 0;
    Serialize16(size);
    // No list of identified entries is longer than the identifier's range.
    if (!m_Ok || size > IdLimit(kind)) {
        m_Ok = false;
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
            m_Ok = false;
            return;
        }
        next = index + 1u;
        if (owns) {
            if (m_Stack.size() >= kMaxDepth) {
                m_Ok = false;
                return;
            }
            YMTNode* child = ReadNodeHeader();
            if (!child) return;
            // Stored first, so that the list owns (and frees) it whatever follows.
            list.SetAt(child, index);
            if (!ChildAllowed(kind, child->NodeType())) {
                m_Ok = false;
                return;
            }
            m_Stack.emplace_back(child, m_LastId);
            child->SetParent(owner);
            child->Serialize(*this);
            m_Stack.pop_back();
            if (!m_Ok) return;
            if (IndexIsId(kind) && child->ID() != index) {
                m_Ok = false;
                return;
            }
        } else {
            uint32_t id = 0;
            Serialize32(id);
            if (!m_Ok) return;
            if (id == 0 || id > ++m_IdRecords) {
                m_Ok = false;
                return;
            }
            m_Entries.push_back(YMTPendingEntry{&list, owner, index, id});
        }
    }
}

// --- relinker -------------------------------------------------------------------

void YMTArchiveRelink::SerializeRef(YMTNode*& node, YMTRefKind kind) {
    // Parents were taken from the structure while reading.
    if (!m_Ok || kind == YMTRefKind::Parent) return;
    const auto& refs = m_Reader.PendingRefs();
    // A null reference was not recorded; the next pending one belongs to a
    // later field.
    if (m_RefCursor >= refs.size() || refs[m_RefCursor].field != &node) return;
    const YMTPendingRef& ref = refs[m_RefCursor++];
    YMTNode* target = m_Reader.NodeById(ref.id);
    if (!target || !RefAllowed(kind, target, ref.owner)) {
        m_Ok = false;
        return;
    }
    node = target;
}

void YMTArchiveRelink::SerializeList(YMTChildList& list, YMTListKind kind) {
    if (!m_Ok) return;
    if (!list.OwnsChildren()) {
        const auto& entries = m_Reader.PendingEntries();
        while (m_EntryCursor < entries.size() && entries[m_EntryCursor].list == &list) {
            const YMTPendingEntry& e = entries[m_EntryCursor++];
            YMTNode* target = m_Reader.NodeById(e.id);
            if (!target || !ChildAllowed(kind, target->NodeType()) ||
                (IndexIsId(kind) && target->ID() != e.index) ||
                !SharedEntryAllowed(kind, target, e.owner)) {
                m_Ok = false;
                return;
            }
            list.SetAt(target, e.index);
        }
        return;
    }
    for (uint32_t i = 0; i < list.GetSize() && m_Ok; ++i)
        if (YMTNode* child = list.GetAt(i)) child->Serialize(*this);
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
    if (!root) return false;
    root->Serialize(relinker);
    // A reference the walk did not meet in reading order means the body
    // does not describe the tree it built.
    if (!relinker.AllConsumed()) relinker.SetFailed();
    return relinker.IsOk();
}

YMTCatalog* LoadCatalog(YMTArchiveRead& reader, YFCatFile&) {
    reader.Reset();
    YMTNode* root = nullptr;
    try {
        root = reader.ReadNodeHeader();
        if (!root) return nullptr;
        if (root->NodeType() != kNodeCatalog) {
            delete root;
            return nullptr;
        }
        reader.PushRoot(root);
        root->Serialize(reader);
        if (!reader.IsOk()) {
            delete root;
            return nullptr;
        }
        YMTArchiveRelink relinker(reader);
        if (!RelinkTree(relinker, root)) {
            delete root;
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        delete root;
        return nullptr;
    }
    return static_cast<YMTCatalog*>(root);
}

} // namespace mostfcat
