#include "tree/queries.h"

#include <set>

#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {

namespace {

// The child list of a container node of the tree (null for other nodes).
const YMTChildList* ListOf(const YMTNode& node) {
    switch (node.NodeType()) {
    case kNodeCatalog:
        return static_cast<const YMTCatalog*>(&node);
    case kNodeFBlock:
        return static_cast<const YMTFBlock*>(&node);
    case kNodeInstance:
        return static_cast<const YMTInstance*>(&node);
    case kNodeFunction:
        return static_cast<const YMTFunction*>(&node);
    case kNodeOperation:
        return static_cast<const YMTOperation*>(&node);
    default:
        return nullptr;
    }
}

} // namespace

YMTFBlock* FBlockById(const YMTCatalog& catalog, uint32_t fblockId) {
    return catalog.FBlockAt(fblockId);
}

YMTFBlock* FBlockByName(const YMTCatalog& catalog, const std::string& name) {
    YMTNode* n = catalog.FindChild(name);
    return (n && n->NodeType() == kNodeFBlock) ? static_cast<YMTFBlock*>(n) : nullptr;
}

YMTFBlock* FBlockByInstFBlockName(const YMTCatalog& catalog, const std::string& name) {
    YMTFBlock* result = nullptr;
    ForEachChild(catalog, [&](uint32_t, YMTNode* n) {
        if (result || n->NodeType() != kNodeFBlock) return;
        auto* fblock = static_cast<YMTFBlock*>(n);
        ForEachChild(*fblock, [&](uint32_t, YMTNode* i) {
            if (!result && i->NodeType() == kNodeInstance &&
                EqualsNoCase(static_cast<YMTInstance*>(i)->InstFBlockName, name))
                result = fblock;
        });
    });
    return result;
}

YMTInstance* SelectInstance(const YMTFBlock& fblock, uint32_t instanceId, uint32_t fallback) {
    return fblock.SelectInstance(instanceId, fallback);
}

YMTFunction* FunctionById(const YMTInstance& instance, uint32_t functionId) {
    YMTNode* n = instance.GetAt(functionId);
    return (n && n->NodeType() == kNodeFunction) ? static_cast<YMTFunction*>(n) : nullptr;
}

YMTOperation* OperationByCode(const YMTFunction& function, uint32_t opType) {
    return function.OperationAt(opType);
}

void ListNodes(const YMTNode& parent, std::vector<YMTNode*>& out) {
    if (const YMTChildList* list = ListOf(parent))
        ForEachChild(*list, [&](uint32_t, YMTNode* n) { out.push_back(n); });
}

void ListNames(const YMTNode& parent, std::vector<std::string>& out) {
    if (const YMTChildList* list = ListOf(parent))
        ForEachChild(*list, [&](uint32_t, YMTNode* n) { out.push_back(n->NameRef()); });
}

void ListIds(const YMTNode& parent, std::vector<uint32_t>& out) {
    if (const YMTChildList* list = ListOf(parent))
        ForEachChild(*list, [&](uint32_t pos, YMTNode*) { out.push_back(pos); });
}

void ListNameIdPairs(const YMTNode& parent, std::vector<std::pair<std::string, uint32_t>>& out) {
    if (const YMTChildList* list = ListOf(parent))
        ForEachChild(*list, [&](uint32_t pos, YMTNode* n) { out.emplace_back(n->NameRef(), pos); });
}

void ListInstFBlockNames(const YMTCatalog& catalog, std::vector<std::string>& out) {
    ForEachChild(catalog, [&](uint32_t, YMTNode* f) {
        if (f->NodeType() != kNodeFBlock) return;
        ForEachChild(*static_cast<YMTFBlock*>(f), [&](uint32_t, YMTNode* i) {
            if (i->NodeType() == kNodeInstance)
                out.push_back(static_cast<YMTInstance*>(i)->InstFBlockName);
        });
    });
}

void ListJoinedFBlockNames(const YMTCatalog& catalog,
                           std::vector<std::pair<std::string, uint32_t>>& out) {
    ForEachChild(catalog, [&](uint32_t pos, YMTNode* f) {
        if (f->NodeType() != kNodeFBlock) return;
        std::set<std::string> names; // ascending byte order
        ForEachChild(*static_cast<YMTFBlock*>(f), [&](uint32_t, YMTNode* i) {
            if (i->NodeType() == kNodeInstance)
                names.insert(static_cast<YMTInstance*>(i)->InstFBlockName);
        });
        std::string joined;
        for (const std::string& n : names) {
            if (!joined.empty()) joined += ", ";
            joined += n;
        }
        out.emplace_back(joined, pos);
    });
}

YMTInstance* SelectInstanceById(const YMTCatalog& catalog, uint32_t fblockId, uint32_t instanceId,
                                uint32_t fallback) {
    YMTFBlock* f = FBlockById(catalog, fblockId);
    return f ? f->SelectInstance(instanceId, fallback) : nullptr;
}

YMTInstance* SelectInstanceByName(const YMTCatalog& catalog, const std::string& fblockName,
                                  uint32_t instanceId, uint32_t fallback) {
    YMTFBlock* f = FBlockByName(catalog, fblockName);
    return f ? f->SelectInstance(instanceId, fallback) : nullptr;
}

} // namespace mostfcat
