// The demo, run without a command: the bundled sample catalog imported with
// the cache off and no log, then listed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tool_command.h"
#include "tool_outline.h"

namespace mostfcat::cli {

namespace {

namespace fs = std::filesystem;

// The bundled sample catalog, found relative to the program so that a moved
// or installed tool finds it too: MOSTFCAT_SAMPLE when set, else the
// installed data folder, else the source tree of a build folder.
std::string FindSample(std::vector<std::string>& tried) {
    if (const char* env = std::getenv("MOSTFCAT_SAMPLE"); env && *env) return env;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::string();
    fs::path dir = exe.parent_path();
    std::vector<fs::path> candidates;
#ifdef MOSTFCAT_INSTALLED_SAMPLE_CATALOG
    candidates.push_back(dir / MOSTFCAT_INSTALLED_SAMPLE_CATALOG);
#endif
    candidates.push_back(dir / "../share/mostfcat/sample_catalog.xml");
    candidates.push_back(dir / "../examples/catalogs/sample_catalog.xml");
    candidates.push_back(dir / "../../examples/catalogs/sample_catalog.xml");
#ifdef MOSTFCAT_SOURCE_SAMPLE_CATALOG
    candidates.push_back(MOSTFCAT_SOURCE_SAMPLE_CATALOG);
#endif
    for (const fs::path& c : candidates) {
        std::string path = c.lexically_normal().string();
        if (std::find(tried.begin(), tried.end(), path) != tried.end()) continue;
        tried.push_back(path);
        if (fs::is_regular_file(c, ec)) return path;
    }
    return std::string();
}

} // namespace

int RunDemo() {
    std::vector<std::string> tried;
    std::string sample = FindSample(tried);
    if (sample.empty()) {
        std::string where;
        for (const std::string& t : tried)
            where += (where.empty() ? "" : ", ") + t;
        PrintError("the bundled sample catalog was not found (looked for " + where +
                   "); set MOSTFCAT_SAMPLE to its path");
        return kExitUsage;
    }
    // Nothing is written beside the sample (it may lie in the source tree or
    // in a read-only installation): no log, and the cache off.
    gFctSetCacheUse(0);
    std::printf("mostfcat demo: the bundled sample catalog\n%s\n", sample.c_str());
    OpenRequest request;
    request.catalog = sample;
    OpenedCatalog opened;
    int rc = OpenForCommand(request, opened);
    if (rc != kExitOk) return rc;
    std::printf("%s\n\n", opened.Report().counterLine.c_str());
    std::string text;
    ListCatalog(TreeNode(opened.Catalog()), ListOptions(), text);
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

} // namespace mostfcat::cli
