// Structured parameters: arrays (one repeated element parameter) and records
// (field parameters at fixed field positions).
#pragma once

#include <cstdint>
#include <string>

#include "params/param.h"

namespace mostfcat {

// Array and record nesting accepted by the import inside one parameter.
// Deeper structures are refused so that the recursive import, check, dump
// and delete walks stay within a small, fixed stack depth.
constexpr uint32_t kMaxStructNesting = 32;
// Error number of a structure nested deeper than kMaxStructNesting.
constexpr uint32_t kErrStructTooDeep = 239;

// Open array: no maximum number of elements.
constexpr uint32_t kOpenArray = 0xFFFFFFFF;

// An array repeats its element parameter (the only child, at index 1).
class YMTParamArray : public YMTParam, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    YMTParamArray() = default;
    // The list's own archive and copy operations stay reachable beside the node's.
    using YMTChildList::CopyFrom;
    using YMTChildList::Serialize;

    uint32_t NodeType() const override { return kNodeArray; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Check(YImportContext& ctx, YImportLog& log) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override {
        return SubItems(itemType, kItemParam, items, count);
    }
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    uint32_t ConvertBytesToInt(const uint8_t* bytes, uint32_t length, uint32_t* value) override;
    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;

    bool HasUnspecifiedLength() const override;
    bool IsIndexedChild(const YMTParam* child) const override;
    YMTParam* FindParamByName(const std::string& name, bool caseSensitive) override;

    // The element parameter (child 1), or null.
    YMTParam* Element() const;
    uint32_t NMax() const { return m_NMax; }
    void SetNMax(uint32_t nmax) { m_NMax = nmax; }
    bool IsTagged() const { return m_IsTagged != 0; }
    // The parameter that indexes the array, or null.
    YMTParam* SelectorParam() const { return static_cast<YMTParam*>(m_SelectorParam); }
    // Accepts a number, an enumeration, an array or a record and marks it as
    // a selector; null clears the reference. False (nothing changed) for
    // other kinds.
    bool SetSelectorParam(YMTParam* selector);

private:
    uint32_t m_NMax = 0;
    uint32_t m_IsTagged = 0;
    YMTNode* m_SelectorParam = nullptr; // not owned
};

// A record groups field parameters stored at their field positions (from 1).
class YMTParamRecord : public YMTParam, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    YMTParamRecord() = default;
    // The list's own archive and copy operations stay reachable beside the node's.
    using YMTChildList::CopyFrom;
    using YMTChildList::Serialize;

    uint32_t NodeType() const override { return kNodeRecord; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Check(YImportContext& ctx, YImportLog& log) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override {
        return SubItems(itemType, kItemParam, items, count);
    }
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;

    bool HasUnspecifiedLength() const override;
    YMTParam* FindParamByName(const std::string& name, bool caseSensitive) override;

    uint32_t NElements() const { return m_NElements; }
    YMTParam* SelectorParam() const { return static_cast<YMTParam*>(m_SelectorParam); }
    // As for the array.
    bool SetSelectorParam(YMTParam* selector);

private:
    uint32_t m_NElements = 0;
    YMTNode* m_SelectorParam = nullptr; // not owned
};

} // namespace mostfcat
