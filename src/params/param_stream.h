// String, void and stream parameters: raw, short and classified streams,
// detailed streams with their stream cases, the signals of a stream case and
// the function-identifier bit stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "params/param.h"

namespace mostfcat {

class YMTParamStreamCase;
class YMTParamDetailedStreamBase;

inline bool IsDetailedStreamType(uint32_t type) {
    return type == kNodeDetailedStream || type == kNodeDetailedShortStream;
}

// Size limits that keep a hostile catalog from exhausting memory.
// Stream cases of one stream (description lines plus StreamCase elements).
constexpr uint32_t kMaxStreamCases = 4095;
// Members of one stream case and positions of one sequence description
// (the same limit as the index attributes of the members).
constexpr uint32_t kMaxCaseMembers = 4095;
// The nodes the cases of one stream may hold: a fixed allowance plus a
// multiple of the catalog text that describes them (elements below the
// stream's type element and names in its sequence descriptions), so that
// members named on many description lines cannot multiply without bound.
constexpr uint32_t kStreamNodeAllowance = 256;
constexpr uint32_t kStreamNodesPerItem = 16;
// Detailed streams nested in stream cases of other streams.
constexpr uint32_t kMaxStreamNesting = 32;
// A repeated group occurs at most this often (a payload has at most 65535
// bytes, and every repetition takes at least one).
constexpr uint32_t kMaxSeqIndex = 65535;

// A character string, optionally preceded by a character-set byte.
class YMTParamString : public YMTParam {
public:
    YMTParamString() = default;

    uint32_t NodeType() const override { return kNodeString; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;
    // The text of a string's bytes: an encoding byte 1, then characters up to
    // the first zero byte.
    uint32_t ConvertBytesToStr(const uint8_t* bytes, uint32_t length, char* text,
                               int32_t textSize) override;

    // Bytes per character of an encoding code: 2 for the codes 0 (UTF-16,
    // big-endian) and 7, else 1.
    static uint32_t BytesPerChar(uint8_t encoding);
    // The display text of a string's bytes (encoding byte included when the
    // string has one), at most limit bytes looked at.
    std::string StringText(const uint8_t* bytes, size_t size, uint32_t limit) const;
    std::string StringText(const std::vector<uint8_t>& bytes, uint32_t limit) const {
        return StringText(bytes.data(), bytes.size(), limit);
    }
    // The bytes of a text: the encoding byte (when the string has one), the
    // characters and a terminator.
    void EncodeString(const std::string& text, uint8_t encoding, std::vector<uint8_t>& out) const;

    // -1: no limit.
    int32_t MaxSize() const { return m_MaxSize; }
    void SetMaxSize(int32_t maxSize) { m_MaxSize = maxSize; }
    bool HasEncodingByte() const { return m_HasEncodingByte; }
    void SetHasEncodingByte(bool has) { m_HasEncodingByte = has; }

private:
    int32_t m_MaxSize = -1;
    bool m_HasEncodingByte = true;
};

// A parameter without payload; operations drop it during their check.
class YMTParamVoid : public YMTParam {
public:
    YMTParamVoid() = default;

    uint32_t NodeType() const override { return kNodeVoid; }
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    bool HasUnspecifiedLength() const override { return true; }
    bool Disassemble(DisasmContext& ctx) override;
};

// The packed list of supported function identifiers of the function FktIDs.
class YMTParamFktIDBitStream : public YMTParam {
public:
    YMTParamFktIDBitStream() = default;

    uint32_t NodeType() const override { return kNodeFktIDBitStream; }
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    bool HasUnspecifiedLength() const override { return true; }
    uint32_t ParamMeaning() const override { return kMeaningFktIDBitStream; }
    uint32_t ParamDispMode() const override { return kDispHex; }
    bool Disassemble(DisasmContext& ctx) override;

    // The supported function identifiers of a packed list as runs
    // ("0,1,5..7"); entries printed "%03X" when hex is set.
    static std::string FktIDListText(const uint8_t* bytes, size_t size, bool hex);
};

// Bytes without a described layout; a length of 0 means "the rest".
class YMTParamRawStream : public YMTParam {
public:
    YMTParamRawStream() = default;

    uint32_t NodeType() const override { return kNodeRawStream; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    bool HasUnspecifiedLength() const override { return m_Length == 0; }
    uint32_t ParamDispMode() const override { return kDispHex; }
    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;

    uint32_t Length() const { return m_Length; }
    void SetLength(uint32_t length) { m_Length = length; }

private:
    uint32_t m_Length = 0;
};

// The shared part of the streams that carry their own length field (raw
// short streams and classified streams): the maximum length, and children
// generated from it.
class YMTParamLengthStreamBase : public YMTParam, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override {
        return SubItems(itemType, kItemParam, items, count);
    }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;

    uint32_t MaxLength() const { return m_MaxLength; }
    // Creates the children for the current maximum length.
    virtual void BuildParts() = 0;

    // What tells the two kinds apart in import, dump and attributes.
    struct Kind {
        const char* typeTag;     // the type element
        uint32_t missingError;   // error number when it is missing
        const char* defaultName; // name of an unnamed parameter
        uint32_t maximum;        // largest (and default) maximum length
        uint32_t tooLongWarning; // warning number for a larger MaxLength
        const char* dumpTitle;
        uint32_t itemKind; // integer attribute 1002
    };

protected:
    explicit YMTParamLengthStreamBase(const Kind& kind) : m_Kind(kind), m_MaxLength(kind.maximum) {}

    const Kind& m_Kind;
    uint32_t m_MaxLength;
};

// A raw stream with its own 1-byte length field: children "Length" (1) and
// "Content" (2).
class YMTParamRawShortStream : public YMTParamLengthStreamBase {
public:
    YMTParamRawShortStream();

    uint32_t NodeType() const override { return kNodeRawShortStream; }
    YMTNode* Clone() const override { return CloneAs(this); }
    void BuildParts() override;
};

// A classified stream: a 2-byte length, a media-type string and the content.
// Children "Length" (1), "MediaType" (2) and "Content" (3).
class YMTParamCStream : public YMTParamLengthStreamBase {
public:
    YMTParamCStream();

    uint32_t NodeType() const override { return kNodeCStream; }
    YMTNode* Clone() const override { return CloneAs(this); }
    void BuildParts() override;
};

// A stream whose layout the catalog describes as stream cases, chosen by a
// selector parameter before the stream.
class YMTParamDetailedStreamBase : public YMTParam, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool Check(YImportContext& ctx, YImportLog& log) override;
    // Copies the fields and clones the cases. The selector and list-size
    // references would point into the source tree; they stay null until the
    // copy is checked in its own tree.
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override {
        return SubItems(itemType, kItemParam, items, count);
    }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    uint32_t ParamMeaning() const override { return m_ParamMeaning; }
    YMTParam* FindParamByName(const std::string& name, bool caseSensitive) override {
        return FindParamInList(*this, name, caseSensitive);
    }
    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;

    // The first case, in list order, whose selector range holds the value.
    virtual YMTParamStreamCase* FindStreamCase(uint32_t selectorValue) const;

    uint32_t Length() const { return m_Length; }
    void SetLength(uint32_t length) { m_Length = length; }
    void SetParamMeaning(uint8_t meaning) { m_ParamMeaning = meaning; }
    YMTParam* SelectorParam() const { return static_cast<YMTParam*>(m_SelectorParam); }
    void SetSelectorParam(YMTParam* param) { m_SelectorParam = param; }
    YMTParam* ListSizeParam() const { return static_cast<YMTParam*>(m_ListSizeParam); }
    // The stream case at a child index (null for an empty entry or another
    // kind of child).
    YMTParamStreamCase* CaseAt(uint32_t index) const;

protected:
    YMTParamDetailedStreamBase() = default;
    // Reads the StreamCase elements of the stream's type element into the
    // child list (indices 1, 2, ...).
    bool ImportCases(const XDomElement* typeElement, YImportContext& ctx, YImportLog& log);
    // Header line of the dump.
    virtual const char* DumpTitle() const = 0;

    uint32_t m_Length = 0;
    YMTNode* m_SelectorParam = nullptr;
    YMTNode* m_ListSizeParam = nullptr;
    uint8_t m_ParamMeaning = 0;

    friend class YMTParamStreamCase;
    friend class YStreamCaseImporter;
};

class YMTParamDetailedStream : public YMTParamDetailedStreamBase {
public:
    YMTParamDetailedStream() = default;

    uint32_t NodeType() const override { return kNodeDetailedStream; }
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    bool HasUnspecifiedLength() const override;

protected:
    const char* DumpTitle() const override { return "PARAMDETAILEDSTREAM: "; }
};

// A detailed stream with a 1-byte length field: the child "Length" at index 0
// and the cases from index 1; m_Length is the maximum length.
class YMTParamDetailedShortStream : public YMTParamDetailedStreamBase {
public:
    YMTParamDetailedShortStream() = default;

    uint32_t NodeType() const override { return kNodeDetailedShortStream; }
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;

protected:
    const char* DumpTitle() const override { return "PARAMDETAILEDSHORTSTREAM: "; }
};

// One layout of a detailed stream: its members (parameters or signals) at
// their sequence positions, the selector values that choose it and the
// repeated group.
class YMTParamStreamCase : public YMTParam, public YMTChildList {
public:
    YMTChildList* Children() override { return this; }
    YMTParamStreamCase() = default;

    uint32_t NodeType() const override { return kNodeStreamCase; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    uint8_t ParamLevel() const override;
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool Check(YImportContext& ctx, YImportLog& log) override;
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    uint32_t GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) override {
        return SubItems(itemType, kItemParam, items, count);
    }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    bool HasUnspecifiedLength() const override;
    void BuildSymID(std::string& out) const override;
    std::string SymIDPart() const override;
    bool IsIndexedChild(const YMTParam* child) const override;
    bool IsNameDuplicated() override;
    YMTParam* FindParamByName(const std::string& name, bool caseSensitive) override {
        return FindParamInList(*this, name, caseSensitive);
    }
    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;

    // The repetition count a decode recorded for the stream's list size
    // (unlimited without one).
    uint32_t RepetitionCount(const DisasmContext& ctx) const;

    // The stream the case belongs to (null when the parent is not a
    // detailed stream).
    YMTParamDetailedStreamBase* Stream() const;

    uint32_t PosYMin() const { return m_PosYMin; }
    uint32_t PosYMax() const { return m_PosYMax; }
    void SetPosY(uint32_t min, uint32_t max) {
        m_PosYMin = min;
        m_PosYMax = max;
    }
    const std::string& PosXString() const { return m_PosXString.str(); }
    void SetPosXString(const std::string& selectorName) { m_PosXString = selectorName; }
    uint16_t SeqCnt() const { return m_SeqCnt; }
    const YMTWords& SeqPositions() const { return m_SeqPositions; }
    uint32_t SeqIndexMax() const { return m_SeqIndexMax; }

private:
    void ComputeSeqIndexMax(const YMTParamDetailedStreamBase& stream, YImportLog& log);
    void WarnAfterUnspecifiedLength(YImportLog& log) const;

    // (Declared in an order that packs them; the cache order is Serialize's.)
    uint16_t m_SeqCnt = 0;
    uint32_t m_PosYMin = 0;
    uint32_t m_PosYMax = 0;
    uint32_t m_SeqIndexMax = 0;
    YMTText m_PosXString;
    YMTWords m_SeqPositions;

    friend class YStreamCaseImporter;
};

// A bit field of a stream case: m_BitLength bits at m_BitPos bits from the
// start of the case.
class YMTParamSignal : public YMTParam {
public:
    YMTParamSignal() = default;

    uint32_t NodeType() const override { return kNodeSignal; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    template <class Ar> void SerializeFields(Ar& ar);
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) override;
    bool CopyFrom(const YMTNode* source) override;
    YMTNode* Clone() const override { return CloneAs(this); }
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;

    virtual bool HasNoBits() const { return m_BitLength == 0; }
    virtual int32_t BitLength() const { return m_BitLength; }
    virtual uint32_t BitPos() const { return m_BitPos; }
    virtual bool IsSigned() const { return m_IsSigned; }
    virtual bool IsBigEndian() const { return !m_LittleEndian; }

    bool Disassemble(DisasmContext& ctx) override;
    bool Assemble(DisasmContext& ctx) override;
    uint32_t ConvertBytesToDouble(const uint8_t* bytes, uint32_t length, double* value) override;

    // --- value conversions (bytes: ceil(BitLength / 8) bytes in the signal's
    // byte order, right-aligned) ---
    uint64_t SignalInt(const uint8_t* bytes, size_t size) const;
    uint64_t SignalInt(const std::vector<uint8_t>& bytes) const {
        return SignalInt(bytes.data(), bytes.size());
    }
    std::string SignalText(const std::vector<uint8_t>& bytes, bool hex) const;
    double SignalValue(const std::vector<uint8_t>& bytes) const;
    bool ParseSignalInput(const std::string& text, uint64_t& value) const;
    bool EncodeSignal(uint64_t value, std::vector<uint8_t>& out) const;
    bool SignalFits(uint64_t value) const;

    void SetBitPos(uint32_t bitPos) { m_BitPos = bitPos; }
    void SetLittleEndian(bool little) { m_LittleEndian = little; }

private:
    bool m_IsSigned = false;
    bool m_LittleEndian = false;
    int32_t m_BitLength = 0;
    uint32_t m_BitPos = 0;
};

// Turns the StreamCase elements of a stream's type element into stream cases
// (not yet stored in the stream); budget bounds the nodes they may make.
std::vector<YMTParamStreamCase*>
ImportStreamCaseElements(YMTParamDetailedStreamBase& stream,
                         const std::vector<const XDomElement*>& elements, YImportContext& ctx,
                         YImportLog& log, uint64_t budget);

} // namespace mostfcat
