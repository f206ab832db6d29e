#include "tree/function.h"

#include "import/import_log.h"
#include "import/text_read.h"
#include "platform/strings.h"
#include "tree/identifiers.h"
#include "tree/operation.h"

namespace mostfcat {

using Ctx = YImportContext;

bool FunctionClassCode(const std::string& classRef, bool property, uint8_t& code) {
    static const struct {
        const char* name;
        uint8_t code;
    } kClasses[] = {
        {"class_unclassified_method", 0},
        {"class_trigger", 1},
        {"class_sequence_method", 2},
        {"class_unclassified_property", 16},
        {"class_switch", 17},
        {"class_number", 18},
        {"class_text", 19},
        {"class_enumeration", 20},
        {"class_array", 21},
        {"class_array_of_record", 21},
        {"class_record", 22},
        {"class_dynamic_array", 23},
        {"class_dynamic_array_of_record", 23},
        {"class_long_array", 24},
        {"class_long_array_of_record", 24},
        {"class_boolfield", 25},
        {"class_bitset", 26},
        {"class_container", 27},
        {"class_sequence_property", 28},
        {"class_map", 29},
    };
    for (const auto& c : kClasses)
        if (EqualsNoCase(classRef, c.name)) {
            code = c.code;
            return true;
        }
    if (EqualsNoCase(classRef, "class_sequence")) {
        code = property ? 28 : 2;
        return true;
    }
    code = property ? 16 : 0;
    return EqualsNoCase(classRef, "class_unclassified");
}

YMTFunction::YMTFunction() {
    m_BytesInMsg = 2;
    Reserve(16);
}

YMTOperation* YMTFunction::OperationAt(uint32_t opType) const {
    YMTNode* n = GetAt(opType);
    return (n && n->NodeType() == kNodeOperation) ? static_cast<YMTOperation*>(n) : nullptr;
}

bool YMTFunction::IsErrorTemplate() const {
    return StartsWith(m_Texts.Name(), kErrorTemplatePrefix);
}

template <class Ar> void YMTFunction::SerializeFields(Ar& ar) {
    SerializeNodeFields(ar);
    ar.Serialize32(FunctionID);
    ar.Serialize8(Type);
    ar.Serialize8(Class);
    ar.Serialize8(ClassSub);
    ar.SerializeString(Release);
    ar.SerializeString(Date);
    ar.Serialize32(Flags);
    ar.SerializeBool(Notification);
    ar.SerializeList(*this, YMTListKind::Operations);
}

void YMTFunction::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTFunction::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTFunction::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "FUNCTION: " + m_Texts.Name());
    DumpLine(log, StrFormat(".FunctionID: 0x%03X", FunctionID));
    DumpLine(log, StrFormat(".Type: %d  Class: %d  ClassSub: %d  Notification: %d  Flags: %04X",
                            static_cast<int>(Type), static_cast<int>(Class),
                            static_cast<int>(ClassSub), Notification ? 1 : 0, Flags));
    DumpBase(log);
    DumpAll(ctx, log);
    return true;
}

bool YMTFunction::CopyFrom(const YMTNode* source) {
    if (!YMTNode::CopyFrom(source)) return false;
    const auto* f = static_cast<const YMTFunction*>(source);
    FunctionID = f->FunctionID;
    Type = f->Type;
    Class = f->Class;
    ClassSub = f->ClassSub;
    Release = f->Release;
    Date = f->Date;
    Notification = f->Notification;
    Flags = f->Flags;
    return YMTChildList::CopyFrom(*f, this);
}

bool YMTFunction::ImportFromTemplate(const XDomElement* element, YImportContext& ctx,
                                     YImportLog& log) {
    std::string ref;
    Ctx::GetAttr(element, "FktDefRef", ref);
    MakeIdentifier(ref);
    YMTNode* t = ctx.FindTemplate(ref);
    if (!t || t->NodeType() != kNodeFunction || t == this) {
        log.LogError(106, StrFormat("Can not find definition of function '%s'", ref.c_str()),
                     PathName());
        return false;
    }
    YMTNode* parent = Parent();
    bool copied = CopyFrom(t);
    SetParent(parent);
    if (!copied) {
        log.LogError(107, "Failed to duplicate object", PathName());
        return false;
    }
    if (parent && parent->ChildAt(FunctionID)) {
        log.LogError(108, StrFormat("Double definition of element with ID 0x%X", FunctionID),
                     PathName());
        return false;
    }
    if (parent && parent->FindChild(m_Texts.Name())) {
        log.LogError(109, StrFormat("Double definition of element '%s'", m_Texts.Name().c_str()),
                     PathName());
        return false;
    }
    Check(ctx, log);
    return true;
}

void YMTFunction::ReadClassRef(const XDomElement* functionClass, YImportLog& log) {
    std::string classRef;
    if (!Ctx::GetAttr(functionClass, "ClassRef", classRef)) return;
    if (!FunctionClassCode(classRef, Type == kFunctionProperty, Class))
        log.LogWarning(119,
                       StrFormat("Unknown function class '%s' will be interpreted as 'Unclassified "
                                 "Property/Method'",
                                 classRef.c_str()),
                       PathName(), 5);
}

bool YMTFunction::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    uint32_t errorsAtStart = log.ErrorCount();
    uint32_t warningsAtStart = log.WarningCount();

    // 1: a function taken whole from a template.
    if (Ctx::HasAttr(element, "FktDefRef")) return ImportFromTemplate(element, ctx, log);

    // 2: the name.
    std::string name;
    if (!Ctx::ChildText(element, "FunctionName", name)) {
        log.LogError(111, "Can not find element <FunctionName>", PathName());
        return false;
    }
    MakeIdentifierOrNA(name);
    bool digit = FixLeadingDigit(name);
    m_Texts.SetName(name);
    if (digit)
        log.LogWarning(
            220, StrFormat("Adapted function name due to leading digit ('%s').", name.c_str()),
            PathName(), 1);

    // 3: the identifier.
    std::string idText;
    if (!Ctx::ChildText(element, "FunctionID", idText)) {
        log.LogError(112, "Can not find element <FunctionID>", PathName());
        return false;
    }
    int64_t id = 0;
    if (!ReadNumber(idText, id)) {
        log.LogError(113, StrFormat("Failed to analyze value '%s'", idText.c_str()), PathName());
        return false;
    }
    if (static_cast<uint64_t>(id) >= 4096) {
        log.LogError(
            114,
            StrFormat("Value '%lld' out of range [%d, %d)", static_cast<long long>(id), 0, 4096),
            PathName());
        return false;
    }
    FunctionID = static_cast<uint32_t>(id);

    // 4, 5: description and version.
    if (ctx.HasOption(Ctx::kOptDescriptions) &&
        !ChildDescription(element, "FunctionDescription", m_Texts))
        log.LogWarning(188, "Can not find child element <FunctionDescription>", PathName(), 1);
    if (ctx.HasOption(Ctx::kOptVersions)) {
        const XDomElement* version = Ctx::FirstChildElement(element, "FunctionVersion");
        if (!version) {
            log.LogWarning(187, "Can not find child element <FunctionVersion>", PathName(), 1);
        } else {
            if (!ChildText(version, "Release", Release))
                log.LogWarning(186, "Can not find child element <Release>", PathName(), 1);
            if (!ChildText(version, "Date", Date))
                log.LogWarning(181, "Can not find child element <Date>", PathName(), 1);
        }
    }

    // 6, 7: identifier and name must be unique within the instance.
    YMTNode* parent = Parent();
    if (parent && parent->ChildAt(FunctionID)) {
        log.LogError(115, StrFormat("Double definition of element with ID 0x%X", FunctionID),
                     PathName());
        return false;
    }
    if (parent && parent->FindChild(m_Texts.Name())) {
        std::string first = StrFormat("%s_%03X", m_Texts.Name().c_str(), FunctionID);
        std::string candidate = first;
        bool found = !parent->FindChild(candidate);
        for (int n = 1; !found && n <= 98; ++n) {
            candidate = StrFormat("%s_%d", first.c_str(), n);
            found = !parent->FindChild(candidate);
        }
        log.LogWarning(116,
                       StrFormat("Double definition of function name '%s'. Function (0x%03X) will "
                                 "be renamed to '%s'.",
                                 m_Texts.Name().c_str(), FunctionID, candidate.c_str()),
                       PathName(), 10);
        if (!found) return false;
        m_Texts.SetName(candidate);
    }

    // 8: property or method.
    const XDomElement* functionClass = Ctx::FirstChildElement(element, "FunctionClass");
    if (!functionClass) {
        log.LogError(117, "Can not find element <FunctionClass>", PathName());
        return false;
    }
    const XDomElement* kind = Ctx::FirstChildElement(functionClass, "Property");
    if (kind) {
        Type = kFunctionProperty;
    } else if ((kind = Ctx::FirstChildElement(functionClass, "Method"))) {
        Type = kFunctionMethod;
    } else {
        log.LogError(124, "Can neighter find element <Property> nor <Method>", PathName());
        return false;
    }

    // 9: notification of a property; a "Notification" child element of the
    // function overrides the attribute.
    if (Type == kFunctionProperty) {
        std::string text;
        if (Ctx::GetAttr(kind, "Notification", text)) Notification = EqualsNoCase(text, "true");
        if (Ctx::ChildText(element, "Notification", text))
            Notification = EqualsNoCase(Trim(text), "true");
    }

    // 10: the function class.
    if (ctx.HasOption(Ctx::kOptClassRefs)) ReadClassRef(functionClass, log);

    // 11, 12: parameters, then the check.
    if (!ImportParams(*this, kind, ctx, log)) {
        Flags |= kFunctionErrors;
        DropParams(log);
    }
    Check(ctx, log);

    // 14: the import flags. Set before the template snapshot below so that a
    // later reference copies the finished function, flags included.
    if (log.ErrorCount() != errorsAtStart) Flags |= kFunctionErrors;
    if (log.WarningCount() != warningsAtStart) Flags |= kFunctionWarnings;

    // 13: the function may serve as a template for later references. The
    // context keeps a snapshot of it rather than the function itself: the
    // function can still be deleted with its FBlock (a rejected merge, a
    // failed FBlock), and a later reference must not reach a deleted node.
    // The function is complete here, so the snapshot copies the same content.
    std::string templateName;
    if (Ctx::GetAttr(element, "FktDefId", templateName)) {
        MakeIdentifier(templateName);
        if (!templateName.empty() && !ctx.FindTemplate(templateName)) {
            auto* snapshot = new YMTFunction();
            if (snapshot->CopyFrom(this)) {
                // Not part of the tree: no parent that could be deleted under it.
                snapshot->SetParent(nullptr);
                ctx.RegisterTemplate(snapshot, templateName, true);
            } else {
                delete snapshot;
            }
        }
    }

    return true;
}

void YMTFunction::DropParams(YImportLog& log) {
    log.LogWarning(138,
                   "Too many errors while importing parameters. Removing all parameters from the "
                   "function's operations.",
                   PathName(), 10);
    ForEachChild(*this, [](uint32_t, YMTNode* n) {
        if (n->NodeType() == kNodeOperation) static_cast<YMTOperation*>(n)->RemoveAll();
    });
}

bool YMTFunction::Check(YImportContext& ctx, YImportLog& log) {
    YMTNode::Check(ctx, log);
    ForEachChild(*this, [&](uint32_t, YMTNode* n) {
        if (n->NodeType() != kNodeOperation) return;
        auto* op = static_cast<YMTOperation*>(n);
        if (!op->Check(ctx, log)) {
            log.LogError(122, StrFormat("Failed to import operation '%s'", op->NameRef().c_str()),
                         PathName());
            op->RemoveAll();
            Flags |= kFunctionErrors;
        }
    });
    if (GetCount() == 0) log.LogWarning(123, "Function contains no valid operation", PathName(), 5);
    DeriveClassSub();

    // A property whose status carries only simple values.
    bool simpleClass = (Class >= 16 && Class <= 20) || (Class >= 25 && Class <= 28);
    YMTOperation* status = OperationAt(12);
    if (Type == kFunctionProperty && simpleClass && status &&
        (status->GetAt(0) || status->GetAt(1))) {
        bool simple = true;
        ForEachChild(*status, [&](uint32_t, YMTNode* p) {
            switch (p->NodeType()) {
            case kNodeBool:
            case kNodeNumber:
            case kNodeEnum:
            case kNodeString:
            case kNodeBitField:
            case kNodeRawStream:
            case kNodeCStream:
            case kNodeRawShortStream:
                break;
            default:
                simple = false;
            }
        });
        if (simple) Flags |= kFunctionSimpleStatus;
    }
    return true;
}

namespace {

uint8_t ClassSubByWidth(uint16_t bytes) {
    switch (bytes) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    case 8:
        return 13;
    default:
        return 255;
    }
}

// The data-type class of a number (0..5), or 255.
uint8_t NumberClass(YMTNode* number) {
    uint32_t cls = 0;
    return number->GetAttrInt(1009, &cls) == kAttrOk ? static_cast<uint8_t>(cls) : 255;
}

} // namespace

void YMTFunction::DeriveClassSub() {
    ClassSub = 255;
    if ((Flags & kFunctionErrors) || Type != kFunctionProperty) return;
    YMTOperation* op = OperationAt(12);
    if (!op) op = OperationAt(0);
    if (!op) return;
    YMTNode* first = op->GetAt(0);
    if (!first) first = op->GetAt(1);
    if (!first) return;
    switch (Class) {
    case 17:
    case 20:
    case 25:
    case 26:
        ClassSub = ClassSubByWidth(first->BytesInMsg());
        break;
    case 18:
        if (first->NodeType() == kNodeNumber) ClassSub = NumberClass(first);
        break;
    case 21:
    case 23:
    case 24: {
        YMTNode* array = nullptr;
        ForEachChild(*op, [&](uint32_t, YMTNode* p) {
            if (!array && p->NodeType() == kNodeArray) array = p;
        });
        YMTNode* element = array ? array->ChildAt(1) : nullptr;
        if (!element) break;
        switch (element->NodeType()) {
        case kNodeArray:
            ClassSub = 11;
            break;
        case kNodeRecord:
            ClassSub = 12;
            break;
        case kNodeBool:
        case kNodeEnum:
        case kNodeBitField:
            ClassSub = ClassSubByWidth(element->BytesInMsg());
            break;
        case kNodeNumber:
            ClassSub = NumberClass(element);
            break;
        case kNodeString:
            ClassSub = 7;
            break;
        case kNodeCStream:
            ClassSub = 9;
            break;
        case kNodeRawShortStream:
            ClassSub = 10;
            break;
        default:
            break;
        }
        break;
    }
    default:
        break;
    }
}

uint32_t YMTFunction::GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) {
    return SubItems(itemType, kItemOperation, items, count);
}

uint32_t YMTFunction::GetAttrStr(uint32_t attr, const char** value) {
    switch (attr) {
    case 3:
    case 300:
        *value = m_Texts.Name().c_str();
        return kAttrOk;
    case 5:
    case 310:
        *value = m_Texts.Description().c_str();
        return kAttrOk;
    case 311:
        *value = Release.c_str();
        return kAttrOk;
    case 312:
        *value = Date.c_str();
        return kAttrOk;
    case 200: {
        YMTNode* instance = Parent();
        YMTNode* fblock = instance ? instance->Parent() : nullptr;
        if (!fblock || fblock->NodeType() != kNodeFBlock) return kAttrNotAvailable;
        *value = fblock->NameRef().c_str();
        return kAttrOk;
    }
    default:
        return kAttrNotAvailable;
    }
}

uint32_t YMTFunction::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 0:
        *value = kItemFunction;
        return kAttrOk;
    case 4:
    case 301:
        *value = FunctionID;
        return kAttrOk;
    case 302:
        *value = Type;
        return kAttrOk;
    case 303:
        *value = Class;
        return kAttrOk;
    case 304:
        *value = ClassSub;
        return kAttrOk;
    case 350:
        *value = Notification ? 1 : 0;
        return kAttrOk;
    case 351:
        *value = Flags;
        return kAttrOk;
    default:
        return YMTNode::GetAttrInt(attr, value);
    }
}

uint32_t YMTFunction::GetAttrNode(uint32_t attr, YMTNode** value) {
    return YMTNode::GetAttrNode(attr, value);
}

} // namespace mostfcat
