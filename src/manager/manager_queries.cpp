// The manager's read-only queries over the catalogs of a channel.
#include "import/import_state.h"
#include "manager/manager.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"
#include "tree/queries.h"

namespace mostfcat {

namespace {

uint64_t HandleOf(const YMTNode* node) {
    return reinterpret_cast<uint64_t>(node);
}

YMTInstance* InstanceOf(const YMTCatalog& c, uint32_t fblockId, uint32_t instId,
                        uint32_t fallback) {
    return SelectInstanceById(c, fblockId, instId, fallback);
}

YMTInstance* InstanceOfNamed(const YMTCatalog& c, const std::string& fblockName, uint32_t instId,
                             uint32_t fallback) {
    return SelectInstanceByName(c, fblockName, instId, fallback);
}

YMTFunction* FunctionOf(YMTInstance* inst, uint32_t fktId) {
    return inst ? FunctionById(*inst, fktId) : nullptr;
}

} // namespace

YFciFCatManagerImpl::CatalogSpan YFciFCatManagerImpl::Consulted(uint16_t channel,
                                                                const std::string& fcatName) const {
    if (!fcatName.empty()) {
        const YFCatRegistration* r = RegistrationByName(fcatName);
        return r && r->catalog ? CatalogSpan{&r->catalog, 1} : CatalogSpan{};
    }
    const std::vector<YMTCatalog*>& list = ChannelCatalogs(channel);
    return CatalogSpan{list.data(), list.size()};
}

YFciFCatManagerImpl::LookupResult
YFciFCatManagerImpl::LookupOperation(uint16_t channel, const std::string& fcatName,
                                     uint32_t fblockId, uint32_t instId, uint32_t instFallback,
                                     uint32_t fktId, uint32_t opType) const {
    LookupResult best;
    bool any = false;
    for (YMTCatalog* c : Consulted(channel, fcatName)) {
        LookupResult r;
        r.catalog = c;
        YMTFBlock* fblock = FBlockById(*c, fblockId);
        if (fblock) {
            r.fblock = fblock;
            r.depth = 1;
            YMTInstance* inst = fblock->SelectInstance(instId, instFallback);
            if (inst) {
                r.instance = inst;
                r.depth = 2;
                YMTFunction* f = FunctionById(*inst, fktId);
                if (f) {
                    r.function = f;
                    r.depth = 3;
                    if (YMTOperation* op = OperationByCode(*f, opType)) {
                        r.operation = op;
                        r.depth = 4;
                    }
                }
            }
        }
        if (!any || r.depth > best.depth) {
            best = r;
            any = true;
        }
        if (best.depth == 4) break;
    }
    return best;
}

// --- lists of names, identifiers and pairs --------------------------------------------

void YFciFCatManagerImpl::GetFBlockNames(uint16_t channel, const std::string& fcatName,
                                         StringList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        ListNames(*c, out);
}

void YFciFCatManagerImpl::GetInstFBlockNames(uint16_t channel, const std::string& fcatName,
                                             StringList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        ListInstFBlockNames(*c, out);
}

void YFciFCatManagerImpl::GetFunctionNames(uint16_t channel, const std::string& fcatName,
                                           uint32_t fblockId, uint32_t instId,
                                           uint32_t instFallback, StringList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTInstance* i = InstanceOf(*c, fblockId, instId, instFallback)) ListNames(*i, out);
}

void YFciFCatManagerImpl::GetFunctionNamesByFBlockName(uint16_t channel,
                                                       const std::string& fcatName,
                                                       const std::string& fblockName,
                                                       uint32_t instId, uint32_t instFallback,
                                                       StringList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTInstance* i = InstanceOfNamed(*c, fblockName, instId, instFallback))
            ListNames(*i, out);
}

void YFciFCatManagerImpl::GetOperationNames(uint16_t channel, const std::string& fcatName,
                                            uint32_t fblockId, uint32_t instId,
                                            uint32_t instFallback, uint32_t fktId,
                                            StringList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTFunction* f = FunctionOf(InstanceOf(*c, fblockId, instId, instFallback), fktId))
            ListNames(*f, out);
}

void YFciFCatManagerImpl::GetOperationNamesByFBlockName(uint16_t channel,
                                                        const std::string& fcatName,
                                                        const std::string& fblockName,
                                                        uint32_t instId, uint32_t instFallback,
                                                        uint32_t fktId, StringList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTFunction* f =
                FunctionOf(InstanceOfNamed(*c, fblockName, instId, instFallback), fktId))
            ListNames(*f, out);
}

void YFciFCatManagerImpl::GetFBlockIds(uint16_t channel, const std::string& fcatName, IdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        ListIds(*c, out);
}

void YFciFCatManagerImpl::GetInstanceIds(uint16_t channel, const std::string& fcatName,
                                         uint32_t fblockId, IdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTFBlock* f = FBlockById(*c, fblockId)) ListIds(*f, out);
}

void YFciFCatManagerImpl::GetInstanceIdsByFBlockName(uint16_t channel, const std::string& fcatName,
                                                     const std::string& fblockName, IdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTFBlock* f = FBlockByName(*c, fblockName)) ListIds(*f, out);
}

void YFciFCatManagerImpl::GetFunctionIds(uint16_t channel, const std::string& fcatName,
                                         uint32_t fblockId, uint32_t instId, uint32_t instFallback,
                                         IdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTInstance* i = InstanceOf(*c, fblockId, instId, instFallback)) ListIds(*i, out);
}

void YFciFCatManagerImpl::GetFunctionIdsByFBlockName(uint16_t channel, const std::string& fcatName,
                                                     const std::string& fblockName, uint32_t instId,
                                                     uint32_t instFallback, IdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTInstance* i = InstanceOfNamed(*c, fblockName, instId, instFallback))
            ListIds(*i, out);
}

void YFciFCatManagerImpl::GetOperationCodes(uint16_t channel, const std::string& fcatName,
                                            uint32_t fblockId, uint32_t instId,
                                            uint32_t instFallback, uint32_t fktId, IdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTFunction* f = FunctionOf(InstanceOf(*c, fblockId, instId, instFallback), fktId))
            ListIds(*f, out);
}

void YFciFCatManagerImpl::GetOperationCodesByFBlockName(uint16_t channel,
                                                        const std::string& fcatName,
                                                        const std::string& fblockName,
                                                        uint32_t instId, uint32_t instFallback,
                                                        uint32_t fktId, IdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTFunction* f =
                FunctionOf(InstanceOfNamed(*c, fblockName, instId, instFallback), fktId))
            ListIds(*f, out);
}

void YFciFCatManagerImpl::GetFBlockNameIdPairs(uint16_t channel, const std::string& fcatName,
                                               NameIdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        ListNameIdPairs(*c, out);
}

void YFciFCatManagerImpl::GetJoinedFBlockNames(uint16_t channel, const std::string& fcatName,
                                               NameIdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        ListJoinedFBlockNames(*c, out);
}

void YFciFCatManagerImpl::GetFunctionNameIdPairs(uint16_t channel, const std::string& fcatName,
                                                 uint32_t fblockId, uint32_t instId,
                                                 uint32_t instFallback, NameIdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTInstance* i = InstanceOf(*c, fblockId, instId, instFallback))
            ListNameIdPairs(*i, out);
}

void YFciFCatManagerImpl::GetOperationNameCodePairs(uint16_t channel, const std::string& fcatName,
                                                    uint32_t fblockId, uint32_t instId,
                                                    uint32_t instFallback, uint32_t fktId,
                                                    NameIdList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTFunction* f = FunctionOf(InstanceOf(*c, fblockId, instId, instFallback), fktId))
            ListNameIdPairs(*f, out);
}

// --- function kind and node lists -------------------------------------------------------

uint32_t YFciFCatManagerImpl::GetFunctionKind(uint16_t channel, const std::string& fcatName,
                                              uint32_t fblockId, uint32_t instId,
                                              uint32_t instFallback, uint32_t fktId) {
    LookupResult r =
        LookupOperation(channel, fcatName, fblockId, instId, instFallback, fktId, 0xFFFFFFFF);
    if (!r.function) return 0;
    uint8_t type = static_cast<YMTFunction*>(r.function)->Type;
    return (type == kFunctionProperty || type == kFunctionMethod) ? type : 0;
}

void YFciFCatManagerImpl::GetFBlockNodes(uint16_t channel, const std::string& fcatName,
                                         NodeList& out) {
    out.clear();
    std::vector<YMTNode*> nodes;
    for (YMTCatalog* c : Consulted(channel, fcatName))
        ListNodes(*c, nodes);
    for (YMTNode* n : nodes)
        out.push_back(HandleOf(n));
}

void YFciFCatManagerImpl::GetFBlockNodesById(uint16_t channel, const std::string& fcatName,
                                             uint32_t fblockId, NodeList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTFBlock* f = FBlockById(*c, fblockId)) out.push_back(HandleOf(f));
}

void YFciFCatManagerImpl::GetFunctionNodes(uint16_t channel, const std::string& fcatName,
                                           uint32_t fblockId, uint32_t instId,
                                           uint32_t instFallback, uint32_t fktId, NodeList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTFunction* f = FunctionOf(InstanceOf(*c, fblockId, instId, instFallback), fktId))
            out.push_back(HandleOf(f));
}

void YFciFCatManagerImpl::GetOperationNodes(uint16_t channel, const std::string& fcatName,
                                            uint32_t fblockId, uint32_t instId,
                                            uint32_t instFallback, uint32_t fktId, uint32_t opType,
                                            NodeList& out) {
    out.clear();
    for (YMTCatalog* c : Consulted(channel, fcatName))
        if (YMTFunction* f = FunctionOf(InstanceOf(*c, fblockId, instId, instFallback), fktId))
            if (YMTOperation* op = OperationByCode(*f, opType)) out.push_back(HandleOf(op));
}

// --- names -------------------------------------------------------------------------------

std::string YFciFCatManagerImpl::GetFBlockName(uint16_t channel, uint32_t fblockId) {
    for (YMTCatalog* c : ChannelCatalogs(channel))
        if (YMTFBlock* f = FBlockById(*c, fblockId)) return f->NameRef();
    return std::string();
}

std::string YFciFCatManagerImpl::GetFunctionName(uint16_t channel, uint32_t fblockId,
                                                 uint32_t instId, uint32_t instFallback,
                                                 uint32_t fktId) {
    LookupResult r =
        LookupOperation(channel, std::string(), fblockId, instId, instFallback, fktId, 0xFFFFFFFF);
    return r.function ? r.function->NameRef() : std::string();
}

std::string YFciFCatManagerImpl::GetOperationName(uint16_t channel, uint32_t fblockId,
                                                  uint32_t instId, uint32_t instFallback,
                                                  uint32_t fktId, uint32_t opType) {
    LookupResult r =
        LookupOperation(channel, std::string(), fblockId, instId, instFallback, fktId, opType);
    return r.operation ? r.operation->NameRef() : std::string();
}

void YFciFCatManagerImpl::ResolveNames(uint16_t channel, const std::string& fcatName,
                                       const std::string& fblockName, uint32_t instId,
                                       uint32_t instFallback, const std::string& functionName,
                                       const std::string& operationName, std::string& outFcatName,
                                       uint32_t& fblockId, uint32_t& fktId, uint32_t& opType) {
    fblockId = fktId = opType = 0xFFFFFFFF;
    int bestDepth = -1;
    YMTCatalog* bestCatalog = nullptr;
    YMTFBlock* bestFBlock = nullptr;
    YMTFunction* bestFunction = nullptr;
    YMTOperation* bestOperation = nullptr;
    for (YMTCatalog* c : Consulted(channel, fcatName)) {
        int depth = 0;
        YMTFBlock* fblock = FBlockByName(*c, fblockName);
        YMTFunction* function = nullptr;
        YMTOperation* operation = nullptr;
        if (fblock) {
            depth = 1;
            if (YMTInstance* inst = fblock->SelectInstance(instId, instFallback)) {
                depth = 2;
                YMTNode* f = inst->FindChild(functionName);
                if (f && f->NodeType() == kNodeFunction) {
                    function = static_cast<YMTFunction*>(f);
                    depth = 3;
                    YMTNode* op = function->FindChild(operationName);
                    if (op && op->NodeType() == kNodeOperation) {
                        operation = static_cast<YMTOperation*>(op);
                        depth = 4;
                    }
                }
            }
        }
        if (depth > bestDepth) {
            bestDepth = depth;
            bestCatalog = c;
            bestFBlock = fblock;
            bestFunction = function;
            bestOperation = operation;
        }
        if (bestDepth == 4) break;
    }
    outFcatName.clear();
    if (bestCatalog)
        for (const auto& r : m_Registrations)
            if (r.catalog == bestCatalog) {
                outFcatName = r.name;
                break;
            }
    if (bestFBlock) fblockId = bestFBlock->FBlockID;
    if (bestFunction) fktId = bestFunction->FunctionID;
    if (bestOperation) opType = bestOperation->OpType;
}

// The factories of message descriptions and instances and the value readers
// live with the message layer (src/message/manager_factories.cpp).

} // namespace mostfcat
