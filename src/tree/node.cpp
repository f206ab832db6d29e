#include "tree/node.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "import/import_log.h"
#include "platform/strings.h"

namespace mostfcat {

void DeleteTreeNode(YMTNode* node) {
    delete node;
}

// --- YMTNode -----------------------------------------------------------------

namespace {
// The address the last node allocation took from a storage; the node
// constructor that runs next at that address knows it lives there.
thread_local void* t_StorageNode MOSTFCAT_TLS_INITIAL_EXEC = nullptr;
} // namespace

void* YMTNode::operator new(std::size_t size) {
    if (YMTStorage* storage = YMTStorage::Current()) {
        void* memory = storage->Allocate(size, 8);
        t_StorageNode = memory;
        return memory;
    }
    return ::operator new(size);
}

void* YMTNode::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void YMTNode::operator delete(YMTNode* node, std::destroying_delete_t) {
    const bool inStorage = node->m_InStorage;
    node->~YMTNode();
    if (!inStorage) ::operator delete(node);
}

void YMTNode::operator delete(void* memory) {
    // A constructor threw: memory of the current storage stays with it.
    if (t_StorageNode == memory) {
        t_StorageNode = nullptr;
        return;
    }
    YMTStorage* storage = YMTStorage::Current();
    if (storage && storage->Arena().Contains(memory)) return;
    ::operator delete(memory);
}

YMTNode::YMTNode() {
    if (t_StorageNode == this) {
        m_InStorage = true;
        t_StorageNode = nullptr;
    }
}

YMTNode::~YMTNode() = default;

void YMTNode::Serialize(YMTArchive& ar) {
    SerializeNodeFields(ar);
}

void YMTNode::Read(YMTRecordReader& ar) {
    SerializeNodeFields(ar);
}

std::string YMTNode::PathName() const {
    // Built iteratively from the root: deep parameter trees stay cheap.
    const YMTNode* chain[256];
    size_t n = 0;
    size_t length = 0;
    for (const YMTNode* p = this; p && n < 256; p = p->Parent()) {
        chain[n++] = p;
        length += p->NameRef().size() + 1;
    }
    std::string out;
    out.reserve(length);
    while (n > 0) {
        out.push_back('/');
        out += chain[--n]->NameRef();
    }
    return out;
}

uint8_t YMTNode::Level() const {
    const YMTNode* p = Parent();
    return p ? static_cast<uint8_t>(p->Level() + 1) : 0;
}

uint8_t YMTNode::ParamLevel() const {
    const YMTNode* p = Parent();
    return p ? static_cast<uint8_t>(p->ParamLevel() + 1) : 0;
}

void YMTNode::DumpLine(YImportLog& log, const std::string& text) const {
    log.DumpLine(text, Level());
}

void YMTNode::DumpBase(YImportLog& log) {
    const YMTNode* p = Parent();
    DumpLine(log, p ? ".Parent: " + p->PathName() : std::string(".Parent: -"));
    DumpLine(log, StrFormat(".BytesInMsg: %d", static_cast<int>(BytesInMsg())));
}

bool YMTNode::Dump(YImportContext&, YImportLog& log) {
    DumpBase(log);
    return true;
}

bool YMTNode::Check(YImportContext&, YImportLog&) {
    m_Level = ParamLevel();
    return true;
}

YMTNode* YMTNode::FindChild(const std::string&) const {
    return nullptr;
}

YMTNode* YMTNode::ChildAt(uint32_t) const {
    return nullptr;
}

YMTNode* YMTNode::LookupName(const std::string& name, uint32_t beforeId) {
    // Walks upward iteratively; each level searches its own children before
    // the position of the level below.
    YMTNode* node = this;
    while (node) {
        // Catalogs, instances and functions hold only FBlocks, functions and
        // operations, which are never an answer: their lists need no search.
        uint32_t level = node->NodeType();
        if (level == kNodeCatalog || level == kNodeInstance || level == kNodeFunction) {
            beforeId = node->ID();
            node = node->Parent();
            continue;
        }
        YMTNode* found = node->FindChild(name);
        if (found && found->ID() < beforeId) {
            uint32_t t = found->NodeType();
            if (t != kNodeBoolField && t != kNodeOperation && t != kNodeFunction &&
                t != kNodeFBlock && t != kNodeCatalog)
                return found;
        }
        beforeId = node->ID();
        node = node->Parent();
    }
    return nullptr;
}

bool YMTNode::CopyFrom(const YMTNode* source) {
    if (!source || !source->IsType(NodeType())) return false;
    m_Texts = source->m_Texts;
    m_Parent = source->m_Parent;
    m_BytesInMsg = source->m_BytesInMsg;
    m_Level = source->m_Level;
    return true;
}

bool YMTNode::Disassemble(DisasmContext&) {
    return false;
}
bool YMTNode::Assemble(DisasmContext&) {
    return false;
}

uint32_t YMTNode::GetSubItemList(uint32_t, YMTNode* const**, uint32_t*) {
    return kAttrNotAvailable;
}
uint32_t YMTNode::GetAttrStr(uint32_t, const char**) {
    return kAttrNotAvailable;
}

uint32_t YMTNode::GetAttrInt(uint32_t attr, uint32_t* value) {
    if (attr == 1) {
        *value = CheckedLevel();
        return kAttrOk;
    }
    return kAttrNotAvailable;
}

uint32_t YMTNode::GetAttrFloat(uint32_t, double*) {
    return kAttrNotAvailable;
}

uint32_t YMTNode::GetAttrNode(uint32_t attr, YMTNode** value) {
    if (attr == 2) {
        *value = Parent();
        return kAttrOk;
    }
    return kAttrNotAvailable;
}

uint32_t YMTNode::ConvertBytesToStr(const uint8_t*, uint32_t, char*, int32_t) {
    return kAttrNotAvailable;
}
uint32_t YMTNode::ConvertBytesToInt(const uint8_t*, uint32_t, uint32_t*) {
    return kAttrNotAvailable;
}
uint32_t YMTNode::ConvertBytesToUInt64(const uint8_t*, uint32_t, uint64_t*) {
    return kAttrNotAvailable;
}
uint32_t YMTNode::ConvertBytesToDouble(const uint8_t*, uint32_t, double*) {
    return kAttrNotAvailable;
}

uint32_t CopyTextOut(const std::string& text, char* out, int32_t textSize) {
    if (!out || textSize < 1 || text.size() + 1 > static_cast<size_t>(textSize)) return 20;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return 0;
}

// --- YMTChildList --------------------------------------------------------------

namespace {

// Arrays of child lists come from the current storage when there is one.
YMTNode** NewItems(uint32_t count, bool& inStorage) {
    if (YMTStorage* storage = YMTStorage::Current()) {
        inStorage = true;
        return storage->AllocateArray<YMTNode*>(count);
    }
    inStorage = false;
    return static_cast<YMTNode**>(std::malloc(sizeof(YMTNode*) * count));
}

void FreeItems(YMTNode** items, bool inStorage) {
    if (!inStorage) std::free(items);
}

} // namespace

YMTChildList::~YMTChildList() {
    RemoveAll();
    FreeItems(m_Items, m_ItemsInStorage);
}

void YMTChildList::Abandon() {
    if (!m_SharedItems) FreeItems(m_Items, m_ItemsInStorage);
    m_Items = nullptr;
    m_Size = m_Capacity = 0;
    m_ItemsInStorage = false;
    m_SharedItems = false;
}

bool YMTChildList::ShareItems(const YMTChildList& other) {
    if (&other == this || m_OwnsChildren || !m_ItemsInStorage || !other.m_ItemsInStorage ||
        m_Size == 0 || m_Size != other.m_Size ||
        std::memcmp(m_Items, other.m_Items, sizeof(YMTNode*) * m_Size) != 0)
        return false;
    // The own array stays in the storage, unused.
    m_Items = other.m_Items;
    m_Capacity = m_Size;
    m_SharedItems = true;
    return true;
}

void YMTChildList::Unshare() {
    if (!m_SharedItems) return;
    bool inStorage = false;
    uint32_t capacity = m_Size > 2 ? m_Size : 2;
    auto* items = NewItems(capacity, inStorage);
    if (!items) throw std::bad_alloc();
    std::memcpy(items, m_Items, sizeof(YMTNode*) * m_Size);
    std::memset(items + m_Size, 0, sizeof(YMTNode*) * (capacity - m_Size));
    m_Items = items;
    m_Capacity = capacity;
    m_ItemsInStorage = inStorage;
    m_SharedItems = false;
}

bool YMTChildList::Grow(uint32_t need) {
    if (need <= m_Capacity || need <= m_Size) return true;
    uint32_t newCap =
        m_Items ? (m_Capacity * 2 > need ? m_Capacity * 2 : need) : (need > 2 ? need : 2);
    bool inStorage = false;
    auto* items = NewItems(newCap, inStorage);
    if (!items) return false;
    if (m_Items) std::memcpy(items, m_Items, sizeof(YMTNode*) * m_Size);
    std::memset(items + m_Size, 0, sizeof(YMTNode*) * (newCap - m_Size));
    if (!m_SharedItems) FreeItems(m_Items, m_ItemsInStorage);
    m_Items = items;
    m_ItemsInStorage = inStorage;
    m_SharedItems = false;
    m_Capacity = newCap;
    return true;
}

void YMTChildList::Add(YMTNode* node) {
    SetAt(node, m_Size);
}

void YMTChildList::SetAt(YMTNode* node, uint32_t index) {
    if (index == UINT32_MAX || !Grow(index + 1)) throw std::bad_alloc();
    Unshare();
    if (index >= m_Size) {
        for (uint32_t i = m_Size; i < index; ++i)
            m_Items[i] = nullptr;
        m_Size = index + 1;
    }
    m_Items[index] = node;
}

void YMTChildList::Reserve(uint32_t count) {
    if (!Grow(count)) throw std::bad_alloc();
}

void YMTChildList::RemoveAll() {
    if (m_SharedItems) {
        // The entries are another list's: nothing to delete or clear here.
        m_Items = nullptr;
        m_Size = m_Capacity = 0;
        m_SharedItems = false;
        m_ItemsInStorage = false;
        return;
    }
    if (m_OwnsChildren) {
        for (uint32_t i = 0; i < m_Size; ++i) {
            YMTNode* n = m_Items[i];
            m_Items[i] = nullptr;
            delete n;
        }
    } else {
        for (uint32_t i = 0; i < m_Size; ++i)
            m_Items[i] = nullptr;
    }
    m_Size = 0;
}

void YMTChildList::RemoveRange(uint32_t first, uint32_t last) {
    if (m_Size == 0 || first >= m_Size) return;
    Unshare();
    if (last >= m_Size) last = m_Size - 1;
    for (uint32_t i = first; i <= last; ++i) {
        YMTNode* n = m_Items[i];
        m_Items[i] = nullptr;
        if (m_OwnsChildren) delete n;
    }
}

YMTNode* YMTChildList::GetAt(uint32_t index) const {
    return (m_Items && index < m_Size) ? m_Items[index] : nullptr;
}

bool YMTChildList::GetFirstPos(uint32_t& pos) const {
    for (uint32_t i = 0; i < m_Size; ++i)
        if (m_Items[i]) {
            pos = i;
            return true;
        }
    pos = 0;
    return false;
}

bool YMTChildList::GetNextPos(uint32_t& pos, uint32_t after) const {
    if (after == UINT32_MAX) return GetFirstPos(pos);
    for (uint32_t i = after + 1; i < m_Size; ++i)
        if (m_Items[i]) {
            pos = i;
            return true;
        }
    pos = 0;
    return false;
}

YMTNode* YMTChildList::FindByName(const std::string& name) const {
    for (uint32_t i = 0; i < m_Size; ++i)
        if (m_Items[i] && EqualsNoCase(m_Items[i]->NameRef(), name)) return m_Items[i];
    return nullptr;
}

YMTNode* YMTChildList::FindByType(uint32_t type) const {
    for (uint32_t i = 0; i < m_Size; ++i)
        if (m_Items[i] && m_Items[i]->NodeType() == type) return m_Items[i];
    return nullptr;
}

uint32_t YMTChildList::GetCount() const {
    uint32_t n = 0;
    for (uint32_t i = 0; i < m_Size; ++i)
        if (m_Items[i]) ++n;
    return n;
}

bool YMTChildList::FindNextAfterGap(uint32_t& pos, uint32_t from) const {
    // No index lies after the highest one; from + 1 would wrap to 0 and make
    // the loop read the entry before the array.
    if (from == UINT32_MAX) return false;
    for (uint32_t i = from + 1; i < m_Size; ++i)
        if (m_Items[i] && !m_Items[i - 1]) {
            pos = i;
            return true;
        }
    return false;
}

void YMTChildList::Compact() {
    Unshare();
    uint32_t n = GetCount();
    if (n == 0) {
        FreeItems(m_Items, m_ItemsInStorage);
        m_Items = nullptr;
        m_ItemsInStorage = false;
        m_Size = m_Capacity = 0;
        return;
    }
    bool inStorage = false;
    auto* items = NewItems(n + 1, inStorage);
    if (!items) throw std::bad_alloc();
    items[0] = nullptr;
    uint32_t j = 1;
    for (uint32_t i = 0; i < m_Size; ++i)
        if (m_Items[i]) items[j++] = m_Items[i];
    FreeItems(m_Items, m_ItemsInStorage);
    m_Items = items;
    m_ItemsInStorage = inStorage;
    m_Size = m_Capacity = n + 1;
}

bool YMTChildList::CopyFrom(const YMTChildList& source, YMTNode* newParent) {
    RemoveAll();
    if (source.m_Size == 0) return true;
    Reserve(source.m_Size);
    for (uint32_t i = 0; i < source.m_Size; ++i) {
        const YMTNode* s = source.m_Items[i];
        if (!s) continue;
        YMTNode* c = s->Clone();
        if (!c) {
            RemoveAll();
            return false;
        }
        c->SetParent(newParent);
        SetAt(c, i);
    }
    return true;
}

bool YMTChildList::DumpAll(YImportContext& ctx, YImportLog& log) {
    for (uint32_t i = 0; i < m_Size; ++i)
        if (m_Items[i]) m_Items[i]->Dump(ctx, log);
    return true;
}

bool YMTChildList::CheckAll(YImportContext& ctx, YImportLog& log) {
    for (uint32_t i = 0; i < m_Size; ++i)
        if (m_Items[i] && !m_Items[i]->Check(ctx, log)) return false;
    return true;
}

YMTNode* YMTChildList::Detach(uint32_t index) {
    if (!m_Items || index >= m_Size) return nullptr;
    Unshare();
    YMTNode* n = m_Items[index];
    m_Items[index] = nullptr;
    return n;
}

uint32_t YMTChildList::SubItems(uint32_t wanted, uint32_t itemType, YMTNode* const** items,
                                uint32_t* count) const {
    if (wanted != itemType || m_Size == 0) return kAttrNotAvailable;
    *items = m_Items;
    *count = m_Size;
    return kAttrOk;
}

} // namespace mostfcat
