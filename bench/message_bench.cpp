// Message-layer timings: decoding payloads into descriptions (all texts, and
// numeric values only), building message instances from the same payloads,
// editing one value of a 100-value message and rendering hex dumps. The
// payloads are random bytes of realistic lengths for every operation of a
// generated catalog (every parameter type); the decode is timed again on
// random bytes of each operation's default length, which fit its layout as
// most real payloads do. A table of figures and ratios measured in this very
// run (CPU time) is printed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "generator/catalog_generator.h"
#include "import/import_state.h"
#include "manager/manager.h"
#include "message/mesg_info.h"
#include "mostfcat/fci.h"
#include "mostfcat/user_input.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace {

namespace fs = std::filesystem;
using namespace mostfcat;

struct Message {
    uint32_t fblock, inst, fkt, op;
    std::vector<uint8_t> payload;
};

std::unique_ptr<YFciFCatManagerImpl> g_Manager;
std::vector<Message> g_Messages;
// The same operations with payloads of their default length: random bytes
// that fit the layout, as most of a real trace does (random lengths make
// about a third of the entries length diagnostics).
std::vector<Message> g_Fitting;
std::string g_Folder;
// Entries (descriptions) and values (instances) of one pass over the messages.
double g_EntriesAll = 0, g_EntriesNumeric = 0, g_Values = 0, g_Bytes = 0, g_Unused = 0;
double g_FittingAll = 0, g_FittingNumeric = 0;
// Diagnostic entries of a pass with all texts, of each payload set.
double g_Diagnostics = 0, g_FittingDiagnostics = 0;

// A trace repeats its messages: each kind comes with this many payloads,
// decoded one after the other by the same description.
constexpr int kPayloadsPerMessage = 8;

constexpr uint32_t kAllTexts = 0xFFFFFFFF;
// Every message is decoded with the layout of its own instance (one the
// FBlock lacks: its default instance's), as the tool and the Python module
// decode it; the default rule would take the first instance's layout, which
// in FBlocks whose instances differ lacks some of the functions.
constexpr uint32_t kOwnInstance = 1;
// Without names, hex, decimal, value and unit texts, suffixes and heads.
constexpr uint32_t kNumericOnly = 0xFFFFFFFF & ~0x3F00u;

// An amplifier whose one operation holds an open array of 100 one-byte numbers.
const char* const kArrayCatalog = R"xml(<?xml version="1.0"?>
<FunctionCatalog><CatalogVersion><Release>1</Release></CatalogVersion>
<Definition>
 <TypeDef TypeID="type_unsigned_byte"><TDefName>UByte</TDefName><TDefSize>1</TDefSize></TypeDef>
 <UnitDef UnitID="unit_none"><UnitDefName>none</UnitDefName><UnitDefCode>0</UnitDefCode></UnitDef>
</Definition>
<FBlock><FBlockName>Eq</FBlockName><FBlockID>0x30</FBlockID>
 <Function><FunctionName>Bands</FunctionName><FunctionID>0x200</FunctionID>
  <FunctionClass ClassRef="class_array"><Property><PArray><PAParam><ParamName>Levels</ParamName>
   <PAParamType><TArray NMax="N (>=0)"><TArrayName>Level</TArrayName><TArrayElementType>
    <TNumber><BasisDataType><TUByte TypeRef="type_unsigned_byte"/></BasisDataType>
    <Exponent>0</Exponent><RangeMin>0</RangeMin><RangeMax>100</RangeMax><Step>1</Step>
    <Unit UnitRef="unit_none"/></TNumber></TArrayElementType></TArray></PAParamType>
   <PAParamOPType><PReportStatus><ParamPos>1</ParamPos></PReportStatus></PAParamOPType>
  </PAParam></PArray></Property></FunctionClass></Function></FBlock>
</FunctionCatalog>
)xml";

bool Prepare() {
    char pattern[] = "/tmp/mostfcat_msgbench_XXXXXX";
    if (!mkdtemp(pattern)) return false;
    g_Folder = pattern;
    YImportState& st = YImportState::Instance();
    st.SetSettingsFolder(g_Folder);
    g_Manager = std::make_unique<YFciFCatManagerImpl>();
    g_Manager->SetChannelCount(16);
    std::string catalog = g_Folder + "/generated.xml";
    std::string eq = g_Folder + "/eq.xml";
    if (!GenerateCatalogFile(catalog, 20240917, 1000000)) return false;
    std::ofstream(eq) << kArrayCatalog;
    std::string name;
    if (g_Manager->OpenFCatNamed(catalog, 1, name, 4, "") != 0) return false;
    name.clear();
    if (g_Manager->OpenFCatNamed(eq, 2, name, 4, "") != 0) return false;

    // Every operation of the generated catalog, each with a few payloads of
    // lengths that real messages of its kind have (mostly short).
    std::mt19937 rng(7);
    std::vector<size_t> lengths = {0, 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48};
    for (YMTCatalog* c : g_Manager->ChannelCatalogs(1))
        ForEachChild(*c, [&](uint32_t fb, YMTNode* f) {
            ForEachChild(*static_cast<YMTFBlock*>(f), [&](uint32_t in, YMTNode* i) {
                ForEachChild(*static_cast<YMTInstance*>(i), [&](uint32_t fk, YMTNode* fn) {
                    ForEachChild(*static_cast<YMTFunction*>(fn), [&](uint32_t op, YMTNode*) {
                        for (int k = 0; k < kPayloadsPerMessage; ++k) {
                            Message m{fb, in, fk, op, {}};
                            m.payload.resize(lengths[rng() % lengths.size()]);
                            for (auto& b : m.payload)
                                b = static_cast<uint8_t>(rng());
                            g_Messages.push_back(std::move(m));
                        }
                    });
                });
            });
        });
    for (const Message& m : g_Messages)
        g_Bytes += static_cast<double>(m.payload.size());

    // A generator of its own, so that the payloads above stay as they are
    // (the Python benchmark makes the same ones).
    std::mt19937 fitRng(11);
    for (size_t i = 0; i < g_Messages.size(); i += kPayloadsPerMessage) {
        const Message& m = g_Messages[i];
        std::unique_ptr<YFciMessage> defaults(
            g_Manager->CreateMessage(1, "", m.fblock, m.inst, kOwnInstance, m.fkt, m.op, 1));
        size_t length = defaults ? defaults->Data().size() : 0;
        for (int k = 0; k < kPayloadsPerMessage; ++k) {
            Message f{m.fblock, m.inst, m.fkt, m.op, std::vector<uint8_t>(length)};
            for (auto& b : f.payload)
                b = static_cast<uint8_t>(fitRng());
            g_Fitting.push_back(std::move(f));
        }
    }
    return !g_Messages.empty();
}

// Descriptions made once per message (coordinates resolve once), decoded
// again and again as a host decoding a trace does.
// compiled: through each operation's compiled layout, else over its
// parameter list.
// diagnostics, when given, receives the diagnostic entries of one pass.
void DecodeWith(benchmark::State& state, uint32_t options, double& entries, bool compiled = true,
                const std::vector<Message>& messages = g_Messages, double* diagnostics = nullptr) {
    std::vector<std::unique_ptr<YFciMesgInfo>> infos;
    for (size_t i = 0; i < messages.size(); i += kPayloadsPerMessage) {
        const Message& m = messages[i];
        infos.emplace_back(g_Manager->CreateMesgInfo(1, m.fblock, m.inst, m.fkt, m.op));
        infos.back()->SetInstFallback(kOwnInstance);
        infos.back()->SetOptions(options);
        static_cast<YFciMesgInfoImpl&>(*infos.back()).SetCompiledLayouts(compiled);
    }
    double count = 0;
    for (auto _ : state) {
        count = 0;
        for (size_t i = 0; i < messages.size(); ++i) {
            YFciMesgInfo& info = *infos[i / kPayloadsPerMessage];
            info.ClearParamInfos();
            info.SetData(messages[i].payload);
            count += static_cast<double>(info.Disassemble().size());
        }
    }
    entries = count;
    if (diagnostics) {
        *diagnostics = 0;
        for (size_t i = 0; i < messages.size(); ++i) {
            YFciMesgInfo& info = *infos[i / kPayloadsPerMessage];
            info.ClearParamInfos();
            info.SetData(messages[i].payload);
            for (const YFciParamInfo* e : info.Disassemble())
                *diagnostics += e->ParamType() == eFciParamDiagnostic ? 1.0 : 0.0;
        }
    }
    state.counters["entries"] = count;
}

void BM_DecodeAllTexts(benchmark::State& state) {
    DecodeWith(state, kAllTexts, g_EntriesAll, true, g_Messages, &g_Diagnostics);
}

void BM_DecodeAllTextsFitting(benchmark::State& state) {
    DecodeWith(state, kAllTexts, g_FittingAll, true, g_Fitting, &g_FittingDiagnostics);
}

void BM_DecodeNumericOnlyFitting(benchmark::State& state) {
    DecodeWith(state, kNumericOnly, g_FittingNumeric, true, g_Fitting);
}

void BM_DecodeNumericOnly(benchmark::State& state) {
    DecodeWith(state, kNumericOnly, g_EntriesNumeric);
}

void BM_DecodeAllTextsGeneric(benchmark::State& state) {
    DecodeWith(state, kAllTexts, g_Unused, false);
}

void BM_DecodeNumericOnlyGeneric(benchmark::State& state) {
    DecodeWith(state, kNumericOnly, g_Unused, false);
}

// The trace lines of the messages ("FB.II.FKT.OP:HEX"), decoded as the tool
// does (one description per message kind, output gathered in a buffer that
// is emptied at 64 KiB, as the tool writes it out).
std::vector<std::string> TraceLines() {
    std::vector<std::string> lines;
    for (const Message& m : g_Messages) {
        char head[40];
        std::snprintf(head, sizeof head, "%02X.%02X.%03X.%X:", m.fblock, m.inst, m.fkt, m.op);
        std::string line = head;
        for (uint8_t b : m.payload) {
            static const char kDigits[] = "0123456789ABCDEF";
            line += kDigits[b >> 4];
            line += kDigits[b & 0xF];
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void DecodeTrace(benchmark::State& state, YFciTraceDecoder::Format format) {
    std::vector<std::string> lines = TraceLines();
    YFciTraceDecoder decoder(g_Manager.get(), 1, kAllTexts, format);
    std::string out;
    double bytes = 0;
    for (auto _ : state) {
        for (const std::string& line : lines) {
            decoder.DecodeLine(line.data(), line.size(), out);
            if (out.size() >= (1 << 16)) {
                bytes += static_cast<double>(out.size());
                benchmark::DoNotOptimize(out.data());
                out.clear();
            }
        }
    }
    state.counters["out_bytes_per_pass"] =
        bytes / static_cast<double>(state.iterations() ? state.iterations() : 1);
}

void BM_TraceText(benchmark::State& state) {
    DecodeTrace(state, YFciTraceDecoder::eText);
}

void BM_TraceJson(benchmark::State& state) {
    DecodeTrace(state, YFciTraceDecoder::eJson);
}

// readFields: every leaf's sub-values are read too, which makes a bool's
// field values (otherwise made only when something asks for them).
void BuildInstances(benchmark::State& state, bool readFields) {
    std::vector<std::unique_ptr<YFciMessage>> messages;
    for (size_t i = 0; i < g_Messages.size(); i += kPayloadsPerMessage) {
        const Message& m = g_Messages[i];
        messages.emplace_back(
            g_Manager->CreateMessage(1, "", m.fblock, m.inst, kOwnInstance, m.fkt, m.op, 0));
    }
    double values = 0;
    for (auto _ : state) {
        values = 0;
        for (size_t i = 0; i < g_Messages.size(); ++i) {
            YFciMessage& message = *messages[i / kPayloadsPerMessage];
            message.SetData(g_Messages[i].payload.data(),
                            static_cast<uint32_t>(g_Messages[i].payload.size()));
            for (YFciParam* p : message.AllParams(false))
                values += readFields ? 1.0 + static_cast<double>(p->SubParamList().size()) : 1.0;
        }
    }
    if (!readFields) g_Values = values;
    state.counters["values"] = values;
}

void BM_MessageInstanceBuild(benchmark::State& state) {
    BuildInstances(state, false);
}

void BM_MessageInstanceBuildReadingFields(benchmark::State& state) {
    BuildInstances(state, true);
}

std::unique_ptr<YFciMessage> HundredValues() {
    std::vector<uint8_t> payload(100);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i);
    return std::unique_ptr<YFciMessage>(g_Manager->CreateMessage(
        2, "", 0x30, 0, 0, 0x200, 0xC, payload.data(), static_cast<uint32_t>(payload.size()), 0));
}

void BM_EditOneValue(benchmark::State& state) {
    std::unique_ptr<YFciMessage> m = HundredValues();
    YFciParam* p = m->GetParamBySymID("Levels.Level[50]");
    if (!p) {
        state.SkipWithError("no value Levels.Level[50]");
        return;
    }
    bool changed = false;
    int v = 0;
    for (auto _ : state) {
        p->SetUserInputStr(v ? "17" : "42", changed);
        benchmark::DoNotOptimize(m->HexdumpStr());
        v ^= 1;
    }
}

void BM_HexdumpStr(benchmark::State& state) {
    std::unique_ptr<YFciMessage> m = HundredValues();
    for (auto _ : state)
        benchmark::DoNotOptimize(m->HexdumpStr());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 100);
}

class Reporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;
    void ReportRuns(const std::vector<Run>& runs) override {
        // With --benchmark_repetitions the fastest repetition counts: on a
        // busy machine the others measure the machine, not the code.
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred && r.iterations > 0) {
                double seconds = r.cpu_accumulated_time / double(r.iterations);
                auto [it, added] = m_Seconds.emplace(r.run_name.function_name, seconds);
                if (!added && seconds < it->second) it->second = seconds;
            }
        ConsoleReporter::ReportRuns(runs);
    }
    double Seconds(const std::string& name) const {
        auto it = m_Seconds.find(name);
        return it == m_Seconds.end() ? -1.0 : it->second;
    }

private:
    std::map<std::string, double> m_Seconds;
};

void PrintTable(const Reporter& r) {
    double all = r.Seconds("BM_DecodeAllTexts"), num = r.Seconds("BM_DecodeNumericOnly");
    double allGeneric = r.Seconds("BM_DecodeAllTextsGeneric");
    double numGeneric = r.Seconds("BM_DecodeNumericOnlyGeneric");
    double allFit = r.Seconds("BM_DecodeAllTextsFitting");
    double numFit = r.Seconds("BM_DecodeNumericOnlyFitting");
    double build = r.Seconds("BM_MessageInstanceBuild");
    double buildFields = r.Seconds("BM_MessageInstanceBuildReadingFields");
    double edit = r.Seconds("BM_EditOneValue"), dump = r.Seconds("BM_HexdumpStr");
    double text = r.Seconds("BM_TraceText"), json = r.Seconds("BM_TraceJson");
    double n = static_cast<double>(g_Messages.size());
    std::printf("\nFigures and ratios measured in this run (CPU time; the fastest repetition of "
                "each), %zu messages, %.0f payload bytes:\n\n",
                g_Messages.size(), g_Bytes);
    auto row = [](const char* title, double v, const char* unit) {
        if (v < 0 || !std::isfinite(v))
            std::printf("| %-52s | %12s |\n", title, "n/a");
        else
            std::printf("| %-52s | %12.2f | %s\n", title, v, unit);
    };
    // A ratio of two figures, n/a (negative) when either was not measured
    // (a benchmark filter left it out).
    auto ratio = [](double a, double b) { return a < 0 || b <= 0 ? -1.0 : a / b; };
    row("decode, all texts: ns per entry", all * 1e9 / g_EntriesAll, "goal <= 70");
    row("decode, numeric values only: ns per entry", num * 1e9 / g_EntriesNumeric, "goal <= 15");
    row("over the parameter list, all texts: ns per entry", allGeneric * 1e9 / g_EntriesAll, "");
    row("over the parameter list, numeric only: ns per entry", numGeneric * 1e9 / g_EntriesNumeric,
        "");
    row("payloads that fit, all texts: ns per entry", allFit * 1e9 / g_FittingAll, "");
    row("payloads that fit, numeric only: ns per entry", numFit * 1e9 / g_FittingNumeric, "");
    row("diagnostic entries, random payloads: %", 100 * g_Diagnostics / g_EntriesAll, "");
    row("diagnostic entries, payloads that fit: %", 100 * g_FittingDiagnostics / g_FittingAll, "");
    row("parameter list / compiled layout, all texts", ratio(allGeneric, all), "");
    row("parameter list / compiled layout, numeric only", ratio(numGeneric, num), "");
    row("decode, all texts: ns per message", all * 1e9 / n, "");
    row("entries per message (all texts)", g_EntriesAll / n, "");
    row("trace lines as text (the tool's decode): ns per entry", text * 1e9 / g_EntriesAll, "");
    row("trace text / decode with all texts", ratio(text, all), "goal <= 2");
    row("trace --json / trace text", ratio(json, text), "goal <= 1.5");
    row("message instance build: ns per value", build * 1e9 / g_Values, "");
    row("message instance build / decode with all texts", ratio(build, all), "goal <= 3");
    row("  the same, every bool field value read as well", ratio(buildFields, all), "");
    row("SetUserInputStr + HexdumpStr, 100 values: ns", edit * 1e9, "");
    row("HexdumpStr: ns per byte", dump * 1e9 / 100, "");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    int options = isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color : 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!Prepare()) {
        std::fprintf(stderr, "set-up failed\n");
        return 1;
    }
    benchmark::RegisterBenchmark("BM_DecodeAllTexts", BM_DecodeAllTexts)->MinTime(1.0);
    benchmark::RegisterBenchmark("BM_DecodeNumericOnly", BM_DecodeNumericOnly)->MinTime(1.0);
    benchmark::RegisterBenchmark("BM_DecodeAllTextsFitting", BM_DecodeAllTextsFitting)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark("BM_DecodeNumericOnlyFitting", BM_DecodeNumericOnlyFitting)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark("BM_DecodeAllTextsGeneric", BM_DecodeAllTextsGeneric)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark("BM_DecodeNumericOnlyGeneric", BM_DecodeNumericOnlyGeneric)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark("BM_TraceText", BM_TraceText)->MinTime(1.0);
    benchmark::RegisterBenchmark("BM_TraceJson", BM_TraceJson)->MinTime(1.0);
    benchmark::RegisterBenchmark("BM_MessageInstanceBuild", BM_MessageInstanceBuild)->MinTime(1.0);
    benchmark::RegisterBenchmark("BM_MessageInstanceBuildReadingFields",
                                 BM_MessageInstanceBuildReadingFields)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark("BM_EditOneValue", BM_EditOneValue);
    benchmark::RegisterBenchmark("BM_HexdumpStr", BM_HexdumpStr);
    Reporter reporter(static_cast<benchmark::ConsoleReporter::OutputOptions>(options));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable(reporter);
    benchmark::Shutdown();
    g_Manager.reset();
    std::error_code ec;
    fs::remove_all(g_Folder, ec);
    return 0;
}
