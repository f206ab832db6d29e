// mostfcat: what the last catalog open of the process did.
//
// An open either loads a catalog kept in memory, loads the compiled cache
// beside the XML file, or imports the XML file (writing its import log and,
// when the cache is in use, the cache). A host that shows this to its user
// (as the command-line tool does) reads it here right after the open.
#ifndef MOSTFCAT_OPEN_REPORT_H
#define MOSTFCAT_OPEN_REPORT_H

#include <cstdint>
#include <string>

#include "mostfcat/fct.h"

struct YFciOpenReport {
    enum Source : uint32_t {
        eNone = 0,      // nothing was loaded
        eInMemory = 1,  // a catalog another manager holds
        eReleased = 2,  // a catalog kept in memory after its last manager closed it
        eCacheFile = 3, // the compiled cache beside the XML file
        eXmlImport = 4, // the XML file was imported
    };
    uint32_t source = eNone;
    std::string xmlPath;     // the catalog's full path
    std::string cachePath;   // its cache file (whether or not it is used)
    bool cacheInUse = false; // opens read and write the cache (gFctSetCacheUse)

    // The XML import; importRan is false when the catalog came from elsewhere.
    bool importRan = false;
    std::string logPath;     // the log asked for (empty: none)
    bool logWritten = false; // that file could be created
    std::string logProblem;  // why it could not
    bool summaryWritten = false;
    uint32_t fatalCount = 0, errorCount = 0, warningCount = 0;
    uint32_t loggedErrorCount = 0, loggedWarningCount = 0;
    // "fatal errors: 0  errors: 2  warnings: 5  (logged errors: 2  warnings: 5)"
    std::string counterLine;
    // Why a failed import failed, in one line (empty when nothing tells).
    std::string failureReason;
    // What an import with errors dropped or repaired, e.g. "dropped 1 FBlock,
    // 2 functions; 1 function kept with repairs" (empty: nothing).
    std::string damage;

    // A cache file that could not be written (cacheFailurePath empty: none).
    std::string cacheFailurePath;
    std::string cacheFailureReason;
    uint32_t cacheFailureError = 0;
};

extern "C" {
// Fills report with what the last open of the process did. catalog (a node
// handle, or 0) is the catalog it opened: the functions it kept with
// repairs count into the damage text.
MOSTFCAT_API uint32_t gFciGetLastOpenReport(uint64_t catalog, YFciOpenReport* report);
}

#endif // MOSTFCAT_OPEN_REPORT_H
