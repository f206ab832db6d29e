// The XML import driver: parses one catalog file and builds its tree,
// framed by the import log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace mostfcat {

class YImportState;
class YMTCatalog;

struct YImportResult {
    uint32_t status = 0;           // 0 success, 1 import failed, 2 file missing or unreadable
    YMTCatalog* catalog = nullptr; // owned by the caller (null unless status is 0)
};

// Called after the parse and import, before the log's trailer: receives the
// status and the new catalog (null on failure), takes ownership of it, and
// returns the final status (the cache-write result, for example).
using YImportSettle = std::function<uint32_t(uint32_t status, YMTCatalog* catalog)>;

// Imports xmlPath. The validation mode, log path, option word, warning level
// and exclusion set come from state. With a settle hook the catalog goes to
// the hook and the result carries none.
YImportResult ImportXmlFile(YImportState& state, const std::string& xmlPath, uint64_t xmlTime,
                            const YImportSettle& settle = nullptr);

// The importer version written to the log.
constexpr const char* kImporterVersion = "3.0.9.0";

} // namespace mostfcat
