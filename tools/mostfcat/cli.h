// Pieces of the command-line tool.
#pragma once

#include <string>

namespace mostfcat {

class YMTCatalog;

// Appends a readable outline of the catalog to out: FBlocks with their IDs
// and instances, functions with ID, kind and class, operations and their
// parameters with position, width, bit offset, unit, range or values.
void ListCatalog(const YMTCatalog& catalog, std::string& out);

} // namespace mostfcat
