#include "params/param.h"

#include "decoding/disasm_context.h"

#include "import/import_log.h"
#include "import/text_read.h"
#include "platform/strings.h"

namespace mostfcat {

using Ctx = YImportContext;

void YMTParam::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParam::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

void YMTParam::DumpCommon(YImportLog& log) {
    DumpBase(log);
    DumpLine(log, StrFormat(".IsSelector: %d", m_IsSelector ? 1 : 0));
    if (m_SeqIndex != 0)
        DumpLine(log, StrFormat(".ParamPos: %d seq %d", static_cast<int>(m_ParamPos),
                                static_cast<int>(m_SeqIndex)));
    else
        DumpLine(log, StrFormat(".ParamPos: %d", static_cast<int>(m_ParamPos)));
    DumpLine(log, ".SymID: " + m_SymID);
}

bool YMTParam::Dump(YImportContext&, YImportLog& log) {
    DumpCommon(log);
    return true;
}

bool YMTParam::Check(YImportContext& ctx, YImportLog& log) {
    if (!YMTNode::Check(ctx, log)) return false;
    if (m_Texts.Name().empty()) m_Texts.SetName("_NA_");
    if (!EqualsNoCase(m_Texts.Name(), "ListSize") && !EqualsNoCase(m_Texts.Name(), "Length") &&
        IsNameDuplicated())
        log.LogWarning(9, StrFormat("Multiple use of parameter name '%s'", m_Texts.Name().c_str()),
                       PathName(), 10);
    std::string symId;
    BuildSymID(symId);
    m_SymID = symId;
    return true;
}

bool YMTParam::CopyFrom(const YMTNode* source) {
    if (!YMTNode::CopyFrom(source)) return false;
    const auto* p = static_cast<const YMTParam*>(source);
    m_ParamPos = p->m_ParamPos;
    m_SeqIndex = p->m_SeqIndex;
    m_IsSelector = p->m_IsSelector;
    m_MsgBitPos = p->m_MsgBitPos;
    m_SymID = p->m_SymID;
    return true;
}

uint32_t YMTParam::GetAttrStr(uint32_t attr, const char** value) {
    switch (attr) {
    case 3:
    case 1000:
        *value = m_Texts.Name().c_str();
        return kAttrOk;
    case 5:
    case 1003:
        *value = m_Texts.Description().c_str();
        return kAttrOk;
    case 1008:
        *value = m_SymID.c_str();
        return kAttrOk;
    default:
        return kAttrNotAvailable;
    }
}

uint32_t YMTParam::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 0:
        *value = kItemParam;
        return kAttrOk;
    case 1004:
        *value = 0;
        return kAttrOk;
    case 1005:
        *value = MsgBitPos();
        return kAttrOk;
    case 1006:
        *value = BitWidth();
        return kAttrOk;
    case 1007:
        *value = ParamMeaning();
        return kAttrOk;
    default:
        return YMTNode::GetAttrInt(attr, value);
    }
}

YMTParam* YMTParam::ParentParam() const {
    YMTNode* p = Parent();
    return (p && IsParamNodeType(p->NodeType())) ? static_cast<YMTParam*>(p) : nullptr;
}

std::string YMTParam::SymIDPart() const {
    YMTParam* parent = ParentParam();
    if (parent && parent->IsIndexedChild(this)) return m_Texts.Name() + "[1]";
    return m_Texts.Name();
}

void YMTParam::BuildSymID(std::string& out) const {
    YMTParam* parent = ParentParam();
    if (parent && !parent->SymID().empty())
        out = parent->SymID() + "." + SymIDPart();
    else
        out = SymIDPart();
}

bool YMTParam::IsNameDuplicated() {
    YMTNode* parent = Parent();
    if (!parent) return false;
    YMTNode* found = parent->LookupName(m_Texts.Name(), ID());
    return found && found != this;
}

bool YMTParam::ImportNames(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    bool descriptions = ctx.HasOption(Ctx::kOptDescriptions);
    if (Ctx::ElementIs(element, "TArray")) {
        std::string name;
        if (!Ctx::ChildText(element, "TArrayName", name))
            log.LogWarning(10, "Can not find element <TArrayName>", PathName(), 1);
        m_Texts.SetName(Trim(name));
        if (!descriptions) return true;
        std::string description;
        if (!Ctx::ChildText(element, "TArrayDesc", description))
            log.LogWarning(182, "Can not find child element <TArrayDesc>", PathName(), 1);
        m_Texts.SetDescription(description);
        return true;
    }
    if (Ctx::ElementIs(element, "StreamCase")) return true;

    std::string name;
    bool fromParamName = Ctx::ChildText(element, "ParamName", name);
    if (!fromParamName && !Ctx::ChildText(element, "TRecordFieldName", name)) {
        log.LogError(11, "Can not find element <ParamName>", PathName());
        return false;
    }
    std::string trimmed = Trim(name);
    if (!trimmed.empty() && trimmed[0] >= '0' && trimmed[0] <= '9') {
        trimmed.insert(trimmed.begin(), '_');
        if (trimmed.size() >= 256) trimmed.resize(255);
        m_Texts.SetName(trimmed);
        log.LogWarning(221,
                       StrFormat("Adapted parameter name due to leading digit ('%s').",
                                 m_Texts.Name().c_str()),
                       PathName(), 1);
    } else {
        m_Texts.SetName(trimmed);
    }
    if (descriptions) {
        std::string description;
        if (fromParamName) {
            if (!Ctx::ChildText(element, "ParamDescription", description))
                log.LogWarning(185, "Can not find child element <ParamDescription>", PathName(), 1);
        } else if (!Ctx::ChildText(element, "TRecordFieldDesc", description)) {
            log.LogWarning(183, "Can not find child element <TRecordFieldDesc>", PathName(), 1);
        }
        m_Texts.SetDescription(description);
    }
    return true;
}

bool YMTParam::ImportPosition(const XDomElement* element, YImportContext&, YImportLog& log) {
    if (!Ctx::ElementIs(element, "TRecordField")) return true;
    std::string text;
    if (!Ctx::GetAttr(element, "FieldIdx", text)) {
        log.LogError(12, "Missing required attribute FieldIdx", PathName());
        return false;
    }
    int64_t value = 0;
    if (!ReadNumber(text, value)) {
        log.LogError(13, StrFormat("Failed to analyze value '%s'", text.c_str()), PathName());
        return false;
    }
    if (static_cast<uint64_t>(value) >= 4096) {
        log.LogError(14, StrFormat("Invalid parameter position %d", static_cast<int>(value)),
                     PathName());
        return false;
    }
    m_ParamPos = static_cast<uint16_t>(value);
    return true;
}

YMTNode* YMTParam::Operation() const {
    for (YMTNode* p = Parent(); p; p = p->Parent())
        if (p->NodeType() == kNodeOperation) return p;
    return nullptr;
}

YMTNode* YMTParam::Function() const {
    YMTNode* op = Operation();
    return op ? op->Parent() : nullptr;
}

const XDomElement* YMTParam::FindTypeElement(const XDomElement* element, const char* tag) {
    return Ctx::FirstGrandchild(element, tag);
}

bool YMTParam::MissingElement(uint32_t number, const char* tag, YImportLog& log) const {
    log.LogError(number, StrFormat("Can not find element <%s>", tag), PathName());
    return false;
}

YMTParam* FindParamInList(const YMTChildList& list, const std::string& name, bool caseSensitive) {
    for (uint32_t i = 0; i < list.GetSize(); ++i) {
        YMTNode* n = list.GetAt(i);
        if (!n || !IsParamNodeType(n->NodeType())) continue;
        auto* p = static_cast<YMTParam*>(n);
        if (caseSensitive ? p->NameRef() == name : EqualsNoCase(p->NameRef(), name)) return p;
        if (YMTParam* found = p->FindParamByName(name, caseSensitive)) return found;
    }
    return nullptr;
}

YMTParam* CloneParam(const YMTParam* param) {
    if (!param) return nullptr;
    YMTNode* c = param->Clone();
    if (!c) return nullptr;
    if (!IsParamNodeType(c->NodeType())) {
        delete c;
        return nullptr;
    }
    return static_cast<YMTParam*>(c);
}

bool YMTParam::Assemble(DisasmContext& ctx) {
    // Raw bytes in braces stand for any kind; other input this kind cannot take.
    bool done = false;
    if (!ctx.TakeInput(done)) return done;
    ctx.SetStatus(kAsmNotAssemblable, ctx.m_InputIndex);
    return false;
}

uint32_t YMTParam::EntryLevelOf(const YMTNode& definition) {
    // The length fields and contents that raw short and classified streams
    // generate are never checked and keep level 0: their depth in the tree
    // stands in for it.
    uint32_t level = definition.CheckedLevel();
    if (level == 0) level = definition.ParamLevel();
    return level >= 5 ? level - 5 : 0;
}

} // namespace mostfcat
