// Function blocks and their instances.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tree/node.h"

namespace mostfcat {

class YMTInstance;

// Kinds of the instance lookup (the fallback selector).
enum YMTInstanceKind : uint32_t {
    kInstFirst = 0,     // the first imported instance, without lookup
    kInstOrDefault = 1, // the instance, else the default instance
    kInstOrFirst = 2,   // the instance, else the first instance
    kInstExact = 3,     // the instance only (any other value too)
};

class YMTFBlock : public YMTNode, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    YMTFBlock();

    uint32_t NodeType() const override { return kNodeFBlock; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Check(YImportContext& ctx, YImportLog& log) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    uint32_t ID() const override { return FBlockID; }
    bool CopyFrom(const YMTNode*) override { return false; }
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override;
    uint32_t GetAttrStr(uint32_t attr, const char** value) override;
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    uint32_t GetAttrNode(uint32_t attr, YMTNode** value) override;

    // The instance lookup with a kind selector (YMTInstanceKind).
    YMTInstance* SelectInstance(uint32_t instanceId, uint32_t kind) const;
    YMTInstance* InstanceAt(uint32_t instanceId) const;
    YMTInstance* FirstInstance() const;
    YMTInstance* DefaultInstance() const;
    void SetFirstInstance(YMTInstance* instance);
    // True when the instances carry different FBlock element names.
    bool HasMixedInstFBlockNames() const;

    uint32_t FBlockID = 0xFFFFFFFF;
    YMTText Release;
    YMTText Date;

private:
    bool ImportFunctions(const std::vector<XDomElement*>& elements,
                         const std::vector<YMTInstance*>& kept, YImportContext& ctx,
                         YImportLog& log);

    // Instance references are kept as node pointers: the cache reader checks
    // their class before they are used as instances.
    YMTNode* m_FirstInstance = nullptr;
    YMTNode* m_DefaultInstance = nullptr;
};

class YMTInstance : public YMTNode, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    YMTInstance();

    uint32_t NodeType() const override { return kNodeInstance; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    uint32_t ID() const override { return InstanceID; }
    bool CopyFrom(const YMTNode*) override { return false; }
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override;
    uint32_t GetAttrStr(uint32_t attr, const char** value) override;
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    uint32_t GetAttrNode(uint32_t attr, YMTNode** value) override;

    uint32_t InstanceID = 0xFFFFFFFF;
    YMTText DeviceName;
    YMTText DeviceDescription;
    YMTText Release;
    YMTText Date;
    YMTText InstFBlockName;
};

} // namespace mostfcat
