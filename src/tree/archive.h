// The interfaces through which every node class hands its persistent fields
// to a cache-file archive in a fixed order: the general archive (writer and
// relinker, one call per field) and the record reader that builds a tree
// from a cache body (one call per node, its fields read inline).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tree/storage.h"

namespace mostfcat {

class YMTNode;
class YMTChildList;

// What a node reference may point at. The bytes do not depend on it; the
// reading side uses it to refuse references to nodes of the wrong class.
enum class YMTRefKind : uint8_t {
    Parent,     // the parent of a node (any node)
    Instance,   // an FBlock's first and default instance
    Selector,   // a number or an enumeration selecting a stream case
    ListSize,   // a number giving a list size
    IndexParam, // a number, enumeration, array or record indexing an array or record
};

// What a child list may hold. The bytes do not depend on it either.
enum class YMTListKind : uint8_t {
    FBlocks,     // catalog
    Instances,   // FBlock
    Functions,   // instance (owning for the first instance, references otherwise)
    Operations,  // function
    Params,      // operation, record, array, stream case
    StreamCases, // detailed streams
    EnumValues,  // enumeration
    BoolFields,  // bool and bit field
    StreamParts, // the generated children of short and classified streams
};

class YMTArchive {
public:
    virtual void SerializeWords(std::vector<uint16_t>& words) = 0;
    virtual void SerializeList(YMTChildList& list, YMTListKind kind) = 0;
    virtual void SerializeString(std::string& text) = 0;
    virtual void SerializeBool(bool& value) = 0;
    virtual void Serialize64(uint64_t& value) = 0;
    virtual void Serialize32(int32_t& value) = 0;
    virtual void Serialize32(uint32_t& value) = 0;
    virtual void Serialize16(uint16_t& value) = 0;
    virtual void Serialize8(uint8_t& value) = 0;
    virtual void SerializeRef(YMTNode*& node, YMTRefKind kind) = 0;
    // The writer writes the node's header and returns the node; the reader
    // reads a header, creates the node and returns it (null on failure).
    virtual YMTNode* NodeHeader(YMTNode* node) = 0;
    virtual void SetFailed() = 0;
    virtual ~YMTArchive() = default;
    // The text and word fields of tree nodes; the same bytes as a string
    // and a word vector.
    virtual void SerializeString(YMTText& text) = 0;
    virtual void SerializeWords(YMTWords& words) = 0;
    // A node's name and description: two strings.
    virtual void SerializeTexts(YMTNodeTexts& texts) = 0;

    bool IsOk() const { return m_Ok; }

    // A 64-bit floating-point field travels as its 8 bytes.
    void SerializeDouble(double& value) {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        Serialize64(bits);
        std::memcpy(&value, &bits, sizeof bits);
    }

protected:
    bool m_Ok = true;
};

// Reads node records from a cache body held in memory. The node classes walk
// their fields with it through the same templated code as with the general
// archive, so that a field costs an inline read rather than a virtual call;
// lists and references to other nodes go to the cache reader that derives
// from it. Once anything failed, every read gives zeros and the load fails.
class YMTRecordReader {
public:
    YMTRecordReader() = default;
    YMTRecordReader(const YMTRecordReader&) = delete;
    YMTRecordReader& operator=(const YMTRecordReader&) = delete;

    bool IsOk() const { return m_Ok; }
    void SetFailed() {
        m_Ok = false;
        m_Pos = m_End;
    }

    void Serialize8(uint8_t& value) {
        if (m_Pos != m_End)
            value = *m_Pos++;
        else
            Short(&value, 1);
    }
    void Serialize16(uint16_t& value) {
        uint8_t b[2];
        Take(b, 2);
        value = static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    void Serialize32(uint32_t& value) {
        uint8_t b[4];
        Take(b, 4);
        value = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                (uint32_t(b[3]) << 24);
    }
    void Serialize32(int32_t& value) {
        uint32_t u = 0;
        Serialize32(u);
        value = static_cast<int32_t>(u);
    }
    void Serialize64(uint64_t& value) {
        uint8_t b[8];
        Take(b, 8);
        value = 0;
        for (int i = 7; i >= 0; --i)
            value = (value << 8) | b[i];
    }
    void SerializeBool(bool& value) {
        uint8_t b = 0;
        Serialize8(b);
        value = b != 0;
    }
    void SerializeDouble(double& value) {
        uint64_t bits = 0;
        Serialize64(bits);
        std::memcpy(&value, &bits, sizeof bits);
    }
    // A length as u16, then the bytes, taken up to the first zero byte.
    void SerializeString(YMTText& text) {
        uint16_t length = 0;
        Serialize16(length);
        if (length == 0) {
            text.clear();
            return;
        }
        if (!Have(length)) {
            text.clear();
            SetFailed();
            return;
        }
        const char* bytes = reinterpret_cast<const char*>(m_Pos);
        m_Pos += length;
        text.SetPooled(PooledText(bytes, length));
    }
    void SerializeString(std::string& text);
    void SerializeWords(YMTWords& words);
    // A node's name and description, pooled as one pair.
    void SerializeTexts(YMTNodeTexts& texts) {
        const std::string* name = ReadPooled();
        const std::string* description = ReadPooled();
        if (name == &YMTText::Empty() && description == &YMTText::Empty())
            texts.SetPooled(&YMTNodeTexts::EmptyPair());
        else
            texts.SetPooled(m_Storage->InternPair(name, description));
    }
    // The parent is known from the structure and read here; other references
    // go to the cache reader.
    void SerializeRef(YMTNode*& node, YMTRefKind kind) {
        if (kind != YMTRefKind::Parent) {
            ReadRef(node, kind);
            return;
        }
        uint32_t id = 0;
        Serialize32(id);
        node = nullptr;
        if (!m_Ok) return;
        if (id != m_ParentId) {
            SetFailed();
            return;
        }
        node = m_ParentNode;
    }
    virtual void SerializeList(YMTChildList& list, YMTListKind kind) = 0;

protected:
    virtual ~YMTRecordReader() = default;
    virtual void ReadRef(YMTNode*& node, YMTRefKind kind) = 0;
    // Makes at least need bytes readable at m_Pos when the source has them
    // (a reader over a window moves it on); false when it has not. Bytes
    // before m_Pos may go.
    virtual bool Refill(size_t) { return false; }
    bool Have(size_t need) { return size_t(m_End - m_Pos) >= need || More(need); }
    bool More(size_t need);

    // A string field as a pooled text (the empty text when the field is
    // empty or cannot be read).
    const std::string* ReadPooled() {
        uint16_t length = 0;
        Serialize16(length);
        if (length == 0) return &YMTText::Empty();
        if (!Have(length)) {
            SetFailed();
            return &YMTText::Empty();
        }
        const char* bytes = reinterpret_cast<const char*>(m_Pos);
        m_Pos += length;
        return PooledText(bytes, length);
    }
    // Reads size bytes into out; zeros (and a failed load) past the end.
    void Take(uint8_t* out, size_t size) {
        if (size_t(m_End - m_Pos) >= size) {
            std::memcpy(out, m_Pos, size);
            m_Pos += size;
        } else {
            Short(out, size);
        }
    }
    // Where the bytes at hand are fewer than size: the source is asked for
    // more; without them, zeros and a failed load.
    void Short(void* out, size_t size);
    const std::string* PooledText(const char* bytes, size_t length);
    // The bytes still to read, and the storage their texts go to.
    void SetInput(const uint8_t* data, size_t size, YMTStorage* storage) {
        m_Pos = data;
        m_End = data + size;
        m_Storage = storage;
    }

    YMTStorage* m_Storage = nullptr;
    const uint8_t* m_Pos = nullptr;
    const uint8_t* m_End = nullptr;
    bool m_Ok = true;
    // The node whose record holds the fields being read has this parent.
    YMTNode* m_ParentNode = nullptr;
    uint32_t m_ParentId = 0;
};

} // namespace mostfcat
