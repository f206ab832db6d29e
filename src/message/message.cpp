#include "message/message.h"

#include <algorithm>

#include "manager/manager.h"
#include "mostfcat/hexdump.h"
#include "platform/guard.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"
#include "tree/queries.h"

YFciMessage::~YFciMessage() = default;

namespace mostfcat {

namespace {

uint64_t HandleOf(const void* p) {
    return reinterpret_cast<uint64_t>(p);
}

} // namespace

YFciMessageImpl::YFciMessageImpl(YFciFCatManagerImpl* manager, uint16_t channel, uint32_t options)
    : m_Channel(channel), m_DecodeOptions(options), m_Manager(manager) {
    m_RemainDefinition.SetName("Remain");
}

YFciMessageImpl::~YFciMessageImpl() {
    ClearValues();
}

void YFciMessageImpl::ClearValues() {
    // The values leave m_Params before they are deleted; both lists keep
    // their capacity for the next payload.
    m_Retired.swap(m_Params);
    m_Flat.clear();
    for (YFciParam* p : m_Retired)
        delete p;
    m_Retired.clear();
}

void YFciMessageImpl::SetCoordinates(const std::string& catalogName, uint32_t fblockId,
                                     uint32_t instId, uint32_t instFallback, uint32_t fktId,
                                     uint32_t opType) {
    m_CatalogName = catalogName;
    m_FBlockID = fblockId;
    m_InstID = instId;
    m_InstFallback = instFallback;
    m_FktID = fktId;
    m_OpType = opType;
}

YFciMessageImpl::Nodes YFciMessageImpl::Resolve() const {
    Nodes n;
    if (!YFciFCatManagerImpl::IsLive(m_Manager)) return n;
    if (!m_CatalogName.empty()) {
        YMTCatalog* c = m_Manager->CatalogByName(m_CatalogName);
        // A named catalog counts only on the message's channel and when it
        // holds the FBlock.
        const auto& onChannel = m_Manager->ChannelCatalogs(m_Channel);
        if (!c || std::find(onChannel.begin(), onChannel.end(), c) == onChannel.end() ||
            !FBlockById(*c, m_FBlockID))
            return n;
        n.catalog = c;
    } else if (m_FBlockID <= 255) {
        auto r = m_Manager->LookupOperation(m_Channel, std::string(), m_FBlockID, m_InstID,
                                            m_InstFallback, m_FktID, m_OpType);
        if (r.depth >= 1) n.catalog = r.catalog;
    }
    if (!n.catalog) return n;
    n.fblock = FBlockById(*n.catalog, m_FBlockID);
    if (n.fblock) n.instance = SelectInstance(*n.fblock, m_InstID, m_InstFallback);
    if (n.instance) n.function = FunctionById(*n.instance, m_FktID);
    if (n.function) n.operation = OperationByCode(*n.function, m_OpType);
    return n;
}

bool YFciMessageImpl::DefinitionsAlive() const {
    return YMTCatalog::DeletedCount() == m_DecodedAt;
}

void YFciMessageImpl::Settle() {
    if (!m_RelayoutPending && DefinitionsAlive()) return;
    m_RelayoutPending = false;
    Rebuild();
}

void YFciMessageImpl::Decode(YValueContext& ctx) {
    ClearValues();
    m_RelayoutPending = false;
    m_DecodedAt = YMTCatalog::DeletedCount();
    Nodes n = Resolve();
    if (n.operation) {
        uint32_t pos = 0;
        for (bool more = n.operation->GetFirstPos(pos); more;
             more = n.operation->GetNextPos(pos, pos)) {
            YMTParam* definition = n.operation->ParamAt(pos);
            if (!definition) continue;
            YFciParam* h = CreateValue(definition, this);
            if (!h) break;
            h->Impl()->SetActive(true);
            h->Impl()->Attach(this, 0, &m_Params);
            m_Params.push_back(h);
            h->Impl()->Disassemble(ctx);
        }
    }
    ctx.m_BitPos = 0;
    if (ctx.m_Pos < ctx.PayloadSize()) {
        auto* h = new YFciParamRemain();
        h->Impl()->SetDefinition(&m_RemainDefinition);
        h->Impl()->SetMessage(this);
        h->Impl()->SetActive(true);
        h->Impl()->Attach(this, 0, &m_Params);
        m_Params.push_back(h);
        h->Impl()->Disassemble(ctx);
    }
    Render();
}

void YFciMessageImpl::Render() {
    // Rendered into the text of the render before last, so that both keep
    // their buffers.
    m_RenderedBefore.clear();
    for (YFciParam* p : m_Params)
        if (p->Impl()->IsActiveSelf()) p->Impl()->AppendValueHexdumpStr(m_RenderedBefore);
    m_HexText.swap(m_RenderedBefore);
}

void YFciMessageImpl::ValuesChanged(bool relayout) {
    SafeDo([&] { Render(); });
    // The tree is decoded again before the next use, not while the value
    // that reported the change is still at work.
    if (relayout) m_RelayoutPending = true;
}

void YFciMessageImpl::Rebuild() {
    SafeDo([&] {
        m_Context.Reset(m_HexText, m_DecodeOptions);
        Decode(m_Context);
    });
}

YFciMessage* YFciMessageImpl::Clone() {
    return Safe(
        [&]() -> YFciMessage* {
            Settle();
            auto* c = new YFciMessageImpl(m_Manager, m_Channel, m_DecodeOptions);
            c->SetCoordinates(m_CatalogName, m_FBlockID, m_InstID, m_InstFallback, m_FktID,
                              m_OpType);
            c->m_HexText = m_HexText;
            c->Rebuild();
            return c;
        },
        static_cast<YFciMessage*>(nullptr));
}

uint32_t YFciMessageImpl::SetChannel(uint16_t channel) {
    m_Channel = channel;
    Rebuild();
    return 0;
}

uint32_t YFciMessageImpl::SetCatalogName(const std::string& name) {
    if (!name.empty()) {
        if (!YFciFCatManagerImpl::IsLive(m_Manager)) return 2;
        YMTCatalog* c = m_Manager->CatalogByName(name);
        const auto& onChannel = m_Manager->ChannelCatalogs(m_Channel);
        if (!c || std::find(onChannel.begin(), onChannel.end(), c) == onChannel.end()) return 2;
    }
    m_CatalogName = name;
    Rebuild();
    return 0;
}

uint32_t YFciMessageImpl::SetFBlock(uint32_t id, const std::string& name) {
    if (id < 256) {
        m_FBlockID = id;
        Rebuild();
        if (!name.empty()) {
            Nodes n = Resolve();
            if (!n.fblock || !EqualsNoCase(n.fblock->NameRef(), name)) return 1;
        }
        return 0;
    }
    if (name.empty()) {
        m_FBlockID = kUnset;
    } else {
        if (!YFciFCatManagerImpl::IsLive(m_Manager)) return 2;
        YMTFBlock* found = nullptr;
        if (!m_CatalogName.empty()) {
            if (YMTCatalog* c = m_Manager->CatalogByName(m_CatalogName))
                found = FBlockByName(*c, name);
        } else {
            for (YMTCatalog* c : m_Manager->ChannelCatalogs(m_Channel))
                if ((found = FBlockByName(*c, name))) break;
        }
        if (!found) return 2;
        m_FBlockID = found->FBlockID;
    }
    Rebuild();
    return 0;
}

uint32_t YFciMessageImpl::SetInstID(uint32_t id) {
    if (id > 255) return 2;
    m_InstID = id;
    Rebuild();
    return 0;
}

void YFciMessageImpl::SetInstFallback(uint32_t rule) {
    m_InstFallback = rule;
    Rebuild();
}

uint32_t YFciMessageImpl::SetFunction(uint32_t id, const std::string& name) {
    if (id < 4096) {
        m_FktID = id;
        Rebuild();
        if (!name.empty()) {
            Nodes n = Resolve();
            if (!n.function || !EqualsNoCase(n.function->NameRef(), name)) return 1;
        }
        return 0;
    }
    if (name.empty()) {
        m_FktID = kUnset;
    } else {
        Nodes n = Resolve();
        YMTNode* found = n.instance ? n.instance->FindChild(name) : nullptr;
        if (!found || found->NodeType() != kNodeFunction) return 2;
        m_FktID = found->ID();
    }
    Rebuild();
    return 0;
}

uint32_t YFciMessageImpl::SetOperation(uint32_t id, const std::string& name) {
    if (id < 16) {
        m_OpType = id;
        Rebuild();
        if (!name.empty()) {
            Nodes n = Resolve();
            if (!n.operation || !EqualsNoCase(n.operation->NameRef(), name)) return 1;
        }
        return 0;
    }
    if (name.empty()) {
        m_OpType = kUnset;
    } else {
        Nodes n = Resolve();
        YMTNode* found = n.function ? n.function->FindChild(name) : nullptr;
        if (!found || found->NodeType() != kNodeOperation) return 2;
        m_OpType = found->ID();
    }
    Rebuild();
    return 0;
}

const std::string& YFciMessageImpl::CatalogName() {
    Nodes n = Resolve();
    return Keep(m_NameOut[0], n.catalog ? m_Manager->NameOfCatalog(n.catalog) : std::string());
}
const std::string& YFciMessageImpl::FBlockName() {
    Nodes n = Resolve();
    return Keep(m_NameOut[1], n.fblock ? n.fblock->NameRef() : std::string());
}
const std::string& YFciMessageImpl::InstFBlockName() {
    Nodes n = Resolve();
    return Keep(m_NameOut[2], n.instance ? n.instance->InstFBlockName : std::string());
}
const std::string& YFciMessageImpl::FunctionName() {
    Nodes n = Resolve();
    return Keep(m_NameOut[3], n.function ? n.function->NameRef() : std::string());
}
const std::string& YFciMessageImpl::OperationName() {
    Nodes n = Resolve();
    return Keep(m_NameOut[4], n.operation ? n.operation->NameRef() : std::string());
}
uint64_t YFciMessageImpl::CatalogHandle() {
    return HandleOf(Resolve().catalog);
}
uint64_t YFciMessageImpl::FBlockNode() {
    return HandleOf(Resolve().fblock);
}
uint64_t YFciMessageImpl::InstanceNode() {
    return HandleOf(Resolve().instance);
}
uint64_t YFciMessageImpl::FunctionNode() {
    return HandleOf(Resolve().function);
}
uint64_t YFciMessageImpl::OperationNode() {
    return HandleOf(Resolve().operation);
}

bool YFciMessageImpl::IsFBlockValid() {
    return m_FBlockID == kUnset || Resolve().fblock != nullptr;
}
bool YFciMessageImpl::IsInstanceValid() {
    if (m_InstID == kUnset) return true;
    if (m_FBlockID == kUnset) return false;
    return Resolve().instance != nullptr;
}
bool YFciMessageImpl::IsFunctionValid() {
    if (m_FktID == kUnset) return true;
    if (m_InstID == kUnset || m_FBlockID == kUnset) return false;
    return Resolve().function != nullptr;
}
bool YFciMessageImpl::IsOperationValid() {
    if (m_OpType == kUnset) return true;
    if (m_FktID == kUnset || m_InstID == kUnset || m_FBlockID == kUnset) return false;
    return Resolve().operation != nullptr;
}

void YFciMessageImpl::SetData(const uint8_t* bytes, uint32_t length) {
    SafeDo([&] {
        m_Context.Reset(bytes, bytes ? length : 0, m_DecodeOptions);
        Decode(m_Context);
    });
}

void YFciMessageImpl::SetData(const std::vector<uint8_t>& bytes) {
    SetHexdumpStr(YFciHexdumpHelper::CondensedString(bytes));
}

std::vector<uint8_t> YFciMessageImpl::Data() {
    return Safe(
        [&] {
            Settle();
            std::vector<uint8_t> out;
            for (YFciParam* p : m_Params)
                if (p->Impl()->IsActiveSelf()) {
                    std::vector<uint8_t> bytes = p->Impl()->ValueHexdump();
                    out.insert(out.end(), bytes.begin(), bytes.end());
                }
            return out;
        },
        std::vector<uint8_t>());
}

void YFciMessageImpl::SetHexdumpStr(const std::string& text) {
    SafeDo([&] {
        m_Context.Reset(text, m_DecodeOptions);
        Decode(m_Context);
    });
}

std::string YFciMessageImpl::HexdumpStr() {
    return Safe(
        [&] {
            Settle();
            return m_HexText;
        },
        std::string());
}

const std::vector<YFciParam*>& YFciMessageImpl::ParamList() {
    Settle();
    return m_Params;
}

void YFciMessageImpl::CollectLeaves(const std::vector<YFciParam*>& list, bool activeOnly) {
    for (YFciParam* p : list) {
        YFciParamImpl* impl = p->Impl();
        if (activeOnly && !impl->IsActiveSelf()) continue;
        if (impl->IsDescriptionParam())
            CollectLeaves(impl->SubParamList(), activeOnly);
        else
            m_Flat.push_back(p);
    }
}

const std::vector<YFciParam*>& YFciMessageImpl::AllParams(bool activeOnly) {
    SafeDo([&] {
        Settle();
        m_Flat.clear();
        CollectLeaves(m_Params, activeOnly);
    });
    return m_Flat;
}

void YFciMessageImpl::ExpandAll() {
    SafeDo([&] {
        Settle();
        for (size_t i = 0; i < m_Params.size(); ++i)
            m_Params[i]->Impl()->ExpandAll();
    });
}

YFciParam* YFciMessageImpl::FindByPath(const YParamPath& path) {
    if (path.empty() || !Resolve().operation) return nullptr;
    const YPathElement& e = path[0];
    for (YFciParam* p : m_Params) {
        YFciParamImpl* impl = p->Impl();
        bool hit =
            e.hasPosition ? impl->ParamIdx() == e.position : EqualsNoCase(e.name, impl->Name());
        if (hit) return impl->FindByPath(path);
    }
    return nullptr;
}

void YFciMessageImpl::ExpandPath(const YParamPath& path) {
    if (path.empty() || !Resolve().operation) return;
    const YPathElement& e = path[0];
    for (YFciParam* p : m_Params) {
        YFciParamImpl* impl = p->Impl();
        bool hit =
            e.hasPosition ? impl->ParamIdx() == e.position : EqualsNoCase(e.name, impl->Name());
        if (hit) {
            impl->ExpandPath(path);
            return;
        }
    }
}

YFciParam* YFciMessageImpl::GetParamByShortID(const std::string& id) {
    return Safe(
        [&]() -> YFciParam* {
            YParamPath path;
            if (!ParseParamPath(id, YPathKind::Numeric, path)) return nullptr;
            Settle();
            return FindByPath(path);
        },
        static_cast<YFciParam*>(nullptr));
}

YFciParam* YFciMessageImpl::GetParamBySymID(const std::string& id) {
    return Safe(
        [&]() -> YFciParam* {
            YParamPath path;
            if (!ParseParamPath(id, YPathKind::Symbolic, path)) return nullptr;
            Settle();
            return FindByPath(path);
        },
        static_cast<YFciParam*>(nullptr));
}

std::string YFciMessageImpl::CatalogDescription() {
    Nodes n = Resolve();
    return n.catalog ? n.catalog->Description() : std::string();
}
std::string YFciMessageImpl::FBlockDescription() {
    Nodes n = Resolve();
    return n.fblock ? n.fblock->Description() : std::string();
}
std::string YFciMessageImpl::DeviceName() {
    Nodes n = Resolve();
    return n.instance ? n.instance->DeviceName : std::string();
}
std::string YFciMessageImpl::DeviceDescription() {
    Nodes n = Resolve();
    return n.instance ? n.instance->DeviceDescription : std::string();
}
std::string YFciMessageImpl::FunctionDescription() {
    Nodes n = Resolve();
    return n.function ? n.function->Description() : std::string();
}
uint32_t YFciMessageImpl::FunctionType() {
    Nodes n = Resolve();
    if (!n.function) return 0;
    uint8_t type = n.function->Type;
    return (type == kFunctionProperty || type == kFunctionMethod) ? type : 0;
}
uint32_t YFciMessageImpl::FunctionClass() {
    Nodes n = Resolve();
    return n.function ? n.function->Class : 255;
}

} // namespace mostfcat
