#include "manager/manager.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "cache/fcat_file.h"
#include "import/import_context.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "manager/pool.h"
#include "mostfcat/user_input.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/identifiers.h"

namespace mostfcat {

namespace {

bool g_OpenRunning = false;

// The addresses of the managers that exist; handles are checked against it.
// The set and its lock are never destroyed: a host may keep a manager in a
// static object that goes at exit after this file's statics, and its
// destructor must still find them.
std::set<const YFciFCatManagerImpl*>& LiveManagers() {
    static auto* live = new std::set<const YFciFCatManagerImpl*>;
    return *live;
}

std::mutex& LiveMutex() {
    static auto* m = new std::mutex;
    return *m;
}

const std::vector<YMTCatalog*> kNoCatalogs;

} // namespace

bool IsOpenRunning() {
    return g_OpenRunning;
}

bool YFciFCatManagerImpl::IsLive(const YFciFCatManagerImpl* manager) {
    if (!manager) return false;
    std::lock_guard<std::mutex> lock(LiveMutex());
    return LiveManagers().count(manager) != 0;
}

YFciFCatManagerImpl* YFciFCatManagerImpl::FromHandle(uint64_t handle) {
    auto* m = reinterpret_cast<YFciFCatManagerImpl*>(handle);
    return IsLive(m) ? m : nullptr;
}

YFciFCatManagerImpl::YFciFCatManagerImpl() {
    // The pool is created before any manager, so that it outlives managers
    // that live until process exit.
    YFCatPool::Instance();
    m_ChannelCatalogs.resize(1);
    std::lock_guard<std::mutex> lock(LiveMutex());
    LiveManagers().insert(this);
}

YFciFCatManagerImpl::~YFciFCatManagerImpl() {
    {
        std::lock_guard<std::mutex> lock(LiveMutex());
        LiveManagers().erase(this);
    }
    DetachSinks();
    if (!YFCatPool::ShuttingDown()) YFCatPool::Instance().ReleaseManager(this);
}

void YFciFCatManagerImpl::DetachSinks() {
    // Sinks that are still registered forget this manager without being told,
    // so they never reach it after it is gone.
    for (YFciFCatChangedSink* sink : m_Sinks) {
        sink->m_Registered = false;
        sink->m_Manager = 0;
    }
    m_Sinks.clear();
}

const std::vector<YMTCatalog*>& YFciFCatManagerImpl::ChannelCatalogs(uint16_t channel) const {
    if (channel == kNoChannel) channel = 0;
    if (channel >= m_ChannelCatalogs.size()) return kNoCatalogs;
    return m_ChannelCatalogs[channel];
}

uint32_t YFciFCatManagerImpl::CompileLayouts(uint16_t channel) const {
    uint32_t ready = 0;
    for (const YMTCatalog* catalog : ChannelCatalogs(channel))
        if (catalog) ready += catalog->CompileLayouts();
    return ready;
}

const YFCatRegistration* YFciFCatManagerImpl::RegistrationByName(const std::string& name) const {
    for (const auto& r : m_Registrations)
        if (EqualsNoCase(r.name, name)) return &r;
    return nullptr;
}

YFCatRegistration* YFciFCatManagerImpl::RegistrationByPath(const std::string& path) {
    for (auto& r : m_Registrations)
        if (EqualsNoCase(r.path, path)) return &r;
    return nullptr;
}

YMTCatalog* YFciFCatManagerImpl::CatalogByName(const std::string& name) const {
    const YFCatRegistration* r = RegistrationByName(name);
    return r ? r->catalog : nullptr;
}

std::string YFciFCatManagerImpl::NameOfCatalog(const YMTCatalog* catalog) const {
    if (!catalog) return std::string();
    for (const auto& r : m_Registrations)
        if (r.catalog == catalog) return r.name;
    return std::string();
}

// --- opening and closing ----------------------------------------------------------

uint32_t YFciFCatManagerImpl::OpenFCat(const std::string& path, uint16_t channel,
                                       const std::string& name, uint32_t validationMode,
                                       const std::string& logPath) {
    std::string finalName = name;
    return OpenFCatNamed(path, channel, finalName, validationMode, logPath);
}

uint32_t YFciFCatManagerImpl::OpenFCatNamed(const std::string& path, uint16_t channel,
                                            std::string& uniqueName, uint32_t validationMode,
                                            const std::string& logPath) {
    if (path.empty()) return 2;
    YFCatFile file(path, false, nullptr, 0);
    if (m_CacheStore && m_CacheStore->QueryCache(file.XmlPath(), file.XmlSize(), file.XmlTime()))
        file.SetMode(YFCatFile::kModeMemory);
    MakeNameUnique(file.XmlPath(), uniqueName);
    uint32_t status = OpenCore(file, channel, uniqueName, validationMode, logPath);
    if (m_CacheStore) {
        if (status != 0) {
            m_CacheStore->OnFCatRemoved(channel, uniqueName);
        } else {
            const uint8_t* image = file.DetachImage();
            status = m_CacheStore->StoreCache(file.XmlPath(), channel, uniqueName, image,
                                              image ? file.CacheSize() : 0);
        }
    }
    return status;
}

uint32_t YFciFCatManagerImpl::OpenFCatFromImage(const std::string& path, uint16_t channel,
                                                const std::string& name, const uint8_t* image,
                                                uint32_t size) {
    YFCatFile file(path, true, image, size);
    return OpenCore(file, channel, name, 1, std::string());
}

void YFciFCatManagerImpl::MakeNameUnique(const std::string& path, std::string& name) {
    mostfcat::MakeIdentifier(name);
    if (name.empty()) name = SplitPath(path).name;
    mostfcat::MakeCatalogName(name);

    YFCatRegistration* byName = RegistrationByName(name);
    YFCatRegistration* byPath = RegistrationByPath(path);
    if (byName == byPath) return;

    auto taken = [&](const std::string& candidate) {
        for (const auto& r : m_Registrations)
            if (r.catalog && EqualsNoCase(r.name, candidate)) return true;
        return false;
    };
    if (!taken(name)) return;
    for (int n = 2;; ++n) {
        std::string suffix = StrFormat("_%d", n);
        std::string candidate = name.size() + suffix.size() < 33
                                    ? name + suffix
                                    : name.substr(0, 32 - suffix.size()) + suffix;
        if (!taken(candidate)) {
            name = candidate;
            return;
        }
    }
}

uint32_t YFciFCatManagerImpl::OpenCore(YFCatFile& file, uint16_t channel, const std::string& name,
                                       uint32_t validationMode, const std::string& logPath) {
    uint16_t c = channel == kNoChannel ? 0 : channel;
    if (c > m_ChannelCount || g_OpenRunning) return 1;
    g_OpenRunning = true;
    m_Busy = true;
    struct Done {
        YFciFCatManagerImpl* self;
        ~Done() {
            self->m_Busy = false;
            g_OpenRunning = false;
        }
    } done{this};

    YImportState& state = YImportState::Instance();
    state.validationMode = validationMode;
    state.logPath = logPath;
    uint32_t status = YFCatPool::Instance().LoadFCat(file, this);

    YFCatRegistration* r = RegistrationByPath(file.XmlPath());
    if (status == 0 && !r) {
        m_Registrations.push_back(YFCatRegistration{file.XmlPath(), name, {}, nullptr});
        r = &m_Registrations.back();
    }
    if (r) {
        if (c != 0) {
            r->channels.insert(c);
            r->channels.insert(0);
        } else {
            for (uint16_t i = 0; i <= m_ChannelCount; ++i)
                r->channels.insert(i);
        }
    }
    if (Refresh()) {
        NotifyChanging();
        m_ChangePending = true;
        NotifyChanged();
    }
    return status;
}

bool YFciFCatManagerImpl::CloseFCat(uint16_t channel, const std::string& name) {
    uint16_t c = channel == kNoChannel ? 0 : channel;
    YFCatRegistration* r = RegistrationByName(name);
    if (!r) return false;
    NotifyChanging();
    if (c == 0) {
        for (uint16_t i = 0; i <= m_ChannelCount; ++i)
            r->channels.erase(i);
    } else {
        r->channels.erase(c);
    }
    if (r->channels.empty() || (r->channels.size() == 1 && *r->channels.begin() == 0))
        YFCatPool::Instance().ReleaseFCat(this, r->path);
    if (Refresh()) {
        m_ChangePending = true;
        NotifyChanged();
    }
    if (m_CacheStore) m_CacheStore->OnFCatRemoved(c, name);
    return true;
}

bool YFciFCatManagerImpl::RenameFCat(const std::string& oldName, const std::string& newName) {
    std::string copy = newName;
    mostfcat::MakeCatalogName(copy);
    if (!EqualsNoCase(copy, newName)) return false;
    if (RegistrationByName(newName)) return false;
    YFCatRegistration* r = RegistrationByName(oldName);
    if (!r) return false;
    NotifyChanging();
    r->name = newName;
    m_ChangePending = true;
    NotifyChanged();
    if (m_CacheStore) m_CacheStore->OnFCatRenamed(oldName, newName);
    return true;
}

bool YFciFCatManagerImpl::IsFCatCurrent(const std::string& path, uint32_t, uint64_t modTime) {
    return YFCatPool::Instance().IsCurrent(path, modTime);
}

void YFciFCatManagerImpl::SetChannelCount(uint16_t count) {
    if (count > kMaxChannel) count = kMaxChannel;
    if (count == m_ChannelCount) return;
    NotifyChanging();
    m_ChannelCount = count;
    m_ChannelCatalogs.resize(count + 1u);
    m_ChangePending = true;
    Refresh();
    NotifyChanged();
}

bool YFciFCatManagerImpl::Refresh() {
    bool changed = false;
    YFCatPool& pool = YFCatPool::Instance();
    for (auto& r : m_Registrations) {
        YMTCatalog* c = YFCatPool::ShuttingDown() ? nullptr : pool.FindForUser(this, r.path);
        if (!c) {
            if (!r.channels.empty() || r.catalog) changed = true;
            r.channels.clear();
            r.catalog = nullptr;
            continue;
        }
        if (r.catalog != c) {
            r.catalog = c;
            changed = true;
        }
        if (r.channels.empty() || (r.channels.size() == 1 && *r.channels.begin() == 0)) {
            pool.ReleaseFCat(this, r.path);
            r.channels.clear();
            r.catalog = nullptr;
            changed = true;
        }
    }
    size_t before = m_Registrations.size();
    m_Registrations.erase(std::remove_if(m_Registrations.begin(), m_Registrations.end(),
                                         [](const YFCatRegistration& r) { return !r.catalog; }),
                          m_Registrations.end());
    if (m_Registrations.size() != before) changed = true;

    for (uint16_t c = 0; c <= m_ChannelCount && c < m_ChannelCatalogs.size(); ++c) {
        std::vector<YMTCatalog*> list;
        for (const auto& r : m_Registrations)
            if (r.channels.count(c)) list.push_back(r.catalog);
        if (list != m_ChannelCatalogs[c]) {
            m_ChannelCatalogs[c] = std::move(list);
            changed = true;
        }
    }
    return changed;
}

// --- change cycle -------------------------------------------------------------------

void YFciFCatManagerImpl::AddChangedSink(YFciFCatChangedSink* sink) {
    if (sink) m_Sinks.push_back(sink);
}

void YFciFCatManagerImpl::RemoveChangedSink(YFciFCatChangedSink* sink) {
    m_Sinks.erase(std::remove(m_Sinks.begin(), m_Sinks.end(), sink), m_Sinks.end());
}

void YFciFCatManagerImpl::OnPoolChanged() {
    m_ChangePending = true;
    if (!m_Busy) {
        Refresh();
        NotifyChanged();
    }
}

void YFciFCatManagerImpl::NotifyChanged() {
    if (!m_NotificationsEnabled) return;
    m_ChangingAnnounced = false;
    // A sink may unregister itself (or others) while being told.
    std::vector<YFciFCatChangedSink*> sinks = m_Sinks;
    for (YFciFCatChangedSink* s : sinks)
        if (std::find(m_Sinks.begin(), m_Sinks.end(), s) != m_Sinks.end()) s->OnFCatChanged();
    m_ChangePending = false;
}

void YFciFCatManagerImpl::NotifyChanging() {
    if (m_ChangingAnnounced) return;
    m_ChangingAnnounced = true;
    std::vector<YFciFCatChangedSink*> sinks = m_Sinks;
    for (YFciFCatChangedSink* s : sinks)
        if (std::find(m_Sinks.begin(), m_Sinks.end(), s) != m_Sinks.end()) s->OnFCatChanging();
}

void YFciFCatManagerImpl::ResumeNotifications() {
    m_NotificationsEnabled = true;
    if (m_ChangePending) NotifyChanged();
}

// --- registrations ------------------------------------------------------------------

std::string YFciFCatManagerImpl::GetFCatNameByPath(const std::string& path) {
    YFCatRegistration* r = RegistrationByPath(path);
    return r ? r->name : std::string();
}

std::string YFciFCatManagerImpl::GetFCatPath(const std::string& name) {
    YMTCatalog* c = CatalogByName(name);
    return c ? c->FilePath : std::string();
}

bool YFciFCatManagerImpl::FCatHasDevices(const std::string& name) {
    YMTCatalog* c = CatalogByName(name);
    return c && c->HasDevices;
}

bool YFciFCatManagerImpl::AnyFCatHasDevices() {
    for (YMTCatalog* c : ChannelCatalogs(0))
        if (c && c->HasDevices) return true;
    return false;
}

YFciFCatManager::StringList YFciFCatManagerImpl::GetFCatNames(uint16_t channel) {
    StringList names;
    for (YMTCatalog* c : ChannelCatalogs(channel))
        for (const auto& r : m_Registrations)
            if (r.catalog == c) {
                names.push_back(r.name);
                break;
            }
    return names;
}

void YFciFCatManagerImpl::DumpFCat(const std::string& name, const std::string& dumpFile) {
    YMTCatalog* c = CatalogByName(name);
    if (!c || dumpFile.empty()) return;
    YImportLog log;
    if (!log.OpenDumpFile(dumpFile)) return;
    YImportContext ctx;
    c->Dump(ctx, log);
    log.CloseDumpFile();
}

// --- bunches --------------------------------------------------------------------------

YFciFCatManager::IFCatBunch* YFciFCatManagerImpl::CreateBunch() {
    return new YFCatBunch();
}

void YFciFCatManagerImpl::DeleteBunch(IFCatBunch* bunch) {
    delete dynamic_cast<YFCatBunch*>(bunch);
}

void YFciFCatManagerImpl::FillBunch(IFCatBunch* bunch) {
    if (!bunch) return;
    for (const auto& r : m_Registrations)
        bunch->AddItem(r.path, r.name, r.channels, nullptr, 0);
}

bool YFciFCatManagerImpl::ApplyBunch(IFCatBunch* bunch) {
    for (const std::string& name : GetFCatNames(kNoChannel))
        CloseFCat(kNoChannel, name);
    if (!bunch || bunch->GetItemCount() == 0) return true;
    for (uint32_t i = 0; i < bunch->GetItemCount(); ++i) {
        std::string path, name;
        std::set<uint16_t> channels;
        const uint8_t* image = nullptr;
        uint32_t size = 0;
        bunch->GetItemPath(path, i);
        bunch->GetItemName(name, i);
        bunch->GetItemChannels(channels, i);
        bunch->GetItemImage(image, size, i);
        if (!image || size == 0) continue;
        // Channel 0 comes with every bus channel of a registration; an open on
        // channel 0 would spread the catalog over all channels.
        auto isBus = [](uint16_t c) { return c != 0 && c != kNoChannel; };
        const bool onBus = std::any_of(channels.begin(), channels.end(), isBus);
        for (uint16_t c : channels) {
            if (onBus && !isBus(c)) continue;
            if (OpenFCatFromImage(path, c, name, image, size) != 0) return false;
        }
    }
    return true;
}

YFciFCatManagerImpl::YFCatBunch::~YFCatBunch() = default;

void YFciFCatManagerImpl::YFCatBunch::AddItem(const std::string& path, const std::string& name,
                                              const std::set<uint16_t>& channels,
                                              const uint8_t* image, uint32_t imageSize) {
    auto item = std::make_unique<Item>();
    item->path = path;
    item->name = name;
    item->channels = channels;
    if (image && imageSize != 0) {
        item->image.assign(image, image + imageSize);
        item->imageSize = imageSize;
    }
    m_Items.push_back(std::move(item));
}

uint32_t YFciFCatManagerImpl::YFCatBunch::GetItemCount() {
    return static_cast<uint32_t>(m_Items.size());
}

bool YFciFCatManagerImpl::YFCatBunch::GetItemPath(std::string& out, uint32_t index) {
    out.clear();
    if (index >= m_Items.size()) return false;
    out = m_Items[index]->path;
    return true;
}

bool YFciFCatManagerImpl::YFCatBunch::GetItemName(std::string& out, uint32_t index) {
    out.clear();
    if (index >= m_Items.size()) return false;
    out = m_Items[index]->name;
    return true;
}

bool YFciFCatManagerImpl::YFCatBunch::GetItemChannels(std::set<uint16_t>& out, uint32_t index) {
    out.clear();
    if (index >= m_Items.size()) return false;
    out = m_Items[index]->channels;
    return true;
}

bool YFciFCatManagerImpl::YFCatBunch::GetItemImage(const uint8_t*& image, uint32_t& size,
                                                   uint32_t index) {
    image = nullptr;
    size = 0;
    if (index >= m_Items.size()) return false;
    const Item& item = *m_Items[index];
    if (item.imageSize != 0) {
        image = item.image.data();
        size = item.imageSize;
    }
    return true;
}

bool YFciFCatManagerImpl::YFCatBunch::LoadItemImage(const uint8_t*& image, uint32_t& size,
                                                    uint32_t index) {
    image = nullptr;
    size = 0;
    if (index >= m_Items.size()) return false;
    Item& item = *m_Items[index];
    if (item.imageSize != 0) return false;
    if (!item.imageFile) {
        item.imageFile = std::make_unique<YFCatFile>(item.path, false, nullptr, 0);
        item.imageFile->SetMode(YFCatFile::kModeMemory);
    }
    YFCatFile& file = *item.imageFile;
    if (!file.DetachImage()) {
        const YImportState& st = YImportState::Instance();
        if (!file.OpenRead(file.CacheSize() > 0, st.useDefaultErrorParameters ? 1 : 0, st.options))
            return false;
        file.Close();
    }
    image = file.DetachImage();
    size = image ? file.CacheSize() : 0;
    return image != nullptr;
}

// --- name utilities -------------------------------------------------------------------

bool YFciFCatManagerImpl::FixName(std::string& name) {
    mostfcat::MakeIdentifier(name);
    return FixLeadingDigit(name);
}

void YFciFCatManagerImpl::MakeCatalogName(std::string& name) {
    mostfcat::MakeCatalogName(name);
}

void YFciFCatManagerImpl::MakePrintable(std::string& text) {
    std::string out;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 1 && IsPrintable8(c)) out.push_back(ch);
        if (out.size() >= 255) break;
    }
    text.swap(out);
}

uint32_t YFciFCatManagerImpl::GetParamDisplayMode(const std::string& paramName) {
    return YImportState::Instance().IsHexPreferred(paramName) ? 2 : 0;
}

} // namespace mostfcat

// --- change sinks --------------------------------------------------------------------------

using mostfcat::YFCatPool;
using mostfcat::YFciFCatManagerImpl;

YFciFCatChangedSink::YFciFCatChangedSink() : m_Registered(false), m_Manager(0) {}

YFciFCatChangedSink::YFciFCatChangedSink(const YFciFCatChangedSink& other)
    : m_Registered(other.m_Registered), m_Manager(other.m_Manager) {}

YFciFCatChangedSink& YFciFCatChangedSink::operator=(const YFciFCatChangedSink& other) {
    m_Registered = other.m_Registered;
    m_Manager = other.m_Manager;
    return *this;
}

YFciFCatChangedSink::~YFciFCatChangedSink() {
    if (YFCatPool::ShuttingDown()) return;
    if (m_Registered)
        if (YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(m_Manager))
            m->RemoveChangedSink(this);
}

void YFciFCatChangedSink::Register(uint64_t managerHandle) {
    if (YFCatPool::ShuttingDown()) return;
    if (m_Manager != 0) Unregister();
    YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(managerHandle);
    if (!m) return; // not a live manager: nothing to register with
    m_Manager = managerHandle;
    m->AddChangedSink(this);
    m_Registered = true;
}

void YFciFCatChangedSink::Unregister() {
    if (YFCatPool::ShuttingDown()) return;
    if (m_Registered && m_Manager != 0)
        if (YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(m_Manager))
            m->RemoveChangedSink(this);
    m_Registered = false;
    m_Manager = 0;
}

bool YFciFCatChangedSink::IsRegistered() const {
    return m_Registered;
}

uint32_t YFciUserInput::CompileLayouts(YFciFCatManager& manager, uint16_t channel) {
    auto* impl = dynamic_cast<mostfcat::YFciFCatManagerImpl*>(&manager);
    try {
        return impl ? impl->CompileLayouts(channel) : 0;
    } catch (...) {
        // Out of memory: what was compiled stays, the rest compiles on use.
        return 0;
    }
}
