// The base of every catalog tree object and the sparse child list that
// containers hold their children in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "import/import_context.h"
#include "tree/archive.h"
#include "tree/storage.h"

namespace mostfcat {

class YImportLog;
class DisasmContext;

// Node-type codes (also the type codes of the cache file).
enum YMTNodeType : uint32_t {
    kNodeCatalog = 1,
    kNodeFBlock = 2,
    kNodeFunction = 3,
    kNodeOperation = 4,
    kNodeParam = 5,
    kNodeDetailedStream = 6,
    kNodeStreamCase = 7,
    kNodeArray = 8,
    kNodeRecord = 9,
    kNodeBool = 10,
    kNodeBoolField = 11,
    kNodeNumber = 13,
    kNodeEnum = 14,
    kNodeEnumValue = 15,
    kNodeString = 16,
    kNodeBitField = 17,
    kNodeVoid = 18,
    kNodeDetailedShortStream = 19,
    kNodeFktIDBitStream = 20,
    kNodeRawStream = 21,
    kNodeCStream = 22,
    kNodeRawShortStream = 23,
    kNodeSignal = 24,
    kNodeDefinition = 100,
    kNodeDef = 101,
    kNodeDefType = 102,
    kNodeDefUnit = 103,
    kNodeDefListType = 111,
    kNodeDefListUnit = 112,
    kNodeInstance = 200,
};

// Item types of the handle-based interface (integer attribute 0).
enum YMTItemType : uint32_t {
    kItemCatalog = 1,
    kItemFBlock = 2,
    kItemInstance = 3,
    kItemFunction = 4,
    kItemOperation = 5,
    kItemParam = 6,
    kItemEnumValue = 20,
};

// Results of the attribute and conversion slots.
constexpr uint32_t kAttrOk = 0;
constexpr uint32_t kAttrNotAvailable = 1;

class YMTNode {
public:
    YMTNode();
    YMTNode(const YMTNode&) = delete;
    YMTNode& operator=(const YMTNode&) = delete;

    // A node made while a storage is current (YMTStorageScope) lives in that
    // storage: deleting it runs its destructor and frees nothing, and the
    // storage's owner gives the memory back with everything else in it.
    // Other nodes live on the heap.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(YMTNode* node, std::destroying_delete_t);
    // Only for a constructor that throws.
    static void operator delete(void* memory);
    static void operator delete(void* memory, const std::nothrow_t&) { operator delete(memory); }

    virtual ~YMTNode();
    virtual bool IsType(uint32_t type) const { return type == NodeType(); }
    virtual uint32_t NodeType() const = 0;
    virtual void SetName(const std::string& name) { m_Texts.SetName(name); }
    virtual std::string Name() const { return m_Texts.Name(); }
    virtual const std::string& NameRef() const { return m_Texts.Name(); }
    virtual void SetDescription(const std::string& text) { m_Texts.SetDescription(text); }
    virtual const std::string& Description() const { return m_Texts.Description(); }
    virtual void SetParent(YMTNode* parent) { m_Parent = parent; }
    virtual YMTNode* Parent() const { return m_Parent; }
    virtual void Serialize(YMTArchive& ar);
    virtual std::string PathName() const;
    virtual uint8_t Level() const;
    virtual uint8_t ParamLevel() const;
    virtual bool Dump(YImportContext& ctx, YImportLog& log);
    virtual bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) = 0;
    virtual bool Check(YImportContext& ctx, YImportLog& log);
    virtual YMTNode* FindChild(const std::string& name) const;
    virtual YMTNode* ChildAt(uint32_t index) const;
    virtual uint32_t ID() const { return 0; }
    virtual YMTNode* LookupName(const std::string& name, uint32_t beforeId);
    virtual bool CopyFrom(const YMTNode* source);
    virtual YMTNode* Clone() const { return nullptr; }
    virtual bool Disassemble(DisasmContext& ctx);
    virtual bool Assemble(DisasmContext& ctx);
    virtual void SetBytesInMsg(uint16_t bytes) { m_BytesInMsg = bytes; }
    virtual uint16_t BytesInMsg() const { return m_BytesInMsg; }
    virtual uint8_t Depth() const { return Level(); }
    virtual uint8_t CheckedLevel() const { return m_Level; }
    virtual uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count);
    virtual uint32_t GetAttrStr(uint32_t attr, const char** value);
    virtual uint32_t GetAttrInt(uint32_t attr, uint32_t* value);
    virtual uint32_t GetAttrFloat(uint32_t attr, double* value);
    virtual uint32_t GetAttrNode(uint32_t attr, YMTNode** value);
    virtual uint32_t ConvertBytesToStr(const uint8_t* bytes, uint32_t length, char* text,
                                       int32_t textSize);
    virtual uint32_t ConvertBytesToInt(const uint8_t* bytes, uint32_t length, uint32_t* value);
    virtual uint32_t ConvertBytesToUInt64(const uint8_t* bytes, uint32_t length, uint64_t* value);
    virtual uint32_t ConvertBytesToDouble(const uint8_t* bytes, uint32_t length, double* value);
    // Reads the node's record from a cache body: the same fields in the same
    // order as Serialize, with one call per node.
    virtual void Read(YMTRecordReader& ar);

    // The node's child list; null for a node that has none.
    virtual YMTChildList* Children() { return nullptr; }
    const YMTChildList* Children() const { return const_cast<YMTNode*>(this)->Children(); }

    // True for a node that lives in a catalog's storage.
    bool InStorage() const { return m_InStorage; }

    // The base dump lines (".Parent: ..." and ".BytesInMsg: ...").
    void DumpBase(YImportLog& log);
    // Writes one dump line at this node's level.
    void DumpLine(YImportLog& log, const std::string& text) const;

protected:
    // The fields of every node, for Serialize and Read.
    template <class Ar> void SerializeNodeFields(Ar& ar) {
        ar.SerializeTexts(m_Texts);
        ar.SerializeRef(m_Parent, YMTRefKind::Parent);
        ar.Serialize16(m_BytesInMsg);
        ar.Serialize8(m_Level);
    }

    // The name and the description (one pooled pair, see YMTNodeTexts).
    YMTNodeTexts m_Texts;
    YMTNode* m_Parent = nullptr;
    uint16_t m_BytesInMsg = 0;
    uint8_t m_Level = 0;

private:
    bool m_InStorage = false;
};

// A sparse array of children indexed by identifier. Empty entries are null;
// m_Size is one past the highest index ever stored.
class YMTChildList {
public:
    YMTChildList() = default;
    YMTChildList(const YMTChildList&) = delete;
    YMTChildList& operator=(const YMTChildList&) = delete;

    virtual ~YMTChildList();
    virtual void Add(YMTNode* node);
    // Stores without deleting a previous entry at that index.
    virtual void SetAt(YMTNode* node, uint32_t index);
    virtual void Reserve(uint32_t count);
    virtual void RemoveAll();
    virtual void RemoveRange(uint32_t first, uint32_t last);
    virtual YMTNode* GetAt(uint32_t index) const;
    virtual bool GetFirstPos(uint32_t& pos) const;
    virtual bool GetNextPos(uint32_t& pos, uint32_t after) const;
    virtual YMTNode* FindByName(const std::string& name) const;
    virtual YMTNode* FindByType(uint32_t type) const;
    virtual uint32_t GetSize() const { return m_Size; }
    virtual uint32_t GetCount() const;
    virtual bool FindNextAfterGap(uint32_t& pos, uint32_t from) const;
    virtual void Compact();
    virtual bool CopyFrom(const YMTChildList& source, YMTNode* newParent);
    virtual bool DumpAll(YImportContext& ctx, YImportLog& log);
    virtual bool CheckAll(YImportContext& ctx, YImportLog& log);
    virtual void Serialize(YMTArchive& ar, YMTListKind kind) { ar.SerializeList(*this, kind); }
    virtual void SetOwnsChildren(bool owns) {
        if (owns) Unshare();
        m_OwnsChildren = owns;
    }
    virtual bool OwnsChildren() const { return m_OwnsChildren; }

    // The raw array (entries may be null), for the handle-based interface.
    YMTNode* const* Items() const { return m_Items; }
    // The node at index, or null: GetAt without the virtual call, for loops
    // on the decoding path.
    YMTNode* ItemAt(uint32_t index) const {
        return (m_Items && index < m_Size) ? m_Items[index] : nullptr;
    }
    uint32_t ItemCount() const { return m_Items ? m_Size : 0; }
    uint32_t Capacity() const { return m_Capacity; }
    // Takes the entry out of the list without deleting it.
    YMTNode* Detach(uint32_t index);
    // Uses the array of other, a list with the same entries, instead of its
    // own: lists that do not own their entries and hold the same ones as
    // another list (the instances of an FBlock share their functions) keep
    // one array. The list takes a copy of its own before it changes. False
    // (nothing changed) unless both lists live in a storage and hold the same
    // entries, and this one does not own them.
    bool ShareItems(const YMTChildList& other);
    // Forgets every entry without deleting it, and an array that does not
    // live in a storage: for the catalog, whose storage goes with all nodes
    // and arrays at once.
    void Abandon();
    // Answers GetSubItemList for a container whose children have itemType.
    uint32_t SubItems(uint32_t wanted, uint32_t itemType, YMTNode* const** items,
                      uint32_t* count) const;

private:
    bool Grow(uint32_t need);
    // A list that uses another's array takes a copy of its own.
    void Unshare();

    YMTNode** m_Items = nullptr;
    uint32_t m_Size = 0;
    uint32_t m_Capacity = 0;
    bool m_OwnsChildren = true;
    // The array lives in a catalog's storage (and is not freed here).
    bool m_ItemsInStorage = false;
    // The array is another list's (ShareItems).
    bool m_SharedItems = false;
};

// Iterates the non-null entries of a child list in index order.
template <class F> void ForEachChild(const YMTChildList& list, F&& f) {
    uint32_t pos = 0;
    for (bool ok = list.GetFirstPos(pos); ok; ok = list.GetNextPos(pos, pos))
        f(pos, list.GetAt(pos));
}

// The text of the first child element of that name into a text field; false
// when the element is absent (the field is then empty).
inline bool ChildText(const XDomElement* element, const char* name, YMTText& text) {
    std::string value;
    bool found = YImportContext::ChildText(element, name, value);
    text = value;
    return found;
}
// The same into a node's description.
inline bool ChildDescription(const XDomElement* element, const char* name, YMTNodeTexts& texts) {
    std::string value;
    bool found = YImportContext::ChildText(element, name, value);
    texts.SetDescription(value);
    return found;
}

// Copies a text into a caller's buffer of textSize bytes; 20 when it does
// not fit (nothing is written then), else 0.
uint32_t CopyTextOut(const std::string& text, char* out, int32_t textSize);

} // namespace mostfcat
