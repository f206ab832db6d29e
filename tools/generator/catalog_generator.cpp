#include "generator/catalog_generator.h"

#include <cstdio>

namespace mostfcat {

std::string GenerateCatalog(uint64_t, uint64_t) {
    // Placeholder until the generator is written.
    return "<?xml version=\"1.0\"?>\n<FunctionCatalog/>\n";
}

bool GenerateCatalogFile(const std::string& path, uint64_t seed, uint64_t sizeBytes) {
    std::string text = GenerateCatalog(seed, sizeBytes);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace mostfcat
