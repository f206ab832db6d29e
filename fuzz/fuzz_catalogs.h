// Catalogs for the message fuzz targets: a few generated catalogs (every
// parameter type), the bundled sample and the parameter fixtures, imported
// once per process from copies in a temporary folder (no cache files, no
// logs), and the message coordinates each of them holds.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "generator/catalog_generator.h"
#include "import/import_state.h"
#include "manager/manager.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat::fuzz {

struct Coordinates {
    uint16_t channel;
    uint32_t fblock, inst, fkt, op;
};

class FuzzCatalogs {
public:
    static FuzzCatalogs& Get() {
        static FuzzCatalogs instance;
        return instance;
    }

    YFciFCatManagerImpl& Manager() { return *m_Manager; }
    size_t CatalogCount() const { return m_Operations.size(); }
    // The coordinates of the operation chosen by pick in catalog c (its channel
    // is c + 1), or raw coordinates when the catalog holds none.
    Coordinates Pick(size_t c, uint32_t pick) const {
        const auto& ops = m_Operations[c % m_Operations.size()];
        if (ops.empty()) return Coordinates{static_cast<uint16_t>(c + 1), 1, 0, 0, 0};
        return ops[pick % ops.size()];
    }

    // The coordinates of every operation of catalog on channel.
    static void Collect(const YMTCatalog& catalog, uint16_t channel,
                        std::vector<Coordinates>& out) {
        ForEachChild(catalog, [&](uint32_t fbId, YMTNode* fb) {
            ForEachChild(*static_cast<YMTFBlock*>(fb), [&](uint32_t instId, YMTNode* inst) {
                ForEachChild(*static_cast<YMTInstance*>(inst), [&](uint32_t fktId, YMTNode* fn) {
                    if (fn->NodeType() != kNodeFunction) return;
                    ForEachChild(*static_cast<YMTFunction*>(fn), [&](uint32_t op, YMTNode*) {
                        out.push_back(Coordinates{channel, fbId, instId, fktId, op});
                    });
                });
            });
        });
    }

private:
    FuzzCatalogs() {
        YImportState& st = YImportState::Instance();
        st.ReadProfile(); // whatever a profile says, then: no caches
        st.profileLoaded = true;
        st.importOptim = false;
        char pattern[] = "/tmp/mostfcat_fuzz_XXXXXX";
        const char* dir = mkdtemp(pattern);
        m_Folder = dir ? dir : "/tmp";
        m_Manager = std::make_unique<YFciFCatManagerImpl>();
        m_Manager->SetChannelCount(16);
        std::vector<std::string> texts = {GenerateCatalog(3, 16000), GenerateCatalog(11, 24000),
                                          GenerateCatalog(48, 40000)};
        for (const char* name :
             {"examples/catalogs/sample_catalog.xml", "tests/fixtures/params_numbers.xml",
              "tests/fixtures/params_streams.xml", "tests/fixtures/params_structs.xml"}) {
            std::ifstream in(std::string(MOSTFCAT_SOURCE_DIR) + "/" + name);
            std::stringstream ss;
            ss << in.rdbuf();
            if (!ss.str().empty()) texts.push_back(ss.str());
        }
        for (size_t i = 0; i < texts.size() && i < 16; ++i) {
            std::string path = m_Folder + "/c" + std::to_string(i) + ".xml";
            std::ofstream(path) << texts[i];
            std::string catalogName;
            uint16_t channel = static_cast<uint16_t>(i + 1);
            m_Manager->OpenFCatNamed(path, channel, catalogName, 4, "");
            std::filesystem::remove(path);
            m_Operations.emplace_back();
            for (YMTCatalog* c : m_Manager->ChannelCatalogs(channel))
                Collect(*c, channel, m_Operations.back());
        }
        std::error_code ec;
        std::filesystem::remove_all(m_Folder, ec);
    }

    std::string m_Folder;
    std::unique_ptr<YFciFCatManagerImpl> m_Manager;
    std::vector<std::vector<Coordinates>> m_Operations;
};

} // namespace mostfcat::fuzz
