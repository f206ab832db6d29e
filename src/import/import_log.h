// The numbered import log: counts fatal errors, errors and warnings, filters
// what it writes by a warning level and an exclusion set, and carries a
// second file for the tree dump.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>

namespace mostfcat {

class YImportLogCapture;

// What one import reported, kept for callers that do not read the log file
// (or have none): the counters, the first reason of a failure and which
// numbered messages were reported.
struct YImportReport {
    bool ran = false;         // a log was created for an import
    std::string logPath;      // the log file asked for (empty: none)
    bool logWritten = false;  // that file could be created
    std::string logProblem;   // why it could not, when it could not
    bool importerRan = false; // the parse succeeded and the importers started
    bool summaryWritten = false;
    uint32_t fatalCount = 0;
    uint32_t errorCount = 0;
    uint32_t warningCount = 0;
    uint32_t loggedErrorCount = 0;
    uint32_t loggedWarningCount = 0;
    // The first fatal error ("text" and "where") or, before the importers
    // ran, the first parser diagnostic (its lines joined by blanks).
    std::string firstFailure;
    std::string firstFailureWhere;
    std::map<uint32_t, uint32_t> errorNumbers;   // error number -> times reported
    std::map<uint32_t, uint32_t> warningNumbers; // warning number -> times reported

    // The summary's counter line with the logged counts, as the log file
    // shows it: "fatal errors: 0  errors: 2  warnings: 5  (logged errors: 2  warnings: 5)".
    std::string CounterLine() const;
    // Why a failed import failed, in one line: the first fatal error (with
    // where it was found), the first parser diagnostic, or "no
    // FunctionCatalog root element" when the importers started but never
    // reached their summary. Empty when nothing tells.
    std::string FailureReason() const;
};

class YImportLog {
public:
    YImportLog();
    ~YImportLog();
    YImportLog(const YImportLog&) = delete;
    YImportLog& operator=(const YImportLog&) = delete;

    // Creates or truncates the log file; false when one is open already or
    // the file cannot be created.
    bool OpenLogFile(const std::string& path);
    void CloseLogFile();
    // Opens the dump file for appending.
    bool OpenDumpFile(const std::string& path);
    void CloseDumpFile();
    // Sends the dump to an open stream (standard output, for example); the
    // log does not close it.
    void AttachDumpStream(FILE* stream);
    bool HasLogFile() const { return m_LogFile != nullptr; }
    bool HasDumpFile() const { return m_DumpFile != nullptr; }

    void LogError(uint32_t number, const std::string& text, const std::string& where);
    void LogWarning(uint32_t number, const std::string& text, const std::string& where,
                    uint32_t level);
    void LogFatal(const std::string& text, const std::string& where);
    void LogLine(const std::string& text);
    void DumpLine(const std::string& text, uint8_t indent);

    bool IsErrorLogged(uint32_t number) const;
    bool IsWarningLogged(uint32_t number, uint32_t level) const;
    void WriteSummary();
    // The counter text of the summary: "fatal errors: ...  errors: ...  warnings: ...".
    std::string CounterText() const;

    void SetWarningLevel(uint32_t level) { m_WarningLevel = level; }
    void SetExcluded(const std::set<uint32_t>& excluded) { m_Excluded = excluded; }

    uint32_t FatalCount() const { return m_FatalCount; }
    uint32_t ErrorCount() const { return m_ErrorCount; }
    uint32_t WarningCount() const { return m_WarningCount; }
    uint32_t LoggedErrorCount() const { return m_LoggedErrorCount; }
    uint32_t LoggedWarningCount() const { return m_LoggedWarningCount; }
    uint32_t WarningLevel() const { return m_WarningLevel; }
    const std::set<uint32_t>& Excluded() const { return m_Excluded; }

private:
    friend class YImportLogCapture;
    // Hands the current counters to the capture this log reports to.
    void Report();

    uint32_t m_FatalCount = 0;
    uint32_t m_ErrorCount = 0;
    uint32_t m_WarningCount = 0;
    uint32_t m_LoggedErrorCount = 0;
    uint32_t m_LoggedWarningCount = 0;
    uint32_t m_WarningLevel = 0;
    FILE* m_LogFile = nullptr;
    FILE* m_DumpFile = nullptr;
    bool m_DumpAttached = false;
    std::set<uint32_t> m_Excluded;
    YImportLogCapture* m_Capture = nullptr;
    // The log's own layout tells where a line stands: after "Parser
    // messages:" and before "Parse done" lines are parser diagnostics.
    bool m_InParserSection = false;
};

// While one exists, the first import log created (in this process, the
// library being single-threaded) reports to it: the catalog pool uses it to
// add its own lines to the log of the import it runs, and keeps the report
// for callers that ran the import without a log file. Captures nest; the
// innermost one is served.
class YImportLogCapture {
public:
    YImportLogCapture();
    ~YImportLogCapture();
    YImportLogCapture(const YImportLogCapture&) = delete;
    YImportLogCapture& operator=(const YImportLogCapture&) = delete;

    // The log of the import under way, or null before and after it.
    YImportLog* Log() const { return m_Log; }
    const YImportReport& Report() const;

private:
    friend class YImportLog;
    YImportLogCapture* m_Outer = nullptr;
    YImportLog* m_Log = nullptr;
    mutable YImportReport m_Report;
};

} // namespace mostfcat
