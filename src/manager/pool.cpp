#include "manager/pool.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cache/archive_io.h"
#include "cache/fcat_file.h"
#include "import/import_state.h"
#include "manager/manager.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/xml_import.h"

namespace mostfcat {

namespace {
bool g_PoolShutDown = false;
} // namespace

YFCatPool& YFCatPool::Instance() {
    static YFCatPool pool;
    return pool;
}

bool YFCatPool::ShuttingDown() {
    return g_PoolShutDown;
}

YFCatPool::~YFCatPool() {
    Clear();
    g_PoolShutDown = true;
}

void YFCatPool::Clear() {
    for (auto& e : m_Entries)
        delete e->catalog;
    m_Entries.clear();
    for (YMTCatalog* c : m_Cached)
        delete c;
    m_Cached.clear();
}

FCatPoolEntry* YFCatPool::FindEntry(const std::string& path) {
    for (auto& e : m_Entries)
        if (e->catalog && EqualsNoCase(e->catalog->FilePath, path)) return e.get();
    return nullptr;
}

YMTCatalog* YFCatPool::FindForUser(YFciFCatManagerImpl* manager, const std::string& path) {
    FCatPoolEntry* e = FindEntry(path);
    return (e && e->users.count(manager)) ? e->catalog : nullptr;
}

void YFCatPool::ReleaseFCat(YFciFCatManagerImpl* manager, const std::string& path) {
    if (g_PoolShutDown) return;
    if (FCatPoolEntry* e = FindEntry(path)) e->users.erase(manager);
    Purge();
}

void YFCatPool::ReleaseManager(YFciFCatManagerImpl* manager) {
    if (g_PoolShutDown) return;
    for (auto& e : m_Entries)
        e->users.erase(manager);
    Purge();
}

bool YFCatPool::IsCurrent(const std::string& path, uint64_t modTime) {
    if (FCatPoolEntry* e = FindEntry(path)) return e->catalog->FileTime == modTime;
    for (YMTCatalog* c : m_Cached)
        if (EqualsNoCase(c->FilePath, path) && c->FileTime == modTime) return true;
    return false;
}

void YFCatPool::NotifyUsers(FCatPoolEntry& entry) {
    // A sink may react by closing catalogs; work on a copy of the user set.
    std::set<YFciFCatManagerImpl*> users = entry.users;
    for (YFciFCatManagerImpl* m : users)
        if (YFciFCatManagerImpl::IsLive(m)) m->NotifyChangingForwarder();
}

FCatPoolEntry* YFCatPool::NotifyAndRecheck(FCatPoolEntry* entry) {
    YMTCatalog* catalog = entry->catalog;
    std::string path = catalog->FilePath;
    NotifyUsers(*entry);
    // A user may release the entry while it is told; the purge then takes the
    // entry out and moves its catalog, outdated by the load under way, to the
    // released list, where it must not stay.
    FCatPoolEntry* again = FindEntry(path);
    if (again == entry && again->catalog == catalog) return entry;
    auto it = std::find(m_Cached.begin(), m_Cached.end(), catalog);
    if (it != m_Cached.end()) {
        delete *it;
        m_Cached.erase(it);
    }
    return nullptr;
}

void YFCatPool::Purge() {
    for (auto it = m_Entries.begin(); it != m_Entries.end();) {
        if (!(*it)->users.empty()) {
            ++it;
            continue;
        }
        if (YMTCatalog* c = (*it)->catalog) {
            m_Cached.erase(std::remove(m_Cached.begin(), m_Cached.end(), c), m_Cached.end());
            m_Cached.push_back(c);
        }
        it = m_Entries.erase(it);
    }
    size_t limit = YImportState::Instance().fcatCacheSize;
    while (m_Cached.size() > limit) {
        delete m_Cached.front();
        m_Cached.pop_front();
    }
}

FCatPoolEntry* YFCatPool::AddEntry(YMTCatalog* catalog) {
    m_Entries.push_back(std::make_unique<FCatPoolEntry>());
    m_Entries.back()->catalog = catalog;
    return m_Entries.back().get();
}

uint32_t YFCatPool::LoadFCat(YFCatFile& file, YFciFCatManagerImpl* manager) {
    uint32_t status = Load(file);
    if (status == 0) {
        if (FCatPoolEntry* e = FindEntry(file.XmlPath())) {
            if (!e->users.count(manager)) {
                if (manager) manager->NotifyChangingForwarder();
                e->users.insert(manager);
            }
        }
    }
    return status;
}

uint32_t YFCatPool::LoadImageForStore(YFCatFile& file, bool usePrebuilt) {
    // Without a cache file (the cache is off, or the file was removed) there
    // is no image to hand over, but the catalog in memory is good: the open
    // goes on and the store gets none, as after an import without cache.
    if (file.CacheSize() == 0) return 0;
    const YImportState& st = YImportState::Instance();
    if (file.OpenRead(usePrebuilt, st.useDefaultErrorParameters ? 1 : 0, st.options)) file.Close();
    return file.Error();
}

YMTCatalog* YFCatPool::LoadFromCache(YFCatFile& file, bool usePrebuilt) {
    const YImportState& st = YImportState::Instance();
    if (!st.importOptim) return nullptr;
    if (!file.OpenRead(usePrebuilt, st.useDefaultErrorParameters ? 1 : 0, st.options))
        return nullptr;
    YMTArchiveRead reader(file);
    YMTCatalog* catalog = LoadCatalog(reader, file);
    if (catalog) {
        catalog->FilePath = file.XmlPath();
        catalog->FileTime = file.XmlTime();
    }
    file.Close();
    return catalog;
}

uint32_t YFCatPool::WriteCache(YFCatFile& file, YMTCatalog* catalog, std::string& reason) {
    const YImportState& st = YImportState::Instance();
    auto why = [&](int err, const char* otherwise) {
        reason = err != 0 ? std::strerror(err) : otherwise;
    };
    errno = 0;
    if (!file.OpenWrite(st.useDefaultErrorParameters ? 1 : 0, st.options)) {
        why(errno, "the file cannot be created");
        return file.Error();
    }
    errno = 0; // a successful open may leave a stale value
    YMTArchiveWrite writer(file);
    bool saved = SaveCatalog(writer, catalog, file);
    int err = errno;
    bool closed = file.Close();
    if (closed && err == 0) err = errno;
    if (saved && closed) return file.Error();
    why(err, "not all of it could be written");
    // A body that was not written completely must not pass for a cache: the
    // file is removed and the write is reported as failed.
    std::remove(file.CachePath().c_str());
    return file.Error() != 0 ? file.Error() : YFCatFile::kErrWriteShort;
}

uint32_t YFCatPool::Load(YFCatFile& file) {
    YImportState& st = YImportState::Instance();
    if (!st.profileLoaded) st.ReadProfile();

    m_LastSource = Source::None;
    m_LastImport = YImportReport();
    m_LastCacheFailure = YCacheWriteFailure();
    const uint32_t mode = file.Mode();
    const bool usePrebuilt = file.CacheSize() > 0 || mode == YFCatFile::kModeImage;
    const bool imageOrNoCache = mode == YFCatFile::kModeImage || mode == YFCatFile::kModeNoCache;

    // Reuse a catalog that is in memory and current.
    FCatPoolEntry* existing = FindEntry(file.XmlPath());
    if (existing && file.IsUpToDate(existing->catalog->FileTime)) {
        m_LastSource = Source::InMemory;
        if (mode == YFCatFile::kModeMemory && !file.DetachImage())
            return LoadImageForStore(file, usePrebuilt);
        return 0;
    }
    std::set<YFciFCatManagerImpl*> remembered;
    const bool hadExisting = existing != nullptr;
    if (existing) remembered = existing->users;
    auto tellRemembered = [&] {
        // A callback may destroy a manager; only live ones are told.
        for (YFciFCatManagerImpl* m : remembered)
            if (YFciFCatManagerImpl::IsLive(m)) m->OnPoolChanged();
    };

    if (!existing || mode == YFCatFile::kModeImage) {
        // A recently released catalog of the same file.
        auto it = std::find_if(m_Cached.begin(), m_Cached.end(), [&](YMTCatalog* c) {
            return EqualsNoCase(c->FilePath, file.XmlPath());
        });
        if (it != m_Cached.end()) {
            YMTCatalog* c = *it;
            m_Cached.erase(it);
            if (file.IsUpToDate(c->FileTime)) {
                m_LastSource = Source::Released;
                uint32_t status = 0;
                if (mode == YFCatFile::kModeMemory && !file.DetachImage())
                    status = LoadImageForStore(file, usePrebuilt);
                else
                    status = file.Error();
                AddEntry(c);
                return status;
            }
            delete c;
        }
        // The compiled cache.
        if (usePrebuilt) {
            if (YMTCatalog* c = LoadFromCache(file, usePrebuilt)) {
                m_LastSource = Source::CacheFile;
                if (existing) existing = NotifyAndRecheck(existing);
                if (existing) {
                    delete existing->catalog;
                    existing->catalog = c;
                } else {
                    AddEntry(c);
                }
                if (hadExisting) tellRemembered();
                return 0;
            }
            if (imageOrNoCache) return file.Error() != 0 ? file.Error() : 1;
        } else if (imageOrNoCache) {
            return 6;
        }
    } else if (imageOrNoCache) {
        return 6;
    }

    // The XML import; the cache file is written right after it. The cache
    // only makes the next open faster: a catalog that imported is used even
    // when its cache cannot be written (a read-only folder, a folder in the
    // way). The failure goes into the import log and stays readable through
    // LastCacheFailure; with no cache file the next open imports again.
    YImportLogCapture capture;
    YImportResult result = ImportXmlFile(
        st, file.XmlPath(), file.XmlTime(), [&](uint32_t status, YMTCatalog* catalog) {
            if (status == 0) {
                m_LastSource = Source::XmlImport;
                if (existing) existing = NotifyAndRecheck(existing);
                if (existing) {
                    delete existing->catalog;
                    existing->catalog = catalog;
                } else {
                    AddEntry(catalog);
                }
                std::string reason;
                uint32_t cacheStatus = st.importOptim ? WriteCache(file, catalog, reason) : 0;
                if (cacheStatus != 0) {
                    m_LastCacheFailure = {file.CachePath(), cacheStatus, reason};
                    if (YImportLog* log = capture.Log())
                        log->LogLine(StrFormat(
                            "Cache file %s not written (%s, cache error %u); the catalog is "
                            "used without it",
                            file.CachePath().c_str(), reason.c_str(), cacheStatus));
                }
            } else {
                delete catalog;
            }
            if (status != 0 && existing) existing = NotifyAndRecheck(existing);
            if (status != 0 && existing) {
                existing->users.clear();
                delete existing->catalog;
                existing->catalog = nullptr;
                m_Entries.erase(std::remove_if(m_Entries.begin(), m_Entries.end(),
                                               [&](const std::unique_ptr<FCatPoolEntry>& e) {
                                                   return e.get() == existing;
                                               }),
                                m_Entries.end());
                existing = nullptr;
                Purge();
            }
            return status;
        });
    m_LastImport = capture.Report();
    if (hadExisting) tellRemembered();
    return result.status;
}

} // namespace mostfcat
