// The numbered import log: counts fatal errors, errors and warnings, filters
// what it writes by a warning level and an exclusion set, and carries a
// second file for the tree dump.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

namespace mostfcat {

class YImportLog {
public:
    YImportLog() = default;
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
};

} // namespace mostfcat
