// Decoding a trace as telegrams against decoding the same messages given
// whole: the cost of putting segments together (the ratio of the two).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "manager/manager.h"
#include "mostfcat/telegrams.h"

namespace {

// NetBlock.DeviceInfo.Status of the bundled sample (25 bytes, 3 telegrams)
// and NetBlock.NodeAddress.Status (2 bytes, 1 telegram), alternating.
struct Trace {
    std::vector<std::string> whole, telegrams;
};

std::string Hex(const std::vector<unsigned char>& b) {
    std::string s;
    char buf[4];
    for (unsigned char c : b) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        s += buf;
    }
    return s;
}

Trace MakeTrace(size_t messages) {
    Trace t;
    std::vector<unsigned char> name = {1, 2};
    for (char c : std::string("Hello World Amplifier"))
        name.push_back(static_cast<unsigned char>(c));
    name.push_back(0);
    for (size_t i = 0; i < messages; ++i) {
        std::string time = std::to_string(i) + ".5 ";
        if (i % 2) {
            t.whole.push_back(time + "01.00.002.C:" + Hex({0x01, 0x80}));
            t.telegrams.push_back(
                time +
                "0180: " + Hex({1, 0, 0x00, 0x2C, 0x02, 0x01, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
            continue;
        }
        t.whole.push_back(time + "01.00.014.C:" + Hex(name));
        for (size_t at = 0, n = 0; at < name.size(); at += 11, ++n) {
            std::vector<unsigned char> f = {1, 0, 0x01, 0x4C, 0};
            size_t len = std::min<size_t>(11, name.size() - at) + 1;
            f[4] = static_cast<unsigned char>((n == 0                   ? 1
                                               : at + 11 >= name.size() ? 3
                                                                        : 2)
                                                  << 4 |
                                              len);
            f.push_back(static_cast<unsigned char>(n));
            f.insert(f.end(), name.begin() + at, name.begin() + at + len - 1);
            f.resize(17, 0);
            t.telegrams.push_back(time + "0180: " + Hex(f));
        }
    }
    return t;
}

mostfcat::YFciFCatManagerImpl& Manager() {
    static mostfcat::YFciFCatManagerImpl* m = [] {
        auto* mgr = new mostfcat::YFciFCatManagerImpl();
        mgr->SetChannelCount(1);
        // A copy, so that no cache file lands beside the bundled sample.
        std::string copy = std::filesystem::temp_directory_path() / "mostfcat_telegram_bench.xml";
        std::filesystem::copy_file(MOSTFCAT_SAMPLE, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        std::string name;
        mgr->OpenFCatNamed(copy, 1, name, 4, "");
        return mgr;
    }();
    return *m;
}

const Trace& TheTrace() {
    static Trace t = MakeTrace(2000);
    return t;
}

void BM_DecodeWhole(benchmark::State& state) {
    const Trace& t = TheTrace();
    for (auto _ : state) {
        YFciTraceDecoder d(&Manager(), 1, 0xFFFFFFFF, YFciTraceDecoder::eJson);
        std::string out;
        for (const std::string& l : t.whole) {
            d.DecodeLine(l.data(), l.size(), out);
            if (out.size() > 1 << 16) out.clear();
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * t.whole.size()));
}

void BM_DecodeTelegrams(benchmark::State& state) {
    const Trace& t = TheTrace();
    for (auto _ : state) {
        YFciTelegramDecoder d(&Manager(), 1, 0xFFFFFFFF, YFciTraceDecoder::eJson,
                              YFciTelegrams::eMost50);
        std::string out;
        for (const std::string& l : t.telegrams) {
            d.DecodeLine(l.data(), l.size(), out);
            if (out.size() > 1 << 16) out.clear();
        }
        d.Finish(out);
        if (d.Faults()) state.SkipWithError("telegram faults");
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * t.whole.size())); // messages
}

} // namespace

BENCHMARK(BM_DecodeWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTelegrams)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
