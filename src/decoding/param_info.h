// The parameter description (one entry of a decoded message) and the
// operations the decoding steps use to fill it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mostfcat/mesg_info.h"

namespace mostfcat {

// Entry kinds (the parameter-type codes of the object interface).
enum YFciParamKind : uint32_t {
    kKindDiagnostic = 1,
    kKindDetailedStream = 2,
    kKindStreamCase = 3,
    kKindArray = 4,
    kKindRecord = 5,
    kKindBool = 6,
    kKindBoolField = 7,
    kKindNumber = 8,
    kKindEnum = 9,
    kKindString = 10,
    kKindBitField = 11,
    kKindVoid = 12,
    kKindFktIDBitStream = 13,
    kKindRawStream = 14,
    kKindRemain = 15,
    kKindCStream = 16,
    kKindRawShortStream = 17,
    kKindSignal = 18,
    kKindDetailedShortStream = 19,
};

using YValueList = std::vector<std::string>;

// Remark bits of an entry (the values of YFciUserInput::Remark).
// kRemarkOneText: a bool field whose two states share one text.
enum : uint8_t { kRemarkOutOfRange = 0x1, kRemarkUndefinedCode = 0x2, kRemarkOneText = 0x4 };

class YFciParamInfoImpl final : public YFciParamInfo {
public:
    YFciParamInfoImpl(uint32_t kind, const uint8_t* data, size_t size, uint32_t position,
                      bool hasNoData, uint32_t bitLength);
    YFciParamInfoImpl(const YFciParamInfoImpl& other) = default;
    ~YFciParamInfoImpl() override;
    // Makes a used entry new again (texts keep their buffers). An entry whose
    // name was made from the text at name in the given form keeps that name.
    // Inline: every decoded value passes here, and most entries held no
    // texts or value list.
    void Reset(uint32_t kind, const uint8_t* data, size_t size, uint32_t position, bool hasNoData,
               uint32_t bitLength, const std::string* name = nullptr, uint32_t nameForm = 0) {
        m_ParamType = kind;
        m_Level = 0;
        m_Position = position;
        if (data && size)
            m_Data.assign(data, data + size);
        else
            m_Data.clear();
        m_Length = static_cast<uint32_t>(m_Data.size());
        m_BitLength = bitLength;
        m_Meaning = 0;
        m_DispMode = 0;
        m_ErrorKind = 0;
        m_HasNoData = hasNoData;
        m_HasNumeric = false;
        m_BigEndian = true;
        m_ValueFlag = true;
        m_HasUInt64 = false;
        m_IsWildcard = false;
        m_HasEncodingByte = false;
        m_IsOpenEnded = false;
        m_Remarks = 0;
        m_Numeric = 0;
        m_UInt64 = 0;
        // The list stays held (hidden): the next entry of the same
        // definition shows it again without touching its reference count.
        m_ListShown = false;
        if (m_Texts) ClearTexts(name, nameForm);
    }

    // --- the exported slots ---
    uint32_t ParamType() const override { return m_ParamType; }
    uint32_t Level() const override { return m_Level; }
    uint32_t ParamMeaning() const override { return m_Meaning; }
    uint32_t ParamDispMode() const override { return m_DispMode; }
    const std::string& Name() const override { return m_Name; }
    const std::vector<uint8_t>& Data() const override { return m_Data; }
    uint32_t DataSize() const override { return static_cast<uint32_t>(m_Data.size()); }
    uint32_t Position() const override { return m_Position; }
    const std::string& HexText() const override { return m_HexText; }
    const std::string& DecimalText() const override { return m_DecimalText; }
    const std::string& ValueText() const override { return m_ValueText; }
    bool NumericValue(double& out) const override;
    const std::string& UnitText() const override { return m_UnitText; }
    const std::string& NameSuffix() const override { return m_NameSuffix; }
    bool HasNoData() const override { return m_HasNoData; }
    uint32_t Length() const override { return m_Length; }
    uint32_t BitLength() const override { return m_BitLength; }
    std::string FullName() const override { return m_Name + m_NameSuffix; }
    std::string DataDec(uint32_t maxBytes) const override;
    std::string DataHex(uint32_t maxBytes) const override;
    bool IsWildcard() const override { return m_IsWildcard; }
    bool Matches(const YFciParamInfo& other) const override;
    const std::vector<std::string>& ValueList() const override;
    bool HasEncodingByte() const override { return m_HasEncodingByte; }
    bool IsOpenEnded() const override { return m_IsOpenEnded; }
    bool IsBigEndian() const override { return m_BigEndian; }
    bool UInt64Value(uint64_t& out) const override;
    bool ValueFlag() const override { return m_ValueFlag; }

    // --- slots of the implementation ---
    virtual uint32_t DataAsULong() const;
    virtual uint64_t DataAsUInt64() const;
    virtual void SetLevel(uint32_t level) { m_Level = level; }
    virtual void SetMeaning(uint32_t meaning) { m_Meaning = meaning; }
    virtual void SetDispMode(uint32_t mode) { m_DispMode = mode; }
    virtual void SetName(const std::string& name) { Assign(NameRef(), name); }
    virtual void SetHexText(const std::string& text) { Assign(HexRef(), text); }
    virtual void SetDecimalText(const std::string& text) { Assign(DecimalRef(), text); }
    virtual void SetValueText(const std::string& text) { Assign(ValueRef(), text); }
    virtual void SetNumeric(double value) {
        m_Numeric = value;
        m_HasNumeric = true;
    }
    virtual void SetUnitText(const std::string& text) { Assign(UnitRef(), text); }
    virtual void SetNameSuffix(const std::string& text) {
        m_Texts |= kSuffixText;
        Assign(m_NameSuffix, text);
    }
    virtual void SetValueList(const std::vector<std::string>& list);
    virtual void SetHasEncodingByte(bool has) { m_HasEncodingByte = has; }
    virtual void SetLength(uint32_t length) { m_Length = length; }
    virtual void SetUInt64(uint64_t value) {
        m_UInt64 = value;
        m_HasUInt64 = true;
    }
    virtual void SetValueFlag(bool flag) { m_ValueFlag = flag; }
    virtual void SetBitLength(uint32_t bits) { m_BitLength = bits; }
    virtual void SetErrorKind(uint32_t kind) { m_ErrorKind = kind; }
    virtual void SetWildcard(bool wildcard) { m_IsWildcard = wildcard; }
    virtual void SetOpenEnded(bool open) { m_IsOpenEnded = open; }
    virtual bool SetLittleEndian(bool little) {
        m_BigEndian = !little;
        return m_BigEndian;
    }

    // --- internal ---
    uint32_t ErrorKind() const { return m_ErrorKind; }
    // What a user should be told about the value beyond its texts (bits of
    // YFciUserInput::Remark: outside the catalog's range, an undefined code).
    uint8_t Remarks() const { return m_Remarks; }
    void SetRemarks(uint8_t remarks) { m_Remarks = remarks; }
    // Shares a value list that many entries of one definition show.
    void ShareValueList(const std::shared_ptr<const YValueList>& list) {
        if (m_SharedList != list) m_SharedList = list;
        m_ListShown = true;
    }
    // Direct access for the decoding steps (texts are built in place).
    std::string& NameRef() {
        m_Texts |= kNameText;
        m_NameFrom = nullptr;
        return m_Name;
    }
    // The name copied from a definition's text. An entry reused for the same
    // definition already holds it: most entries of a message description
    // show the same names payload after payload.
    void TakeName(const std::string* from) {
        if (!HasNameFrom(from, 0)) m_Name = *from;
        NoteNameSource(from, 0);
    }
    // Whether the name was made from the text at from in the given form (0:
    // a copy; other forms are the caller's, such as a diagnostic's sentence
    // around the text).
    bool HasNameFrom(const std::string* from, uint32_t form) const {
        return m_NameFrom == from && m_NameForm == form;
    }
    // After the name was written through NameRef: what it was made from.
    void NoteNameSource(const std::string* from, uint32_t form) {
        m_NameFrom = from;
        m_NameForm = form;
        m_Texts |= kNameText;
    }
    // The texts the names were copied from may be gone: copy them again.
    void ForgetNameSource() { m_NameFrom = nullptr; }
    std::string& HexRef() {
        m_Texts |= kHexText;
        return m_HexText;
    }
    std::string& DecimalRef() {
        m_Texts |= kDecimalText;
        return m_DecimalText;
    }
    std::string& ValueRef() {
        m_Texts |= kValueText;
        return m_ValueText;
    }
    std::string& UnitRef() {
        m_Texts |= kUnitText;
        return m_UnitText;
    }
    std::vector<uint8_t>& DataRef() { return m_Data; }
    // Level, meaning and display mode of a new entry at once (the setters'
    // work without three virtual calls).
    void Describe(uint32_t level, uint32_t meaning, uint32_t dispMode) {
        m_Level = level;
        m_Meaning = meaning;
        m_DispMode = dispMode;
    }
    void SetPosition(uint32_t position) { m_Position = position; }
    void SetHasNoData(bool hasNoData) { m_HasNoData = hasNoData; }

private:
    // Empties the texts written since the entry was made, but a name made
    // from name in nameForm (see Reset).
    void ClearTexts(const std::string* name, uint32_t nameForm);
    static void Assign(std::string& field, const std::string& text) {
        if (&field != &text) field = text;
    }

    // Which texts were written since the entry was made (a reused entry
    // clears only those).
    enum : uint8_t {
        kNameText = 1,
        kDecimalText = 2,
        kHexText = 4,
        kValueText = 8,
        kUnitText = 16,
        kSuffixText = 32,
    };

    // Scalars first: a decode that shows no texts touches little else.
    uint32_t m_ParamType;
    uint32_t m_Level = 0;
    uint32_t m_Position;
    uint32_t m_Length;
    uint32_t m_BitLength;
    uint32_t m_Meaning = 0;
    uint32_t m_DispMode = 0;
    uint32_t m_ErrorKind = 0;
    uint8_t m_Texts = 0;
    bool m_HasNoData;
    bool m_HasNumeric = false;
    bool m_BigEndian = true;
    bool m_ValueFlag = true;
    bool m_HasUInt64 = false;
    bool m_IsWildcard = false;
    bool m_HasEncodingByte = false;
    bool m_IsOpenEnded = false;
    bool m_ListShown = false; // m_SharedList is the entry's value list
    uint8_t m_Remarks = 0;
    double m_Numeric = 0;
    uint64_t m_UInt64 = 0;
    std::vector<uint8_t> m_Data;
    // The value list: shared between the entries of one definition; kept
    // over a reset, shown only while m_ListShown is set.
    std::shared_ptr<const YValueList> m_SharedList;
    std::string m_Name;
    std::string m_DecimalText;
    std::string m_HexText;
    std::string m_ValueText;
    std::string m_UnitText;
    std::string m_NameSuffix;
    // The definition text m_Name was made from (in m_NameForm), or null;
    // set only while m_Texts holds kNameText.
    const std::string* m_NameFrom = nullptr;
    uint32_t m_NameForm = 0;
};

} // namespace mostfcat
