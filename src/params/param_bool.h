// Bool and bit field parameters: unsigned integers of 1, 2, 4 or 8 bytes
// whose single bits are described by bool fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "params/param.h"

namespace mostfcat {

class YMTParamBoolField;

// A bool parameter; its children are bool fields stored at their bit
// position (0 = least significant bit).
class YMTParamBool : public YMTParam, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    YMTParamBool() = default;
    // The list's own archive and copy operations stay reachable beside the node's.
    using YMTChildList::CopyFrom;
    using YMTChildList::Serialize;

    uint32_t NodeType() const override { return kNodeBool; }
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
    uint32_t ConvertBytesToUInt64(const uint8_t* bytes, uint32_t length, uint64_t* value) override;
    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;

    uint32_t BitWidth() const override { return BytesInMsg() * 8u; }
    uint32_t ParamDispMode() const override { return kDispHex; }

    // --- operations of bool parameters ---
    virtual YMTParamBoolField* BoolFieldAt(uint32_t bitPos) const;
    // 0 for 1 byte, 1 for 2 bytes, 2 for 4 bytes, 6 for 8 bytes (0 otherwise).
    virtual uint32_t WidthClass() const;
    // Unused; keeps the operations after it in their places of the table.
    virtual uint32_t Reserved() const { return 0; }
    virtual uint64_t AllBitsMask() const;
    // Blanks and "+" are skipped; "0x..." is hexadecimal, else decimal. Fails
    // on "-", unreadable text and values above AllBitsMask().
    virtual bool ParseValue(const std::string& text, uint64_t& out) const;
    virtual bool ParseToBytes(const std::string& text, std::vector<uint8_t>& out) const;
    // The value as 1, 2, 4 or 8 bytes, most significant first.
    virtual bool ValueToBytes(uint64_t value, std::vector<uint8_t>& out) const;
    virtual void ImportBoolFields(const XDomElement* typeElement, YImportContext& ctx,
                                  YImportLog& log);
    virtual uint32_t HighestBitPos() const;

protected:
    // Creates default fields for the missing positions below bitCount and
    // names every field of these positions after its bit.
    void CompleteBoolFields(uint32_t bitCount, uint16_t width);
    // Deletes the fields from bitCount up to highest; true when any position
    // was in that range.
    bool RemoveBoolFieldsFrom(uint32_t bitCount, uint32_t highest);
};

// A bit field: a bool parameter whose width follows the Length attribute
// and the import options.
class YMTParamBitField : public YMTParamBool {
public:
    YMTParamBitField() = default;

    uint32_t NodeType() const override { return kNodeBitField; }
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
};

// One bit of a bool or bit field; its position is m_ParamPos (0..63) and
// its name is generated from the position.
class YMTParamBoolField : public YMTParam {
public:
    YMTParamBoolField();

    uint32_t NodeType() const override { return kNodeBoolField; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrStr(uint32_t attr, const char** value) override;
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    uint32_t ConvertBytesToStr(const uint8_t* bytes, uint32_t length, char* text,
                               int32_t textSize) override;
    uint32_t ConvertBytesToInt(const uint8_t* bytes, uint32_t length, uint32_t* value) override;

    uint32_t BitWidth() const override { return 1; }

    // "Bit%u" below a width of 2 bytes, else "Bit%02u"; with a mask the upper
    // half of the positions is named "Mask..." counted from that half.
    virtual void AssignBitName(uint16_t widthBytes, bool withMask, uint32_t bitPos);

    uint32_t BitPos() const { return m_ParamPos; }
    const std::string& TrueDesc() const { return m_TrueDesc.str(); }
    const std::string& FalseDesc() const { return m_FalseDesc.str(); }
    void SetTexts(const std::string& trueDesc, const std::string& falseDesc) {
        m_TrueDesc = trueDesc;
        m_FalseDesc = falseDesc;
    }

private:
    YMTText m_TrueDesc;
    YMTText m_FalseDesc;
};

} // namespace mostfcat
