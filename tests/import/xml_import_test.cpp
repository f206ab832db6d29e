// The import driver: parsing, the validation choice and the layout of the
// import log for every way an import can end.
#include <gtest/gtest.h>

#include <utime.h>

#include <filesystem>

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

// The catalog text after its XML declaration line.
std::string WithoutDeclaration(const std::string& xml) { return xml.substr(xml.find('\n') + 1); }

std::string Header(const std::string& path) {
    return "XML import log file created by Torvik/Pellam\nXML file:\n" + path +
           "\n \nParser messages:\n";
}

std::string ParseDone() { return "Parse done\n\n\nImporter messages (Version 3.0.9.0):\n"; }

std::string Trailer(const std::string& path, bool ok) {
    return "\n\nImport of file " + path + (ok ? " completed" : " failed") + "\n\n\n";
}

std::string Summary(const std::string& counters) {
    return "\n\nLog options applied (see section [MOSTImport] in profile 'Tarvex.ini'):\n"
           "; Errors/warnings not to be written to the log file.\n"
           "ImportLogExclude=\n"
           "; Warning level: 0 (show all warnings)... 10 (show most important warnings only)\n"
           "WarningLevel=0\n\n\n" +
           counters + "\n";
}

class XmlImportTest : public test::CatalogTest {
protected:
    std::string PathOf(const std::string& name) { return FullPath(m_Dir.File(name)); }
};

TEST_F(XmlImportTest, SuccessfulImportWritesTheCompleteLog) {
    std::string xml = CatalogXml("<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>"
                                 "</FBlock>");
    test::WriteFile(m_Dir.File("catalog.xml"), xml);
    struct utimbuf times {};
    times.actime = times.modtime = 1600000000;
    ASSERT_EQ(::utime(m_Dir.File("catalog.xml").c_str(), &times), 0);

    test::Imported r = ImportFile(m_Dir.File("catalog.xml"));
    std::string path = PathOf("catalog.xml");
    ASSERT_EQ(r.status, 0u);
    ASSERT_TRUE(r.catalog);
    EXPECT_EQ(r.catalog->FilePath, path);
    EXPECT_EQ(r.catalog->FileTime, 1600000000u);
    EXPECT_EQ(r.catalog->NameRef(), ""); // the driver does not name the catalog
    EXPECT_EQ(r.log, Header(path) + ParseDone() +
                         "Warning #0191 in '//Amp':\n"
                         "  Can not find child element <FBlockDescription>\n" +
                         Summary("fatal errors: 0  errors: 0  warnings: 1  (logged errors: 0  "
                                 "warnings: 1)") +
                         Trailer(path, true));
}

TEST_F(XmlImportTest, ErrorsWithoutFatalErrorStillSucceed) {
    test::Imported r = Import(CatalogXml(std::string(kAmp) +
                                         "<FBlock><FBlockName>Bad</FBlockName><FBlockID>zz"
                                         "</FBlockID></FBlock>"));
    ASSERT_EQ(r.status, 0u);
    ASSERT_TRUE(r.catalog);
    EXPECT_EQ(r.catalog->GetCount(), 1u);
    EXPECT_EQ(Messages(r.log),
              (std::vector<std::string>{"Error #0141 in '//Bad':", "  Failed to analyze value 'zz'",
                                        "Error #0149 in '/':",
                                        "  Failed to import element <FBlock>"}));
    EXPECT_NE(r.log.find("fatal errors: 0  errors: 2  warnings: 0  (logged errors: 2  warnings: 0)"),
              std::string::npos);
    EXPECT_NE(r.log.find("completed"), std::string::npos);
}

TEST_F(XmlImportTest, FatalImporterErrorFailsAfterTheSummary) {
    // Nothing after the missing definitions is looked at.
    test::Imported r = Import("<?xml version=\"1.0\"?>\n<FunctionCatalog><CatalogVersion/>"
                              "<FBlock><FBlockName>3D</FBlockName></FBlock></FunctionCatalog>\n");
    std::string path = PathOf("catalog.xml");
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    EXPECT_EQ(r.log, Header(path) + ParseDone() +
                         "Fatal error in '/':\n  Can not find element <Definition>\n" +
                         Summary("fatal errors: 1  errors: 0  warnings: 0  (logged errors: 0  "
                                 "warnings: 0)") +
                         Trailer(path, false));
}

TEST_F(XmlImportTest, MissingRootElementFailsWithoutSummary) {
    test::Imported r = Import("<?xml version=\"1.0\"?>\n<Catalog><Definition/></Catalog>\n");
    std::string path = PathOf("catalog.xml");
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    EXPECT_EQ(r.log, Header(path) + ParseDone() + Trailer(path, false));
}

TEST_F(XmlImportTest, MalformedDocumentShowsTheParserMessage) {
    test::Imported r = Import("<?xml version=\"1.0\"?>\n<FunctionCatalog>\n<Definition>\n"
                              "</FunctionCatalog>\n");
    std::string path = PathOf("catalog.xml");
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    std::string head = Header(path) + "Fatal error at file '" + path + "': Line: 4, Char: ";
    ASSERT_EQ(r.log.substr(0, head.size()), head) << r.log;
    std::string tail = r.log.substr(head.size());
    // One line per diagnostic header, the message indented below it; the
    // final line end of the collected text became a blank.
    size_t message = tail.find("\n  Message: ");
    ASSERT_NE(message, std::string::npos) << r.log;
    std::string trailer = " \n" + Trailer(path, false);
    ASSERT_GE(tail.size(), trailer.size());
    EXPECT_EQ(tail.substr(tail.size() - trailer.size()), trailer) << r.log;
    EXPECT_EQ(r.log.find("Parse done"), std::string::npos);
    EXPECT_EQ(r.log.find("Importer messages"), std::string::npos);
}

TEST_F(XmlImportTest, ParserWarningAloneFailsTheImport) {
    std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE FunctionCatalog [\n"
                      "<!ATTLIST FunctionCatalog a CDATA #IMPLIED>\n"
                      "<!ATTLIST FunctionCatalog a CDATA #IMPLIED>\n]>\n" +
                      WithoutDeclaration(CatalogXml(kAmp));
    test::Imported r = Import(xml);
    std::string path = PathOf("catalog.xml");
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    std::vector<std::string> lines = test::ReadLines(r.logPath);
    ASSERT_EQ(lines.size(), 12u) << r.log;
    EXPECT_EQ(lines[4], "Parser messages:");
    EXPECT_EQ(lines[5], "Warning at file '" + path + "': Line: 4, Char: 28");
    EXPECT_EQ(lines[6], "  Message: attribute 'a' has already been declared for element "
                        "'FunctionCatalog' ");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], "");
    EXPECT_EQ(lines[9], "Import of file " + path + " failed");
    EXPECT_EQ(r.log.find("Parse done"), std::string::npos);
}

TEST_F(XmlImportTest, MissingOrEmptyPathGivesStatus2AndNoLog) {
    State().logPath = m_Dir.File("missing.log");
    YImportResult r = ImportXmlFile(State(), m_Dir.File("missing.xml"), 0);
    EXPECT_EQ(r.status, 2u);
    EXPECT_EQ(r.catalog, nullptr);
    r = ImportXmlFile(State(), "", 0);
    EXPECT_EQ(r.status, 2u);
    r = ImportXmlFile(State(), m_Dir.Path(), 0); // a folder cannot be read as a file
    EXPECT_EQ(r.status, 2u);
    EXPECT_FALSE(fs::exists(m_Dir.File("missing.log")));
}

TEST_F(XmlImportTest, EmptyLogPathImportsWithoutWritingAnyFile) {
    std::string path = m_Dir.File("catalog.xml");
    test::WriteFile(path, CatalogXml(kAmp));
    State().logPath.clear();
    YImportResult r = ImportXmlFile(State(), FullPath(path), 0);
    test::CatalogPtr catalog(r.catalog);
    EXPECT_EQ(r.status, 0u);
    ASSERT_TRUE(catalog);
    EXPECT_EQ(catalog->GetCount(), 1u);
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(m_Dir.Path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST_F(XmlImportTest, ValidationChoiceFollowsModeAndProfile) {
    // The internal DTD declares the root empty: only a validating parse
    // objects to the document.
    std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE FunctionCatalog [\n"
                      "<!ELEMENT FunctionCatalog EMPTY>\n]>\n" +
                      WithoutDeclaration(CatalogXml(kAmp));
    std::string path = m_Dir.File("catalog.xml");
    test::WriteFile(path, xml);
    State().logPath = m_Dir.File("catalog.log");
    auto run = [&](uint32_t mode) {
        State().validationMode = mode;
        YImportResult r = ImportXmlFile(State(), FullPath(path), 0);
        delete r.catalog;
        return r.status;
    };
    EXPECT_EQ(run(0), 1u);
    EXPECT_NE(test::ReadFile(State().logPath).find("Error at file '"), std::string::npos);
    EXPECT_EQ(run(2), 1u);
    EXPECT_EQ(run(1), 0u);
    EXPECT_EQ(run(3), 0u);

    // Mode 4 without a profile file: no validation, recorded as mode 1.
    EXPECT_EQ(run(4), 0u);
    EXPECT_EQ(State().validationMode, 1u);
    UseProfile("[MOSTImport]\nValidate=1\n");
    EXPECT_EQ(run(4), 1u);
    EXPECT_EQ(State().validationMode, 2u);
    UseProfile("[MOSTImport]\nValidate=2\n");
    EXPECT_EQ(run(4), 0u);
    EXPECT_EQ(State().validationMode, 1u);
}

TEST_F(XmlImportTest, ProfileFiltersImporterMessagesButNeverParserMessages) {
    UseProfile("[MOSTImport]\nImportLogExclude=149\nWarningLevel=5\n");
    test::Imported r = Import(CatalogXml(
        "<FBlock><FBlockName>3D</FBlockName><FBlockID>0x22</FBlockID>"
        "<FBlockDescription>x</FBlockDescription></FBlock>"
        "<FBlock><FBlockName>Bad</FBlockName></FBlock>"));
    ASSERT_EQ(r.status, 0u);
    // Warning 223 (level 1) and error 149 (excluded) are counted only.
    EXPECT_EQ(Messages(r.log), (std::vector<std::string>{"Error #0140 in '//Bad':",
                                                         "  Can not find child element <FBlockID>"}));
    EXPECT_NE(r.log.find("ImportLogExclude=149\n"), std::string::npos);
    EXPECT_NE(r.log.find("WarningLevel=5\n"), std::string::npos);
    EXPECT_NE(r.log.find("fatal errors: 0  errors: 2  warnings: 1  (logged errors: 1  warnings: 0)"),
              std::string::npos);
}

TEST_F(XmlImportTest, EntitiesInsideTheDocumentOnly) {
    // Internal entities expand; an external one is not fetched without
    // validation, and the parse fails instead of reading the file.
    test::WriteFile(m_Dir.File("secret.txt"), "SECRET");
    std::string body = WithoutDeclaration(CatalogXml("<FBlock><FBlockName>Big&name;</FBlockName><FBlockID>0x22"
                                  "</FBlockID><FBlockDescription>&ext;</FBlockDescription>"
                                  "</FBlock>"));
    test::Imported r = Import("<?xml version=\"1.0\"?>\n<!DOCTYPE FunctionCatalog [\n"
                              "<!ENTITY name \"Amp\">\n<!ENTITY ext SYSTEM \"" +
                              m_Dir.File("secret.txt") + "\">\n]>\n" + body);
    EXPECT_EQ(r.status, 1u);
    EXPECT_EQ(r.log.find("SECRET"), std::string::npos);
    EXPECT_NE(r.log.find("Fatal error at file"), std::string::npos);

    r = Import("<?xml version=\"1.0\"?>\n<!DOCTYPE FunctionCatalog [\n"
               "<!ENTITY name \"Amp\">\n<!ENTITY ext \"inline text\">\n]>\n" +
               body);
    ASSERT_EQ(r.status, 0u);
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    ASSERT_NE(amp, nullptr);
    EXPECT_EQ(amp->NameRef(), "BigAmp");
    EXPECT_EQ(amp->Description(), "inline text");
}

TEST_F(XmlImportTest, ExponentialEntityExpansionIsStopped) {
    // Ten levels of ten references each: 10^10 characters when expanded.
    std::string dtd = "<!ENTITY e0 \"0123456789\">\n";
    for (int i = 1; i <= 9; ++i) {
        dtd += "<!ENTITY e" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) dtd += "&e" + std::to_string(i - 1) + ";";
        dtd += "\">\n";
    }
    test::Imported r = Import("<?xml version=\"1.0\"?>\n<!DOCTYPE FunctionCatalog [\n" + dtd +
                              "]>\n<FunctionCatalog><Definition/><FBlock><FBlockName>&e9;"
                              "</FBlockName><FBlockID>1</FBlockID></FBlock></FunctionCatalog>\n");
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    EXPECT_NE(r.log.find("Fatal error at file"), std::string::npos);
    EXPECT_LT(r.log.size(), 4096u);
}

} // namespace
} // namespace mostfcat
