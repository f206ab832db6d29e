// "mostfcat generate": a synthetic catalog, deterministic from seed and size.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "generator/catalog_generator.h"
#include "tool_command.h"

namespace mostfcat::cli {

namespace {

// Reads an unsigned decimal (or "0x" hexadecimal) number; no sign.
bool ReadCount(const std::string& text, unsigned long long& value) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, 0);
    return end && !*end && errno == 0;
}

int Run(const CommandArgs& a) {
    // The catalog is built in memory before it is written.
    constexpr unsigned long long kMaxSize = 1ull << 30;
    std::string problem;
    if (a.plain.empty()) problem = "generate needs an output file";
    if (problem.empty() && a.plain.size() > 1)
        problem = "generate: unexpected argument '" + a.plain[1] + "'";
    unsigned long long seed = 1, size = 65536;
    if (problem.empty() && a.Has("--seed") && !ReadCount(a.Get("--seed"), seed))
        problem = "generate: --seed takes a number from 0 up, not '" + a.Get("--seed") + "'";
    if (problem.empty() && a.Has("--size") &&
        (!ReadCount(a.Get("--size"), size) || size == 0 || size > kMaxSize))
        problem = Format("generate: --size takes 1 to %llu bytes, not '%s'", kMaxSize,
                         a.Get("--size").c_str());
    if (!problem.empty()) return UsageError(problem);
    const std::string& out = a.plain[0];
    errno = 0;
    if (!GenerateCatalogFile(out, seed, size)) {
        PrintError("cannot write " + out + (errno ? std::string(": ") + std::strerror(errno) : ""));
        return kExitUsage;
    }
    return kExitOk;
}

} // namespace

const ToolCommand kGenerateCommand = {
    "generate",
    {{"--seed", true}, {"--size", true}},
    nullptr,
    "  generate OUT.xml [--seed N] [--size BYTES]\n"
    "        write a synthetic catalog, deterministic from seed and size (1 to\n"
    "        1073741824 bytes; default 65536)\n",
    Run,
};

} // namespace mostfcat::cli
