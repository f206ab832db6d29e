// The numbered import log: counters, filters, line formats and the summary.
#include <gtest/gtest.h>

#include "import/import_log.h"
#include "support/test_support.h"

namespace mostfcat {
namespace {

std::string Summary(const std::string& excluded, int level, const std::string& counters) {
    return "\n\nLog options applied (see section [MOSTImport] in profile 'Tarvex.ini'):\n"
           "; Errors/warnings not to be written to the log file.\nImportLogExclude=" +
           excluded +
           "\n; Warning level: 0 (show all warnings)... 10 (show most important warnings only)\n"
           "WarningLevel=" +
           std::to_string(level) + "\n\n\n" + counters + "\n";
}

TEST(ImportLogTest, LineFormatsAndFiltersThatWriteButAlwaysCount) {
    test::LogCapture capture;
    YImportLog& log = capture.Log();
    log.SetWarningLevel(5);
    log.SetExcluded({34, 12});
    log.LogWarning(191, "level 1", "/A", 1); // counted, not written
    log.LogWarning(12345, "level 5", "////UByte", 5);
    log.LogWarning(34, "excluded", "/D", 10);
    log.LogError(12, "excluded error", "/E");
    log.LogError(7, "error", "///");
    log.LogFatal("fatal", "/G"); // never filtered
    log.LogLine("plain text");
    log.WriteSummary(); // the counters as the summary shows them
    EXPECT_EQ(capture.Text(),
              "Warning #12345 in '////UByte':\n  level 5\nError #0007 in '///':\n  error\n"
              "Fatal error in '/G':\n  fatal\nplain text\n" +
                  Summary("12,34", 5,
                          "fatal errors: 1  errors: 2  warnings: 3  (logged errors: 1  warnings: "
                          "1)"));
}

TEST(ImportLogTest, WithoutAFileEverythingIsCountedAndNothingWritten) {
    test::TempDir dir;
    YImportLog log;
    EXPECT_FALSE(log.OpenLogFile(""));
    EXPECT_FALSE(log.OpenLogFile(dir.File("no/such/folder/x.log")));
    log.LogError(1, "e", "/");
    log.LogWarning(2, "w", "/", 0);
    log.LogFatal("f", "/");
    log.LogLine("line");
    log.WriteSummary();
    log.DumpLine("dump", 2);
    EXPECT_EQ(log.CounterText(), "fatal errors: 1  errors: 1  warnings: 1");
}

TEST(ImportLogTest, LogFileIsTruncatedAndDumpFileAppended) {
    test::TempDir dir;
    std::string logPath = dir.File("cat.log");
    std::string dumpPath = dir.File("cat.dump");
    test::WriteFile(logPath, "old content\n");
    test::WriteFile(dumpPath, "earlier dump\n");
    {
        YImportLog log;
        ASSERT_TRUE(log.OpenLogFile(logPath));
        EXPECT_FALSE(log.OpenLogFile(logPath)); // one log file at a time
        log.LogLine("new");
        ASSERT_TRUE(log.OpenDumpFile(dumpPath));
        log.DumpLine("CATALOG: Cat", 0);
        log.DumpLine(".FBlockID: 0x22", 2);
    }
    // A dump line never reaches the log file and a log line never the dump.
    EXPECT_EQ(test::ReadFile(logPath), "new\n");
    EXPECT_EQ(test::ReadFile(dumpPath), "earlier dump\nCATALOG: Cat\n\t\t.FBlockID: 0x22\n");
}

} // namespace
} // namespace mostfcat
