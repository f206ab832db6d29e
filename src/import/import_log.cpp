#include "import/import_log.h"

#include <cinttypes>

#include "platform/strings.h"

namespace mostfcat {

YImportLog::~YImportLog() {
    CloseLogFile();
    CloseDumpFile();
}

bool YImportLog::OpenLogFile(const std::string& path) {
    if (m_LogFile || path.empty()) return false;
    m_LogFile = std::fopen(path.c_str(), "w");
    return m_LogFile != nullptr;
}

void YImportLog::CloseLogFile() {
    if (m_LogFile) std::fclose(m_LogFile);
    m_LogFile = nullptr;
}

bool YImportLog::OpenDumpFile(const std::string& path) {
    if (m_DumpFile || path.empty()) return false;
    m_DumpFile = std::fopen(path.c_str(), "a");
    return m_DumpFile != nullptr;
}

void YImportLog::CloseDumpFile() {
    if (m_DumpFile && !m_DumpAttached) std::fclose(m_DumpFile);
    m_DumpFile = nullptr;
    m_DumpAttached = false;
}

void YImportLog::AttachDumpStream(FILE* stream) {
    CloseDumpFile();
    m_DumpFile = stream;
    m_DumpAttached = stream != nullptr;
}

bool YImportLog::IsErrorLogged(uint32_t number) const {
    return m_Excluded.count(number) == 0;
}

bool YImportLog::IsWarningLogged(uint32_t number, uint32_t level) const {
    return level >= m_WarningLevel && m_Excluded.count(number) == 0;
}

void YImportLog::LogError(uint32_t number, const std::string& text, const std::string& where) {
    ++m_ErrorCount;
    if (!IsErrorLogged(number)) return;
    ++m_LoggedErrorCount;
    if (m_LogFile)
        std::fprintf(m_LogFile, "Error #%04u in '%s':\n  %s\n", number, where.c_str(),
                     text.c_str());
}

void YImportLog::LogWarning(uint32_t number, const std::string& text, const std::string& where,
                            uint32_t level) {
    ++m_WarningCount;
    if (!IsWarningLogged(number, level)) return;
    ++m_LoggedWarningCount;
    if (m_LogFile)
        std::fprintf(m_LogFile, "Warning #%04u in '%s':\n  %s\n", number, where.c_str(),
                     text.c_str());
}

void YImportLog::LogFatal(const std::string& text, const std::string& where) {
    ++m_FatalCount;
    if (m_LogFile)
        std::fprintf(m_LogFile, "Fatal error in '%s':\n  %s\n", where.c_str(), text.c_str());
}

void YImportLog::LogLine(const std::string& text) {
    if (m_LogFile) std::fprintf(m_LogFile, "%s\n", text.c_str());
}

void YImportLog::DumpLine(const std::string& text, uint8_t indent) {
    if (!m_DumpFile) return;
    for (uint8_t i = 0; i < indent; ++i)
        std::fputc('\t', m_DumpFile);
    std::fputs(text.c_str(), m_DumpFile);
    std::fputc('\n', m_DumpFile);
}

std::string YImportLog::CounterText() const {
    return StrFormat("fatal errors: %d  errors: %d  warnings: %d", static_cast<int>(m_FatalCount),
                     static_cast<int>(m_ErrorCount), static_cast<int>(m_WarningCount));
}

void YImportLog::WriteSummary() {
    std::string counters = CounterText();
    if (!m_LogFile) return;
    std::fputs("\n\nLog options applied (see section [MOSTImport] in profile 'Tarvex.ini'):\n",
               m_LogFile);
    std::fputs("; Errors/warnings not to be written to the log file.\n", m_LogFile);
    std::fputs("ImportLogExclude=", m_LogFile);
    bool first = true;
    for (uint32_t n : m_Excluded) {
        std::fprintf(m_LogFile, first ? "%d" : ",%d", static_cast<int>(n));
        first = false;
    }
    std::fputs("\n", m_LogFile);
    std::fputs("; Warning level: 0 (show all warnings)... 10 (show most important warnings only)\n",
               m_LogFile);
    std::fprintf(m_LogFile, "WarningLevel=%d\n\n", static_cast<int>(m_WarningLevel));
    std::fprintf(m_LogFile, "\n%s  (logged errors: %d  warnings: %d)\n", counters.c_str(),
                 static_cast<int>(m_LoggedErrorCount), static_cast<int>(m_LoggedWarningCount));
}

} // namespace mostfcat
