// "mostfcat import": opens a catalog as a host does and tells what happened:
// imported from XML (with the log's counter line and what an import with
// errors lost) or loaded from the cache.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tool_command.h"

namespace mostfcat::cli {

namespace {

struct FileTimes {
    bool ok = false;
    struct timespec modified {};
};

FileTimes TimesOf(const std::string& path) {
    FileTimes t;
    struct stat st {};
    if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        t.ok = true;
        t.modified = st.st_mtim;
    }
    return t;
}

double SecondsBetween(const timespec& earlier, const timespec& later) {
    return double(later.tv_sec - earlier.tv_sec) + double(later.tv_nsec - earlier.tv_nsec) / 1e9;
}

// The cache file holds no counts. The import that wrote it wrote its log
// right afterwards, so a log that names the same XML file, ends with
// "completed" and was finished within seconds after the cache holds them.
// Returns the counter line, or empty when no such log is at hand.
std::string CountsOfCacheImport(const std::string& logPath, const std::string& xmlPath,
                                const std::string& cachePath) {
    FileTimes log = TimesOf(logPath), cache = TimesOf(cachePath);
    if (!log.ok || !cache.ok) return std::string();
    double gap = SecondsBetween(cache.modified, log.modified);
    if (gap < 0 || gap > 10) return std::string();
    std::ifstream in(logPath);
    std::string line, counters, last;
    std::vector<std::string> head;
    while (std::getline(in, line)) {
        if (head.size() < 3) head.push_back(line);
        if (line.rfind("fatal errors:", 0) == 0) counters = line;
        if (!line.empty()) last = line;
    }
    if (head.size() < 3 || head[2] != xmlPath) return std::string();
    if (last != "Import of file " + xmlPath + " completed") return std::string();
    return counters;
}

// The "logged errors: N" figure of a counter line (0 when there is none).
unsigned LoggedErrors(const std::string& counters) {
    size_t at = counters.find("(logged errors: ");
    return at == std::string::npos
               ? 0u
               : unsigned(std::strtoul(counters.c_str() + at + 16, nullptr, 10));
}

std::string CachePathOf(const std::string& catalog) {
    return WithExtension(FullPath(catalog), ".vfc");
}

int StrictFailure(unsigned logged) {
    PrintError(Format("--strict: the import logged %u error%s", logged, logged == 1 ? "" : "s"));
    return kExitFailed;
}

// Prints what an import from the XML file gave.
void PrintImported(const OpenedCatalog& opened) {
    const YFciOpenReport& report = opened.Report();
    const std::string& catalog = opened.Request().catalog;
    std::printf("%s\n", report.counterLine.c_str());
    if (!report.damage.empty())
        std::printf("import errors: %s%s\n", report.damage.c_str(),
                    report.logWritten ? " (see the log)" : "");
    if (!report.cacheFailurePath.empty())
        std::printf("%s: imported from XML; cache not written\n", catalog.c_str());
    else if (report.cacheInUse)
        std::printf("%s: imported from XML, cache written to %s\n", catalog.c_str(),
                    CachePathOf(catalog).c_str());
    else
        std::printf("%s: imported from XML (cache off)\n", catalog.c_str());
    if (report.logWritten) std::printf("log: %s\n", report.logPath.c_str());
}

// Opens the catalog; a failed import that wrote its summary prints its
// counter line.
int Open(const OpenRequest& request, OpenedCatalog& opened) {
    int rc = OpenForCommand(request, opened);
    if (rc == kExitFailed && opened.Report().summaryWritten)
        std::printf("%s\n", opened.Report().counterLine.c_str());
    return rc;
}

int Run(const CommandArgs& a) {
    OpenRequest request;
    std::string problem = ReadOpenArgs("import", a, request);
    if (problem.empty() && a.Has("--log") && a.Has("--no-log"))
        problem = "import: --log and --no-log exclude each other";
    if (problem.empty() && a.Has("--log") && a.Get("--log").empty())
        problem = "import: --log needs a file name";
    if (!problem.empty()) return UsageError(problem);
    const bool strict = a.Has("--strict");
    request.logPath = a.Has("--no-log") ? ""
                      : a.Has("--log")  ? a.Get("--log")
                                        : DefaultLogPath(request.catalog);

    OpenedCatalog opened;
    int rc = Open(request, opened);
    if (rc != kExitOk) return rc;

    if (opened.Report().source == YFciOpenReport::eCacheFile) {
        std::string cache = CachePathOf(request.catalog);
        std::printf("%s: loaded from the cache %s (the XML file was not imported)\n",
                    request.catalog.c_str(), cache.c_str());
        std::string logPath =
            request.logPath.empty() ? DefaultLogPath(request.catalog) : request.logPath;
        std::string counters = CountsOfCacheImport(logPath, FullPath(request.catalog), cache);
        if (!counters.empty()) {
            std::printf("counts of the import that wrote the cache (%s): %s\n", logPath.c_str(),
                        counters.c_str());
            if (strict && LoggedErrors(counters) != 0) return StrictFailure(LoggedErrors(counters));
            return kExitOk;
        }
        std::printf(
            "the cache holds no counts, and no log of the import that wrote it was found\n");
        if (!strict) return kExitOk;
        // --strict needs the counts: the XML file is imported once more, with
        // the cache neither read nor written.
        opened.Close();
        gFctSetCacheUse(0);
        std::printf("--strict: importing the XML file again to count its errors\n");
        rc = Open(request, opened);
        if (rc != kExitOk) return rc;
    }
    PrintImported(opened);
    uint32_t logged = opened.Report().loggedErrorCount;
    if (strict && logged != 0) return StrictFailure(logged);
    return kExitOk;
}

} // namespace

const ToolCommand kImportCommand = {
    "import",
    {{"--log", true}, {"--no-log", false}, {"--strict", false}, {"--channel", true}},
    nullptr,
    "  import CATALOG [--log FILE | --no-log] [--strict] [--channel N]\n"
    "        open a catalog through a catalog manager, as a host does: the XML\n"
    "        file is imported and the compiled cache (.vfc) written beside it, or\n"
    "        the cache is loaded when it is current. Prints which of the two\n"
    "        happened, the log's counter line, what an import with errors dropped\n"
    "        or repaired, and where the log was written (default: the catalog\n"
    "        path with the extension .log). --strict: exit 1 when the import\n"
    "        logged an error.\n",
    Run,
};

} // namespace mostfcat::cli
