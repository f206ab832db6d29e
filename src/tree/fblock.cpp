#include "tree/fblock.h"

#include "import/import_log.h"
#include "import/text_read.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/function.h"
#include "tree/identifiers.h"

namespace mostfcat {

using Ctx = YImportContext;

// --- YMTFBlock -----------------------------------------------------------------

YMTFBlock::YMTFBlock() {
    m_BytesInMsg = 1;
}

YMTInstance* YMTFBlock::InstanceAt(uint32_t instanceId) const {
    YMTNode* n = GetAt(instanceId);
    return (n && n->NodeType() == kNodeInstance) ? static_cast<YMTInstance*>(n) : nullptr;
}

YMTInstance* YMTFBlock::FirstInstance() const {
    return (m_FirstInstance && m_FirstInstance->NodeType() == kNodeInstance)
               ? static_cast<YMTInstance*>(m_FirstInstance)
               : nullptr;
}

YMTInstance* YMTFBlock::DefaultInstance() const {
    return (m_DefaultInstance && m_DefaultInstance->NodeType() == kNodeInstance)
               ? static_cast<YMTInstance*>(m_DefaultInstance)
               : nullptr;
}

void YMTFBlock::SetFirstInstance(YMTInstance* instance) {
    m_FirstInstance = instance;
}

YMTInstance* YMTFBlock::SelectInstance(uint32_t instanceId, uint32_t kind) const {
    if (kind == kInstFirst) return FirstInstance();
    if (YMTInstance* inst = InstanceAt(instanceId)) return inst;
    if (kind == kInstOrFirst) return FirstInstance();
    if (kind == kInstOrDefault) return DefaultInstance();
    return nullptr;
}

bool YMTFBlock::HasMixedInstFBlockNames() const {
    const std::string* reference = nullptr;
    bool mixed = false;
    ForEachChild(*this, [&](uint32_t, YMTNode* n) {
        if (mixed || n->NodeType() != kNodeInstance) return;
        const std::string& name = static_cast<YMTInstance*>(n)->InstFBlockName;
        if (!reference) {
            if (!name.empty()) reference = &name;
        } else if (name != *reference) {
            mixed = true;
        }
    });
    return mixed;
}

template <class Ar> void YMTFBlock::SerializeFields(Ar& ar) {
    SerializeNodeFields(ar);
    ar.Serialize32(FBlockID);
    ar.SerializeString(Release);
    ar.SerializeString(Date);
    ar.SerializeRef(m_FirstInstance, YMTRefKind::Instance);
    ar.SerializeRef(m_DefaultInstance, YMTRefKind::Instance);
    ar.SerializeList(*this, YMTListKind::Instances);
}

void YMTFBlock::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTFBlock::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTFBlock::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "FBLOCK: " + m_Texts.Name());
    DumpLine(log, StrFormat(".FBlockID: 0x%02X", FBlockID));
    YMTInstance* first = FirstInstance();
    YMTInstance* def = DefaultInstance();
    DumpLine(log, ".FirstInstance:   " + (first ? first->PathName() : std::string("-")));
    DumpLine(log, ".DefaultInstance: " + (def ? def->PathName() : std::string("-")));
    DumpBase(log);
    DumpAll(ctx, log);
    return true;
}

bool YMTFBlock::Check(YImportContext& ctx, YImportLog& log) {
    YMTNode::Check(ctx, log);
    uint32_t pos = 0;
    if (GetFirstPos(pos)) m_DefaultInstance = GetAt(pos);
    return CheckAll(ctx, log);
}

bool YMTFBlock::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    // 1, 2: the name.
    std::string name;
    if (!Ctx::ChildText(element, "FBlockName", name)) {
        log.LogError(139, "Can not find child element <FBlockName>", PathName());
        return false;
    }
    MakeIdentifierOrNA(name);
    bool digit = FixLeadingDigit(name);
    m_Texts.SetName(name);
    if (digit)
        log.LogWarning(223,
                       StrFormat("Adapted FBlock name due to leading digit ('%s').", name.c_str()),
                       PathName(), 1);

    // 3: the identifier.
    std::string idText;
    if (!Ctx::ChildText(element, "FBlockID", idText)) {
        log.LogError(140, "Can not find child element <FBlockID>", PathName());
        return false;
    }
    int64_t id = 0;
    if (!ReadNumber(idText, id)) {
        log.LogError(141, StrFormat("Failed to analyze value '%s'", idText.c_str()), PathName());
        return false;
    }
    if (static_cast<uint64_t>(id) >= 256) {
        log.LogError(
            142,
            StrFormat("Value '%lld' out of range [%d, %d)", static_cast<long long>(id), 0, 256),
            PathName());
        return false;
    }
    FBlockID = static_cast<uint32_t>(id);

    // 4: a name used by another FBlock ID is made unique.
    if (YMTNode* parent = Parent()) {
        YMTNode* same = parent->FindChild(m_Texts.Name());
        if (same && same->ID() != FBlockID) {
            std::string first = StrFormat("%s_%02X", m_Texts.Name().c_str(), FBlockID);
            std::string candidate = first;
            bool found = !parent->FindChild(candidate);
            for (int n = 1; !found && n <= 98; ++n) {
                candidate = StrFormat("%s_%d", first.c_str(), n);
                found = !parent->FindChild(candidate);
            }
            log.LogWarning(
                144,
                StrFormat("Double definition of FBlock name '%s'. FBlock (0x%02X) will be "
                          "renamed to '%s'.",
                          m_Texts.Name().c_str(), FBlockID, candidate.c_str()),
                PathName(), 10);
            if (!found) return false;
            m_Texts.SetName(candidate);
        }
    }

    // 5, 6: description and version.
    if (ctx.HasOption(Ctx::kOptDescriptions) &&
        !ChildDescription(element, "FBlockDescription", m_Texts))
        log.LogWarning(191, "Can not find child element <FBlockDescription>", PathName(), 1);
    if (ctx.HasOption(Ctx::kOptVersions)) {
        const XDomElement* version = Ctx::FirstChildElement(element, "FBlockVersion");
        if (!version) {
            log.LogWarning(190, "Can not find child element <FBlockVersion>", PathName(), 1);
        } else {
            if (!ChildText(version, "Release", Release))
                log.LogWarning(189, "Can not find child element <Release>", PathName(), 1);
            if (!ChildText(version, "Date", Date))
                log.LogWarning(168, "Can not find child element <Date>", PathName(), 1);
        }
    }

    // 7: the instances.
    // Devices and functions are collected in one walk of the FBlock element.
    std::vector<XDomElement*> devices, functions;
    Ctx::Descendants(element, "Device", devices, "Function", functions);
    if (!devices.empty())
        if (auto* catalog = dynamic_cast<YMTCatalog*>(Parent())) catalog->HasDevices = 1;
    size_t count = devices.empty() ? 1 : devices.size();
    std::vector<YMTInstance*> kept;
    for (size_t i = 0; i < count; ++i) {
        auto* inst = new YMTInstance();
        inst->SetParent(this);
        if (!inst->ImportXML(devices.empty() ? nullptr : devices[i], ctx, log)) {
            log.LogError(169, "Failed to import element <Device>", PathName());
            delete inst;
        } else if (InstanceAt(inst->InstanceID)) {
            log.LogError(218, StrFormat("FBlock Instance %02X already exists", inst->InstanceID),
                         PathName());
            delete inst;
        } else {
            inst->InstFBlockName = m_Texts.Name();
            SetAt(inst, inst->InstanceID);
            kept.push_back(inst);
            if (!m_FirstInstance) m_FirstInstance = inst;
        }
        if (log.FatalCount() != 0) return false;
    }

    // 8, 9: the instances share the functions; the first one owns them.
    if (kept.empty()) return true;
    for (size_t i = 1; i < kept.size(); ++i)
        kept[i]->SetOwnsChildren(false);

    // 10: the functions.
    return ImportFunctions(functions, kept, ctx, log);
}

bool YMTFBlock::ImportFunctions(const std::vector<XDomElement*>& elements,
                                const std::vector<YMTInstance*>& kept, YImportContext& ctx,
                                YImportLog& log) {
    YMTInstance* owner = kept.front();
    for (XDomElement* e : elements) {
        auto* function = new YMTFunction();
        function->SetParent(owner);
        if (function->ImportXML(e, ctx, log)) {
            for (YMTInstance* inst : kept)
                inst->SetAt(function, function->FunctionID);
        } else {
            log.LogError(145, "Failed to import element <Function>", PathName());
            delete function;
        }
        if (log.FatalCount() != 0) return false;
    }
    return true;
}

uint32_t YMTFBlock::GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) {
    return SubItems(itemType, kItemInstance, items, count);
}

uint32_t YMTFBlock::GetAttrStr(uint32_t attr, const char** value) {
    switch (attr) {
    case 3:
    case 200:
        *value = m_Texts.Name().c_str();
        return kAttrOk;
    case 5:
    case 210:
        *value = m_Texts.Description().c_str();
        return kAttrOk;
    case 211:
        *value = Release.c_str();
        return kAttrOk;
    case 212:
        *value = Date.c_str();
        return kAttrOk;
    default:
        return kAttrNotAvailable;
    }
}

uint32_t YMTFBlock::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 0:
        *value = kItemFBlock;
        return kAttrOk;
    case 4:
    case 201:
        *value = FBlockID;
        return kAttrOk;
    case 222:
        *value = HasMixedInstFBlockNames() ? 1 : 0;
        return kAttrOk;
    default:
        return YMTNode::GetAttrInt(attr, value);
    }
}

uint32_t YMTFBlock::GetAttrNode(uint32_t attr, YMTNode** value) {
    switch (attr) {
    case 220:
        *value = FirstInstance();
        return kAttrOk;
    case 221:
        *value = DefaultInstance();
        return kAttrOk;
    default:
        return YMTNode::GetAttrNode(attr, value);
    }
}

// --- YMTInstance -----------------------------------------------------------------

YMTInstance::YMTInstance() {
    // The function list grows with the functions stored in it rather than
    // being sized for every possible FunctionID up front: an instance with a
    // handful of functions would otherwise hold 32 KB of empty entries.
    m_BytesInMsg = 2;
}

template <class Ar> void YMTInstance::SerializeFields(Ar& ar) {
    SerializeNodeFields(ar);
    ar.Serialize32(InstanceID);
    ar.SerializeString(DeviceName);
    ar.SerializeString(DeviceDescription);
    ar.SerializeString(Release);
    ar.SerializeString(Date);
    ar.SerializeString(InstFBlockName);
    ar.SerializeList(*this, YMTListKind::Functions);
}

void YMTInstance::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTInstance::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTInstance::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "INSTANCE: " + m_Texts.Name());
    DumpLine(log, StrFormat(".InstID: 0x%02X", InstanceID));
    DumpLine(log, ".DeviceName: " + DeviceName);
    DumpLine(log, ".DeviceVersionRelease: " + Release);
    DumpLine(log, ".DeviceVersionDate: " + Date);
    DumpLine(log, ".InstFBlockName: " + InstFBlockName);
    DumpBase(log);
    DumpAll(ctx, log);
    return true;
}

bool YMTInstance::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    if (!element) {
        InstanceID = 0;
    } else {
        std::string name;
        if (!Ctx::ChildText(element, "DeviceName", name)) {
            log.LogError(170, "Can not find child element <DeviceName>", PathName());
            return false;
        }
        MakeIdentifierOrNA(name);
        DeviceName = name;

        std::string idText;
        if (!Ctx::ChildText(element, "InstanceID", idText)) {
            log.LogError(175, "Can not find child element <InstanceID>", PathName());
            return false;
        }
        int64_t id = 0;
        if (!ReadNumber(idText, id)) {
            log.LogWarning(176, StrFormat("Failed to analyze value '%s'", idText.c_str()),
                           PathName(), 5);
            id = 0;
        }
        if (static_cast<uint64_t>(id) >= 256) {
            log.LogError(
                177,
                StrFormat("Value '%lld' out of range [%d, %d)", static_cast<long long>(id), 0, 256),
                PathName());
            return false;
        }
        InstanceID = static_cast<uint32_t>(id);

        if (ctx.HasOption(Ctx::kOptDescriptions))
            ChildText(element, "DeviceDescription", DeviceDescription);
        if (ctx.HasOption(Ctx::kOptVersions)) {
            const XDomElement* version = Ctx::FirstChildElement(element, "DeviceVersion");
            if (!version) {
                log.LogWarning(172, "Can not find child element <DeviceVersion>", PathName(), 1);
            } else {
                if (!ChildText(version, "Release", Release))
                    log.LogWarning(173, "Can not find child element <Release>", PathName(), 1);
                if (!ChildText(version, "Date", Date))
                    log.LogWarning(174, "Can not find child element <Date>", PathName(), 1);
            }
        }
    }
    m_Texts.SetName(StrFormat("Inst%02X", InstanceID));
    return true;
}

uint32_t YMTInstance::GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) {
    return SubItems(itemType, kItemFunction, items, count);
}

uint32_t YMTInstance::GetAttrStr(uint32_t attr, const char** value) {
    switch (attr) {
    case 3:
    case 252:
        *value = DeviceName.c_str();
        return kAttrOk;
    case 5:
    case 260:
        *value = m_Texts.Description().c_str();
        return kAttrOk;
    case 261:
        *value = Release.c_str();
        return kAttrOk;
    case 262:
        *value = Date.c_str();
        return kAttrOk;
    case 263:
        *value = InstFBlockName.c_str();
        return kAttrOk;
    default:
        return kAttrNotAvailable;
    }
}

uint32_t YMTInstance::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 0:
        *value = kItemInstance;
        return kAttrOk;
    case 4:
    case 250:
        *value = InstanceID;
        return kAttrOk;
    default:
        return YMTNode::GetAttrInt(attr, value);
    }
}

uint32_t YMTInstance::GetAttrNode(uint32_t attr, YMTNode** value) {
    return YMTNode::GetAttrNode(attr, value);
}

} // namespace mostfcat
