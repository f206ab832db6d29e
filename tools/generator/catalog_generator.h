// Synthetic function catalogs for benchmarks, fuzz seeds and tests:
// deterministic from a seed and a target size.
#pragma once

#include <cstdint>
#include <string>

namespace mostfcat {

// A catalog of about sizeBytes bytes (at least a few kilobytes).
std::string GenerateCatalog(uint64_t seed, uint64_t sizeBytes);
// Writes GenerateCatalog to a file; false when the file cannot be written.
bool GenerateCatalogFile(const std::string& path, uint64_t seed, uint64_t sizeBytes);

} // namespace mostfcat
