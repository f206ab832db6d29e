// The catalog root and the type and unit definitions of a catalog.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tree/node.h"

namespace mostfcat {

class YMTFBlock;

class YMTCatalog : public YMTNode, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    YMTCatalog();
    ~YMTCatalog() override;

    // The catalog itself always lives on the heap: it owns the storage its
    // tree lives in.
    static void* operator new(std::size_t size) { return ::operator new(size); }
    static void operator delete(void* memory) { ::operator delete(memory); }
    // Hands the catalog the storage its tree was built in (the importer and
    // the cache reader make it current while they build). Deleting the
    // catalog then gives back the whole tree at once.
    void AdoptStorage(std::unique_ptr<YMTStorage> storage) { m_Storage = std::move(storage); }
    const YMTStorage* Storage() const { return m_Storage.get(); }
    YMTStorage* Storage() { return m_Storage.get(); }

    // Counts the catalogs deleted in this process. Objects that keep node
    // pointers beyond a call (message descriptions and instances) compare it
    // with the count they saw when they resolved and resolve again when it
    // changed, so that they never touch the nodes of a deleted catalog.
    static uint64_t DeletedCount();

    uint32_t NodeType() const override { return kNodeCatalog; }
    void Serialize(YMTArchive& ar) override;
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Check(YImportContext& ctx, YImportLog& log) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    bool CopyFrom(const YMTNode*) override { return false; }
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override;
    uint32_t GetAttrStr(uint32_t attr, const char** value) override;
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    uint32_t GetAttrNode(uint32_t attr, YMTNode** value) override;
    void Read(YMTRecordReader& ar) override;

    YMTFBlock* FBlockAt(uint32_t fblockId) const;
    // Compiles the layout of every operation now rather than at its first
    // decode. Returns how many operations have a compiled layout (none in a
    // tree that is not finished).
    uint32_t CompileLayouts() const;

    std::string Release;
    std::string Date;
    uint8_t HasDevices = 0;
    std::string FilePath;
    uint64_t FileTime = 0;
    // The built-in error parameters, created on first need by the parameter
    // import; owned by the catalog.
    YMTNode* DefaultErrorCode = nullptr;
    YMTNode* DefaultErrorInfo = nullptr;
    uint8_t ErrorCodeFailed = 0;
    uint8_t ErrorInfoFailed = 0;

private:
    std::unique_ptr<YMTStorage> m_Storage;

    template <class Ar> void SerializeFields(Ar& ar);
    bool ImportErrorTemplates(const XDomElement* root, YImportContext& ctx, YImportLog& log);
    bool ImportFBlocks(const XDomElement* root, YImportContext& ctx, YImportLog& log);
    void MergeFBlock(YMTFBlock* existing, YMTFBlock* incoming, YImportLog& log);
};

// Base of the definitions list nodes: a child list in document order that
// can be searched by identifier name.
class YMTDefList : public YMTChildList {
public:
    virtual YMTNode* FindByIDName(const std::string& idName) const;
};

class YMTDef : public YMTNode {
public:
    uint32_t NodeType() const override { return kNodeDef; }
    bool CopyFrom(const YMTNode*) override { return false; }
    virtual void SetIDName(const std::string& idName) { m_IDName = idName; }
    virtual std::string IDName() const { return m_IDName.str(); }
    const std::string& IDNameRef() const { return m_IDName.str(); }

protected:
    YMTText m_IDName;
};

class YMTDefType : public YMTDef {
public:
    uint32_t NodeType() const override { return kNodeDefType; }
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    YMTNode* Clone() const override;

    uint16_t DefSize = 0;
    uint32_t DefCode = 0;
};

class YMTDefUnit : public YMTDef {
public:
    uint32_t NodeType() const override { return kNodeDefUnit; }
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    YMTNode* Clone() const override;

    uint32_t DefCode = 0;
};

class YMTDefListType : public YMTNode, public YMTDefList {
public:
    YMTChildList* Children() override { return this; }
    uint32_t NodeType() const override { return kNodeDefListType; }
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    bool CopyFrom(const YMTNode*) override { return false; }
};

class YMTDefListUnit : public YMTNode, public YMTDefList {
public:
    YMTChildList* Children() override { return this; }
    uint32_t NodeType() const override { return kNodeDefListUnit; }
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    bool CopyFrom(const YMTNode*) override { return false; }
};

class YMTDefinition : public YMTNode {
public:
    uint32_t NodeType() const override { return kNodeDefinition; }
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool CopyFrom(const YMTNode*) override { return false; }

    YMTDefListType Types;
    YMTDefListUnit Units;

    const YMTDefType* FindType(const std::string& typeId) const;
    const YMTDefUnit* FindUnit(const std::string& unitId) const;
};

// The definitions node of the import in progress (null outside an import).
inline YMTDefinition* ContextDefinitions(const YImportContext& ctx) {
    return static_cast<YMTDefinition*>(ctx.Definitions());
}
inline YMTCatalog* ContextCatalog(const YImportContext& ctx) {
    return static_cast<YMTCatalog*>(ctx.Catalog());
}

} // namespace mostfcat
