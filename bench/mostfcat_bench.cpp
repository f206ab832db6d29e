// Import, cache and manager timings on synthetic catalogs of about 1, 10 and
// 50 MB, with a plain DOM parse of the same files as the floor. The catalogs
// are generated into a temporary folder at start-up. After the usual output a
// table of ratios measured in this very run is printed; it is based on CPU
// time, which other work on a shared machine disturbs less than real time.
//
// Every benchmark reports bytes_per_second over the XML size, the XML and
// cache sizes, and the growth of the peak resident set while it ran.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cache/archive_io.h"
#include "cache/fcat_file.h"
#include "generator/catalog_generator.h"
#include "import/import_state.h"
#include "import/xml.h"
#include "manager/pool.h"
#include "mostfcat/fct.h"
#include "platform/arena.h"
#include "platform/paths.h"
#include "tree/catalog.h"
#include "tree/xml_import.h"

namespace {

namespace fs = std::filesystem;
using namespace mostfcat;

constexpr uint64_t kSeed = 20240917;

struct Corpus {
    std::string label;
    std::string path;      // the XML file
    std::string cachePath; // its ".vfc" beside it
    uint64_t xmlSize = 0;
    uint64_t xmlTime = 0;
    uint64_t cacheSize = 0;
    double treeImportBytes = 0;    // resident-set growth of an imported tree
    double treeLoadBytes = 0;      // the same for a tree read from the cache
    double layoutBytes = 0;        // the same for every operation's compiled layout
    uint32_t layouts = 0;          // operations with a compiled layout
    YMTCatalog* catalog = nullptr; // imported once: what the cache-save runs write
};

std::vector<std::unique_ptr<Corpus>> g_Corpora;
std::string g_Folder;
std::string g_Settings;

// --- memory --------------------------------------------------------------------

// A "VmRSS"-style value of /proc/self/status in bytes; 0 when unreadable.
uint64_t StatusBytes(const char* key) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    uint64_t value = 0;
    const size_t n = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, n) == 0 && line[n] == ':') {
            value = std::strtoull(line + n + 1, nullptr, 10) * 1024;
            break;
        }
    std::fclose(f);
    return value;
}

// The resident set with freed heap memory (and the large regions kept for
// the next tree) handed back first, so that what a finished step left behind
// does not count.
uint64_t SettledRss() {
    malloc_trim(0);
    return StatusBytes("VmRSS");
}

// Growth of the peak resident set over the lifetime of the object: the
// kernel's high-water mark is set back to the current size at the start.
class PeakMeter {
public:
    PeakMeter() {
        m_Base = SettledRss();
        if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
    }
    double Growth() const {
        uint64_t peak = StatusBytes("VmHWM");
        return peak > m_Base ? double(peak - m_Base) : 0.0;
    }

private:
    uint64_t m_Base = 0;
};

// --- library steps ----------------------------------------------------------------

// The default settings, a settings folder without a profile, no log file.
YImportState& DefaultState() {
    YImportState& st = YImportState::Instance();
    st.ResetSettings();
    st.SetSettingsFolder(g_Settings);
    st.ReadProfile();
    st.logPath.clear();
    st.validationMode = 1;
    return st;
}

YMTCatalog* Import(const Corpus& c) {
    YImportResult r = ImportXmlFile(YImportState::Instance(), c.path, c.xmlTime);
    if (r.status == 0) return r.catalog;
    delete r.catalog;
    return nullptr;
}

// Writes and reads the cache the way the catalog pool does.
bool SaveCache(const Corpus& c, YMTCatalog* catalog) {
    const YImportState& st = YImportState::Instance();
    YFCatFile file(c.path, false, nullptr, 0);
    if (!file.OpenWrite(st.useDefaultErrorParameters ? 1 : 0, st.options)) return false;
    YMTArchiveWrite writer(file);
    bool saved = SaveCatalog(writer, catalog, file);
    return file.Close() && saved;
}

YMTCatalog* LoadCache(const Corpus& c) {
    const YImportState& st = YImportState::Instance();
    YFCatFile file(c.path, false, nullptr, 0);
    if (!file.OpenRead(true, st.useDefaultErrorParameters ? 1 : 0, st.options)) return nullptr;
    YMTArchiveRead reader(file);
    YMTCatalog* catalog = LoadCatalog(reader, file);
    file.Close();
    return catalog;
}

bool EnsureCache(Corpus& c) {
    if (!fs::exists(c.cachePath) && !SaveCache(c, c.catalog)) return false;
    c.cacheSize = fs::file_size(c.cachePath);
    return true;
}

uint64_t NewManager() {
    uint64_t handle = 0;
    gFctCreateFCatManager(&handle, "bench");
    return handle;
}

uint32_t OpenInManager(uint64_t manager, const Corpus& c) {
    char name[64];
    return gFctOpenNamedFCat(manager, c.path.c_str(), 1, "bench", name, sizeof name);
}

void Report(benchmark::State& state, const Corpus& c, const PeakMeter& peak) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.xmlSize));
    double growth = peak.Growth();
    state.counters["xml_MB"] = double(c.xmlSize) / 1e6;
    state.counters["cache_MB"] = double(c.cacheSize) / 1e6;
    state.counters["peak_rss_MB"] = growth / 1e6;
    state.counters["peak_rss/xml"] = growth / double(c.xmlSize);
}

// --- benchmarks ----------------------------------------------------------------------

// The floor: a DOM parse of the file without validation, nothing built.
void BM_XmlParse(benchmark::State& state, Corpus* c) {
    PeakMeter peak;
    for (auto _ : state) {
        xercesc::XercesDOMParser parser;
        parser.setValidationScheme(xercesc::XercesDOMParser::Val_Never);
        parser.setDoNamespaces(false);
        parser.setLoadExternalDTD(false);
        parser.parse(c->path.c_str());
        if (!parser.getDocument() || parser.getErrorCount() != 0) {
            state.SkipWithError("parse failed");
            break;
        }
    }
    Report(state, *c, peak);
}

void BM_Import(benchmark::State& state, Corpus* c) {
    DefaultState();
    PeakMeter peak;
    for (auto _ : state) {
        YMTCatalog* catalog = Import(*c);
        state.PauseTiming();
        bool ok = catalog != nullptr;
        delete catalog;
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("import failed");
            break;
        }
    }
    Report(state, *c, peak);
}

void BM_CacheSave(benchmark::State& state, Corpus* c) {
    DefaultState();
    PeakMeter peak;
    for (auto _ : state) {
        if (!SaveCache(*c, c->catalog)) {
            state.SkipWithError("cache write failed");
            break;
        }
    }
    c->cacheSize = fs::file_size(c->cachePath);
    Report(state, *c, peak);
}

// Loading a tree from the cache and deleting it again; only one of the two
// steps is timed: the load, or the delete (what the pool pays when it drops
// or replaces a catalog).
template <bool TimeDelete> void CacheRound(benchmark::State& state, Corpus* c) {
    DefaultState();
    if (!EnsureCache(*c)) {
        state.SkipWithError("no cache file");
        return;
    }
    PeakMeter peak;
    for (auto _ : state) {
        // Timing runs around the step that is measured only.
        if (TimeDelete) state.PauseTiming();
        YMTCatalog* catalog = LoadCache(*c);
        if (TimeDelete)
            state.ResumeTiming();
        else
            state.PauseTiming();
        bool ok = catalog != nullptr;
        delete catalog;
        if (!TimeDelete) state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("cache load failed");
            break;
        }
    }
    Report(state, *c, peak);
}

// Compiling every operation's layout of a tree just read from the cache
// (what a host that asks for it pays once after an open).
void BM_CompileLayouts(benchmark::State& state, Corpus* c) {
    DefaultState();
    if (!EnsureCache(*c)) {
        state.SkipWithError("no cache file");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        YMTCatalog* catalog = LoadCache(*c);
        state.ResumeTiming();
        uint32_t ready = catalog ? catalog->CompileLayouts() : 0;
        state.PauseTiming();
        delete catalog;
        state.ResumeTiming();
        if (ready == 0) {
            state.SkipWithError("nothing compiled");
            break;
        }
    }
}

// Opens through a fresh manager; `prepare` runs untimed before each open and
// `expected` is where the pool must have found the catalog.
template <class Prepare>
void ManagerOpen(benchmark::State& state, Corpus* c, YFCatPool::Source expected, Prepare prepare) {
    YFCatPool& pool = YFCatPool::Instance();
    PeakMeter peak;
    for (auto _ : state) {
        state.PauseTiming();
        prepare();
        uint64_t manager = NewManager();
        state.ResumeTiming();
        uint32_t status = OpenInManager(manager, *c);
        state.PauseTiming();
        bool ok = status == MOSTFCAT_OK && pool.LastSource() == expected;
        gFctDestroyFCatManager(manager);
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("open failed or took another road");
            break;
        }
    }
    Report(state, *c, peak);
}

// No cache file and nothing in memory: XML import plus cache write.
void BM_ManagerCold(benchmark::State& state, Corpus* c) {
    DefaultState();
    ManagerOpen(state, c, YFCatPool::Source::XmlImport, [c] {
        YFCatPool::Instance().Clear();
        fs::remove(c->cachePath);
    });
    YFCatPool::Instance().Clear();
}

// A current cache file and an empty pool.
void BM_ManagerFromCache(benchmark::State& state, Corpus* c) {
    DefaultState();
    if (!EnsureCache(*c)) {
        state.SkipWithError("no cache file");
        return;
    }
    ManagerOpen(state, c, YFCatPool::Source::CacheFile, [] { YFCatPool::Instance().Clear(); });
    YFCatPool::Instance().Clear();
}

// Another manager holds the catalog: the pool hands out the same tree.
void BM_ManagerReuse(benchmark::State& state, Corpus* c) {
    DefaultState();
    EnsureCache(*c);
    YFCatPool::Instance().Clear();
    uint64_t holder = NewManager();
    if (OpenInManager(holder, *c) != MOSTFCAT_OK) {
        state.SkipWithError("first open failed");
    } else {
        ManagerOpen(state, c, YFCatPool::Source::InMemory, [] {});
    }
    gFctDestroyFCatManager(holder);
    YFCatPool::Instance().Clear();
}

// --- set-up ---------------------------------------------------------------------------

bool Prepare() {
    char folder[] = "/tmp/mostfcat_bench_XXXXXX";
    if (!mkdtemp(folder)) return false;
    g_Folder = folder;
    g_Settings = g_Folder + "/settings";
    fs::create_directory(g_Settings);
    DefaultState();
    std::string message;
    if (!InitXmlLibrary(message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return false;
    }
    struct Size {
        const char* label;
        uint64_t bytes;
    };
    for (Size s : {Size{"1MB", 1000000}, Size{"10MB", 10000000}, Size{"50MB", 50000000}}) {
        auto c = std::make_unique<Corpus>();
        c->label = s.label;
        c->path = g_Folder + "/catalog_" + s.label + ".xml";
        c->cachePath = g_Folder + "/catalog_" + s.label + ".vfc";
        auto t0 = std::chrono::steady_clock::now();
        if (!GenerateCatalogFile(c->path, kSeed, s.bytes)) return false;
        double genSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        YFileStatus st;
        GetFileStatus(c->path, st);
        c->xmlSize = st.size;
        c->xmlTime = st.modTime;

        // The trees' own memory, each in a pass of its own.
        uint64_t before = SettledRss();
        c->catalog = Import(*c);
        if (!c->catalog) {
            std::fprintf(stderr, "import of %s failed\n", c->path.c_str());
            return false;
        }
        c->treeImportBytes = double(SettledRss()) - double(before);
        if (!SaveCache(*c, c->catalog)) return false;
        c->cacheSize = fs::file_size(c->cachePath);
        before = SettledRss();
        YMTCatalog* loaded = LoadCache(*c);
        c->treeLoadBytes = double(SettledRss()) - double(before);
        before = SettledRss();
        c->layouts = loaded ? loaded->CompileLayouts() : 0;
        c->layoutBytes = double(SettledRss()) - double(before);
        delete loaded;
        std::printf("%-5s %10llu bytes of XML generated in %.2f s (seed %llu)\n", s.label,
                    (unsigned long long)c->xmlSize, genSeconds, (unsigned long long)kSeed);
        g_Corpora.push_back(std::move(c));
    }
    std::fflush(stdout);
    return true;
}

void Register() {
    using Fn = void (*)(benchmark::State&, Corpus*);
    struct Entry {
        const char* name;
        Fn fn;
        bool fast; // microseconds per run: let the library choose the count
    };
    const Entry entries[] = {
        {"XmlParse", BM_XmlParse, false},         {"Import", BM_Import, false},
        {"CacheSave", BM_CacheSave, false},       {"CacheLoad", CacheRound<false>, false},
        {"CacheDelete", CacheRound<true>, false}, {"CompileLayouts", BM_CompileLayouts, false},
        {"ManagerCold", BM_ManagerCold, false},   {"ManagerFromCache", BM_ManagerFromCache, false},
        {"ManagerReuse", BM_ManagerReuse, true}};
    for (const Entry& e : entries) {
        for (auto& c : g_Corpora) {
            Corpus* corpus = c.get();
            Fn fn = e.fn;
            auto* b =
                benchmark::RegisterBenchmark((std::string(e.name) + "/" + c->label).c_str(),
                                             [fn, corpus](benchmark::State& s) { fn(s, corpus); });
            b->Unit(benchmark::kMillisecond)->UseRealTime();
            if (e.fast)
                b->MinTime(0.2);
            else if (corpus->xmlSize > 30000000)
                b->Iterations(2);
            else if (corpus->xmlSize > 5000000)
                b->Iterations(4);
            else
                b->MinTime(0.5);
        }
    }
}

// --- the ratio table ---------------------------------------------------------------------

class RatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred && r.iterations > 0) {
                m_Seconds[r.run_name.function_name] = r.cpu_accumulated_time / double(r.iterations);
                auto peak = r.counters.find("peak_rss/xml");
                if (peak != r.counters.end())
                    m_PeakPerXml[r.run_name.function_name] = peak->second.value;
            }
        ConsoleReporter::ReportRuns(runs);
    }
    // CPU seconds per run of a benchmark (the machine may be shared, which
    // the real time would show); negative when it did not run.
    double Seconds(const std::string& name) const {
        auto it = m_Seconds.find(name);
        return it == m_Seconds.end() ? -1.0 : it->second;
    }

    // Growth of the peak resident set while a benchmark ran, per XML byte;
    // negative when it did not run.
    double PeakPerXml(const std::string& name) const {
        auto it = m_PeakPerXml.find(name);
        return it == m_PeakPerXml.end() ? -1.0 : it->second;
    }

private:
    std::map<std::string, double> m_Seconds;
    std::map<std::string, double> m_PeakPerXml;
};

void PrintTable(const RatioReporter& reporter) {
    auto time = [&](const char* name, const Corpus& c) {
        return reporter.Seconds(std::string(name) + "/" + c.label);
    };
    auto ms = [](double s) { return s < 0 ? -1.0 : s * 1e3; };
    auto ratio = [](double a, double b) { return a < 0 || b <= 0 ? -1.0 : a / b; };
    std::printf("\nRatios measured in this run (CPU time per operation):\n\n");
    std::printf("| %-40s |", "");
    for (auto& c : g_Corpora)
        std::printf(" %10s |", c->label.c_str());
    std::printf("\n|%s|", std::string(42, '-').c_str());
    for (size_t i = 0; i < g_Corpora.size(); ++i)
        std::printf("%s|", std::string(12, '-').c_str());
    std::printf("\n");
    auto line = [&](const char* title, const char* format, auto value) {
        std::printf("| %-40s |", title);
        for (auto& c : g_Corpora) {
            double v = value(*c);
            if (v < 0)
                std::printf(" %10s |", "n/a");
            else
                std::printf(format, v);
        }
        std::printf("\n");
    };
    auto t = [&](const char* name) {
        return [&, name](const Corpus& c) { return ms(time(name, c)); };
    };
    auto r = [&](const char* a, const char* b) {
        return [&, a, b](const Corpus& c) { return ratio(time(a, c), time(b, c)); };
    };
    line("XML size (MB)", " %10.2f |", [](const Corpus& c) { return double(c.xmlSize) / 1e6; });
    line("XML parse only (ms)", " %10.1f |", t("XmlParse"));
    line("import (ms)", " %10.1f |", t("Import"));
    line("import / parse", " %10.2f |", r("Import", "XmlParse"));
    line("cache save (ms)", " %10.1f |", t("CacheSave"));
    line("cache load (ms)", " %10.1f |", t("CacheLoad"));
    line("cache load / import", " %10.3f |", r("CacheLoad", "Import"));
    line("import / cache load (times faster)", " %10.1f |", r("Import", "CacheLoad"));
    line("cache size / XML size", " %10.3f |",
         [](const Corpus& c) { return double(c.cacheSize) / double(c.xmlSize); });
    line("tree memory / XML size (imported)", " %10.2f |",
         [](const Corpus& c) { return c.treeImportBytes / double(c.xmlSize); });
    line("tree memory / XML size (from cache)", " %10.2f |",
         [](const Corpus& c) { return c.treeLoadBytes / double(c.xmlSize); });
    auto peak = [&](const char* name) {
        return [&, name](const Corpus& c) {
            return reporter.PeakPerXml(std::string(name) + "/" + c.label);
        };
    };
    line("peak memory while importing / XML size", " %10.2f |", peak("Import"));
    line("peak memory while loading cache / XML size", " %10.2f |", peak("CacheLoad"));
    line("delete of a loaded catalog (ms)", " %10.2f |", t("CacheDelete"));
    line("delete / cache load (%)", " %10.1f |", [&](const Corpus& c) {
        double v = ratio(time("CacheDelete", c), time("CacheLoad", c));
        return v < 0 ? v : v * 100.0;
    });
    line("compile every layout (ms)", " %10.1f |", t("CompileLayouts"));
    line("compile every layout / cache load", " %10.2f |", r("CompileLayouts", "CacheLoad"));
    line("operations with a compiled layout", " %10.0f |",
         [](const Corpus& c) { return double(c.layouts); });
    line("layout memory / tree memory (from cache)", " %10.2f |",
         [](const Corpus& c) { return c.layoutBytes / c.treeLoadBytes; });
    line("manager open, cold (ms)", " %10.1f |", t("ManagerCold"));
    line("manager open, from cache (ms)", " %10.1f |", t("ManagerFromCache"));
    line("manager open, reuse (ms)", " %10.4f |", t("ManagerReuse"));
    line("manager cold / from cache", " %10.1f |", r("ManagerCold", "ManagerFromCache"));
    line("manager from cache / reuse", " %10.0f |", r("ManagerFromCache", "ManagerReuse"));
    line("manager cold / import", " %10.2f |", r("ManagerCold", "Import"));
    std::fflush(stdout);
}

void Cleanup() {
    YFCatPool::Instance().Clear();
    for (auto& c : g_Corpora)
        delete c->catalog;
    g_Corpora.clear();
    std::error_code ec;
    if (!g_Folder.empty()) fs::remove_all(g_Folder, ec);
}

} // namespace

int main(int argc, char** argv) {
    // The display options of the default reporter, for our own one.
    int options = isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color : 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--benchmark_counters_tabular" || arg == "--benchmark_counters_tabular=true")
            options |= benchmark::ConsoleReporter::OO_Tabular;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!Prepare()) {
        std::fprintf(stderr, "set-up failed\n");
        Cleanup();
        return 1;
    }
    Register();
    RatioReporter reporter(static_cast<benchmark::ConsoleReporter::OutputOptions>(options));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable(reporter);
    benchmark::Shutdown();
    Cleanup();
    return 0;
}
