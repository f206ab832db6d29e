// The implementation objects behind the exported parameter value handles:
// the identifier base shared with the message instance, the value base and
// one class per value kind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mostfcat/param_values.h"
#include "values/param_path.h"
#include "values/value_context.h"

namespace mostfcat {

class YMTParam;

// What a value tree belongs to: the message instance re-renders its payload
// text when a value changed and decodes the tree again on a relayout.
class YValueOwner {
public:
    virtual void ValuesChanged(bool relayout) = 0;
    virtual uint32_t ValueDecodeOptions() const = 0;
    // False once a catalog was deleted since the tree was decoded: its
    // definitions may be gone, and values must not read them.
    virtual bool DefinitionsAlive() const = 0;

protected:
    ~YValueOwner() = default;
};

constexpr uint32_t kNoIndex = 0xFFFFFFFF;

// Short and symbolic identifiers, path look-up and depth; the message
// instance is the parent entity of its top-level values.
class YFciParamIDEntity {
public:
    virtual ~YFciParamIDEntity();
    virtual std::string ShortID();
    virtual std::string SymID();
    virtual std::string ShortIDTail() = 0;
    virtual std::string SymIDTail() = 0;
    virtual YFciParam* FindByPath(const YParamPath&) { return nullptr; }
    virtual void ExpandAll() {}
    virtual void ExpandPath(const YParamPath&) {}
    virtual void SetParentEntity(YFciParamIDEntity* parent) { m_ParentEntity = parent; }
    virtual uint32_t Depth() const { return m_Depth; }
    virtual void SetDepth(uint32_t depth) { m_Depth = depth; }
    virtual bool IsActive() const;
    virtual void SetActive(bool) {}
    virtual bool IsActiveSelf() const { return false; }

    YFciParamIDEntity* ParentEntity() const { return m_ParentEntity; }

protected:
    // Joins the parent's identifier and a tail ("." between them unless
    // glued, as for stream cases).
    static std::string Join(const std::string& parent, const std::string& tail, bool glued);

    YFciParamIDEntity* m_ParentEntity = nullptr;
    uint32_t m_Depth = 0;
};

class YFciParamImpl : public YFciParamIDEntity {
public:
    explicit YFciParamImpl(uint32_t kind) : m_Kind(kind) {}
    ~YFciParamImpl() override;
    YFciParamImpl(const YFciParamImpl&) = delete;
    YFciParamImpl& operator=(const YFciParamImpl&) = delete;

    // --- identifiers and paths ---
    std::string ShortIDTail() override;
    std::string SymIDTail() override;
    YFciParam* FindByPath(const YParamPath& path) override;
    void SetActive(bool active) override { m_Active = active; }
    bool IsActiveSelf() const override { return m_Active; }

    // --- what the handles forward ---
    virtual uint32_t ParamType() const { return m_Kind; }
    virtual uint32_t ParamDispMode() const;
    virtual uint32_t ParamMeaning() const;
    virtual const std::string& Name() const;
    virtual std::string DescName(bool) { return SymIDTail(); }
    virtual const std::string& Unit() const;
    virtual bool IsValueValid() const { return true; }
    virtual bool IsValueDefined() const { return true; }
    virtual std::vector<uint8_t> ValueHexdump() { return {}; }
    virtual void SetValueHexdumpStr(const std::string&) {}
    // The value's bytes as hex-dump text; the kinds append it to a text, so
    // that a message renders its payload without a text per value.
    std::string ValueHexdumpStr() {
        std::string out;
        AppendValueHexdumpStr(out);
        return out;
    }
    virtual void AppendValueHexdumpStr(std::string&) {}
    virtual bool SetUserInputStr(const std::string&, bool& changed) {
        changed = false;
        return false;
    }
    virtual std::string UserInputStr(uint32_t) { return {}; }
    virtual uint32_t Index() const { return m_Index; }
    virtual const std::vector<YFciParam*>& SubParamList() const;
    virtual uint64_t FctNode() const { return reinterpret_cast<uint64_t>(Def()); }
    virtual bool MatchesPathElement(const YParamPath& path) const;
    virtual void NotifyChanged(bool relayout);
    virtual void Disassemble(YValueContext&) {}
    virtual void UpdateLayout() {}
    virtual bool IsMultiplexorParam() const;
    virtual bool SelectorValue(uint32_t& out) const {
        out = 0;
        return false;
    }
    virtual bool IsDescriptionParam() const { return false; }
    virtual std::string GetParamDescription() const;

    // --- set-up by the owner ---
    void SetSiblingList(std::vector<YFciParam*>* list) { m_SiblingList = list; }
    std::vector<YFciParam*>* SiblingList() const { return m_SiblingList; }
    // The definition, or null once its catalog may be gone (values never
    // read a deleted catalog's nodes).
    const YMTParam* Def() const {
        return (m_Message && !m_Message->DefinitionsAlive()) ? nullptr : m_Definition;
    }
    const YMTParam* Definition() const { return Def(); }
    virtual void SetDefinition(const YMTParam* definition) { m_Definition = definition; }
    YFciParam* Handle() const { return m_Handle; }
    void SetHandle(YFciParam* handle) { m_Handle = handle; }
    YValueOwner* Message() const { return m_Message; }
    void SetMessage(YValueOwner* message) { m_Message = message; }
    void SetIndex(uint32_t index) { m_Index = index; }
    bool HasIndex() const { return m_Index != kNoIndex; }
    uint16_t ParamIdx() const;
    // Makes the value a child of parent (depth one more, parent's list).
    void Attach(YFciParamIDEntity* parent, uint32_t depth, std::vector<YFciParam*>* siblings);
    // The owning handle is going away while copies of it live on: forget
    // everything outside this value (message, parent, referenced values).
    void Detach();
    // Forgets the message and the values this one refers to, in the whole
    // subtree.
    virtual void ForgetOutside() {
        m_Message = nullptr;
        m_Definition = nullptr;
    }

    // Handle copies share the implementation; the last one deletes it.
    void AddRef() { ++m_Refs; }
    bool Release() { return --m_Refs == 0; }

protected:
    uint32_t DecodeOptions() const { return m_Message ? m_Message->ValueDecodeOptions() : 0; }
    uint32_t DefinitionSize() const;

    uint32_t m_Kind;
    const YMTParam* m_Definition = nullptr;
    YFciParam* m_Handle = nullptr;
    YValueOwner* m_Message = nullptr;
    bool m_Active = false;
    std::vector<YFciParam*>* m_SiblingList = nullptr;
    uint32_t m_Index = kNoIndex;
    uint32_t m_Refs = 1;
};

// --- scalar kinds ---------------------------------------------------------------------

class YScalarImpl : public YFciParamImpl {
public:
    using YFciParamImpl::YFciParamImpl;
    bool IsValueDefined() const override { return m_Defined; }
    std::vector<uint8_t> ValueHexdump() override { return m_Bytes; }
    const std::vector<uint8_t>& Bytes() const { return m_Bytes; }
    // Reads the definition's byte count at the cursor; false when any byte is
    // missing or not written in hex digits (the value then holds zeros).
    bool TakeBytes(YValueContext& ctx);
    // The big-endian reading of the bytes (up to 8).
    uint64_t BytesValue() const;
    // The bytes in hex when defined, else "__" for each.
    void AppendBytesOrUnderscores(std::string& out) const;

protected:
    std::vector<uint8_t> m_Bytes;
    bool m_Defined = false;
};

class YNumberImpl : public YScalarImpl {
public:
    YNumberImpl() : YScalarImpl(eFciParamNumber) {}
    void SetDefinition(const YMTParam* definition) override;
    const std::string& Unit() const override;
    bool IsValueValid() const override;
    void Disassemble(YValueContext& ctx) override;
    void AppendValueHexdumpStr(std::string& out) override;
    void SetValueHexdumpStr(const std::string& text) override;
    bool SetUserInputStr(const std::string& input, bool& changed) override;
    std::string UserInputStr(uint32_t mode) override;
    bool SelectorValue(uint32_t& out) const override;

    bool SetValue(double value);
    double Value() const;
    uint32_t ValueType() const;
    double MinValue() const;
    double MaxValue() const;
    long Exponent() const;
    uint32_t Wildcard() const { return m_Wildcard; }
    bool UserInputStringToValue(const std::string& text, double& value) const;
    bool EncodeValue(double value);
    void SetHexInput(const std::string& text);

private:
    bool RelayoutOnChange() const;
    // Array positions, tags and row positions (they take no wildcard).
    bool IsPosition() const;
    uint32_t m_Wildcard = 0;
};

class YEnumImpl : public YScalarImpl {
public:
    YEnumImpl() : YScalarImpl(eFciParamEnum) {}
    void SetDefinition(const YMTParam* definition) override;
    bool IsValueValid() const override;
    void Disassemble(YValueContext& ctx) override;
    void AppendValueHexdumpStr(std::string& out) override;
    void SetValueHexdumpStr(const std::string& text) override;
    bool SetUserInputStr(const std::string& input, bool& changed) override;
    std::string UserInputStr(uint32_t mode) override;
    bool SelectorValue(uint32_t& out) const override;

    bool SetValue(long code);
    long Value() const;
    std::vector<std::string> ValueList(uint32_t mode) const;
    uint32_t ValueType() const;
    long MaxValue() const;
    bool UserInputStringToValue(const std::string& text, long& value) const;
    std::string FormatValue(uint32_t value, uint32_t mode) const;
};

class YBoolImpl : public YScalarImpl {
public:
    explicit YBoolImpl(uint32_t kind) : YScalarImpl(kind) {}
    ~YBoolImpl() override;
    void SetDefinition(const YMTParam* definition) override;
    void Disassemble(YValueContext& ctx) override;
    void AppendValueHexdumpStr(std::string& out) override;
    void SetValueHexdumpStr(const std::string& text) override;
    bool SetUserInputStr(const std::string& input, bool& changed) override;
    std::string UserInputStr(uint32_t mode) override;
    const std::vector<YFciParam*>& SubParamList() const override { return Fields(); }
    YFciParam* FindByPath(const YParamPath& path) override;
    void ForgetOutside() override;

    uint32_t ValueType() const;
    uint64_t MinValue() const { return 0; }
    uint64_t MaxValue() const;
    void SetValueHexdump(const std::vector<uint8_t>& bytes);
    void SetValue(uint64_t value, bool notify);
    uint64_t Value() const { return BytesValue(); }
    bool ParseInput(const std::string& text, uint64_t& value) const;
    // A bool field's state changed: the bit follows it.
    void SetBit(uint32_t bitPos, bool set);

private:
    // The bool field values are made when something first asks for them: a
    // host that reads only the bool's own value pays nothing for a value per
    // bit.
    const std::vector<YFciParam*>& Fields() const {
        if (!m_FieldsMade) const_cast<YBoolImpl*>(this)->MakeFields();
        return m_Fields;
    }
    void DropFields();
    void MakeFields();
    void SyncFields();
    std::vector<YFciParam*> m_Fields;
    bool m_FieldsMade = false;
};

class YBoolFieldImpl : public YFciParamImpl {
public:
    YBoolFieldImpl() : YFciParamImpl(eFciParamBoolfield) {}
    bool IsValueDefined() const override { return m_BoolValue != 2; }
    void AppendValueHexdumpStr(std::string& out) override;
    void SetValueHexdumpStr(const std::string& text) override;
    bool SetUserInputStr(const std::string& input, bool& changed) override;
    std::string UserInputStr(uint32_t mode) override { return FormatValue(m_BoolValue, mode); }

    void SetValue(uint32_t state);
    uint32_t Value() const { return m_BoolValue; }
    std::vector<std::string> ValueList(uint32_t mode) const;
    unsigned BitPosition() const;
    std::string FormatValue(uint32_t value, uint32_t mode) const;
    // Set by the bool without telling it back.
    void SetState(uint32_t state) { m_BoolValue = state; }

private:
    uint32_t m_BoolValue = 2;
};

class YStringImpl : public YFciParamImpl {
public:
    YStringImpl() : YFciParamImpl(eFciParamString) {}
    bool IsValueDefined() const override { return m_Defined; }
    // Defined, and no longer than the catalog's maximum size.
    bool IsValueValid() const override;
    void Disassemble(YValueContext& ctx) override;
    std::vector<uint8_t> ValueHexdump() override;
    void AppendValueHexdumpStr(std::string& out) override;
    void SetValueHexdumpStr(const std::string& text) override;
    bool SetUserInputStr(const std::string& input, bool& changed) override;
    std::string UserInputStr(uint32_t) override { return Value(); }

    void SetValue(const std::string& text);
    std::string Value() const;
    unsigned long MaxSize() const;
    bool HasEncodingByte() const;
    void SetHexdump(const std::vector<uint8_t>& bytes);
    void SetEncoding(uint32_t encoding);
    uint32_t Encoding() const { return m_Encoding; }

private:
    // What the payload held of the encoding byte and of the terminator.
    enum State : uint8_t { kAbsent, kUndefined, kPresent };
    bool IsAbsent() const;
    bool FitsMaxSize(size_t characters) const;

    std::vector<uint8_t> m_Bytes;      // the characters, without encoding byte and terminator
    std::vector<uint8_t> m_Terminator; // as read
    State m_EncodingState = kAbsent;
    State m_TerminatorState = kAbsent;
    bool m_Defined = false;
    uint32_t m_Encoding = 1;
};

class YSignalImpl : public YScalarImpl {
public:
    YSignalImpl() : YScalarImpl(eFciParamSignal) {}
    void SetDefinition(const YMTParam* definition) override;
    bool IsDescriptionParam() const override;
    void Disassemble(YValueContext& ctx) override;
    void AppendValueHexdumpStr(std::string& out) override;
    void SetValueHexdumpStr(const std::string& text) override;
    bool SetUserInputStr(const std::string& input, bool& changed) override;
    std::string UserInputStr(uint32_t mode) override;

    int64_t MinValue() const;
    uint64_t MaxValue() const;
    uint64_t Value() const;
    bool SetValue(uint64_t value);
    bool SetValueHexdump(const std::vector<uint8_t>& bytes);
    long BitLength() const;
    bool IsSigned() const;
    bool IsBigEndian() const;

private:
    bool Encode(const std::string& text, std::vector<uint8_t>& out) const;
};

// Raw streams and the remaining bytes of a message: bytes without children.
// The text keeps characters that were not hex digits, so that a payload
// written with gaps renders as it was given.
class YRawImpl : public YFciParamImpl {
public:
    explicit YRawImpl(uint32_t kind) : YFciParamImpl(kind) {}
    bool IsValueDefined() const override;
    void Disassemble(YValueContext& ctx) override;
    std::vector<uint8_t> ValueHexdump() override { return m_Bytes; }
    void AppendValueHexdumpStr(std::string& out) override { out += m_Text; }
    void SetValueHexdumpStr(const std::string& text) override;
    bool SetUserInputStr(const std::string& input, bool& changed) override;
    std::string UserInputStr(uint32_t mode) override;

    void SetHexdump(const std::vector<uint8_t>& bytes);
    unsigned long MaxLength() const;

private:
    // The bytes end the message (a change of their count shifts nothing).
    bool IsLastBytes() const;
    void Store(const YValueContext& ctx, uint32_t pos, uint32_t n);
    std::vector<uint8_t> m_Bytes;
    std::string m_Text;
    bool m_Defined = false;
};

// --- structure kinds ---------------------------------------------------------------------

class YStructImpl : public YFciParamImpl {
public:
    using YFciParamImpl::YFciParamImpl;
    ~YStructImpl() override;
    bool IsDescriptionParam() const override { return true; }
    const std::vector<YFciParam*>& SubParamList() const override { return m_Children; }
    std::vector<uint8_t> ValueHexdump() override;
    void AppendValueHexdumpStr(std::string& out) override;
    YFciParam* FindByPath(const YParamPath& path) override;
    void ExpandPath(const YParamPath& path) override;
    void ExpandAll() override;
    void ForgetOutside() override;

protected:
    // A new child value for a definition, attached to this value.
    YFciParamImpl* AddChild(const YMTParam* definition, bool active);
    void ClearChildren();
    // Children passing the path test, for FindByPath.
    virtual bool ChildRequiresIndex() const { return false; }

    std::vector<YFciParam*> m_Children;
    YFciParamImpl* m_SelectorParam = nullptr;
    uint8_t m_OwnSelector = 0;
};

// Arrays and records share their selector logic.
class YIndexedImpl : public YStructImpl {
public:
    using YStructImpl::YStructImpl;
    bool SelectorValue(uint32_t& out) const override;
    unsigned long GetSelectorValue() const;
    bool IsSplitSelector() const;

protected:
    const YMTParam* SelectorDefinition() const;
    void TakeSelector(YValueContext& ctx);
};

class YArrayImpl : public YIndexedImpl {
public:
    YArrayImpl() : YIndexedImpl(eFciParamArray) {}
    void Disassemble(YValueContext& ctx) override;
    void UpdateLayout() override;
    void ExpandAll() override;
    void ExpandPath(const YParamPath& path) override;

    bool InsertElem();
    bool RemoveElem(YFciParam* element);
    void Renumber();

protected:
    bool ChildRequiresIndex() const override { return true; }

private:
    uint32_t Limit() const;
    YFciParamImpl* NewElement(uint32_t number, YValueContext* ctx);
};

class YRecordImpl : public YIndexedImpl {
public:
    YRecordImpl() : YIndexedImpl(eFciParamRecord) {}
    void Disassemble(YValueContext& ctx) override;
    void UpdateLayout() override;
};

class YStreamCaseImpl;

class YDetailedStreamImpl : public YStructImpl {
public:
    explicit YDetailedStreamImpl(uint32_t kind) : YStructImpl(kind) {}
    void Disassemble(YValueContext& ctx) override;
    YFciParam* FindByPath(const YParamPath& path) override;
    YFciParam* GetMultiplexorParam() const;
    bool HasMultiplexor() const { return m_SelectorParam != nullptr; }
    const std::string& MultiplexorName() const;
    // The multiplexer value that chose the case (false when none).
    bool CaseValue(uint32_t& value) const;
    std::vector<uint8_t> ValueHexdump() override;
    void AppendValueHexdumpStr(std::string& out) override;

private:
    // Bytes a short stream's length counts beyond what its case read: kept
    // so that the stream renders back as it was given.
    std::vector<uint8_t> m_TailBytes;
    std::string m_TailText;
};

class YStreamCaseImpl : public YStructImpl {
public:
    YStreamCaseImpl() : YStructImpl(eFciParamStreamCase) {}
    void Disassemble(YValueContext& ctx) override;
    std::string ShortID() override;
    std::string SymID() override;
    std::string ShortIDTail() override;
    std::string SymIDTail() override { return ShortIDTail(); }
    std::string DescName(bool hex) override;
    bool MatchesPathElement(const YParamPath& path) const override;
    void UpdateLayout() override;

    bool HasSequence() const;
    bool InsertSequence();
    bool RemoveSequence(YFciParam* member);

private:
    void Renumber();
    bool IsSequenceMember(const YMTParam* definition) const;
    uint32_t HighestRepetition() const;
    YDetailedStreamImpl* Stream() const;
};

// Classified streams and raw short streams: a length field, then data.
class YLengthStreamImpl : public YStructImpl {
public:
    explicit YLengthStreamImpl(uint32_t kind) : YStructImpl(kind) {}
    void Disassemble(YValueContext& ctx) override;
    void UpdateLayout() override;
    unsigned long MaxLength() const;
};

// The kind factory: a new handle (with its implementation) for a definition,
// or null for a definition without value kind.
YFciParam* CreateValue(const YMTParam* definition, YValueOwner* message);

// The implementation of a handle of the kind's class.
template <class Impl> Impl* ImplOf(const YFciParam* handle) {
    return handle ? static_cast<Impl*>(handle->Impl()) : nullptr;
}

} // namespace mostfcat
