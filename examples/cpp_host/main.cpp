// A small host of the C++ object interface: creates a catalog manager, opens
// one function catalog on channel 1 and prints its FBlocks (name and ID, with
// the IDs of their instances) through the manager's queries.
//
// usage: mostfcat_cpp_host CATALOG
// Exit status: 0 success, 1 the catalog could not be opened, 2 a usage error.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include <mostfcat/fci.h>

namespace {

// Counts the manager's change notifications: a host refreshes its views on them.
class ChangeCounter : public YFciFCatChangedSink {
public:
    void OnFCatChanging() override { ++changing; }
    void OnFCatChanged() override { ++changed; }
    int changing = 0;
    int changed = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mostfcat_cpp_host CATALOG\n");
        return 2;
    }
    const std::string path = argv[1];
    if (!gFciIsCompatibleInterface(3, 0)) {
        std::fprintf(stderr, "mostfcat_cpp_host: the library has another interface version\n");
        return 1;
    }

    uint64_t handle = 0;
    if (gFciCreateFCatManager(&handle, "cpp host") != MOSTFCAT_OK) return 1;
    YFciFCatManager* manager = gFciFCatManager(handle);
    int result = 1;
    {
        ChangeCounter sink;
        sink.Register(handle);
        manager->SetChannelCount(1);
        // Validation mode 4: the profile decides; the import log goes beside the catalog.
        const std::string logPath = std::filesystem::path(path).replace_extension(".log");
        uint32_t status = manager->OpenFCat(path, 1, "", 4, logPath);
        // The only catalog of this manager; its name comes from the file name.
        const YFciFCatManager::StringList names = manager->GetFCatNames(1);
        if (status != 0 || names.empty()) {
            std::fprintf(stderr, "mostfcat_cpp_host: cannot open %s (status %u)\n", path.c_str(),
                         static_cast<unsigned>(status));
        } else {
            const std::string& name = names.front();
            std::printf("opened %s as %s (notifications: %d before, %d after)\n", path.c_str(),
                        name.c_str(), sink.changing, sink.changed);
            YFciFCatManager::NameIdList fblocks;
            manager->GetFBlockNameIdPairs(1, name, fblocks);
            for (const auto& [fblockName, fblockId] : fblocks) {
                YFciFCatManager::IdList instances;
                manager->GetInstanceIds(1, name, fblockId, instances);
                std::printf("fblock %s id 0x%02X, instances:", fblockName.c_str(),
                            static_cast<unsigned>(fblockId));
                for (uint32_t id : instances)
                    std::printf(" 0x%02X", static_cast<unsigned>(id));
                std::printf("\n");
            }
            result = manager->CloseFCat(1, name) ? 0 : 1;
        }
        sink.Unregister();
    }
    gFciDestroyFCatManager(handle);
    return result;
}
