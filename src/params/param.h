// The base of every parameter definition and the choice of parameter class
// from a catalog's parameter element.
#pragma once

#include <cstdint>
#include <string>

#include "decoding/disasm_context.h"
#include "tree/node.h"

namespace mostfcat {

// Special roles of a parameter (ParamMeaning codes).
enum YMTParamMeaning : uint32_t {
    kMeaningNone = 0,
    kMeaningNodeAddress = 1,
    kMeaningFBlockID = 2,
    kMeaningNotifyFktID = 4,
    kMeaningOpType = 6,
    kMeaningArrayPos = 7,
    kMeaningArrayTag = 11,
    kMeaningArrayPosY = 12,
    kMeaningLength = 13,
    kMeaningListSize = 14,
    kMeaningFktIDBitStream = 16,
};

// Display modes (ParamDispMode codes).
enum YMTParamDispMode : uint32_t {
    kDispDecimal = 0,
    kDispLength = 1,
    kDispHex = 2,
};

constexpr uint32_t kNoBitPos = 0xFFFFFFFF;
constexpr uint32_t kNoBitWidth = 0xFFFFFFFF;

// True for node types of parameter classes (the enumeration value, type 15,
// is not a parameter).
inline bool IsParamNodeType(uint32_t type) {
    return type >= kNodeParam && type <= kNodeSignal && type != 12 && type != kNodeEnumValue;
}

class YMTParam : public YMTNode {
public:
    YMTParam() = default;

    // --- overrides of the node ---
    uint32_t NodeType() const override { return kNodeParam; }
    void Serialize(YMTArchive& ar) override;
    void Read(YMTRecordReader& ar) override;
    bool Dump(YImportContext& ctx, YImportLog& log) override;
    bool ImportXML(const XDomElement*, YImportContext&, YImportLog&) override { return false; }
    bool Check(YImportContext& ctx, YImportLog& log) override;
    uint32_t ID() const override { return m_ParamPos; }
    bool CopyFrom(const YMTNode* source) override;
    uint32_t GetAttrStr(uint32_t attr, const char** value) override;
    uint32_t GetAttrInt(uint32_t attr, uint32_t* value) override;
    // A kind that cannot be assembled takes raw input in braces and reports
    // status 9 for anything else.
    bool Assemble(DisasmContext& ctx) override;

    // The entry level of a definition: its checked level minus the levels of
    // catalog, FBlock, instance, function and operation.
    static uint32_t EntryLevelOf(const YMTNode& definition);
    // What the entries of this parameter show of it.
    YEntryDescription Entry() const {
        return {&NameRef(), EntryLevelOf(*this), ParamMeaning(), ParamDispMode()};
    }

    // --- slots added by parameters ---
    virtual void SetMsgBitPos(uint32_t bitPos) { m_MsgBitPos = bitPos; }
    virtual uint32_t MsgBitPos() const { return m_MsgBitPos; }
    virtual uint32_t BitWidth() const { return kNoBitWidth; }
    virtual bool HasUnspecifiedLength() const { return false; }
    virtual uint32_t ParamMeaning() const { return kMeaningNone; }
    virtual uint32_t ParamDispMode() const { return kDispDecimal; }
    virtual bool IsSelector() const { return m_IsSelector; }
    virtual void SetSelector(bool selector) { m_IsSelector = selector; }
    virtual void BuildSymID(std::string& out) const;
    virtual std::string SymIDPart() const;
    virtual bool IsIndexedChild(const YMTParam*) const { return false; }
    virtual bool IsNameDuplicated();
    virtual YMTParam* FindParamByName(const std::string&, bool) { return nullptr; }
    virtual bool ImportNames(const XDomElement* element, YImportContext& ctx, YImportLog& log);
    virtual bool ImportPosition(const XDomElement* element, YImportContext& ctx, YImportLog& log);
    virtual YMTNode* Operation() const;
    virtual YMTNode* Function() const;

    // --- plain accessors ---
    uint16_t ParamPos() const { return m_ParamPos; }
    void SetParamPos(uint16_t pos) { m_ParamPos = pos; }
    uint16_t SeqIndex() const { return m_SeqIndex; }
    void SetSeqIndex(uint16_t index) { m_SeqIndex = index; }
    const std::string& SymID() const { return m_SymID.str(); }

    // The parent when it is a parameter, else null.
    YMTParam* ParentParam() const;
    // The common dump lines: the node's base lines, then the selector flag,
    // the position and the symbolic identifier.
    void DumpCommon(YImportLog& log);
    // Gives an unnamed parameter its class's default name.
    void DefaultName(const char* name) {
        if (m_Texts.Name().empty()) m_Texts.SetName(name);
    }
    // The type element (a grandchild of the parameter element, normally in
    // its type holder) with the given tag, or null.
    static const XDomElement* FindTypeElement(const XDomElement* element, const char* tag);
    // Logs "Can not find element <tag>" as error number and returns false.
    bool MissingElement(uint32_t number, const char* tag, YImportLog& log) const;

protected:
    // The fields of every parameter, for Serialize and Read.
    template <class Ar> void SerializeFields(Ar& ar) {
        SerializeNodeFields(ar);
        ar.Serialize16(m_ParamPos);
        ar.Serialize16(m_SeqIndex);
        uint8_t selector = m_IsSelector ? 1 : 0;
        ar.Serialize8(selector);
        m_IsSelector = selector != 0;
        ar.Serialize32(m_MsgBitPos);
        ar.SerializeString(m_SymID);
    }

    uint16_t m_ParamPos = 0;
    uint16_t m_SeqIndex = 0;
    bool m_IsSelector = false;
    uint32_t m_MsgBitPos = kNoBitPos;
    YMTText m_SymID;
};

// Helper for the container classes: a depth-first search of a child list
// for a parameter of that name.
YMTParam* FindParamInList(const YMTChildList& list, const std::string& name, bool caseSensitive);

// Creates a new object of the concrete parameter class that describes
// paramElement (not imported yet), or null when no class fits. errorDefaults
// turns parameters named ErrorCode/ErrorInfo into the built-in error
// parameter classes; ownerName is the function name for operation parameters
// and empty otherwise.
YMTParam* CreateParamFromElement(YImportContext& ctx, const XDomElement* paramElement,
                                 bool errorDefaults, const std::string& ownerName);

// Clones a parameter as a parameter (null when the clone fails).
YMTParam* CloneParam(const YMTParam* param);

// New object of the class plus CopyFrom; null when the copy fails.
template <class T> YMTNode* CloneAs(const T* self) {
    T* copy = new T();
    if (!copy->CopyFrom(self)) {
        delete copy;
        return nullptr;
    }
    return copy;
}

} // namespace mostfcat
