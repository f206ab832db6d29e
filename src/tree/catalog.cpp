#include "tree/catalog.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

#include "import/import_log.h"
#include "import/text_read.h"
#include "platform/strings.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/identifiers.h"
#include "tree/operation.h"

namespace mostfcat {

using Ctx = YImportContext;

// --- YMTCatalog --------------------------------------------------------------

YMTCatalog::YMTCatalog() {
    m_BytesInMsg = 1;
    Reserve(256);
}

namespace {
std::atomic<uint64_t> g_DeletedCatalogs{0};
} // namespace

uint64_t YMTCatalog::DeletedCount() {
    return g_DeletedCatalogs.load(std::memory_order_acquire);
}

YMTCatalog::~YMTCatalog() {
    g_DeletedCatalogs.fetch_add(1, std::memory_order_acq_rel);
    if (m_Storage) {
        // Every node and array of the tree lives in the storage, and none of
        // them owns memory elsewhere: the storage goes with all of them at
        // once (as a member, before the list's destructor runs, which then
        // finds the list empty).
        Abandon();
        DefaultErrorCode = DefaultErrorInfo = nullptr;
        return;
    }
    delete DefaultErrorCode;
    delete DefaultErrorInfo;
    DefaultErrorCode = DefaultErrorInfo = nullptr;
}

YMTFBlock* YMTCatalog::FBlockAt(uint32_t fblockId) const {
    YMTNode* n = GetAt(fblockId);
    return (n && n->NodeType() == kNodeFBlock) ? static_cast<YMTFBlock*>(n) : nullptr;
}

uint32_t YMTCatalog::CompileLayouts() const {
    // FBlock, instance, function, operation. The instances of an FBlock share
    // their functions, so an operation is met once per instance: it compiles
    // the first time and is counted once.
    std::vector<const YMTOperation*> ready;
    auto below = [](const YMTNode* node, uint32_t type, auto&& f) {
        if (const YMTChildList* children = node->Children())
            for (uint32_t i = 0, n = children->ItemCount(); i < n; ++i) {
                const YMTNode* child = children->ItemAt(i);
                if (child && child->NodeType() == type) f(child);
            }
    };
    below(this, kNodeFBlock, [&](const YMTNode* fblock) {
        below(fblock, kNodeInstance, [&](const YMTNode* instance) {
            below(instance, kNodeFunction, [&](const YMTNode* function) {
                below(function, kNodeOperation, [&](const YMTNode* node) {
                    auto* operation = static_cast<const YMTOperation*>(node);
                    if (operation->Plan()) ready.push_back(operation);
                });
            });
        });
    });
    std::sort(ready.begin(), ready.end());
    return static_cast<uint32_t>(std::unique(ready.begin(), ready.end()) - ready.begin());
}

template <class Ar> void YMTCatalog::SerializeFields(Ar& ar) {
    SerializeNodeFields(ar);
    ar.SerializeString(Release);
    ar.SerializeString(Date);
    bool hasDevices = HasDevices != 0;
    ar.SerializeBool(hasDevices);
    HasDevices = hasDevices ? 1 : 0;
    ar.SerializeList(*this, YMTListKind::FBlocks);
}

void YMTCatalog::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTCatalog::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTCatalog::Dump(YImportContext& ctx, YImportLog& log) {
    ctx.SetCatalog(this);
    DumpLine(log, "CATALOG: " + m_Texts.Name());
    DumpLine(log, ".AbsPath: " + FilePath);
    DumpBase(log);
    DumpAll(ctx, log);
    return true;
}

bool YMTCatalog::Check(YImportContext& ctx, YImportLog& log) {
    YMTNode::Check(ctx, log);
    return CheckAll(ctx, log);
}

bool YMTCatalog::ImportXML(const XDomElement* root, YImportContext& ctx, YImportLog& log) {
    ctx.SetCatalog(this);
    try {
        // 1, 2: the type and unit definitions.
        const XDomElement* defElem = Ctx::FirstChildElement(root, "Definition");
        if (!defElem) {
            log.LogFatal("Can not find element <Definition>", PathName());
            return false;
        }
        auto* definition = new YMTDefinition();
        definition->SetParent(this);
        if (!definition->ImportXML(defElem, ctx, log)) {
            log.LogFatal("Failed to import element <Definition>", PathName());
            delete definition;
            return false;
        }
        ctx.SetDefinitions(definition);

        // 3: error-parameter templates.
        if (!ImportErrorTemplates(root, ctx, log)) return false;

        // 4: the catalog version.
        if (ctx.HasOption(Ctx::kOptVersions)) {
            const XDomElement* version = Ctx::FirstChildElement(root, "CatalogVersion");
            if (!version) {
                log.LogWarning(178, "Can not find child element <CatalogVersion>", PathName(), 1);
            } else {
                if (!Ctx::ChildText(version, "Release", Release))
                    log.LogWarning(179, "Can not find child element <Release>", PathName(), 1);
                if (!Ctx::ChildText(version, "Date", Date))
                    log.LogWarning(180, "Can not find child element <Date>", PathName(), 1);
            }
        }

        // 5, 6: the FBlocks, then the check of the whole tree.
        if (!ImportFBlocks(root, ctx, log)) return false;
        if (GetCount() == 0) {
            log.LogFatal("Function catalog contains no valid function block", PathName());
            return false;
        }
        return Check(ctx, log);
    } catch (const std::bad_alloc&) {
        log.LogFatal("Not enough memory", PathName());
        return false;
    }
}

bool YMTCatalog::ImportErrorTemplates(const XDomElement* root, YImportContext& ctx,
                                      YImportLog& log) {
    // Every "ERParam" with a "ParamDefId" anywhere in the document becomes a
    // template function holding that one parameter; functions merge it later.
    std::vector<XDomElement*> elements;
    Ctx::Descendants(root, "ERParam", elements);
    for (size_t i = 0; i < elements.size(); ++i) {
        std::string id;
        if (!Ctx::GetAttr(elements[i], "ParamDefId", id)) continue;
        auto* t = new YMTFunction();
        t->SetParent(this);
        t->SetName(kErrorTemplatePrefix + id);
        t->Type = kFunctionTemplate;
        t->FunctionID = static_cast<uint32_t>(i);
        bool ok = ImportParamElement(*t, elements[i], ctx, log) &&
                  (t->Type == kFunctionProperty || t->Type == kFunctionMethod) &&
                  t->Check(ctx, log);
        if (!ok) {
            log.LogError(148, "Failed to import element <ERParam>", PathName());
            delete t;
        } else {
            ctx.RegisterTemplate(t, t->NameRef(), true);
        }
        if (log.FatalCount() != 0) return false;
    }
    return true;
}

bool YMTCatalog::ImportFBlocks(const XDomElement* root, YImportContext& ctx, YImportLog& log) {
    const XDomElement* element = Ctx::FirstChildElement(root, "FBlock");
    if (!element) {
        log.LogFatal("Function catalog contains no valid function block", PathName());
        return false;
    }
    for (; element; element = Ctx::NextSiblingElement(element, "FBlock")) {
        auto* fblock = new YMTFBlock();
        fblock->SetParent(this);
        if (!fblock->ImportXML(element, ctx, log)) {
            log.LogError(149, "Failed to import element <FBlock>", PathName());
            delete fblock;
        } else if (YMTFBlock* existing = FBlockAt(fblock->FBlockID)) {
            MergeFBlock(existing, fblock, log);
        } else {
            SetAt(fblock, fblock->FBlockID);
        }
        if (log.FatalCount() != 0) return false;
    }
    return true;
}

void YMTCatalog::MergeFBlock(YMTFBlock* existing, YMTFBlock* incoming, YImportLog& log) {
    // The functions of the incoming element are owned by the list of its first
    // instance. When that instance is rejected while others move, ownership
    // passes to the first moved instance so that no moved instance is left
    // pointing at functions deleted with the rejected one.
    YMTInstance* owner = nullptr;
    ForEachChild(*incoming, [&](uint32_t, YMTNode* n) {
        auto* inst = static_cast<YMTInstance*>(n);
        if (!owner && inst->OwnsChildren() && inst->GetCount() != 0) owner = inst;
    });

    std::vector<YMTInstance*> moved;
    ForEachChild(*incoming, [&](uint32_t pos, YMTNode* n) {
        auto* inst = static_cast<YMTInstance*>(n);
        if (existing->InstanceAt(inst->InstanceID)) {
            log.LogError(219, StrFormat("FBlock Instance %02X already exists", inst->InstanceID),
                         PathName());
            return;
        }
        incoming->Detach(pos);
        inst->SetParent(existing);
        existing->SetAt(inst, inst->InstanceID);
        if (!existing->FirstInstance()) existing->SetFirstInstance(inst);
        moved.push_back(inst);
    });

    bool ownerStays = owner && owner->Parent() == incoming;
    if (ownerStays && !moved.empty()) {
        YMTInstance* heir = moved.front();
        heir->SetOwnsChildren(true);
        owner->SetOwnsChildren(false);
        ForEachChild(*heir, [&](uint32_t, YMTNode* f) {
            if (f->Parent() == owner) f->SetParent(heir);
        });
    }
    delete incoming;
}

uint32_t YMTCatalog::GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) {
    return SubItems(itemType, kItemFBlock, items, count);
}

uint32_t YMTCatalog::GetAttrStr(uint32_t attr, const char** value) {
    switch (attr) {
    case 3:
    case 100:
        *value = m_Texts.Name().c_str();
        return kAttrOk;
    case 101:
        *value = FilePath.c_str();
        return kAttrOk;
    case 111:
        *value = Release.c_str();
        return kAttrOk;
    case 112:
        *value = Date.c_str();
        return kAttrOk;
    default:
        return kAttrNotAvailable;
    }
}

uint32_t YMTCatalog::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 0:
        *value = kItemCatalog;
        return kAttrOk;
    case 113:
        *value = HasDevices;
        return kAttrOk;
    default:
        return YMTNode::GetAttrInt(attr, value);
    }
}

uint32_t YMTCatalog::GetAttrNode(uint32_t attr, YMTNode** value) {
    return YMTNode::GetAttrNode(attr, value);
}

// --- Definitions ---------------------------------------------------------------

YMTNode* YMTDefList::FindByIDName(const std::string& idName) const {
    for (uint32_t i = 0; i < GetSize(); ++i) {
        auto* d = static_cast<YMTDef*>(GetAt(i));
        if (d && EqualsNoCase(d->IDNameRef(), idName)) return d;
    }
    return nullptr;
}

bool YMTDefinition::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    Types.SetParent(this);
    if (!Types.ImportXML(element, ctx, log)) return false;
    Units.SetParent(this);
    return Units.ImportXML(element, ctx, log);
}

bool YMTDefinition::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "DEFINITION: " + m_Texts.Name());
    Types.Dump(ctx, log);
    Units.Dump(ctx, log);
    return true;
}

const YMTDefType* YMTDefinition::FindType(const std::string& typeId) const {
    return static_cast<const YMTDefType*>(Types.FindByIDName(typeId));
}

const YMTDefUnit* YMTDefinition::FindUnit(const std::string& unitId) const {
    return static_cast<const YMTDefUnit*>(Units.FindByIDName(unitId));
}

namespace {

template <class TDef>
bool ImportDefList(YMTNode& listNode, YMTDefList& list, const XDomElement* element, const char* tag,
                   uint32_t errorNumber, YImportContext& ctx, YImportLog& log) {
    std::vector<XDomElement*> elements;
    Ctx::Descendants(element, tag, elements);
    for (XDomElement* e : elements) {
        auto* def = new TDef();
        def->SetParent(&listNode);
        if (def->ImportXML(e, ctx, log)) {
            list.Add(def);
        } else {
            log.LogError(errorNumber, StrFormat("Failed to import element <%s>", tag),
                         listNode.PathName());
            delete def;
        }
        if (log.FatalCount() != 0) return false;
    }
    return true;
}

} // namespace

bool YMTDefListType::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    return ImportDefList<YMTDefType>(*this, *this, element, "TypeDef", 7, ctx, log);
}

bool YMTDefListUnit::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    return ImportDefList<YMTDefUnit>(*this, *this, element, "UnitDef", 8, ctx, log);
}

bool YMTDefListType::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "DEFLISTTYPE: " + m_Texts.Name());
    DumpAll(ctx, log);
    return true;
}

bool YMTDefListUnit::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "DEFLISTUNIT: " + m_Texts.Name());
    DumpAll(ctx, log);
    return true;
}

bool YMTDefType::ImportXML(const XDomElement* element, YImportContext&, YImportLog& log) {
    std::string name;
    if (!Ctx::ChildText(element, "TDefName", name))
        log.LogWarning(1, "Can not find element <TDefName>", PathName(), 10);
    MakeIdentifierOrNA(name);
    m_Texts.SetName(name);

    std::string typeId;
    if (!Ctx::GetAttr(element, "TypeID", typeId)) {
        log.LogError(2, "Missing required attribute TypeID", PathName());
        return false;
    }
    MakeIdentifierOrNA(typeId);
    m_IDName = typeId;

    if (!Ctx::FirstChildElement(element, "TDefSize"))
        log.LogWarning(3, "Can not find element <TDefSize>", PathName(), 10);

    static const struct {
        const char* id;
        uint16_t size;
        uint32_t code;
    } kTypes[] = {
        {"type_unsigned_byte", 1, 8}, {"type_signed_byte", 1, 9},    {"type_unsigned_word", 2, 10},
        {"type_signed_word", 2, 11},  {"type_unsigned_long", 4, 12}, {"type_signed_long", 4, 13},
    };
    DefSize = 0;
    DefCode = 0;
    for (const auto& t : kTypes)
        if (EqualsNoCase(m_IDName, t.id)) {
            DefSize = t.size;
            DefCode = t.code;
        }
    return true;
}

bool YMTDefType::Dump(YImportContext&, YImportLog& log) {
    DumpLine(log, "DEFTYPE: " + m_Texts.Name());
    DumpLine(log, ".IDName: " + m_IDName);
    DumpLine(log, StrFormat(".DefCode: %d", static_cast<int>(DefCode)));
    DumpLine(log, StrFormat(".DefSize: %d Bytes", static_cast<int>(DefSize)));
    return true;
}

YMTNode* YMTDefType::Clone() const {
    auto* copy = new YMTDefType();
    if (!copy->CopyFrom(this)) {
        delete copy;
        return nullptr;
    }
    return copy;
}

bool YMTDefUnit::ImportXML(const XDomElement* element, YImportContext&, YImportLog& log) {
    std::string name;
    if (!Ctx::ChildText(element, "UnitDefName", name))
        log.LogWarning(4, "Can not find element <UnitDefName>", PathName(), 10);
    name = KeepPrintable(name, 255);
    if (EqualsNoCase(name, "not defined")) name.clear();
    if (name.size() > 20) name.resize(20);
    m_Texts.SetName(name);

    std::string unitId;
    if (!Ctx::GetAttr(element, "UnitID", unitId)) {
        log.LogError(5, "Missing required attribute UnitID", PathName());
        return false;
    }
    MakeIdentifier(unitId);
    m_IDName = unitId;

    std::string code;
    if (!Ctx::ChildText(element, "UnitDefCode", code))
        log.LogWarning(6, "Can not find element <UnitDefCode>", PathName(), 10);
    int64_t value = 0;
    DefCode = ReadNumber(code, value) ? static_cast<uint32_t>(value) : 0;
    return true;
}

bool YMTDefUnit::Dump(YImportContext&, YImportLog& log) {
    DumpLine(log, "DEFUNIT: " + m_Texts.Name());
    DumpLine(log, StrFormat(".DefCode: %d", static_cast<int>(DefCode)));
    return true;
}

YMTNode* YMTDefUnit::Clone() const {
    auto* copy = new YMTDefUnit();
    if (!copy->CopyFrom(this)) {
        delete copy;
        return nullptr;
    }
    return copy;
}

} // namespace mostfcat
