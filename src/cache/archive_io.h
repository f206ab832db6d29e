// The archives that write a catalog tree into the body of a cache file and
// read it back, and the pass that turns stored references into pointers.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/arena.h"
#include "tree/archive.h"

namespace mostfcat {

class YFCatFile;
class YMTCatalog;

// Creates an empty node of a class the cache can hold; null for any other
// node-type code.
YMTNode* CreateArchiveNode(uint32_t nodeType);

class YMTArchiveWrite : public YMTArchive {
public:
    explicit YMTArchiveWrite(YFCatFile& file) : m_File(file) {}

    void SerializeWords(std::vector<uint16_t>& words) override;
    void SerializeList(YMTChildList& list, YMTListKind kind) override;
    void SerializeString(std::string& text) override;
    void SerializeBool(bool& value) override;
    void Serialize64(uint64_t& value) override;
    void Serialize32(int32_t& value) override;
    void Serialize32(uint32_t& value) override;
    void Serialize16(uint16_t& value) override;
    void Serialize8(uint8_t& value) override;
    void SerializeRef(YMTNode*& node, YMTRefKind kind) override;
    YMTNode* NodeHeader(YMTNode* node) override;
    void SetFailed() override { m_Ok = false; }
    void SerializeString(YMTText& text) override;
    void SerializeWords(YMTWords& words) override;
    void SerializeTexts(YMTNodeTexts& texts) override;

    void WriteNodeHeader(YMTNode* node) { NodeHeader(node); }
    void Reset();
    // Hands the buffered bytes to the file; false when they did not all go.
    bool Flush();

private:
    void Put(const void* data, size_t size);
    void PutString(const std::string& text);
    void PutWords(const uint16_t* words, size_t count);
    uint32_t IdOf(const YMTNode* node);

    // Fields are collected here and written in large pieces.
    std::vector<uint8_t> m_Buffer;

    YFCatFile& m_File;
    uint16_t m_Sequence = 0;
    uint32_t m_NextId = 1;
    std::unordered_map<const YMTNode*, uint32_t> m_Ids;
};

// A reference read from the file, waiting for the relink pass. The pending
// references are kept in the order the reader met them.
struct YMTPendingRef {
    YMTNode** field = nullptr; // the pointer field to fill
    uint32_t id = 0;
    YMTNode* owner = nullptr; // the node whose field it is
    YMTRefKind kind = YMTRefKind::Parent;
};

// An entry of a list that does not own it, waiting for the relink pass.
struct YMTPendingEntry {
    YMTChildList* list = nullptr;
    YMTNode* owner = nullptr; // the node the list belongs to
    uint32_t index = 0;
    uint32_t id = 0;
    YMTListKind kind = YMTListKind::Functions;
};

// Builds a tree from a cache body: the body is taken from the file in one
// piece, node records are read through the inline field reader of the node
// classes, and lists and references are checked here.
class YMTArchiveRead : public YMTRecordReader {
public:
    // Deepest nesting of node records the reader accepts; a valid catalog
    // stays far below it, and it keeps a hostile file from exhausting the stack.
    static constexpr size_t kMaxDepth = 128;

    explicit YMTArchiveRead(YFCatFile& file) : m_File(file) {}
    ~YMTArchiveRead() override = default;

    void SerializeList(YMTChildList& list, YMTListKind kind) override;

    // Takes the rest of the file as the body and starts over; texts go to
    // storage. False when the file has nothing to give.
    bool Reset(YMTStorage* storage);
    // The next node header, and a new node of its class; root: the record of
    // the tree's root (the only place a catalog may stand).
    YMTNode* ReadNodeHeader(bool root = false);
    // Bytes of the body not read yet.
    size_t BodySize() const;
    // The root's record is read with the root as the current node.
    void PushRoot(YMTNode* root);

    // The node read under an id (null when no header carried it).
    YMTNode* NodeById(uint32_t id) const { return id < m_Ids.size() ? m_Ids[id] : nullptr; }
    const std::vector<YMTPendingRef>& PendingRefs() const { return m_Refs; }
    const std::vector<YMTPendingEntry>& PendingEntries() const { return m_Entries; }

protected:
    void ReadRef(YMTNode*& node, YMTRefKind kind) override;
    bool Refill(size_t need) override;

private:
    void Push(YMTNode* node, uint32_t id);
    void Pop();

    YFCatFile& m_File;
    uint16_t m_Sequence = 0;
    // Ids are handed out in the order nodes are first mentioned, so they are
    // dense: a table indexed by id. Every record that carries an id (header,
    // reference, list entry) can introduce at most one new id, which bounds
    // the ids a valid body can hold by the number of such records.
    std::vector<YMTNode*, YLargeAllocator<YMTNode*>> m_Ids;
    uint32_t m_IdRecords = 0;
    std::vector<YMTPendingRef> m_Refs;
    std::vector<YMTPendingEntry> m_Entries;
    // The nodes whose records are being read, with their ids.
    std::vector<std::pair<YMTNode*, uint32_t>> m_Stack;
    uint32_t m_LastId = 0; // id of the node header read last
};

// The second pass of a load: turns the references and shared list entries
// the reader kept into node pointers, checking the class and place of each
// target.
class YMTArchiveRelink {
public:
    explicit YMTArchiveRelink(const YMTArchiveRead& reader) : m_Reader(reader) {}
    bool Run();
    bool IsOk() const { return m_Ok; }

private:
    const YMTArchiveRead& m_Reader;
    bool m_Ok = true;
};

// Writes the catalog behind the header of an opened cache file.
bool SaveCatalog(YMTArchiveWrite& writer, YMTCatalog* catalog, YFCatFile& file);
// Reads a catalog from an opened cache file; null when the body is damaged
// or does not describe a sound tree. The tree lives in a storage of its own
// that the catalog owns.
YMTCatalog* LoadCatalog(YMTArchiveRead& reader, YFCatFile& file);
bool RelinkTree(YMTArchiveRelink& relinker, YMTNode* root);

} // namespace mostfcat
