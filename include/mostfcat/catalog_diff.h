// mostfcat: what changed between two versions of a catalog.
//
// Items are matched by their IDs (FBlock ID, instance ID, function ID,
// OpType), parameters by position and enumeration values by code. Each
// change is breaking (a payload valid under the old catalog decodes
// differently or not at all under the new one) or compatible.
#ifndef MOSTFCAT_CATALOG_DIFF_H
#define MOSTFCAT_CATALOG_DIFF_H

#include <cstdint>
#include <string>
#include <vector>

#include "mostfcat/user_input.h"

class MOSTFCAT_CLASS YFciCatalogDiff {
public:
    enum Class { eCompatible = 0, eBreaking = 1 };

    struct Change {
        std::string change; // "added", "removed", "changed" or "renamed"
        std::string item;   // "fblock", "instance", "function", "operation", "parameter", "value"
        Class cls = eCompatible;
        // Coordinates; -1 where one does not apply. parameter is the
        // position of the operation's parameter the change lies in, value
        // the code of an enumeration value.
        int64_t fblock = -1, instance = -1, function = -1, operation = -1, parameter = -1,
                value = -1;
        std::string oldText, newText; // the item's name (or value) in each version
        std::string detail;           // what changed, in words
        // Names for grouping: the FBlock's and the function's in each version.
        std::string fblockOld, fblockNew, functionOld, functionNew;
    };

    // Compares two catalogs given by their node handles (0: a catalog with
    // nothing in it). False with the reason when a handle is no catalog.
    static bool Compare(uint64_t oldCatalog, uint64_t newCatalog, std::vector<Change>& out,
                        std::string& error);
    // The same for catalogs open in managers, by channel and name.
    static bool Compare(YFciFCatManager& oldManager, uint16_t oldChannel,
                        const std::string& oldName, YFciFCatManager& newManager,
                        uint16_t newChannel, const std::string& newName, std::vector<Change>& out,
                        std::string& error);

    // The changes grouped by FBlock and function, one line each, in UTF-8.
    static std::string Text(const std::vector<Change>& changes);
    // One JSON object and a line end: {"changes":[...],"breaking":N,"compatible":M}.
    static std::string Json(const std::vector<Change>& changes);
    static uint32_t Count(const std::vector<Change>& changes, Class cls);
};

#endif // MOSTFCAT_CATALOG_DIFF_H
