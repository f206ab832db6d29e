// "mostfcat diff": what changed between two versions of a catalog, each
// change classed breaking or compatible, so that a build can stop on a
// breaking change.
#include <cstdio>
#include <string>
#include <vector>

#include "mostfcat/fci.h"
#include "tool_command.h"

namespace mostfcat::cli {

namespace {

int Run(const CommandArgs& a) {
    std::string problem;
    if (a.plain.size() != 2)
        problem = "diff needs two catalog files, OLD and NEW (" + std::to_string(a.plain.size()) +
                  " given)";
    std::string failOn = a.Get("--fail-on", "breaking");
    if (problem.empty() && failOn != "breaking" && failOn != "any")
        problem = "diff: --fail-on takes breaking or any, not '" + failOn + "'";
    if (!problem.empty()) return UsageError(problem);

    // Each version in a manager of its own; a catalog that cannot be read
    // or imported stops the comparison (exit 2).
    OpenedCatalog opened[2];
    for (int i = 0; i < 2; ++i) {
        OpenRequest request;
        request.catalog = a.plain[static_cast<size_t>(i)];
        if (OpenForCommand(request, opened[i]) != kExitOk) return kExitUsage;
    }
    std::vector<YFciCatalogDiff::Change> changes;
    std::string error;
    if (!YFciCatalogDiff::Compare(opened[0].Catalog(), opened[1].Catalog(), changes, error)) {
        PrintError("cannot compare " + a.plain[0] + " and " + a.plain[1] + ": " + error);
        return kExitUsage;
    }
    std::string out =
        a.Has("--json") ? YFciCatalogDiff::Json(changes) : YFciCatalogDiff::Text(changes);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    uint32_t counted = YFciCatalogDiff::Count(changes, YFciCatalogDiff::eBreaking);
    if (failOn == "any") counted += YFciCatalogDiff::Count(changes, YFciCatalogDiff::eCompatible);
    return counted ? kExitFailed : kExitOk;
}

} // namespace

const ToolCommand kDiffCommand = {
    "diff",
    {{"--json", false}, {"--fail-on", true}},
    nullptr,
    "  diff OLD NEW [--json] [--fail-on breaking|any]\n"
    "        what changed from catalog OLD to catalog NEW, matched by IDs\n"
    "        (parameters by position, enumeration values by code), each change\n"
    "        breaking (old payloads decode differently) or compatible. Exit 1\n"
    "        when a change of the --fail-on class (default breaking) was found,\n"
    "        2 when a catalog cannot be read or imported\n",
    Run,
};

} // namespace mostfcat::cli
