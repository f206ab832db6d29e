// The exported handle-based functions and the object-interface factories.
// Every function is an exception barrier: a host never sees a C++ exception,
// only a status code.
#include <cstring>
#include <mutex>
#include <string>

#include "capi/api_lock.h"
#include "manager/manager.h"
#include "mostfcat/fci.h"
#include "mostfcat/fct.h"
#include "params/param_number.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/node.h"

using namespace mostfcat;

static_assert(sizeof(uint64_t) == sizeof(YMTNode*), "node handles are addresses");

namespace mostfcat {

std::recursive_mutex& ApiMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

} // namespace mostfcat

namespace {

template <class F> uint32_t Locked(F&& f) {
    return Guarded([&] {
        std::lock_guard<std::recursive_mutex> lock(ApiMutex());
        return f();
    });
}

bool ValidChannel(uint16_t channel) {
    return channel <= 16 || channel == 0xFFFF;
}

} // namespace

extern "C" {

MOSTFCAT_API uint32_t gFctCreateFCatManager(uint64_t* handle, const char* name) {
    if (!handle) return MOSTFCAT_INVALID;
    return Locked([&] {
        auto* m = new YFciFCatManagerImpl();
        if (name) m->SetManagerName(name);
        *handle = m->Handle();
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API uint32_t gFctDestroyFCatManager(uint64_t handle) {
    if (handle == 0) return MOSTFCAT_INVALID;
    return Locked([&] {
        YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(handle);
        if (!m) return MOSTFCAT_INVALID;
        delete m;
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API uint32_t gFctOpenNamedFCat(uint64_t handle, const char* path, uint16_t channel,
                                        const char* name, char* nameOut, uint32_t nameOutSize) {
    if (!path) return MOSTFCAT_INVALID;
    return Locked([&]() -> uint32_t {
        YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(handle);
        if (!m) return MOSTFCAT_INVALID;
        uint16_t c = channel;
        if (c >= 17 && c != 0xFFFF) return MOSTFCAT_BAD_CHANNEL;
        if (c <= 16 && m->GetChannelCount() < c) m->SetChannelCount(c);
        if (m->GetChannelCount() == 0) m->SetChannelCount(16);

        YPathParts parts = SplitPath(path);
        std::string logPath = MakePath(parts.drive, parts.directory, parts.name, ".log");
        std::string finalName = name ? name : "";
        // The manager may change the name to keep it unique.
        uint32_t r = m->OpenFCatNamed(path, c, finalName, 4, logPath);
        if (nameOut && nameOutSize != 0) {
            size_t n = finalName.size() < nameOutSize - 1 ? finalName.size() : nameOutSize - 1;
            std::memcpy(nameOut, finalName.data(), n);
            nameOut[n] = '\0';
        }
        switch (r) {
        case 0:
            return MOSTFCAT_OK;
        case 2:
            return MOSTFCAT_FILE_MISSING;
        case 3:
            return MOSTFCAT_OPEN_STATUS3;
        default:
            return MOSTFCAT_INVALID;
        }
    });
}

MOSTFCAT_API uint32_t gFctOpenFCat(uint64_t handle, const char* path, uint16_t channel) {
    return gFctOpenNamedFCat(handle, path, channel, nullptr, nullptr, 0);
}

MOSTFCAT_API uint32_t gFctCloseFCat(uint64_t handle, const char* path, uint16_t channel) {
    if (!path) return MOSTFCAT_INVALID;
    return Locked([&]() -> uint32_t {
        YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(handle);
        if (!m) return MOSTFCAT_INVALID;
        if (!ValidChannel(channel)) return MOSTFCAT_BAD_CHANNEL;
        std::string full = FullPath(path);
        if (full.empty()) return MOSTFCAT_FILE_MISSING;
        std::string name;
        for (const auto& r : m->Registrations())
            if (r.catalog && EqualsNoCase(r.path, full)) {
                name = r.name;
                break;
            }
        if (name.empty()) return MOSTFCAT_NOT_FOUND;
        return m->CloseFCat(channel, name) ? MOSTFCAT_OK : MOSTFCAT_INVALID;
    });
}

MOSTFCAT_API uint32_t gFctGetFCatItemList(uint64_t manager, uint64_t** items, uint32_t* count) {
    if (!items || !count) return MOSTFCAT_INVALID;
    return Locked([&]() -> uint32_t {
        YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(manager);
        if (!m) return MOSTFCAT_INVALID;
        std::vector<uint64_t>& array = m->ItemArray();
        array.clear();
        array.shrink_to_fit();
        const auto& catalogs = m->ChannelCatalogs(0);
        if (catalogs.empty()) return MOSTFCAT_NOT_FOUND;
        for (YMTCatalog* c : catalogs)
            array.push_back(reinterpret_cast<uint64_t>(c));
        *items = array.data();
        *count = static_cast<uint32_t>(array.size());
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API uint32_t gFctGetSubItemList(uint64_t node, uint32_t kind, uint64_t** items,
                                         uint32_t* count) {
    if (node == 0) return MOSTFCAT_NOT_FOUND;
    if (!items || !count) return MOSTFCAT_INVALID;
    return Guarded([&] {
        YMTNode* const* array = nullptr;
        uint32_t n = 0;
        uint32_t r = NodeOf(node)->GetSubItemList(kind, &array, &n);
        if (r == kAttrOk) {
            // Node handles are the nodes' addresses: the child array is
            // handed out as it is.
            *items = reinterpret_cast<uint64_t*>(const_cast<YMTNode**>(array));
            *count = n;
        }
        return r;
    });
}

MOSTFCAT_API uint32_t gFctGetAttrInt(uint64_t node, uint32_t attribute, uint32_t* value) {
    if (node == 0) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&] { return NodeOf(node)->GetAttrInt(attribute, value); });
}

MOSTFCAT_API uint32_t gFctGetAttrFloat(uint64_t node, uint32_t attribute, double* value) {
    if (node == 0) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&] { return NodeOf(node)->GetAttrFloat(attribute, value); });
}

MOSTFCAT_API uint32_t gFctGetAttrStr(uint64_t node, uint32_t attribute, const char** value) {
    if (node == 0) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&] { return NodeOf(node)->GetAttrStr(attribute, value); });
}

MOSTFCAT_API uint32_t gFctGetAttrNode(uint64_t node, uint32_t attribute, uint64_t* value) {
    if (node == 0) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&] {
        YMTNode* out = nullptr;
        uint32_t r = NodeOf(node)->GetAttrNode(attribute, &out);
        if (r == kAttrOk) *value = reinterpret_cast<uint64_t>(out);
        return r;
    });
}

MOSTFCAT_API uint32_t gFctConvertSymbolToInt(uint64_t node, const char* symbol, uint32_t* value) {
    if (node == 0 || !symbol) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&]() -> uint32_t {
        YMTNode* n = NodeOf(node);
        if (n->NodeType() != kNodeEnum) return MOSTFCAT_NOT_FOUND;
        YMTEnumValue* v = static_cast<YMTParamEnum*>(n)->FindValueByName(symbol);
        if (!v) return MOSTFCAT_NO_SYMBOL;
        *value = v->CodeMin();
        return MOSTFCAT_OK;
    });
}

// --- object-interface factories ------------------------------------------------------------

MOSTFCAT_API uint32_t gFciCreateFCatManager(uint64_t* handle, const char* name) {
    return gFctCreateFCatManager(handle, name);
}

MOSTFCAT_API uint32_t gFciDestroyFCatManager(uint64_t handle) {
    return gFctDestroyFCatManager(handle);
}

MOSTFCAT_API uint64_t gFciFCatMngr() {
    try {
        // Created at the first call; destroyed at process exit.
        struct Internal {
            uint64_t handle = 0;
            Internal() { gFctCreateFCatManager(&handle, "internal FCat manager"); }
            ~Internal() { gFctDestroyFCatManager(handle); }
        };
        static Internal internal;
        return internal.handle;
    } catch (...) {
        return 0;
    }
}

MOSTFCAT_API YFciFCatManager* gFciFCatManager(uint64_t handle) {
    // Only the handle of a live manager turns into a pointer.
    return YFciFCatManagerImpl::FromHandle(handle);
}

MOSTFCAT_API bool gFciIsCompatibleInterface(int32_t major, int32_t minor) {
    return major == 3 && minor == 0;
}

} // extern "C"
