// mostfcat: the command-line face of the library.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "generator/catalog_generator.h"
#include "import/import_context.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "mostfcat/cli.h"
#include "mostfcat/command.h"
#include "mostfcat/message_commands.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/xml_import.h"

#ifndef MOSTFCAT_VERSION
#define MOSTFCAT_VERSION "unknown"
#endif

using namespace mostfcat;
using namespace mostfcat::cli;

namespace {

namespace fs = std::filesystem;

const char* const kHelp =
    "usage: mostfcat [--settings DIR] [COMMAND ARGS...]\n"
    "       mostfcat --version | help\n"
    "\n"
    "Without a command, the bundled sample catalog is imported and listed (with\n"
    "the cache off and no log, so nothing is written).\n"
    "\n"
    "commands:\n"
    "  import CATALOG [--log FILE | --no-log] [--strict] [--channel N]\n"
    "        open a catalog through a catalog manager, as a host does: the XML\n"
    "        file is imported and the compiled cache (.vfc) written beside it, or\n"
    "        the cache is loaded when it is current. Prints which of the two\n"
    "        happened, the log's counter line, what an import with errors dropped\n"
    "        or repaired, and where the log was written (default: the catalog\n"
    "        path with the extension .log). --strict: exit 1 when the import\n"
    "        logged an error.\n"
    "  list CATALOG [--fblock X] [--function X] [--json] [--all] [--verbose]\n"
    "               [--channel N]\n"
    "        an outline of the catalog: FBlocks with IDs and instances, functions\n"
    "        with ID, kind and class, operations, and parameters with position,\n"
    "        width, bit offset, physical and raw range, unit, values and bool\n"
    "        texts. X is a name or a hexadecimal ID (0x402 or 402). The standard\n"
    "        Error operation is shown in full once, then on one line (--all: in\n"
    "        full every time). --verbose adds descriptions and versions. --json\n"
    "        prints the whole outline as one JSON object.\n"
    "  dump CATALOG [--out FILE] [--channel N]\n"
    "        the tree's debug dump on standard output, or appended to FILE\n"
    "  decode CATALOG [--channel N] [--options WORD] [--json] [MESSAGE ...]\n"
    "        decode message payloads; MESSAGE is FBLOCK.INST.FKT.OP:HEX with the\n"
    "        coordinates in hexadecimal (22.01.400.C:3C). Without MESSAGE the\n"
    "        messages are read from standard input, one a line (blank lines and\n"
    "        lines starting with # are skipped). --json: one object per message\n"
    "        and line; an unknown or malformed message gets an \"error\" field.\n"
    "        WORD is the option word of the decode (default 0xFFFFFFFF)\n"
    "  encode CATALOG [--channel N] FBLOCK.INST.FKT.OP [NAME=TEXT ... | --inputs\n"
    "         TEXT ...] [--json]\n"
    "        make a payload: NAME=TEXT sets a value by its symbolic identifier\n"
    "        (Data.Band[2].Level=-3) starting from the default payload; --inputs\n"
    "        assembles it from positional input texts. Prints the payload as hex\n"
    "        (--json: decoded, as decode --json shows it, with \"payload\")\n"
    "  generate OUT.xml [--seed N] [--size BYTES]\n"
    "        write a synthetic catalog, deterministic from seed and size (1 to\n"
    "        1073741824 bytes; default 65536)\n"
    "  help  show this text\n"
    "\n"
    "options:\n"
    "  --settings DIR   the folder that holds the profile Tarvex.ini\n"
    "  --channel N      the bus channel to open the catalog on and to decode or\n"
    "                   encode on: 1 to 16, or 0 for every channel (the default)\n"
    "  --version        print the library version\n"
    "\n"
    "list and dump write no log file; a failed import tells its first reason on\n"
    "standard error (mostfcat import writes the whole log).\n"
    "\n"
    "exit status: 0 success; 1 the import failed (with --strict: logged an error),\n"
    "a filter matched nothing or an input did not fit; 2 a usage error or a file\n"
    "that cannot be read\n";

const std::vector<OptionDef> kChannelOption = {{"--channel", true}};

// Reads the one catalog argument and the channel of an opening command.
std::string ReadOpenArgs(const std::string& command, const CommandArgs& a, OpenRequest& request) {
    if (a.plain.empty()) return command + " needs a catalog file";
    if (a.plain.size() > 1) return command + ": unexpected argument '" + a.plain[1] + "'";
    request.catalog = a.plain[0];
    if (a.Has("--channel")) {
        std::string problem = ParseChannel(a.Get("--channel"), request.channel);
        if (!problem.empty()) return command + ": " + problem;
    }
    return std::string();
}

std::vector<OptionDef> With(std::vector<OptionDef> options) {
    options.insert(options.end(), kChannelOption.begin(), kChannelOption.end());
    return options;
}

// ---------------------------------------------------------------------------
// import

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
    YPathParts p = SplitPath(FullPath(catalog));
    return MakePath(p.drive, p.directory, p.name, ".vfc");
}

// Prints what an import from the XML file gave.
void PrintImported(const OpenedCatalog& opened) {
    const YImportReport& report = opened.Import();
    const std::string& catalog = opened.Request().catalog;
    std::printf("%s\n", report.CounterLine().c_str());
    std::string damage = ImportDamage(report, opened.Catalog());
    if (!damage.empty())
        std::printf("import errors: %s%s\n", damage.c_str(),
                    report.logWritten ? " (see the log)" : "");
    if (!opened.CacheFailure().path.empty())
        std::printf("%s: imported from XML; cache not written\n", catalog.c_str());
    else if (YImportState::Instance().importOptim)
        std::printf("%s: imported from XML, cache written to %s\n", catalog.c_str(),
                    CachePathOf(catalog).c_str());
    else
        std::printf("%s: imported from XML (cache off)\n", catalog.c_str());
    if (report.logWritten) std::printf("log: %s\n", report.logPath.c_str());
}

int CmdImport(const std::vector<std::string>& args) {
    CommandArgs a;
    std::string problem = ParseArgs(
        "import", args, With({{"--log", true}, {"--no-log", false}, {"--strict", false}}), a);
    OpenRequest request;
    if (problem.empty()) problem = ReadOpenArgs("import", a, request);
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
    int rc = OpenForCommand(request, opened);
    if (rc == kExitFailed && opened.Import().summaryWritten)
        std::printf("%s\n", opened.Import().CounterLine().c_str());
    if (rc != kExitOk) return rc;

    if (opened.Source() == YFCatPool::Source::CacheFile) {
        std::string cache = CachePathOf(request.catalog);
        std::printf("%s: loaded from the cache %s (the XML file was not imported)\n",
                    request.catalog.c_str(), cache.c_str());
        std::string logPath =
            request.logPath.empty() ? DefaultLogPath(request.catalog) : request.logPath;
        std::string counters = CountsOfCacheImport(logPath, FullPath(request.catalog), cache);
        if (!counters.empty()) {
            std::printf("counts of the import that wrote the cache (%s): %s\n", logPath.c_str(),
                        counters.c_str());
            if (strict && LoggedErrors(counters) != 0) {
                PrintError(StrFormat("--strict: the import logged %u error%s",
                                     LoggedErrors(counters),
                                     LoggedErrors(counters) == 1 ? "" : "s"));
                return kExitFailed;
            }
            return kExitOk;
        }
        std::printf(
            "the cache holds no counts, and no log of the import that wrote it was found\n");
        if (!strict) return kExitOk;
        // --strict needs the counts: the XML file is imported once more, with
        // the cache neither read nor written.
        opened.Close();
        YFCatPool::Instance().Clear();
        YImportState::Instance().importOptim = false;
        std::printf("--strict: importing the XML file again to count its errors\n");
        rc = OpenForCommand(request, opened);
        if (rc == kExitFailed && opened.Import().summaryWritten)
            std::printf("%s\n", opened.Import().CounterLine().c_str());
        if (rc != kExitOk) return rc;
    }
    PrintImported(opened);
    uint32_t logged = opened.Import().loggedErrorCount;
    if (strict && logged != 0) {
        PrintError(
            StrFormat("--strict: the import logged %u error%s", logged, logged == 1 ? "" : "s"));
        return kExitFailed;
    }
    return kExitOk;
}

// ---------------------------------------------------------------------------
// list and dump

int CmdList(const std::vector<std::string>& args) {
    CommandArgs a;
    std::string problem = ParseArgs("list", args,
                                    With({{"--fblock", true},
                                          {"--function", true},
                                          {"--json", false},
                                          {"--all", false},
                                          {"--verbose", false}}),
                                    a);
    OpenRequest request;
    if (problem.empty()) problem = ReadOpenArgs("list", a, request);
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
    bool matched;
    if (a.Has("--json")) {
        Json outline;
        matched = ListCatalogJson(*opened.Catalog(), options, outline);
        if (matched) PrintJson(outline, stdout, 2);
    } else {
        std::string text;
        matched = ListCatalog(*opened.Catalog(), options, text);
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

int CmdDump(const std::vector<std::string>& args) {
    CommandArgs a;
    std::string problem = ParseArgs("dump", args, With({{"--out", true}}), a);
    OpenRequest request;
    if (problem.empty()) problem = ReadOpenArgs("dump", a, request);
    if (problem.empty() && a.Has("--out") && a.Get("--out").empty())
        problem = "dump: --out needs a file name";
    if (!problem.empty()) return UsageError(problem);
    OpenedCatalog opened;
    int rc = OpenForCommand(request, opened);
    if (rc != kExitOk) return rc;
    YImportLog log;
    std::string out = a.Get("--out");
    if (out.empty()) {
        log.AttachDumpStream(stdout);
    } else if (!log.OpenDumpFile(out)) {
        PrintError("cannot write " + out + ": " + std::strerror(errno));
        return kExitUsage;
    }
    YImportContext ctx;
    opened.Catalog()->Dump(ctx, log);
    std::fflush(stdout);
    return kExitOk;
}

// ---------------------------------------------------------------------------
// generate

// Reads an unsigned decimal (or "0x" hexadecimal) number; no sign.
bool ReadCount(const std::string& text, unsigned long long& value) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, 0);
    return end && !*end && errno == 0;
}

int CmdGenerate(const std::vector<std::string>& args) {
    // The catalog is built in memory before it is written.
    constexpr unsigned long long kMaxSize = 1ull << 30;
    CommandArgs a;
    std::string problem = ParseArgs("generate", args, {{"--seed", true}, {"--size", true}}, a);
    if (problem.empty() && a.plain.empty()) problem = "generate needs an output file";
    if (problem.empty() && a.plain.size() > 1)
        problem = "generate: unexpected argument '" + a.plain[1] + "'";
    unsigned long long seed = 1, size = 65536;
    if (problem.empty() && a.Has("--seed") && !ReadCount(a.Get("--seed"), seed))
        problem = "generate: --seed takes a number from 0 up, not '" + a.Get("--seed") + "'";
    if (problem.empty() && a.Has("--size") &&
        (!ReadCount(a.Get("--size"), size) || size == 0 || size > kMaxSize))
        problem = StrFormat("generate: --size takes 1 to %llu bytes, not '%s'", kMaxSize,
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

// ---------------------------------------------------------------------------
// the demo

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

int Demo() {
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
    YImportState& state = YImportState::Instance();
    if (!state.profileLoaded) state.ReadProfile();
    state.importOptim = false;
    std::printf("mostfcat demo: the bundled sample catalog\n%s\n", sample.c_str());
    OpenRequest request;
    request.catalog = sample;
    OpenedCatalog opened;
    int rc = OpenForCommand(request, opened);
    if (rc != kExitOk) return rc;
    std::printf("%s\n\n", opened.Import().CounterLine().c_str());
    std::string text;
    ListCatalog(*opened.Catalog(), ListOptions(), text);
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

int Help(const std::vector<std::string>&) {
    std::fputs(kHelp, stdout);
    return kExitOk;
}

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
};

// Every command with its entry point.
const Command kCommands[] = {
    {"import", CmdImport}, {"list", CmdList},         {"dump", CmdDump}, {"decode", CmdDecode},
    {"encode", CmdEncode}, {"generate", CmdGenerate}, {"help", Help},
};

} // namespace

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--settings") {
                if (i + 1 >= argc) return UsageError("--settings needs a folder");
                YImportState::Instance().SetSettingsFolder(argv[++i]);
            } else if (a.rfind("--settings=", 0) == 0) {
                YImportState::Instance().SetSettingsFolder(a.substr(11));
            } else if (a == "--help" || a == "-h") {
                return Help(args);
            } else if (a == "--version") {
                std::printf("mostfcat %s (importer %s, object interface 3.0)\n", MOSTFCAT_VERSION,
                            kImporterVersion);
                return kExitOk;
            } else {
                args.push_back(a);
            }
        }
        if (args.empty()) return Demo();
        std::string name = args.front();
        args.erase(args.begin());
        for (const Command& c : kCommands)
            if (name == c.name) return c.run(args);
        if (!name.empty() && name[0] == '-') return UsageError("unknown option '" + name + "'");
        return UsageError("unknown command '" + name + "'");
    } catch (const std::exception& e) {
        PrintError(std::string("internal error: ") + e.what());
        return kExitFailed;
    }
}
