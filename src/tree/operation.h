// Operations of a function and the assignment of parameter elements to them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "tree/node.h"

namespace mostfcat {

class YMTFunction;
class YMTOperationPlan;
class YMTParam;

class YMTOperation : public YMTNode, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    YMTOperation();

    uint32_t NodeType() const override { return kNodeOperation; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement*, YImportContext&, YImportLog&) override { return false; }
    bool Check(YImportContext& ctx, YImportLog& log) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    uint32_t ID() const override { return OpType; }
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override;
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override;
    uint32_t GetAttrStr(uint32_t attr, const char** value) override;
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    // Run the parameters' steps in position order until one returns false or
    // the context reports an end: through the compiled layout when the
    // operation belongs to a finished catalog, else over the child list.
    bool Disassemble(DisasmContext& ctx) override;
    // The same over the child list, without the compiled layout.
    bool DisassembleEachParam(DisasmContext& ctx);
    // The compiled layout, made on first use; null for an operation outside
    // a finished catalog's storage (such a tree may still change).
    const YMTOperationPlan* Plan() const {
        if (const YMTOperationPlan* plan = m_Plan.load(std::memory_order_acquire)) return plan;
        return MakePlan();
    }
    bool Assemble(DisasmContext& ctx) override;

    YMTParam* ParamAt(uint32_t position) const;
    // Merges the parameters of a template operation with the same OpType.
    bool MergeFrom(const YMTOperation* source, YImportLog& log);

    uint32_t OpType = 16;

private:
    // Compiles the plan on first use (see Plan).
    const YMTOperationPlan* MakePlan() const;
    mutable std::atomic<const YMTOperationPlan*> m_Plan{nullptr};
};

// The name of an operation from its OpType and its function's kind.
std::string OperationName(uint32_t opType, uint8_t functionType);

// Parameter import of a function from its "Property" or "Method" element.
bool ImportParams(YMTFunction& function, const XDomElement* element, YImportContext& ctx,
                  YImportLog& log);
// Imports one parameter element and assigns copies of it to the operations
// it names.
bool ImportParamElement(YMTFunction& function, const XDomElement* element, YImportContext& ctx,
                        YImportLog& log);
// Stores copies of param in the operations its element names. With consumed
// given, the last operation receives param itself instead of a copy (the
// caller then no longer owns it; *consumed tells whether that happened).
bool AssignParam(YMTFunction& function, YMTParam& param, const XDomElement* element,
                 YImportLog& log, bool* consumed = nullptr);
// Merges the operations of a template function into function.
bool MergeTemplate(YMTFunction& function, const YMTFunction& templateFunction, YImportLog& log);

} // namespace mostfcat
