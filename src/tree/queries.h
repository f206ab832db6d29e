// Read-only navigation and listing over a loaded catalog tree.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mostfcat {

class YMTCatalog;
class YMTFBlock;
class YMTInstance;
class YMTFunction;
class YMTOperation;
class YMTNode;

// --- navigation (null when the key finds nothing) ---
YMTFBlock* FBlockById(const YMTCatalog& catalog, uint32_t fblockId);
YMTFBlock* FBlockByName(const YMTCatalog& catalog, const std::string& name);
YMTFBlock* FBlockByInstFBlockName(const YMTCatalog& catalog, const std::string& name);
// fallback 0: the first instance; 1: the instance, else the default one;
// 2: the instance, else the first one; other: the instance only.
YMTInstance* SelectInstance(const YMTFBlock& fblock, uint32_t instanceId, uint32_t fallback);
YMTFunction* FunctionById(const YMTInstance& instance, uint32_t functionId);
YMTOperation* OperationByCode(const YMTFunction& function, uint32_t opType);

// --- listing: appends the children of one node in index order ---
// Children of a catalog, FBlock, instance or function.
void ListNodes(const YMTNode& parent, std::vector<YMTNode*>& out);
void ListNames(const YMTNode& parent, std::vector<std::string>& out);
void ListIds(const YMTNode& parent, std::vector<uint32_t>& out);
void ListNameIdPairs(const YMTNode& parent, std::vector<std::pair<std::string, uint32_t>>& out);
// For each FBlock, the FBlock element names of each of its instances.
void ListInstFBlockNames(const YMTCatalog& catalog, std::vector<std::string>& out);
// For each FBlock, its distinct FBlock element names sorted and joined with
// ", ", paired with the FBlock ID.
void ListJoinedFBlockNames(const YMTCatalog& catalog,
                           std::vector<std::pair<std::string, uint32_t>>& out);

// The functions of the instance selected by instanceId and fallback, when
// the FBlock exists (FBlock by ID or by name).
YMTInstance* SelectInstanceById(const YMTCatalog& catalog, uint32_t fblockId, uint32_t instanceId,
                                uint32_t fallback);
YMTInstance* SelectInstanceByName(const YMTCatalog& catalog, const std::string& fblockName,
                                  uint32_t instanceId, uint32_t fallback);

} // namespace mostfcat
