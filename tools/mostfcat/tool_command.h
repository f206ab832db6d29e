// What the commands of the tool share: the command table entry, reading
// arguments, reporting usage errors and unreadable files, and opening a
// catalog through a catalog manager the way any host does.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mostfcat/fci.h"
#include "mostfcat/open_report.h"

namespace mostfcat::cli {

// Exit status.
constexpr int kExitOk = 0;
// The import failed (or, --strict, logged an error); an input did not fit.
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2; // a usage error or a file that cannot be read

// Channel of an open that names none: every channel (the manager treats
// 0xFFFF as 0, the union of all bus channels).
constexpr uint16_t kAllChannels = MOSTFCAT_ANY_CHANNEL;

// Prints one line "mostfcat: TEXT (see mostfcat help)" on standard error;
// returns kExitUsage.
int UsageError(const std::string& text);
// Prints one line "mostfcat: TEXT" on standard error.
void PrintError(const std::string& text);
void PrintWarning(const std::string& text);

// Text helpers.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Trim(const std::string& text); // blanks, tabs and line ends at both ends
bool EqualsNoCase(const std::string& a, const std::string& b); // ASCII letters

// The absolute, lexically normal form of path (no link is followed); empty
// for an empty path or a result longer than kMaxFullPath.
constexpr size_t kMaxFullPath = 4096;
std::string FullPath(const std::string& path);
// path with its extension (from the last '.' of the file name) replaced.
std::string WithExtension(const std::string& path, const std::string& extension);
// The extension of path's file name with its dot, or empty.
std::string ExtensionOf(const std::string& path);

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
    // The arguments after the command's rest option, and whether it was given.
    std::vector<std::string> rest;
    bool restGiven = false;

    bool Has(const std::string& name) const;
    // The value of the last occurrence, or fallback.
    std::string Get(const std::string& name, const std::string& fallback = "") const;
};

// One entry of the command table.
struct ToolCommand {
    const char* name;
    std::vector<OptionDef> options;
    // An option that takes every argument after it (into CommandArgs::rest),
    // or null.
    const char* restOption;
    // Its block of the help text: the usage line(s), then what it does.
    const char* help;
    int (*run)(const CommandArgs& args);
};

// The commands, in the order of the help text.
extern const ToolCommand kImportCommand, kListCommand, kDumpCommand, kDecodeCommand, kEncodeCommand,
    kGenerateCommand;
extern const ToolCommand kServeCommand; // cmd_serve.cpp: the web view
extern const ToolCommand kDiffCommand;  // cmd_diff.cpp: catalog versions compared
// Without a command: the bundled sample catalog, imported and listed.
int RunDemo();

// Reads args for command; on a mistake returns the one-line text that names
// the wrong argument (for UsageError), else an empty text.
std::string ParseArgs(const ToolCommand& command, const std::vector<std::string>& args,
                      CommandArgs& out);

// Reads the value of --channel: 1 to 16 a bus channel, 0 every channel.
// Returns an error text, or empty.
std::string ParseChannel(const std::string& text, uint16_t& channel);

// Reads the one catalog argument and the --channel of an opening command.
struct OpenRequest;
std::string ReadOpenArgs(const std::string& command, const CommandArgs& a, OpenRequest& request);

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

    // The node handle of the opened catalog, or 0.
    uint64_t Catalog() const;
    YFciFCatManager* Manager() const { return gFciFCatManager(m_Handle); }
    const OpenRequest& Request() const { return m_Request; }
    // What the open did (Report().importRan is false when the catalog did
    // not come from the XML file).
    const YFciOpenReport& Report() const { return m_Report; }

private:
    uint64_t m_Handle = 0;
    OpenRequest m_Request;
    YFciOpenReport m_Report;
};

// The usual opening of a command: checks that the file can be read (else
// reports why, kExitUsage), opens it, reports a failed import with its first
// reason (kExitFailed) and warns about a cache or log file that could not be
// written. Returns kExitOk when the catalog is open.
int OpenForCommand(const OpenRequest& request, OpenedCatalog& opened);

// Message coordinates written "FBLOCK.INST.FKT.OP" in hexadecimal.
struct MessageCoordinates {
    uint32_t fblock = 0, instance = 0, function = 0, operation = 0;
};
// Reads coordinates; false with the reason in problem.
bool ParseCoordinates(const std::string& text, MessageCoordinates& out, std::string& problem);

// The log path a host derives from a catalog path: the extension becomes ".log".
std::string DefaultLogPath(const std::string& catalog);

} // namespace mostfcat::cli
