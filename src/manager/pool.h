// The process-wide pool of loaded catalogs, shared by every manager: it
// decides for each open between reusing a catalog in memory, loading the
// compiled cache and importing the XML file, and keeps a bounded list of
// recently released catalogs.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "import/import_log.h"

namespace mostfcat {

class YFCatFile;
class YMTCatalog;
class YImportState;
class YFciFCatManagerImpl;

// A cache file that could not be written after a successful import. The
// cache only speeds up the next open: the catalog is used all the same, and
// the next open in a new process imports the XML file again.
struct YCacheWriteFailure {
    std::string path;   // the cache file; empty when nothing failed
    uint32_t error = 0; // the cache-file error code
    std::string reason; // the system's reason, e.g. "Is a directory"
};

struct FCatPoolEntry {
    YMTCatalog* catalog = nullptr;        // owned by the pool
    std::set<YFciFCatManagerImpl*> users; // not owned
};

class YFCatPool {
public:
    // Where the last load found its catalog.
    enum class Source { None, InMemory, Released, CacheFile, XmlImport };

    // The one pool of the process (created on first use).
    static YFCatPool& Instance();
    // True once the pool has been destroyed at process exit or unload:
    // managers and change sinks then skip every pool operation.
    static bool ShuttingDown();

    ~YFCatPool();

    // Loads the catalog of file (see Load) and, on success, makes manager a
    // user of its entry. Returns the load status: 0 success, 1 import failed,
    // 2 XML file missing, 6 nothing usable in image/no-cache mode, 4..17 a
    // cache-file error code.
    uint32_t LoadFCat(YFCatFile& file, YFciFCatManagerImpl* manager);
    FCatPoolEntry* FindEntry(const std::string& path);
    YMTCatalog* FindForUser(YFciFCatManagerImpl* manager, const std::string& path);
    void ReleaseFCat(YFciFCatManagerImpl* manager, const std::string& path);
    void ReleaseManager(YFciFCatManagerImpl* manager);
    bool IsCurrent(const std::string& path, uint64_t modTime);
    void NotifyUsers(FCatPoolEntry& entry);
    void Purge();

    // Internal (tests): deletes every catalog and forgets every user.
    void Clear();
    size_t EntryCount() const { return m_Entries.size(); }
    size_t CachedCount() const { return m_Cached.size(); }
    const std::deque<YMTCatalog*>& Cached() const { return m_Cached; }
    Source LastSource() const { return m_LastSource; }
    // What the last load's XML import reported (Report().ran is false when
    // the last load imported nothing), and the cache write it could not do.
    const YImportReport& LastImport() const { return m_LastImport; }
    const YCacheWriteFailure& LastCacheFailure() const { return m_LastCacheFailure; }

private:
    YFCatPool() = default;
    uint32_t Load(YFCatFile& file);
    // Loads the memory image of a reused catalog for the host's cache store.
    uint32_t LoadImageForStore(YFCatFile& file, bool usePrebuilt);
    YMTCatalog* LoadFromCache(YFCatFile& file, bool usePrebuilt);
    // Writes the cache; returns the cache-file error code (0 when written)
    // and, on failure, the system's reason.
    uint32_t WriteCache(YFCatFile& file, YMTCatalog* catalog, std::string& reason);
    FCatPoolEntry* AddEntry(YMTCatalog* catalog);
    // NotifyUsers before the entry's catalog is replaced or dropped; null when
    // a user released the entry meanwhile (its old catalog is then deleted).
    FCatPoolEntry* NotifyAndRecheck(FCatPoolEntry* entry);

    std::vector<std::unique_ptr<FCatPoolEntry>> m_Entries;
    std::deque<YMTCatalog*> m_Cached; // front: least recently released
    Source m_LastSource = Source::None;
    YImportReport m_LastImport;
    YCacheWriteFailure m_LastCacheFailure;
};

} // namespace mostfcat
