// What the commands of the tool share: reading their arguments, reporting
// usage errors and unreadable files, and opening a catalog through a catalog
// manager the way a host does, with the reasons of a failure at hand.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "import/import_log.h"
#include "manager/pool.h"

namespace mostfcat {
class YMTCatalog;
}

namespace mostfcat::cli {

// Exit status.
constexpr int kExitOk = 0;
constexpr int kExitFailed =
    1; // the import failed (or, --strict, logged an error); an input did not fit
constexpr int kExitUsage = 2; // a usage error or a file that cannot be read

// Channel of an open that names none: every channel (the manager treats
// 0xFFFF as 0, the union of all bus channels).
constexpr uint16_t kAllChannels = 0xFFFF;

// Prints one line "mostfcat: TEXT (see mostfcat help)" on standard error;
// returns kExitUsage.
int UsageError(const std::string& text);
// Prints one line "mostfcat: TEXT" on standard error.
void PrintError(const std::string& text);
void PrintWarning(const std::string& text);

// An option a command accepts; takesValue: it is followed by one value.
struct OptionDef {
    const char* name;
    bool takesValue;
};

// A command's arguments split into plain arguments and options (in the
// order given; an option may be repeated).
struct CommandArgs {
    std::vector<std::string> plain;
    std::vector<std::pair<std::string, std::string>> options;

    bool Has(const std::string& name) const;
    // The value of the last occurrence, or fallback.
    std::string Get(const std::string& name, const std::string& fallback = "") const;
};

// Reads args for command; on a mistake returns the one-line text that names
// the wrong argument (for UsageError), else an empty text.
std::string ParseArgs(const std::string& command, const std::vector<std::string>& args,
                      const std::vector<OptionDef>& options, CommandArgs& out);

// Reads the value of --channel: 1 to 16 a bus channel, 0 every channel.
// Returns an error text, or empty.
std::string ParseChannel(const std::string& text, uint16_t& channel);

// Why path cannot be opened as a catalog (no such file, a folder, no
// permission, a name too long, not an .xml file), or empty when it can.
std::string UnreadableReason(const std::string& path);

// A catalog opened through a catalog manager of its own.
struct OpenRequest {
    std::string catalog;
    std::string logPath; // empty: no log file
    uint16_t channel = kAllChannels;
};

class OpenedCatalog {
public:
    OpenedCatalog() = default;
    ~OpenedCatalog();
    OpenedCatalog(const OpenedCatalog&) = delete;
    OpenedCatalog& operator=(const OpenedCatalog&) = delete;

    // Opens the catalog; returns the manager's status (0 success, 1 import
    // failed, 2 XML file missing, else a cache-file error code).
    uint32_t Open(const OpenRequest& request);
    // Closes the catalog and forgets the manager.
    void Close();

    // The opened catalog, or null.
    YMTCatalog* Catalog() const;
    uint64_t ManagerHandle() const { return m_Handle; }
    const OpenRequest& Request() const { return m_Request; }
    YFCatPool::Source Source() const { return m_Source; }
    // What the XML import reported (Report().ran is false when the catalog
    // did not come from the XML file).
    const YImportReport& Import() const { return m_Import; }
    const YCacheWriteFailure& CacheFailure() const { return m_CacheFailure; }

private:
    uint64_t m_Handle = 0;
    OpenRequest m_Request;
    YFCatPool::Source m_Source = YFCatPool::Source::None;
    YImportReport m_Import;
    YCacheWriteFailure m_CacheFailure;
};

// The usual opening of a command: checks that the file can be read (else
// reports why, kExitUsage), opens it, reports a failed import with its first
// reason (kExitFailed) and warns about a cache or log file that could not be
// written. Returns kExitOk when the catalog is open.
int OpenForCommand(const OpenRequest& request, OpenedCatalog& opened);

// The log path a host derives from a catalog path: the extension becomes ".log".
std::string DefaultLogPath(const std::string& catalog);

// One line about what an import with errors lost or repaired, e.g.
// "dropped 1 FBlock, 2 functions; 3 functions kept with repairs", or empty
// when the import reported no such thing. catalog may be null.
std::string ImportDamage(const YImportReport& report, const YMTCatalog* catalog);

} // namespace mostfcat::cli
