// Shared by the manager suites: managers that go away with the test, a
// clean pool per test, catalogs with fixed modification times, and change
// sinks and cache stores that record what they are told.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "manager/manager.h"
#include "manager/pool.h"
#include "platform/paths.h"
#include "support/catalog_builder.h"
#include "support/test_support.h"
#include "tree/catalog.h"

namespace mostfcat::test {

using Names = std::vector<std::string>;
using Events = std::vector<std::string>;

// Logs "<tag> changing" and "<tag> changed"; onChanging runs inside the first.
class RecordingSink : public YFciFCatChangedSink {
public:
    RecordingSink(Events& events, std::string tag) : m_Events(events), m_Tag(std::move(tag)) {}
    void OnFCatChanging() override {
        m_Events.push_back(m_Tag + " changing");
        if (onChanging) onChanging();
    }
    void OnFCatChanged() override { m_Events.push_back(m_Tag + " changed"); }
    std::function<void()> onChanging;

private:
    Events& m_Events;
    std::string m_Tag;
};

// Logs every call, paths by their file name; keeps the last image.
class RecordingStore : public IFCatCacheStore {
public:
    bool QueryCache(const std::string& xmlPath, uint32_t size, uint64_t time) override {
        calls.push_back("query " + SplitPath(xmlPath).name + " " + std::to_string(size) + " " +
                        std::to_string(time));
        return wanted;
    }
    uint32_t StoreCache(const std::string& xmlPath, uint16_t channel, const std::string& name,
                        const uint8_t* data, uint32_t size) override {
        calls.push_back("store " + SplitPath(xmlPath).name + " " + std::to_string(channel) + " " +
                        name);
        image.assign(data, data + (data ? size : 0));
        return result;
    }
    void OnFCatRemoved(uint16_t channel, const std::string& name) override {
        calls.push_back("removed " + std::to_string(channel) + " " + name);
    }
    void OnFCatRenamed(const std::string& oldName, const std::string& newName) override {
        calls.push_back("renamed " + oldName + " " + newName);
    }
    bool wanted = true;
    uint32_t result = 0;
    Events calls;
    std::string image;
};

class ManagerTest : public CatalogTest {
protected:
    static constexpr int64_t kT0 = 1700000000;

    void SetUp() override {
        CatalogTest::SetUp();
        Pool().Clear();
    }
    void TearDown() override {
        NewProcess();
        CatalogTest::TearDown();
    }
    // What a new process sees: no managers and nothing in memory.
    void NewProcess() {
        m_Managers.clear();
        Pool().Clear();
    }
    YFciFCatManagerImpl& NewManager(uint16_t channels = 4) {
        m_Managers.push_back(std::make_unique<YFciFCatManagerImpl>());
        m_Managers.back()->SetChannelCount(channels);
        return *m_Managers.back();
    }
    void Destroy(YFciFCatManagerImpl& m) {
        for (auto& p : m_Managers)
            if (p.get() == &m) p.reset();
    }
    std::string Catalog(const std::string& file, const std::string& fblocks) {
        WriteFileAt(m_Dir.File(file), CatalogXml(fblocks), kT0);
        return m_Dir.File(file);
    }
    // A catalog with one FBlock named after the file.
    std::string Small(const std::string& stem) {
        return Catalog(stem + ".xml", FBlockXml(stem, "0x10", PropertyXml("Level", "0x200")));
    }
    static uint32_t Open(YFciFCatManagerImpl& m, const std::string& path, uint16_t channel,
                         const std::string& name = "") {
        return m.OpenFCat(path, channel, name, 1, "");
    }
    // The one catalog of a manager, or null.
    static YMTCatalog* Only(YFciFCatManagerImpl& m) {
        auto& list = m.ChannelCatalogs(0);
        return list.size() == 1 ? list[0] : nullptr;
    }
    static YFCatPool& Pool() { return YFCatPool::Instance(); }
    static std::string CacheOf(const std::string& xml) {
        return xml.substr(0, xml.size() - 4) + ".vfc";
    }

    std::vector<std::unique_ptr<YFciFCatManagerImpl>> m_Managers;
};

} // namespace mostfcat::test
