// mostfcat: the command-line face of the library.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "generator/catalog_generator.h"
#include "import/import_context.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "manager/manager.h"
#include "manager/pool.h"
#include "mostfcat/cli.h"
#include "mostfcat/fct.h"
#include "platform/paths.h"
#include "tree/catalog.h"

using namespace mostfcat;

namespace {

const char* const kUsage =
    "usage: mostfcat [--settings DIR] [COMMAND ARGS...]\n"
    "\n"
    "Without a command, imports the bundled sample catalog and lists it.\n"
    "\n"
    "commands:\n"
    "  import CATALOG [--log FILE | --no-log] [--channel N]\n"
    "        open a catalog through a catalog manager: the XML file is imported\n"
    "        (and the compiled cache .vfc written beside it) or, when the cache\n"
    "        is current, the cache is loaded. Prints which of the two happened,\n"
    "        the log's counter line and where the log was written (default: the\n"
    "        catalog path with the extension .log)\n"
    "  list CATALOG [--channel N]\n"
    "        an outline of the catalog: FBlocks with IDs and instances, functions\n"
    "        with IDs, kind and class, operations, and parameters with position,\n"
    "        width, bit offset, unit, range or values\n"
    "  dump CATALOG [--out FILE]\n"
    "        the tree's debug dump on standard output, or appended to FILE\n"
    "  generate OUT.xml [--seed N] [--size BYTES]\n"
    "        write a synthetic catalog (deterministic from seed and size)\n"
    "  help  show this text\n"
    "\n"
    "options:\n"
    "  --settings DIR   read the profile Tarvex.ini from DIR\n"
    "  --channel N      the bus channel to open the catalog on (1..16; default all)\n"
    "\n"
    "exit status: 0 success, 1 the import failed, 2 usage error or unreadable file\n";

int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "mostfcat: %s\n\n", problem);
    std::fputs(kUsage, problem ? stderr : stdout);
    return 2;
}

struct Options {
    std::string catalog;
    std::string logPath;
    std::string outFile;
    bool noLog = false;
    bool logGiven = false;
    uint16_t channel = 0xFFFF;
    std::string seed = "1";
    std::string size = "65536";
};

// Parses the arguments of a command; returns an error text or empty.
std::string ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
                      Options& o) {
    auto allows = [&](const char* opt) {
        for (const auto& a : allowed)
            if (a == opt) return true;
        return false;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        if (a == "--log" && allows("--log")) {
            if (!value(o.logPath)) return "--log needs a file";
            o.logGiven = true;
        } else if (a == "--no-log" && allows("--no-log")) {
            o.noLog = true;
        } else if (a == "--out" && allows("--out")) {
            if (!value(o.outFile)) return "--out needs a file";
        } else if (a == "--seed" && allows("--seed")) {
            if (!value(o.seed)) return "--seed needs a number";
        } else if (a == "--size" && allows("--size")) {
            if (!value(o.size)) return "--size needs a number";
        } else if (a == "--channel" && allows("--channel")) {
            std::string text;
            if (!value(text)) return "--channel needs a number";
            char* end = nullptr;
            long n = std::strtol(text.c_str(), &end, 0);
            if (!end || *end || n < 0 || n > 16) return "--channel takes 0 to 16";
            o.channel = static_cast<uint16_t>(n);
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option " + a;
        } else if (o.catalog.empty()) {
            o.catalog = a;
        } else {
            return "unexpected argument " + a;
        }
    }
    if (o.noLog && o.logGiven) return "--log and --no-log exclude each other";
    return std::string();
}

// A catalog opened through a manager of its own.
class OpenedCatalog {
public:
    ~OpenedCatalog() {
        if (m_Handle) gFctDestroyFCatManager(m_Handle);
    }

    // Opens the catalog; returns the manager's status mapped to the
    // handle-based status codes.
    uint32_t Open(const Options& o) {
        if (gFctCreateFCatManager(&m_Handle, "mostfcat") != MOSTFCAT_OK) return MOSTFCAT_INVALID;
        uint32_t status;
        if (!o.logGiven && !o.noLog) {
            // The usual road of a host: the log goes beside the catalog.
            char name[64] = {0};
            status = gFctOpenNamedFCat(m_Handle, o.catalog.c_str(), o.channel, nullptr, name,
                                       sizeof name);
            YPathParts p = SplitPath(o.catalog);
            m_LogPath = MakePath(p.drive, p.directory, p.name, ".log");
        } else {
            YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(m_Handle);
            m->SetChannelCount(16);
            m_LogPath = o.noLog ? std::string() : o.logPath;
            std::string name;
            uint32_t r = m->OpenFCatNamed(o.catalog, o.channel, name, 4, m_LogPath);
            status = r == 0 ? MOSTFCAT_OK : r == 2 ? MOSTFCAT_FILE_MISSING : MOSTFCAT_INVALID;
        }
        m_Source = YFCatPool::Instance().LastSource();
        return status;
    }

    YMTCatalog* Catalog() const {
        uint64_t* items = nullptr;
        uint32_t count = 0;
        if (gFctGetFCatItemList(m_Handle, &items, &count) != MOSTFCAT_OK || count == 0)
            return nullptr;
        return reinterpret_cast<YMTCatalog*>(items[0]);
    }
    YFCatPool::Source Source() const { return m_Source; }
    const std::string& LogPath() const { return m_LogPath; }

private:
    uint64_t m_Handle = 0;
    std::string m_LogPath;
    YFCatPool::Source m_Source = YFCatPool::Source::None;
};

// The counter line of a log's summary ("fatal errors: ..."), or empty.
std::string CounterLine(const std::string& logPath) {
    std::string line;
    FILE* f = logPath.empty() ? nullptr : std::fopen(logPath.c_str(), "r");
    char buf[4096];
    while (f && std::fgets(buf, sizeof buf, f))
        if (std::strncmp(buf, "fatal errors:", 13) == 0) line = buf;
    if (f) std::fclose(f);
    return line;
}

int OpenFailed(const Options& o, uint32_t status, const OpenedCatalog& opened) {
    if (status == MOSTFCAT_FILE_MISSING) {
        std::fprintf(stderr, "mostfcat: cannot read %s\n", o.catalog.c_str());
        return 2;
    }
    std::string counters = CounterLine(opened.LogPath());
    if (!counters.empty()) std::fputs(counters.c_str(), stdout);
    std::fprintf(stderr, "mostfcat: import of %s failed", o.catalog.c_str());
    if (!opened.LogPath().empty()) std::fprintf(stderr, " (see %s)", opened.LogPath().c_str());
    std::fputc('\n', stderr);
    return 1;
}

int CmdImport(const std::vector<std::string>& args) {
    Options o;
    std::string problem = ParseArgs(args, {"--log", "--no-log", "--channel"}, o);
    if (!problem.empty()) return Usage(problem.c_str());
    if (o.catalog.empty()) return Usage("import needs a catalog file");
    if (!IsFileReadable(o.catalog)) {
        std::fprintf(stderr, "mostfcat: cannot read %s\n", o.catalog.c_str());
        return 2;
    }
    OpenedCatalog opened;
    uint32_t status = opened.Open(o);
    if (status != MOSTFCAT_OK || !opened.Catalog()) return OpenFailed(o, status, opened);

    if (opened.Source() == YFCatPool::Source::CacheFile) {
        YPathParts p = SplitPath(FullPath(o.catalog));
        std::printf("%s: loaded from the cache %s (the XML file was not imported)\n",
                    o.catalog.c_str(), MakePath(p.drive, p.directory, p.name, ".vfc").c_str());
        return 0;
    }
    std::string counters = CounterLine(opened.LogPath());
    if (!counters.empty()) std::fputs(counters.c_str(), stdout);
    std::printf("%s: imported from XML%s\n", o.catalog.c_str(),
                YImportState::Instance().importOptim ? ", cache written" : "");
    if (!opened.LogPath().empty()) std::printf("log: %s\n", opened.LogPath().c_str());
    return 0;
}

int CmdList(const std::vector<std::string>& args) {
    Options o;
    std::string problem = ParseArgs(args, {"--channel"}, o);
    if (!problem.empty()) return Usage(problem.c_str());
    if (o.catalog.empty()) return Usage("list needs a catalog file");
    if (!IsFileReadable(o.catalog)) {
        std::fprintf(stderr, "mostfcat: cannot read %s\n", o.catalog.c_str());
        return 2;
    }
    OpenedCatalog opened;
    uint32_t status = opened.Open(o);
    YMTCatalog* catalog = opened.Catalog();
    if (status != MOSTFCAT_OK || !catalog) return OpenFailed(o, status, opened);
    std::string text;
    ListCatalog(*catalog, text);
    std::fputs(text.c_str(), stdout);
    return 0;
}

int CmdDump(const std::vector<std::string>& args) {
    Options o;
    std::string problem = ParseArgs(args, {"--out", "--channel"}, o);
    if (!problem.empty()) return Usage(problem.c_str());
    if (o.catalog.empty()) return Usage("dump needs a catalog file");
    if (!IsFileReadable(o.catalog)) {
        std::fprintf(stderr, "mostfcat: cannot read %s\n", o.catalog.c_str());
        return 2;
    }
    OpenedCatalog opened;
    uint32_t status = opened.Open(o);
    YMTCatalog* catalog = opened.Catalog();
    if (status != MOSTFCAT_OK || !catalog) return OpenFailed(o, status, opened);
    YImportLog log;
    if (o.outFile.empty()) {
        log.AttachDumpStream(stdout);
    } else if (!log.OpenDumpFile(o.outFile)) {
        std::fprintf(stderr, "mostfcat: cannot write %s\n", o.outFile.c_str());
        return 2;
    }
    YImportContext ctx;
    catalog->Dump(ctx, log);
    std::fflush(stdout);
    return 0;
}

int CmdGenerate(const std::vector<std::string>& args) {
    Options o;
    std::string problem = ParseArgs(args, {"--seed", "--size"}, o);
    if (!problem.empty()) return Usage(problem.c_str());
    if (o.catalog.empty()) return Usage("generate needs an output file");
    char* end = nullptr;
    unsigned long long seed = std::strtoull(o.seed.c_str(), &end, 0);
    if (!end || *end) return Usage("--seed takes a number");
    unsigned long long size = std::strtoull(o.size.c_str(), &end, 0);
    if (!end || *end) return Usage("--size takes a number of bytes");
    if (!GenerateCatalogFile(o.catalog, seed, size)) {
        std::fprintf(stderr, "mostfcat: cannot write %s\n", o.catalog.c_str());
        return 2;
    }
    return 0;
}

int Demo() {
    Options o;
    o.catalog = MOSTFCAT_SAMPLE_CATALOG;
    o.noLog = true;
    std::printf("mostfcat demo: the bundled sample catalog\n%s\n\n", o.catalog.c_str());
    OpenedCatalog opened;
    uint32_t status = opened.Open(o);
    YMTCatalog* catalog = opened.Catalog();
    if (status != MOSTFCAT_OK || !catalog) return OpenFailed(o, status, opened);
    std::string text;
    ListCatalog(*catalog, text);
    std::fputs(text.c_str(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--settings") {
                if (i + 1 >= argc) return Usage("--settings needs a folder");
                YImportState::Instance().SetSettingsFolder(argv[++i]);
            } else if (a == "--help" || a == "-h") {
                Usage(nullptr);
                return 0;
            } else {
                args.push_back(a);
            }
        }
        if (args.empty()) return Demo();
        std::string cmd = args.front();
        args.erase(args.begin());
        if (cmd == "import") return CmdImport(args);
        if (cmd == "list") return CmdList(args);
        if (cmd == "dump") return CmdDump(args);
        if (cmd == "generate") return CmdGenerate(args);
        if (cmd == "help") {
            Usage(nullptr);
            return 0;
        }
        return Usage(("unknown command " + cmd).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mostfcat: %s\n", e.what());
        return 2;
    }
}
