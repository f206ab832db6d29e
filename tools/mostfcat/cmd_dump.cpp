// "mostfcat dump": the tree's debug dump on standard output or appended to a file.
#include <cerrno>
#include <cstring>
#include <string>

#include "tool_command.h"

namespace mostfcat::cli {

namespace {

int Run(const CommandArgs& a) {
    OpenRequest request;
    std::string problem = ReadOpenArgs("dump", a, request);
    if (problem.empty() && a.Has("--out") && a.Get("--out").empty())
        problem = "dump: --out needs a file name";
    if (!problem.empty()) return UsageError(problem);
    OpenedCatalog opened;
    int rc = OpenForCommand(request, opened);
    if (rc != kExitOk) return rc;
    const std::string out = a.Get("--out");
    errno = 0;
    if (gFctDumpCatalog(opened.Catalog(), out.c_str()) != MOSTFCAT_OK) {
        PrintError("cannot write " + out + ": " + std::strerror(errno));
        return kExitUsage;
    }
    return kExitOk;
}

} // namespace

const ToolCommand kDumpCommand = {
    "dump",
    {{"--out", true}, {"--channel", true}},
    nullptr,
    "  dump CATALOG [--out FILE] [--channel N]\n"
    "        the tree's debug dump on standard output, or appended to FILE\n",
    Run,
};

} // namespace mostfcat::cli
