// "mostfcat list": the outline of a catalog, as text or as JSON.
#include <cstdio>
#include <string>

#include "tool_command.h"
#include "tool_outline.h"

namespace mostfcat::cli {

namespace {

int Run(const CommandArgs& a) {
    OpenRequest request;
    std::string problem = ReadOpenArgs("list", a, request);
    ListOptions options;
    options.fblock = a.Get("--fblock");
    options.function = a.Get("--function");
    options.all = a.Has("--all");
    options.verbose = a.Has("--verbose");
    IdFilter check;
    if (problem.empty() && !check.Parse(options.fblock))
        problem = "list: --fblock takes a name or a hexadecimal ID, not '" + options.fblock + "'";
    if (problem.empty() && !check.Parse(options.function))
        problem =
            "list: --function takes a name or a hexadecimal ID, not '" + options.function + "'";
    if (!problem.empty()) return UsageError(problem);

    OpenedCatalog opened;
    int rc = OpenForCommand(request, opened);
    if (rc != kExitOk) return rc;
    const TreeNode catalog(opened.Catalog());
    bool matched;
    if (a.Has("--json")) {
        Json outline;
        matched = ListCatalogJson(catalog, options, outline);
        if (matched) PrintJson(outline, stdout, 2);
    } else {
        std::string text;
        matched = ListCatalog(catalog, options, text);
        std::fputs(text.c_str(), stdout);
    }
    if (!matched) {
        std::string what;
        if (!options.fblock.empty()) what = "FBlock " + options.fblock;
        if (!options.function.empty())
            what += (what.empty() ? "function " : " with function ") + options.function;
        PrintError("no " + what + " in " + request.catalog);
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace

const ToolCommand kListCommand = {
    "list",
    {{"--fblock", true},
     {"--function", true},
     {"--json", false},
     {"--all", false},
     {"--verbose", false},
     {"--channel", true}},
    nullptr,
    "  list CATALOG [--fblock X] [--function X] [--json] [--all] [--verbose]\n"
    "               [--channel N]\n"
    "        an outline of the catalog: FBlocks with IDs and instances, functions\n"
    "        with ID, kind and class, operations, and parameters with position,\n"
    "        width, bit offset, physical and raw range, unit, values and bool\n"
    "        texts. X is a name or a hexadecimal ID (0x402 or 402). The standard\n"
    "        Error operation is shown in full once, then on one line (--all: in\n"
    "        full every time). --verbose adds descriptions and versions. --json\n"
    "        prints the whole outline as one JSON object.\n",
    Run,
};

} // namespace mostfcat::cli
