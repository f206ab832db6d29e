// The catalog manager: a host's view of which catalogs are open under which
// names on which bus channels, with bunches, change sinks and the host's
// cache store.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mostfcat/fci.h"

namespace mostfcat {

class YFCatFile;
class YMTCatalog;
class YMTNode;

struct YFCatRegistration {
    std::string path; // full XML path
    std::string name; // catalog name within this manager
    std::set<uint16_t> channels;
    YMTCatalog* catalog = nullptr; // in the pool, not owned
};

class YFciFCatManagerImpl : public YFciFCatManager {
public:
    static constexpr uint16_t kMaxChannel = 16;
    static constexpr uint16_t kNoChannel = 0xFFFF;

    // The bunch implementation: items owned by the bunch.
    class YFCatBunch final : public IFCatBunch {
    public:
        ~YFCatBunch();
        void AddItem(const std::string& path, const std::string& name,
                     const std::set<uint16_t>& channels, const uint8_t* image,
                     uint32_t imageSize) override;
        uint32_t GetItemCount() override;
        bool GetItemPath(std::string& out, uint32_t index) override;
        bool GetItemName(std::string& out, uint32_t index) override;
        bool GetItemChannels(std::set<uint16_t>& out, uint32_t index) override;
        bool GetItemImage(const uint8_t*& image, uint32_t& size, uint32_t index) override;
        bool LoadItemImage(const uint8_t*& image, uint32_t& size, uint32_t index) override;

    private:
        struct Item {
            std::string path;
            std::string name;
            std::set<uint16_t> channels;
            std::vector<uint8_t> image;
            uint32_t imageSize = 0;
            std::unique_ptr<YFCatFile> imageFile;
        };
        std::vector<std::unique_ptr<Item>> m_Items;
    };

    YFciFCatManagerImpl();

    // --- the exported slots ---
    void SetCacheStore(IFCatCacheStore* store) override { m_CacheStore = store; }
    void ResetCacheStore() override { m_CacheStore = nullptr; }
    uint32_t OpenFCatFromImage(const std::string& path, uint16_t channel, const std::string& name,
                               const uint8_t* image, uint32_t size) override;
    uint32_t OpenFCat(const std::string& path, uint16_t channel, const std::string& name,
                      uint32_t validationMode, const std::string& logPath) override;
    bool CloseFCat(uint16_t channel, const std::string& name) override;
    bool RenameFCat(const std::string& oldName, const std::string& newName) override;
    bool IsFCatCurrent(const std::string& path, uint32_t fileSize, uint64_t modTime) override;
    void SetChannelCount(uint16_t count) override;
    uint16_t GetChannelCount() override { return m_ChannelCount; }
    std::string GetFCatNameByPath(const std::string& path) override;
    IFCatBunch* CreateBunch() override;
    void DeleteBunch(IFCatBunch* bunch) override;
    void FillBunch(IFCatBunch* bunch) override;
    bool ApplyBunch(IFCatBunch* bunch) override;
    void DumpFCat(const std::string& name, const std::string& dumpFile) override;
    void SuspendNotifications() override { m_NotificationsEnabled = false; }
    void ResumeNotifications() override;
    std::string GetFCatPath(const std::string& name) override;
    bool FCatHasDevices(const std::string& name) override;
    bool AnyFCatHasDevices() override;
    StringList GetFCatNames(uint16_t channel) override;

    void GetFBlockNames(uint16_t channel, const std::string& fcatName, StringList& out) override;
    void GetInstFBlockNames(uint16_t channel, const std::string& fcatName,
                            StringList& out) override;
    void GetFunctionNames(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                          uint32_t instId, uint32_t instFallback, StringList& out) override;
    void GetFunctionNamesByFBlockName(uint16_t channel, const std::string& fcatName,
                                      const std::string& fblockName, uint32_t instId,
                                      uint32_t instFallback, StringList& out) override;
    void GetOperationNames(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                           uint32_t instId, uint32_t instFallback, uint32_t fktId,
                           StringList& out) override;
    void GetOperationNamesByFBlockName(uint16_t channel, const std::string& fcatName,
                                       const std::string& fblockName, uint32_t instId,
                                       uint32_t instFallback, uint32_t fktId,
                                       StringList& out) override;
    void GetFBlockIds(uint16_t channel, const std::string& fcatName, IdList& out) override;
    void GetInstanceIds(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                        IdList& out) override;
    void GetInstanceIdsByFBlockName(uint16_t channel, const std::string& fcatName,
                                    const std::string& fblockName, IdList& out) override;
    void GetFunctionIds(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                        uint32_t instId, uint32_t instFallback, IdList& out) override;
    void GetFunctionIdsByFBlockName(uint16_t channel, const std::string& fcatName,
                                    const std::string& fblockName, uint32_t instId,
                                    uint32_t instFallback, IdList& out) override;
    void GetOperationCodes(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                           uint32_t instId, uint32_t instFallback, uint32_t fktId,
                           IdList& out) override;
    void GetOperationCodesByFBlockName(uint16_t channel, const std::string& fcatName,
                                       const std::string& fblockName, uint32_t instId,
                                       uint32_t instFallback, uint32_t fktId, IdList& out) override;
    void GetFBlockNameIdPairs(uint16_t channel, const std::string& fcatName,
                              NameIdList& out) override;
    void GetJoinedFBlockNames(uint16_t channel, const std::string& fcatName,
                              NameIdList& out) override;
    void GetFunctionNameIdPairs(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                uint32_t instId, uint32_t instFallback, NameIdList& out) override;
    void GetOperationNameCodePairs(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                   uint32_t instId, uint32_t instFallback, uint32_t fktId,
                                   NameIdList& out) override;
    uint32_t GetFunctionKind(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                             uint32_t instId, uint32_t instFallback, uint32_t fktId) override;
    void GetFBlockNodes(uint16_t channel, const std::string& fcatName, NodeList& out) override;
    void GetFBlockNodesById(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                            NodeList& out) override;
    void GetFunctionNodes(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                          uint32_t instId, uint32_t instFallback, uint32_t fktId,
                          NodeList& out) override;
    void GetOperationNodes(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                           uint32_t instId, uint32_t instFallback, uint32_t fktId, uint32_t opType,
                           NodeList& out) override;
    YFciMesgInfo* CreateMesgInfo(uint16_t channel, uint32_t fblockId, uint32_t instId,
                                 uint32_t fktId, uint32_t opType, const uint8_t* data,
                                 uint32_t length) override;
    YFciMesgInfo* CreateMesgInfo(uint16_t channel, uint32_t fblockId, uint32_t instId,
                                 uint32_t fktId, uint32_t opType,
                                 const std::vector<uint8_t>& data) override;
    YFciMesgInfo* CreateMesgInfo(uint16_t channel, uint32_t fblockId, uint32_t instId,
                                 uint32_t fktId, uint32_t opType) override;
    std::string GetFBlockName(uint16_t channel, uint32_t fblockId) override;
    std::string GetFunctionName(uint16_t channel, uint32_t fblockId, uint32_t instId,
                                uint32_t instFallback, uint32_t fktId) override;
    std::string GetOperationName(uint16_t channel, uint32_t fblockId, uint32_t instId,
                                 uint32_t instFallback, uint32_t fktId, uint32_t opType) override;
    void ResolveNames(uint16_t channel, const std::string& fcatName, const std::string& fblockName,
                      uint32_t instId, uint32_t instFallback, const std::string& functionName,
                      const std::string& operationName, std::string& outFcatName,
                      uint32_t& fblockId, uint32_t& fktId, uint32_t& opType) override;
    YFciMessage* CreateMessage(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                               uint32_t instId, uint32_t instFallback, uint32_t fktId,
                               uint32_t opType, const uint8_t* data, uint32_t length,
                               uint32_t options) override;
    YFciMessage* CreateMessage(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                               uint32_t instId, uint32_t instFallback, uint32_t fktId,
                               uint32_t opType, uint32_t options) override;
    YFciMessage* CreateMessage(uint16_t channel, uint32_t options) override;
    void ConvertSymbolicToShortID(std::string& out, uint16_t channel, const std::string& fcatName,
                                  uint32_t fblockId, uint32_t instId, uint32_t instFallback,
                                  uint32_t fktId, uint32_t opType,
                                  const std::string& symbolicPath) override;
    void ConvertShortToSymbolicID(std::string& out, uint16_t channel, const std::string& fcatName,
                                  uint32_t fblockId, uint32_t instId, uint32_t instFallback,
                                  uint32_t fktId, uint32_t opType,
                                  const std::string& numericPath) override;
    bool GetParamNumberValue(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                             uint32_t instId, uint32_t fktId, uint32_t opType, const uint8_t* data,
                             int32_t length, const std::string& numericPath,
                             double& value) override;
    bool GetParamEnumValue(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                           uint32_t instId, uint32_t fktId, uint32_t opType, const uint8_t* data,
                           int32_t length, const std::string& numericPath,
                           uint32_t& value) override;
    bool GetParamBoolFieldValue(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                uint32_t instId, uint32_t fktId, uint32_t opType,
                                const uint8_t* data, int32_t length, const std::string& numericPath,
                                uint8_t& value) override;
    bool GetParamBoolValue(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                           uint32_t instId, uint32_t fktId, uint32_t opType, const uint8_t* data,
                           int32_t length, const std::string& numericPath,
                           uint32_t& value) override;
    bool GetParamStringValue(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                             uint32_t instId, uint32_t fktId, uint32_t opType, const uint8_t* data,
                             int32_t length, const std::string& numericPath, std::string& text,
                             uint32_t& encoding) override;
    bool GetParamHexValue(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                          uint32_t instId, uint32_t fktId, uint32_t opType, const uint8_t* data,
                          int32_t length, const std::string& numericPath,
                          std::vector<uint8_t>& bytes) override;
    bool FixName(std::string& name) override;
    void MakeCatalogName(std::string& name) override;
    void MakePrintable(std::string& text) override;
    uint32_t GetParamDisplayMode(const std::string& paramName) override;

    // --- slots of the implementation ---
    virtual ~YFciFCatManagerImpl();
    virtual void SetManagerName(const std::string& name) { m_Name = name; }
    virtual std::string GetManagerName() { return m_Name; }
    virtual void AddChangedSink(YFciFCatChangedSink* sink);
    virtual void RemoveChangedSink(YFciFCatChangedSink* sink);
    virtual void OnPoolChanged();
    virtual void NotifyChangingForwarder() { NotifyChanging(); }
    virtual uint32_t OpenCore(YFCatFile& file, uint16_t channel, const std::string& name,
                              uint32_t validationMode, const std::string& logPath);
    virtual void MakeNameUnique(const std::string& path, std::string& name);
    virtual void NotifyChanged();
    virtual void NotifyChanging();

    // --- internal ---
    // OpenFCat that reports the final catalog name (made unique) in name.
    uint32_t OpenFCatNamed(const std::string& path, uint16_t channel, std::string& name,
                           uint32_t validationMode, const std::string& logPath);
    // True while the manager at this address exists (handles are checked
    // against it).
    static bool IsLive(const YFciFCatManagerImpl* manager);
    static YFciFCatManagerImpl* FromHandle(uint64_t handle);
    uint64_t Handle() const { return reinterpret_cast<uint64_t>(this); }

    // The catalogs of a channel (0xFFFF counts as 0; above the channel count:
    // none).
    const std::vector<YMTCatalog*>& ChannelCatalogs(uint16_t channel) const;
    // Compiles every operation's layout in the catalogs of a channel (0:
    // every catalog) now; how many operations have one (YMTCatalog).
    uint32_t CompileLayouts(uint16_t channel) const;
    const std::vector<YFCatRegistration>& Registrations() const { return m_Registrations; }
    // The array handed out by gFctGetFCatItemList.
    std::vector<uint64_t>& ItemArray() { return m_ItemArray; }
    // The catalog of a registration name (null when none or not loaded).
    YMTCatalog* CatalogByName(const std::string& name) const;
    // The name under which this manager registered a catalog (empty if none).
    std::string NameOfCatalog(const YMTCatalog* catalog) const;
    // The operation lookup: the best match over the consulted catalogs
    // (message descriptions and instances resolve their coordinates with it).
    struct LookupResult {
        int depth = 0;
        YMTCatalog* catalog = nullptr;
        YMTNode* fblock = nullptr;
        YMTNode* instance = nullptr;
        YMTNode* function = nullptr;
        YMTNode* operation = nullptr;
    };
    LookupResult LookupOperation(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                 uint32_t instId, uint32_t instFallback, uint32_t fktId,
                                 uint32_t opType) const;

private:
    bool Refresh();
    const YFCatRegistration* RegistrationByName(const std::string& name) const;
    YFCatRegistration* RegistrationByName(const std::string& name) {
        return const_cast<YFCatRegistration*>(std::as_const(*this).RegistrationByName(name));
    }
    YFCatRegistration* RegistrationByPath(const std::string& path);
    // The catalogs a channel-or-name query consults: the channel's list, or
    // the one named catalog. A view into the manager's own lists, so that a
    // lookup made for every message allocates nothing.
    struct CatalogSpan {
        YMTCatalog* const* first = nullptr;
        size_t count = 0;
        YMTCatalog* const* begin() const { return first; }
        YMTCatalog* const* end() const { return first + count; }
    };
    CatalogSpan Consulted(uint16_t channel, const std::string& fcatName) const;
    void DetachSinks();

    std::string m_Name;
    std::vector<YFCatRegistration> m_Registrations;
    std::vector<std::vector<YMTCatalog*>> m_ChannelCatalogs;
    bool m_ChangePending = false;
    bool m_NotificationsEnabled = true;
    std::vector<YFciFCatChangedSink*> m_Sinks;
    bool m_Busy = false;
    bool m_ChangingAnnounced = false;
    uint16_t m_ChannelCount = 0;
    IFCatCacheStore* m_CacheStore = nullptr;
    std::vector<uint64_t> m_ItemArray;
};

// The process-wide flag of an open in progress (nested opens are refused).
bool IsOpenRunning();

} // namespace mostfcat
