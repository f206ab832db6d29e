// MOST functions: properties and methods with their operations.
#pragma once

#include <cstdint>
#include <string>

#include "tree/node.h"

namespace mostfcat {

class YMTOperation;

// Function kinds (Type).
enum YMTFunctionKind : uint8_t {
    kFunctionUnknown = 0,
    kFunctionProperty = 1,
    kFunctionMethod = 2,
    kFunctionTemplate = 3, // an error-parameter template whose kind is not known yet
};

// Function flags.
constexpr uint32_t kFunctionErrors = 0x1;
constexpr uint32_t kFunctionSimpleStatus = 0x2;
constexpr uint32_t kFunctionWarnings = 0x4;

// Name prefix of the error-parameter templates.
constexpr const char* kErrorTemplatePrefix = "Temp_ERFunction_";

class YMTFunction : public YMTNode, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    YMTFunction();

    uint32_t NodeType() const override { return kNodeFunction; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Check(YImportContext& ctx, YImportLog& log) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    uint32_t ID() const override { return FunctionID; }
    bool CopyFrom(const YMTNode* source) override;
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override;
    uint32_t GetAttrStr(uint32_t attr, const char** value) override;
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    uint32_t GetAttrNode(uint32_t attr, YMTNode** value) override;

    YMTOperation* OperationAt(uint32_t opType) const;
    // Removes the parameters of every operation (the operations stay), after
    // warning 138.
    void DropParams(YImportLog& log);
    void DeriveClassSub();
    bool IsErrorTemplate() const;

    uint32_t FunctionID = 0xFFFFFFFF;
    uint8_t Type = kFunctionUnknown;
    uint8_t Class = 255;
    uint8_t ClassSub = 255;
    YMTText Release;
    YMTText Date;
    uint32_t Flags = 0;
    bool Notification = false;

private:
    bool ImportFromTemplate(const XDomElement* element, YImportContext& ctx, YImportLog& log);
    void ReadClassRef(const XDomElement* functionClass, YImportLog& log);
};

// The function class code of a ClassRef text for a property or a method;
// false for an unknown text (the code is then the unclassified one).
bool FunctionClassCode(const std::string& classRef, bool property, uint8_t& code);

} // namespace mostfcat
