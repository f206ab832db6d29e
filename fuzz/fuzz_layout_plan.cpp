// Fuzz target: an operation decoded through its compiled layout and over its
// parameter list must give the same entries, field by field. The catalog is
// one generated from a seed the input chooses (imported on first use and
// kept) or one of the shared fuzz catalogs; the input also gives the
// operation, the option word, the limits and the payload, and whether the
// compiled side reuses the entries of an earlier message.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../tests/support/entry_compare.h"
#include "fuzz_catalogs.h"
#include "message/mesg_info.h"

using namespace mostfcat;

namespace {

uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Small generated catalogs by seed, each in a manager of its own.
struct Generated {
    std::unique_ptr<YFciFCatManagerImpl> manager;
    std::vector<fuzz::Coordinates> ops;
};

const Generated& GeneratedCatalog(uint8_t seed) {
    // The shared catalogs first (their settings have no caches): made before
    // the map, they are destroyed after it at exit.
    fuzz::FuzzCatalogs::Get();
    static std::map<uint8_t, Generated> catalogs;
    auto it = catalogs.find(seed);
    if (it != catalogs.end()) return it->second;
    Generated g;
    g.manager = std::make_unique<YFciFCatManagerImpl>();
    g.manager->SetChannelCount(1);
    std::string path = "/tmp/mostfcat_fuzz_plan_" + std::to_string(seed) + ".xml";
    if (GenerateCatalogFile(path, 1000 + seed, 6000 + 500 * (seed % 16))) {
        std::string name;
        g.manager->OpenFCatNamed(path, 1, name, 4, "");
        for (YMTCatalog* c : g.manager->ChannelCatalogs(1))
            fuzz::FuzzCatalogs::Collect(*c, 1, g.ops);
    }
    std::remove(path.c_str());
    return catalogs.emplace(seed, std::move(g)).first->second;
}

std::unique_ptr<YFciMesgInfo> Describe(YFciFCatManagerImpl& m, const fuzz::Coordinates& c,
                                       const uint8_t* data, const uint8_t* payload, uint32_t length,
                                       bool compiled) {
    std::unique_ptr<YFciMesgInfo> info(
        m.CreateMesgInfo(c.channel, c.fblock, c.inst, c.fkt, c.op, payload, length));
    if (!info) return info;
    info->SetOptions(Read32(data + 4));
    info->SetMaxParams(data[8] == 0xFF ? 65535 : data[8]);
    info->SetValueTextLimit(data[9] == 0xFF ? 65535 : data[9]);
    info->SetInstFallback(3);
    static_cast<YFciMesgInfoImpl&>(*info).SetCompiledLayouts(compiled);
    return info;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHead = 10;
    if (size < kHead) return 0;
    YFciFCatManagerImpl* manager;
    fuzz::Coordinates c;
    uint32_t pick = uint32_t(data[2]) << 8 | data[3];
    if (data[0] & 0x80) {
        fuzz::FuzzCatalogs& cats = fuzz::FuzzCatalogs::Get();
        manager = &cats.Manager();
        c = cats.Pick(data[1], pick);
    } else {
        const Generated& g = GeneratedCatalog(data[1] & 0x3F);
        if (g.ops.empty()) return 0;
        manager = g.manager.get();
        c = g.ops[pick % g.ops.size()];
    }
    const uint8_t* payload = data + kHead;
    auto length = static_cast<uint32_t>(size - kHead);
    auto generic = Describe(*manager, c, data, payload, length, false);
    auto compiled = Describe(*manager, c, data, payload, length, true);
    if (!generic || !compiled) return 0;
    if (data[0] & 0x40) {
        // The compiled side decodes an earlier message of the kind first (the
        // payload's first half), as a host's description does: the entries
        // of the payload proper are then reused ones.
        compiled->SetData(payload, length / 2);
        (void)compiled->Disassemble();
        compiled->ClearParamInfos();
        compiled->SetData(payload, length);
    }
    std::string diff = test::EntryDifference(generic->Disassemble(), compiled->Disassemble());
    if (!diff.empty()) {
        std::fprintf(stderr, "compiled layout differs: %s\n", diff.c_str());
        std::abort();
    }
    return 0;
}
