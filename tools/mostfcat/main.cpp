// mostfcat: the command-line face of the library.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "import/import_context.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "platform/paths.h"
#include "tree/catalog.h"
#include "tree/xml_import.h"

using namespace mostfcat;

namespace {

const char* const kUsage =
    "usage: mostfcat [--settings DIR] [COMMAND ARGS...]\n"
    "\n"
    "Without a command, imports the bundled sample catalog and shows its tree.\n"
    "\n"
    "commands:\n"
    "  import CATALOG [--log FILE | --no-log]\n"
    "        import a catalog XML file, print the log's counters and where the\n"
    "        log was written (default: the catalog path with the extension .log)\n"
    "  dump CATALOG [--out FILE]\n"
    "        import a catalog and write its tree dump to standard output or\n"
    "        append it to FILE\n"
    "  help  show this text\n"
    "\n"
    "options:\n"
    "  --settings DIR   read the profile Tarvex.ini from DIR\n"
    "\n"
    "exit status: 0 success, 1 the import failed, 2 usage error or unreadable file\n";

int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "mostfcat: %s\n\n", problem);
    std::fputs(kUsage, problem ? stderr : stdout);
    return 2;
}

std::string DefaultLogPath(const std::string& catalog) {
    YPathParts p = SplitPath(catalog);
    return MakePath(p.drive, p.directory, p.name, ".log");
}

struct Loaded {
    uint32_t status = 2;
    YMTCatalog* catalog = nullptr;
};

Loaded Load(const std::string& path, const std::string& logPath) {
    YImportState& state = YImportState::Instance();
    if (!state.profileLoaded) state.ReadProfile();
    state.validationMode = 4; // the profile decides
    state.logPath = logPath;
    std::string full = FullPath(path);
    YFileStatus st;
    GetFileStatus(full, st);
    YImportResult r = ImportXmlFile(state, full, st.modTime);
    return {r.status, r.catalog};
}

int CmdImport(const std::vector<std::string>& args) {
    std::string catalog, logPath;
    bool noLog = false, logGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--log" && i + 1 < args.size()) {
            logPath = args[++i];
            logGiven = true;
        } else if (args[i] == "--no-log") {
            noLog = true;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return Usage(("unknown option " + args[i]).c_str());
        } else if (catalog.empty()) {
            catalog = args[i];
        } else {
            return Usage("import takes one catalog");
        }
    }
    if (catalog.empty()) return Usage("import needs a catalog file");
    if (noLog && logGiven) return Usage("--log and --no-log exclude each other");
    if (!IsFileReadable(catalog)) {
        std::fprintf(stderr, "mostfcat: cannot read %s\n", catalog.c_str());
        return 2;
    }
    if (!noLog && !logGiven) logPath = DefaultLogPath(catalog);

    Loaded l = Load(catalog, noLog ? std::string() : logPath);
    if (l.status == 2) {
        std::fprintf(stderr, "mostfcat: cannot read %s\n", catalog.c_str());
        return 2;
    }
    // The counter line of the log's summary.
    std::string line;
    if (!noLog) {
        FILE* f = std::fopen(logPath.c_str(), "r");
        char buf[4096];
        while (f && std::fgets(buf, sizeof buf, f))
            if (std::strncmp(buf, "fatal errors:", 13) == 0) line = buf;
        if (f) std::fclose(f);
    }
    if (!line.empty()) std::fputs(line.c_str(), stdout);
    std::printf("%s: %s\n", catalog.c_str(), l.status == 0 ? "imported" : "import failed");
    if (!noLog) std::printf("log: %s\n", logPath.c_str());
    delete l.catalog;
    return l.status == 0 ? 0 : 1;
}

int DumpTo(YMTCatalog& catalog, const std::string& outFile) {
    YImportLog log;
    if (outFile.empty()) {
        log.AttachDumpStream(stdout);
    } else if (!log.OpenDumpFile(outFile)) {
        std::fprintf(stderr, "mostfcat: cannot write %s\n", outFile.c_str());
        return 2;
    }
    YImportContext ctx;
    catalog.Dump(ctx, log);
    std::fflush(stdout);
    return 0;
}

int CmdDump(const std::vector<std::string>& args) {
    std::string catalog, out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size()) {
            out = args[++i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            return Usage(("unknown option " + args[i]).c_str());
        } else if (catalog.empty()) {
            catalog = args[i];
        } else {
            return Usage("dump takes one catalog");
        }
    }
    if (catalog.empty()) return Usage("dump needs a catalog file");
    if (!IsFileReadable(catalog)) {
        std::fprintf(stderr, "mostfcat: cannot read %s\n", catalog.c_str());
        return 2;
    }
    Loaded l = Load(catalog, std::string());
    if (!l.catalog) {
        std::fprintf(stderr, "mostfcat: import of %s failed\n", catalog.c_str());
        return l.status == 2 ? 2 : 1;
    }
    int rc = DumpTo(*l.catalog, out);
    delete l.catalog;
    return rc;
}

int Demo() {
    std::string sample = MOSTFCAT_SAMPLE_CATALOG;
    std::printf("mostfcat demo: the bundled sample catalog\n%s\n\n", sample.c_str());
    Loaded l = Load(sample, std::string());
    if (!l.catalog) {
        std::fprintf(stderr, "mostfcat: import of the sample catalog failed\n");
        return 1;
    }
    int rc = DumpTo(*l.catalog, std::string());
    delete l.catalog;
    return rc;
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
                return Usage(nullptr), 0;
            } else {
                args.push_back(a);
            }
        }
        if (args.empty()) return Demo();
        std::string cmd = args.front();
        args.erase(args.begin());
        if (cmd == "import") return CmdImport(args);
        if (cmd == "dump") return CmdDump(args);
        if (cmd == "help") return Usage(nullptr), 0;
        return Usage(("unknown command " + cmd).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mostfcat: %s\n", e.what());
        return 2;
    }
}
