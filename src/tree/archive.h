// The interface through which every node class hands its persistent fields
// to a cache-file archive (writer, reader or relinker) in a fixed order.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

} // namespace mostfcat
