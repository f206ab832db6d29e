// mostfcat: the C++ object interface.
//
// Hosts obtain a catalog manager from gFciCreateFCatManager or gFciFCatMngr and
// call it through the abstract class below. The order of the virtual
// operations is part of the binary interface: hosts bind to the vtable, so
// operations are only ever appended.
#ifndef MOSTFCAT_FCI_H
#define MOSTFCAT_FCI_H

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mostfcat/catalog_diff.h"
#include "mostfcat/fct.h"
#include "mostfcat/hexdump.h"
#include "mostfcat/mesg_info.h"
#include "mostfcat/message.h"
#include "mostfcat/param_values.h"
#include "mostfcat/telegrams.h"
#include "mostfcat/user_input.h"

#ifndef MOSTFCAT_CLASS
#if defined(MOSTFCAT_BUILDING_LIBRARY)
#define MOSTFCAT_CLASS __attribute__((visibility("default")))
#else
#define MOSTFCAT_CLASS
#endif
#endif

namespace mostfcat {
class YFciFCatManagerImpl;
}

// Supplied by the host: receives compiled catalog images and is told when
// catalogs go away or are renamed.
class MOSTFCAT_CLASS IFCatCacheStore {
public:
    virtual bool QueryCache(const std::string& xmlPath, uint32_t xmlFileSize,
                            uint64_t xmlModTime) = 0;
    virtual uint32_t StoreCache(const std::string& xmlPath, uint16_t channel,
                                const std::string& name, const uint8_t* image,
                                uint32_t imageSize) = 0;
    virtual void OnFCatRemoved(uint16_t channel, const std::string& name) = 0;
    virtual void OnFCatRenamed(const std::string& oldName, const std::string& newName) = 0;

protected:
    ~IFCatCacheStore() = default;
};

class MOSTFCAT_CLASS YFciFCatManager {
public:
    // A transportable snapshot of a manager's catalog configuration.
    class MOSTFCAT_CLASS IFCatBunch {
    public:
        virtual void AddItem(const std::string& path, const std::string& name,
                             const std::set<uint16_t>& channels, const uint8_t* image,
                             uint32_t imageSize) = 0;
        virtual uint32_t GetItemCount() = 0;
        virtual bool GetItemPath(std::string& out, uint32_t index) = 0;
        virtual bool GetItemName(std::string& out, uint32_t index) = 0;
        virtual bool GetItemChannels(std::set<uint16_t>& out, uint32_t index) = 0;
        virtual bool GetItemImage(const uint8_t*& image, uint32_t& size, uint32_t index) = 0;
        virtual bool LoadItemImage(const uint8_t*& image, uint32_t& size, uint32_t index) = 0;

    protected:
        ~IFCatBunch() = default;
    };

    using StringList = std::vector<std::string>;
    using IdList = std::vector<uint32_t>;
    using NameIdList = std::vector<std::pair<std::string, uint32_t>>;
    using NodeList = std::vector<uint64_t>; // node handles

    // 0-20: catalogs, channels, bunches, notifications.
    virtual void SetCacheStore(IFCatCacheStore* store) = 0;
    virtual void ResetCacheStore() = 0;
    virtual uint32_t OpenFCatFromImage(const std::string& path, uint16_t channel,
                                       const std::string& name, const uint8_t* image,
                                       uint32_t size) = 0;
    virtual uint32_t OpenFCat(const std::string& path, uint16_t channel, const std::string& name,
                              uint32_t validationMode, const std::string& logPath) = 0;
    virtual bool CloseFCat(uint16_t channel, const std::string& name) = 0;
    virtual bool RenameFCat(const std::string& oldName, const std::string& newName) = 0;
    virtual bool IsFCatCurrent(const std::string& path, uint32_t fileSize, uint64_t modTime) = 0;
    virtual void SetChannelCount(uint16_t count) = 0;
    virtual uint16_t GetChannelCount() = 0;
    virtual std::string GetFCatNameByPath(const std::string& path) = 0;
    virtual IFCatBunch* CreateBunch() = 0;
    virtual void DeleteBunch(IFCatBunch* bunch) = 0;
    virtual void FillBunch(IFCatBunch* bunch) = 0;
    virtual bool ApplyBunch(IFCatBunch* bunch) = 0;
    virtual void DumpFCat(const std::string& name, const std::string& dumpFile) = 0;
    virtual void SuspendNotifications() = 0;
    virtual void ResumeNotifications() = 0;
    virtual std::string GetFCatPath(const std::string& name) = 0;
    virtual bool FCatHasDevices(const std::string& name) = 0;
    virtual bool AnyFCatHasDevices() = 0;
    virtual StringList GetFCatNames(uint16_t channel) = 0;

    // 21-37: lists over the catalogs of a channel (or of the named catalog).
    virtual void GetFBlockNames(uint16_t channel, const std::string& fcatName, StringList& out) = 0;
    virtual void GetInstFBlockNames(uint16_t channel, const std::string& fcatName,
                                    StringList& out) = 0;
    virtual void GetFunctionNames(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                  uint32_t instId, uint32_t instFallback, StringList& out) = 0;
    virtual void GetFunctionNamesByFBlockName(uint16_t channel, const std::string& fcatName,
                                              const std::string& fblockName, uint32_t instId,
                                              uint32_t instFallback, StringList& out) = 0;
    virtual void GetOperationNames(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                   uint32_t instId, uint32_t instFallback, uint32_t fktId,
                                   StringList& out) = 0;
    virtual void GetOperationNamesByFBlockName(uint16_t channel, const std::string& fcatName,
                                               const std::string& fblockName, uint32_t instId,
                                               uint32_t instFallback, uint32_t fktId,
                                               StringList& out) = 0;
    virtual void GetFBlockIds(uint16_t channel, const std::string& fcatName, IdList& out) = 0;
    virtual void GetInstanceIds(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                IdList& out) = 0;
    virtual void GetInstanceIdsByFBlockName(uint16_t channel, const std::string& fcatName,
                                            const std::string& fblockName, IdList& out) = 0;
    virtual void GetFunctionIds(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                uint32_t instId, uint32_t instFallback, IdList& out) = 0;
    virtual void GetFunctionIdsByFBlockName(uint16_t channel, const std::string& fcatName,
                                            const std::string& fblockName, uint32_t instId,
                                            uint32_t instFallback, IdList& out) = 0;
    virtual void GetOperationCodes(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                   uint32_t instId, uint32_t instFallback, uint32_t fktId,
                                   IdList& out) = 0;
    virtual void GetOperationCodesByFBlockName(uint16_t channel, const std::string& fcatName,
                                               const std::string& fblockName, uint32_t instId,
                                               uint32_t instFallback, uint32_t fktId,
                                               IdList& out) = 0;
    virtual void GetFBlockNameIdPairs(uint16_t channel, const std::string& fcatName,
                                      NameIdList& out) = 0;
    virtual void GetJoinedFBlockNames(uint16_t channel, const std::string& fcatName,
                                      NameIdList& out) = 0;
    virtual void GetFunctionNameIdPairs(uint16_t channel, const std::string& fcatName,
                                        uint32_t fblockId, uint32_t instId, uint32_t instFallback,
                                        NameIdList& out) = 0;
    virtual void GetOperationNameCodePairs(uint16_t channel, const std::string& fcatName,
                                           uint32_t fblockId, uint32_t instId,
                                           uint32_t instFallback, uint32_t fktId,
                                           NameIdList& out) = 0;

    // 38-42: function kind and node lists.
    virtual uint32_t GetFunctionKind(uint16_t channel, const std::string& fcatName,
                                     uint32_t fblockId, uint32_t instId, uint32_t instFallback,
                                     uint32_t fktId) = 0;
    virtual void GetFBlockNodes(uint16_t channel, const std::string& fcatName, NodeList& out) = 0;
    virtual void GetFBlockNodesById(uint16_t channel, const std::string& fcatName,
                                    uint32_t fblockId, NodeList& out) = 0;
    virtual void GetFunctionNodes(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                  uint32_t instId, uint32_t instFallback, uint32_t fktId,
                                  NodeList& out) = 0;
    virtual void GetOperationNodes(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                   uint32_t instId, uint32_t instFallback, uint32_t fktId,
                                   uint32_t opType, NodeList& out) = 0;

    // 43-45: message descriptions (owned by the caller).
    virtual YFciMesgInfo* CreateMesgInfo(uint16_t channel, uint32_t fblockId, uint32_t instId,
                                         uint32_t fktId, uint32_t opType, const uint8_t* data,
                                         uint32_t length) = 0;
    virtual YFciMesgInfo* CreateMesgInfo(uint16_t channel, uint32_t fblockId, uint32_t instId,
                                         uint32_t fktId, uint32_t opType,
                                         const std::vector<uint8_t>& data) = 0;
    virtual YFciMesgInfo* CreateMesgInfo(uint16_t channel, uint32_t fblockId, uint32_t instId,
                                         uint32_t fktId, uint32_t opType) = 0;

    // 46-49: names.
    virtual std::string GetFBlockName(uint16_t channel, uint32_t fblockId) = 0;
    virtual std::string GetFunctionName(uint16_t channel, uint32_t fblockId, uint32_t instId,
                                        uint32_t instFallback, uint32_t fktId) = 0;
    virtual std::string GetOperationName(uint16_t channel, uint32_t fblockId, uint32_t instId,
                                         uint32_t instFallback, uint32_t fktId,
                                         uint32_t opType) = 0;
    virtual void ResolveNames(uint16_t channel, const std::string& fcatName,
                              const std::string& fblockName, uint32_t instId, uint32_t instFallback,
                              const std::string& functionName, const std::string& operationName,
                              std::string& outFcatName, uint32_t& fblockId, uint32_t& fktId,
                              uint32_t& opType) = 0;

    // 50-52: message instances (owned by the caller).
    virtual YFciMessage* CreateMessage(uint16_t channel, const std::string& fcatName,
                                       uint32_t fblockId, uint32_t instId, uint32_t instFallback,
                                       uint32_t fktId, uint32_t opType, const uint8_t* data,
                                       uint32_t length, uint32_t options) = 0;
    virtual YFciMessage* CreateMessage(uint16_t channel, const std::string& fcatName,
                                       uint32_t fblockId, uint32_t instId, uint32_t instFallback,
                                       uint32_t fktId, uint32_t opType, uint32_t options) = 0;
    virtual YFciMessage* CreateMessage(uint16_t channel, uint32_t options) = 0;

    // 53-60: parameter paths and single values read from payload bytes.
    virtual void ConvertSymbolicToShortID(std::string& out, uint16_t channel,
                                          const std::string& fcatName, uint32_t fblockId,
                                          uint32_t instId, uint32_t instFallback, uint32_t fktId,
                                          uint32_t opType, const std::string& symbolicPath) = 0;
    virtual void ConvertShortToSymbolicID(std::string& out, uint16_t channel,
                                          const std::string& fcatName, uint32_t fblockId,
                                          uint32_t instId, uint32_t instFallback, uint32_t fktId,
                                          uint32_t opType, const std::string& numericPath) = 0;
    virtual bool GetParamNumberValue(uint16_t channel, const std::string& fcatName,
                                     uint32_t fblockId, uint32_t instId, uint32_t fktId,
                                     uint32_t opType, const uint8_t* data, int32_t length,
                                     const std::string& numericPath, double& value) = 0;
    virtual bool GetParamEnumValue(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                   uint32_t instId, uint32_t fktId, uint32_t opType,
                                   const uint8_t* data, int32_t length,
                                   const std::string& numericPath, uint32_t& value) = 0;
    virtual bool GetParamBoolFieldValue(uint16_t channel, const std::string& fcatName,
                                        uint32_t fblockId, uint32_t instId, uint32_t fktId,
                                        uint32_t opType, const uint8_t* data, int32_t length,
                                        const std::string& numericPath, uint8_t& value) = 0;
    virtual bool GetParamBoolValue(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                   uint32_t instId, uint32_t fktId, uint32_t opType,
                                   const uint8_t* data, int32_t length,
                                   const std::string& numericPath, uint32_t& value) = 0;
    virtual bool GetParamStringValue(uint16_t channel, const std::string& fcatName,
                                     uint32_t fblockId, uint32_t instId, uint32_t fktId,
                                     uint32_t opType, const uint8_t* data, int32_t length,
                                     const std::string& numericPath, std::string& text,
                                     uint32_t& encoding) = 0;
    virtual bool GetParamHexValue(uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                                  uint32_t instId, uint32_t fktId, uint32_t opType,
                                  const uint8_t* data, int32_t length,
                                  const std::string& numericPath, std::vector<uint8_t>& bytes) = 0;

    // 61-64: name utilities.
    virtual bool FixName(std::string& name) = 0;
    virtual void MakeCatalogName(std::string& name) = 0;
    virtual void MakePrintable(std::string& text) = 0;
    virtual uint32_t GetParamDisplayMode(const std::string& paramName) = 0;

protected:
    ~YFciFCatManager() = default;
};

// Observes a manager's set of catalogs. Derive from it, register with a
// manager handle; OnFCatChanging comes before a change, OnFCatChanged after.
class MOSTFCAT_CLASS YFciFCatChangedSink {
public:
    YFciFCatChangedSink();
    YFciFCatChangedSink(const YFciFCatChangedSink& other);
    YFciFCatChangedSink& operator=(const YFciFCatChangedSink& other);
    virtual ~YFciFCatChangedSink();
    virtual void OnFCatChanged() = 0;
    virtual void OnFCatChanging() = 0;

    void Register(uint64_t managerHandle);
    void Unregister();
    bool IsRegistered() const;

private:
    // A manager that goes away detaches the sinks still registered with it.
    friend class mostfcat::YFciFCatManagerImpl;
    bool m_Registered;
    uint64_t m_Manager;
};

extern "C" {
MOSTFCAT_API uint32_t gFciCreateFCatManager(uint64_t* handle, const char* name);
MOSTFCAT_API uint32_t gFciDestroyFCatManager(uint64_t handle);
MOSTFCAT_API uint64_t gFciFCatMngr();
MOSTFCAT_API bool gFciIsCompatibleInterface(int32_t major, int32_t minor);
MOSTFCAT_API YFciFCatManager* gFciFCatManager(uint64_t handle);
}

#endif // MOSTFCAT_FCI_H
