// The catalog outline of "mostfcat list": as text for people and as JSON.
#pragma once

#include <cstdint>
#include <string>

#include "tool_json.h"
#include "tool_tree.h"

namespace mostfcat::cli {

struct ListOptions {
    std::string fblock;   // an FBlock name or hexadecimal ID; empty: every FBlock
    std::string function; // a function name or hexadecimal ID; empty: every function
    bool all = false;     // the standard Error operation in full every time (text)
    bool verbose = false; // descriptions and versions (text; JSON always has them)
};

// A --fblock or --function filter: a text that begins with a digit is a
// hexadecimal ID ("0x402", "402"; names never begin with a digit), any other
// text a name compared ignoring letter case.
struct IdFilter {
    bool any = true;
    bool byId = false;
    uint32_t id = 0;
    std::string name;

    // Reads text; false when it begins with a digit but is no hexadecimal number.
    bool Parse(const std::string& text);
    bool Matches(const std::string& itemName, uint32_t itemId) const;
};

// Appends a readable outline of the catalog (a node handle) to out: FBlocks
// with their IDs and instances, functions with ID, kind and class,
// operations and their parameters with position, width, bit offset, unit,
// physical and raw range or values. Returns false when the filters matched
// nothing.
bool ListCatalog(TreeNode catalog, const ListOptions& options, std::string& out);

// The same outline as one JSON object (every parameter in full).
bool ListCatalogJson(TreeNode catalog, const ListOptions& options, Json& out);

// The children of a node that are of one item kind, in slot order.
std::vector<std::pair<uint32_t, TreeNode>> ItemsOf(TreeNode node, uint32_t kind);
// The parameters below a node (array element, record fields, stream cases
// and their members, operation parameters), in slot order.
std::vector<std::pair<uint32_t, TreeNode>> ParamsOf(TreeNode node);

// The physical value raw x 10^exponent (for a negative exponent computed as
// a division, which is exact for whole tenths: -200 and -1 give -20, not
// -20.000000000000004).
double PhysicalValue(double raw, int32_t exponent);

} // namespace mostfcat::cli
