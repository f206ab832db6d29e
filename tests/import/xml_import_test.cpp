// The import log (counters, filters, line formats, the summary) and the import
// driver: parsing, the validation choice and the layout of the import log for
// every way an import can end.
#include <gtest/gtest.h>

#include <utime.h>

#include <filesystem>

#include "import/import_log.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "tree/fblock.h"
#include "tree/xml_import.h"

namespace mostfcat {
namespace {

namespace fs = std::filesystem;
using test::CatalogXml;

const char kAmp[] = "<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>"
                    "<FBlockDescription>Amplifier</FBlockDescription></FBlock>";

// The catalog text with an internal DTD subset after its declaration line.
std::string WithDtd(const std::string& dtd, const std::string& fblocks = kAmp) {
    std::string xml = CatalogXml(fblocks);
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE FunctionCatalog [\n" + dtd + "]>\n" +
           xml.substr(xml.find('\n') + 1);
}

std::string Header(const std::string& path) {
    return "XML import log file created by Torvik/Pellam\nXML file:\n" + path +
           "\n \nParser messages:\n";
}

const char kParseDone[] = "Parse done\n\n\nImporter messages (Version 3.0.9.0):\n";

std::string Trailer(const std::string& path, bool ok) {
    return "\n\nImport of file " + path + (ok ? " completed" : " failed") + "\n\n\n";
}

std::string Summary(const std::string& counters, const std::string& exclude = "",
                    const std::string& level = "0") {
    return "\n\nLog options applied (see section [MOSTImport] in profile 'Tarvex.ini'):\n"
           "; Errors/warnings not to be written to the log file.\nImportLogExclude=" +
           exclude +
           "\n; Warning level: 0 (show all warnings)... 10 (show most important warnings only)\n"
           "WarningLevel=" +
           level + "\n\n\nfatal errors: " + counters + "\n";
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
    EXPECT_EQ(
        capture.Text(),
        "Warning #12345 in '////UByte':\n  level 5\nError #0007 in '///':\n  error\n"
        "Fatal error in '/G':\n  fatal\nplain text\n" +
            Summary("1  errors: 2  warnings: 3  (logged errors: 1  warnings: 1)", "12,34", "5"));
}

// The log file is truncated and the dump file appended to; without files
// everything is still counted.
TEST(ImportLogTest, LogAndDumpFiles) {
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

class XmlImportTest : public test::CatalogTest {
protected:
    std::string PathOf(const std::string& name) { return FullPath(m_Dir.File(name)); }
};

TEST_F(XmlImportTest, SuccessfulImportWritesTheCompleteFilteredLog) {
    test::WriteFile(m_Dir.File("catalog.xml"),
                    CatalogXml("<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>"
                               "</FBlock><FBlock><FBlockName>Bad</FBlockName></FBlock>"));
    struct utimbuf times {};
    times.actime = times.modtime = 1600000000;
    ASSERT_EQ(::utime(m_Dir.File("catalog.xml").c_str(), &times), 0);

    // Warning 191 (level 1) and error 149 (excluded) are counted only.
    UseProfile("[MOSTImport]\nImportLogExclude=149\nWarningLevel=5\n");
    test::Imported r = ImportFile(m_Dir.File("catalog.xml"));
    std::string path = PathOf("catalog.xml");
    ASSERT_EQ(r.status, 0u); // errors without a fatal one still succeed
    ASSERT_TRUE(r.catalog);
    EXPECT_EQ(r.catalog->FilePath, path);
    EXPECT_EQ(r.catalog->FileTime, 1600000000u);
    EXPECT_EQ(r.catalog->NameRef(), ""); // the driver does not name the catalog
    EXPECT_EQ(r.log, Header(path) + kParseDone +
                         "Error #0140 in '//Bad':\n  Can not find child element <FBlockID>\n" +
                         Summary("0  errors: 2  warnings: 1  (logged errors: 1  warnings: 0)",
                                 "149", "5") +
                         Trailer(path, true));
}

// Failed imports: the log holds the header, what stopped the import (the
// importer's messages with their summary, or the parser's), and the trailer.
TEST_F(XmlImportTest, FailedImportsLogWhyBetweenHeaderAndTrailer) {
    const std::string path = PathOf("catalog.xml"), at = "at file '" + path + "': Line: 4, Char: ";
    const struct {
        std::string xml, middle;
    } rows[] = {
        // Nothing after the missing definitions is looked at.
        {"<?xml version=\"1.0\"?>\n<FunctionCatalog><CatalogVersion/><FBlock><FBlockName>3D"
         "</FBlockName></FBlock></FunctionCatalog>\n",
         kParseDone + std::string("Fatal error in '/':\n  Can not find element <Definition>\n") +
             Summary("1  errors: 0  warnings: 0  (logged errors: 0  warnings: 0)")},
        // Without the root element there is no summary either.
        {"<?xml version=\"1.0\"?>\n<Catalog><Definition/></Catalog>\n", kParseDone},
        // A parser warning alone fails the import; the final line end of the
        // collected text became a blank.
        {WithDtd("<!ATTLIST FunctionCatalog a CDATA #IMPLIED>\n"
                 "<!ATTLIST FunctionCatalog a CDATA #IMPLIED>\n"),
         "Warning " + at + "28\n  Message: attribute 'a' has already been declared for element "
                           "'FunctionCatalog' \n"},
        // A malformed document: the parser's message, indented below its header.
        {"<?xml version=\"1.0\"?>\n<FunctionCatalog>\n<Definition>\n</FunctionCatalog>\n",
         "Fatal error " + at + "3\n  Message: expected end of tag 'Definition' \n"},
    };
    for (const auto& r : rows) {
        test::Imported got = Import(r.xml);
        EXPECT_EQ(got.status, 1u) << r.xml;
        EXPECT_FALSE(got.catalog) << r.xml;
        EXPECT_EQ(got.log, Header(path) + r.middle + Trailer(path, false)) << r.xml;
    }
}

TEST_F(XmlImportTest, MissingFileGivesStatus2AndNoLog) {
    State().logPath = m_Dir.File("missing.log");
    for (const std::string& path : {m_Dir.File("missing.xml"), std::string(), m_Dir.Path()}) {
        YImportResult r = ImportXmlFile(State(), path, 0);
        EXPECT_EQ(r.status, 2u) << path;
        EXPECT_EQ(r.catalog, nullptr);
    }
    EXPECT_FALSE(fs::exists(m_Dir.File("missing.log")));

    // An empty log path imports without writing any file.
    std::string path = m_Dir.File("catalog.xml");
    test::WriteFile(path, CatalogXml(kAmp));
    State().logPath.clear();
    YImportResult r = ImportXmlFile(State(), FullPath(path), 0);
    test::CatalogPtr catalog(r.catalog);
    EXPECT_EQ(r.status, 0u);
    ASSERT_TRUE(catalog);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_Dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(XmlImportTest, ValidationChoiceFollowsModeAndProfile) {
    // The internal DTD declares the root empty: only a validating parse
    // objects to the document.
    std::string path = m_Dir.File("catalog.xml");
    test::WriteFile(path, WithDtd("<!ELEMENT FunctionCatalog EMPTY>\n"));
    State().logPath = m_Dir.File("catalog.log");
    auto run = [&](uint32_t mode) {
        State().validationMode = mode;
        YImportResult r = ImportXmlFile(State(), FullPath(path), 0);
        delete r.catalog;
        return r.status;
    };
    EXPECT_EQ(run(0), 1u);
    EXPECT_NE(test::ReadFile(State().logPath).find("Error at file '"), std::string::npos);
    EXPECT_EQ(run(1), 0u);
    // Mode 4 lets the profile's Validate key decide and records the choice.
    UseProfile("[MOSTImport]\nValidate=1\n");
    EXPECT_EQ(run(4), 1u);
    EXPECT_EQ(State().validationMode, 2u);
}

TEST_F(XmlImportTest, ExternalAndExplodingEntitiesFailTheParse) {
    // An external entity is not fetched without validation: the parse
    // fails instead of reading the file.
    test::WriteFile(m_Dir.File("secret.txt"), "SECRET");
    test::Imported r =
        Import(WithDtd("<!ENTITY ext SYSTEM \"" + m_Dir.File("secret.txt") + "\">\n",
                       "<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>"
                       "<FBlockDescription>&ext;</FBlockDescription></FBlock>"));
    EXPECT_EQ(r.status, 1u);
    EXPECT_EQ(r.log.find("SECRET"), std::string::npos);
    EXPECT_NE(r.log.find("Fatal error at file"), std::string::npos);

    // Ten levels of ten references each (10^10 characters) are stopped.
    std::string dtd = "<!ENTITY e0 \"0123456789\">\n";
    for (int i = 1; i <= 9; ++i) {
        dtd += "<!ENTITY e" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            dtd += "&e" + std::to_string(i - 1) + ";";
        dtd += "\">\n";
    }
    r = Import(
        WithDtd(dtd, "<FBlock><FBlockName>&e9;</FBlockName><FBlockID>1</FBlockID></FBlock>"));
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    EXPECT_NE(r.log.find("Fatal error at file"), std::string::npos);
    EXPECT_LT(r.log.size(), 4096u);
}

} // namespace
} // namespace mostfcat
