// Number and enumeration parameters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "params/param.h"

namespace mostfcat {

class YMTDefType;

// Integer parameter of 1, 2 or 4 bytes with an exponent, a unit, value
// limits and a step.
class YMTParamNumber : public YMTParam {
public:
    YMTParamNumber() = default;

    uint32_t NodeType() const override { return kNodeNumber; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool Check(YImportContext& ctx, YImportLog& log) override;
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrStr(uint32_t attr, const char** value) override;
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    uint32_t GetAttrFloat(uint32_t attr, double* value) override;
    uint32_t ConvertBytesToInt(const uint8_t* bytes, uint32_t length, uint32_t* value) override;
    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;

    uint32_t BitWidth() const override { return BytesInMsg() * 8u; }
    uint32_t ParamMeaning() const override { return m_ParamMeaning; }
    uint32_t ParamDispMode() const override { return m_ParamDispMode; }
    bool IsNameDuplicated() override;
    virtual void SetParamMeaning(uint8_t meaning) { m_ParamMeaning = meaning; }
    virtual void SetParamDispMode(uint8_t mode) { m_ParamDispMode = mode; }

    // Data-type class 0..5 from width and signedness (0 u8, 1 u16, 2 u32,
    // 3 s8, 4 s16, 5 s32).
    uint32_t DataTypeClass() const;
    // Lower and upper limit of the data-type class.
    double ClassMin() const;
    double ClassMax() const;
    // Reads a limit or input value in raw units: an optional "+", an optional
    // "-", blanks, then "0x" hexadecimal (a two's-complement bit pattern of
    // the width for signed classes) or a decimal integer. False when the text
    // cannot be read; the class limits are not checked here.
    bool ReadLimitValue(const std::string& text, double& value) const;

    // --- value conversions ---
    // The display text of the bytes (hex: condensed hex); an array position
    // reads "PosX=.. PosY=..".
    std::string NumberText(const uint8_t* bytes, size_t size, bool hex) const;
    std::string NumberText(const std::vector<uint8_t>& bytes, bool hex) const {
        return NumberText(bytes.data(), bytes.size(), hex);
    }
    // The raw value, sign-extended for signed widths, times 10^Exponent.
    double NumberValue(const uint8_t* bytes, size_t size) const;
    double NumberValue(const std::vector<uint8_t>& bytes) const {
        return NumberValue(bytes.data(), bytes.size());
    }
    // The raw (unscaled) value of the bytes, sign-extended for signed widths.
    int64_t RawValue(const uint8_t* bytes, size_t size) const;
    // A user's input read as a raw value (the limit-value syntax).
    bool ParseNumberInput(const std::string& text, double& raw) const {
        return ReadLimitValue(text, raw);
    }
    // The raw value as 1, 2 or 4 big-endian bytes by the data-type class;
    // false outside the class limits.
    bool EncodeNumber(double raw, std::vector<uint8_t>& out) const;
    // A number whose values other parameters read as repetition counts.
    bool IsCountSource() const;

    bool IsSigned() const { return m_IsSigned != 0; }
    void SetSigned(bool isSigned) { m_IsSigned = isSigned ? 1 : 0; }
    int32_t Exponent() const { return m_Exponent; }
    void SetExponent(int32_t exponent) { m_Exponent = exponent; }
    double RangeMin() const { return m_RangeMin; }
    double RangeMax() const { return m_RangeMax; }
    void SetRange(double min, double max) {
        m_RangeMin = min;
        m_RangeMax = max;
    }
    double Step() const { return m_Step; }
    void SetStep(double step) { m_Step = step; }
    const std::string& UnitName() const { return m_UnitName.str(); }
    void SetUnitName(const std::string& unit) { m_UnitName = unit; }

private:
    // Steps of the import. The type definition gives width and signedness;
    // its name is quoted by the limit warnings.
    const YMTDefType* ReadType(const XDomElement* number, YImportContext& ctx, YImportLog& log);
    bool ReadUnit(const XDomElement* number, const YMTDefType& type, YImportContext& ctx,
                  YImportLog& log);
    void ReadLimits(const XDomElement* number, const std::string& typeName, YImportLog& log);
    // The special role that width, name and place in the tree give.
    uint32_t DeriveMeaning() const;

    // (Declared in an order that packs them; the cache order is Serialize's.)
    uint8_t m_IsSigned = 0;
    uint8_t m_ParamMeaning = 0;
    uint8_t m_ParamDispMode = 0;
    int32_t m_Exponent = 0;
    double m_RangeMin = 0;
    double m_RangeMax = 0;
    double m_Step = 0;
    YMTText m_UnitName;
};

// One named code (or code range) of an enumeration.
class YMTEnumValue : public YMTNode {
public:
    YMTEnumValue() = default;
    YMTEnumValue(const std::string& text, uint16_t codeMin, uint16_t codeMax);

    uint32_t NodeType() const override { return kNodeEnumValue; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override;
    uint32_t GetAttrStr(uint32_t attr, const char** value) override;
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;

    uint16_t CodeMin() const { return m_CodeMin; }
    uint16_t CodeMax() const { return m_CodeMax; }
    bool Covers(uint32_t code) const { return m_CodeMin <= code && code <= m_CodeMax; }

private:
    uint16_t m_CodeMin = 0;
    uint16_t m_CodeMax = 0;
};

// A 1- or 2-byte code whose values carry names.
class YMTParamEnum : public YMTParam, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    YMTParamEnum() = default;

    uint32_t NodeType() const override { return kNodeEnum; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override;
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    uint32_t ConvertBytesToStr(const uint8_t* bytes, uint32_t length, char* text,
                               int32_t textSize) override;
    uint32_t ConvertBytesToInt(const uint8_t* bytes, uint32_t length, uint32_t* value) override;
    uint32_t BitWidth() const override { return BytesInMsg() * 8u; }
    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;

    // The code as 1 or 2 big-endian bytes; false above 255 (width 1) or 65535.
    bool EncodeEnum(uint32_t code, std::vector<uint8_t>& out) const;
    // Reads an input: a value name that stands for one code, else a number
    // (decimal, "0x" or "0b"). Returns 0 on success, else the assembling
    // status (8 for the name of a code range, 4 for an unreadable text).
    uint32_t ParseEnumInput(const std::string& text, uint32_t& code) const;

    // Enumeration helpers.
    // The value stored at index (null for an empty entry).
    YMTEnumValue* ValueAt(uint32_t index) const;
    YMTEnumValue* FindValueByCode(uint32_t code) const;
    YMTEnumValue* FindValueByName(const std::string& name) const;
    std::string CodeText(uint32_t code, bool markUnknown) const;
    // The text of a code no value defines ("# Unknown code: 7 #").
    static void AppendUnknownCode(std::string& out, uint32_t code);
    // flags: 1 code, 2 text, 16 hexadecimal code, 32 "0x" before it.
    std::string FormatEntry(uint32_t code, const std::string& text, uint32_t flags) const;
    void ListEntries(std::vector<std::string>& list, uint32_t flags) const;

    uint16_t EnumMax() const { return m_EnumMax; }
    // Sets the maximum and the width that follows from it (1 byte below 256).
    void SetEnumMax(uint16_t enumMax);
    // Appends a value (the built-in enumerations use it).
    void AddValue(const std::string& text, uint16_t codeMin, uint16_t codeMax);

private:
    uint16_t m_EnumMax = 0;
};

// Reads a big-endian unsigned integer of up to 4 bytes (more bytes keep the
// last four).
uint32_t BigEndianU32(const uint8_t* bytes, uint32_t length);
uint64_t BigEndianU64(const uint8_t* bytes, uint32_t length);

} // namespace mostfcat
