#include "import/import_log.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "platform/strings.h"

namespace mostfcat {

namespace {

YImportLogCapture* g_Capture = nullptr;

// Lines of the log layout that mark its sections.
constexpr const char* kParserSection = "Parser messages:";
constexpr const char* kParseDone = "Parse done";
constexpr const char* kImporterSection = "Importer messages";

// A message of several lines as one: line ends and the indentation after
// them become one blank; trailing blanks go.
std::string OneLine(const std::string& text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            blank = !out.empty();
            continue;
        }
        if (blank) out.push_back(' ');
        blank = false;
        out.push_back(c);
    }
    return out;
}

} // namespace

std::string YImportReport::CounterLine() const {
    return StrFormat(
        "fatal errors: %d  errors: %d  warnings: %d  (logged errors: %d  warnings: %d)",
        static_cast<int>(fatalCount), static_cast<int>(errorCount), static_cast<int>(warningCount),
        static_cast<int>(loggedErrorCount), static_cast<int>(loggedWarningCount));
}

std::string YImportReport::FailureReason() const {
    // "/" is the path name of a catalog that has no name yet: it adds nothing.
    if (!firstFailure.empty())
        return firstFailureWhere.empty() || firstFailureWhere == "/"
                   ? firstFailure
                   : firstFailure + " (in '" + firstFailureWhere + "')";
    if (importerRan && !summaryWritten) return "no FunctionCatalog root element";
    return std::string();
}

YImportLogCapture::YImportLogCapture() : m_Outer(g_Capture) {
    g_Capture = this;
}

YImportLogCapture::~YImportLogCapture() {
    if (m_Log) m_Log->m_Capture = nullptr;
    g_Capture = m_Outer;
}

const YImportReport& YImportLogCapture::Report() const {
    if (m_Log) m_Log->Report();
    return m_Report;
}

YImportLog::YImportLog() {
    if (g_Capture && !g_Capture->m_Report.ran) {
        m_Capture = g_Capture;
        m_Capture->m_Log = this;
        m_Capture->m_Report.ran = true;
    }
}

YImportLog::~YImportLog() {
    if (m_Capture) {
        Report();
        m_Capture->m_Log = nullptr;
    }
    CloseLogFile();
    CloseDumpFile();
}

void YImportLog::Report() {
    if (!m_Capture) return;
    YImportReport& r = m_Capture->m_Report;
    r.fatalCount = m_FatalCount;
    r.errorCount = m_ErrorCount;
    r.warningCount = m_WarningCount;
    r.loggedErrorCount = m_LoggedErrorCount;
    r.loggedWarningCount = m_LoggedWarningCount;
}

bool YImportLog::OpenLogFile(const std::string& path) {
    if (m_LogFile || path.empty()) return false;
    errno = 0;
    m_LogFile = std::fopen(path.c_str(), "w");
    if (m_Capture) {
        YImportReport& r = m_Capture->m_Report;
        r.logPath = path;
        r.logWritten = m_LogFile != nullptr;
        if (!m_LogFile) r.logProblem = errno ? std::strerror(errno) : "cannot be created";
    }
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
    if (m_Capture) ++m_Capture->m_Report.errorNumbers[number];
    if (!IsErrorLogged(number)) return;
    ++m_LoggedErrorCount;
    if (m_LogFile)
        std::fprintf(m_LogFile, "Error #%04u in '%s':\n  %s\n", number, where.c_str(),
                     text.c_str());
}

void YImportLog::LogWarning(uint32_t number, const std::string& text, const std::string& where,
                            uint32_t level) {
    ++m_WarningCount;
    if (m_Capture) ++m_Capture->m_Report.warningNumbers[number];
    if (!IsWarningLogged(number, level)) return;
    ++m_LoggedWarningCount;
    if (m_LogFile)
        std::fprintf(m_LogFile, "Warning #%04u in '%s':\n  %s\n", number, where.c_str(),
                     text.c_str());
}

void YImportLog::LogFatal(const std::string& text, const std::string& where) {
    ++m_FatalCount;
    if (m_Capture && m_Capture->m_Report.firstFailure.empty()) {
        m_Capture->m_Report.firstFailure = OneLine(text);
        m_Capture->m_Report.firstFailureWhere = where;
    }
    if (m_LogFile)
        std::fprintf(m_LogFile, "Fatal error in '%s':\n  %s\n", where.c_str(), text.c_str());
}

void YImportLog::LogLine(const std::string& text) {
    if (m_Capture) {
        YImportReport& r = m_Capture->m_Report;
        if (text == kParserSection) {
            m_InParserSection = true;
        } else if (m_InParserSection) {
            // Any parser diagnostic fails the import; the first one says why.
            if (text == kParseDone)
                m_InParserSection = false;
            else if (r.firstFailure.empty())
                r.firstFailure = OneLine(text);
        } else if (text.rfind(kImporterSection, 0) == 0) {
            r.importerRan = true;
        }
    }
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
    if (m_Capture) m_Capture->m_Report.summaryWritten = true;
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
