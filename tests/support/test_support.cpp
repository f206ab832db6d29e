#include "support/test_support.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "import/import_context.h"
#include "import/import_log.h"
#include "import/xml.h"
#include "platform/paths.h"
#include "tree/xml_import.h"

namespace mostfcat::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    const char* base = std::getenv("MOSTFCAT_TEST_TMP");
    fs::path root = base ? fs::path(base) : fs::temp_directory_path() / "mostfcat-tests";
    static std::atomic<int> counter{0};
    fs::create_directories(root);
    for (;;) {
        fs::path p = root / ("t" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            m_Path = p.string();
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(m_Path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_Path, ec);
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(path));
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

void CatalogDeleter::operator()(YMTCatalog* c) const {
    delete c;
}

void CatalogTest::SetUp() {
    State().ResetSettings();
    State().SetSettingsFolder(m_Dir.Path());
    State().SetModulePathForTests("");
}

void CatalogTest::TearDown() {
    State().SetSettingsFolder("");
    State().ResetSettings();
}

void CatalogTest::UseProfile(const std::string& iniText) {
    WriteFile(m_Dir.File("Tarvex.ini"), iniText);
    State().ResetSettings();
    State().ReadProfile();
}

Imported CatalogTest::Import(const std::string& xml, const std::string& fileName) {
    std::string path = m_Dir.File(fileName);
    WriteFile(path, xml);
    return ImportFile(path);
}

Imported CatalogTest::ImportFile(const std::string& path) {
    Imported r;
    r.logPath = path + ".log";
    State().logPath = r.logPath;
    if (State().validationMode == 4 || State().validationMode == 1) State().validationMode = 1;
    YFileStatus st;
    GetFileStatus(path, st);
    YImportResult res = ImportXmlFile(State(), FullPath(path), st.modTime);
    r.status = res.status;
    r.catalog.reset(res.catalog);
    r.log = ReadFile(r.logPath);
    return r;
}

std::vector<std::string> CatalogTest::Messages(const std::string& log) {
    std::vector<std::string> out;
    std::istringstream in(log);
    std::string line;
    bool on = false;
    while (std::getline(in, line)) {
        if (line.rfind("Importer messages (Version", 0) == 0) {
            on = true;
            continue;
        }
        if (!on) continue;
        if (line.rfind("Log options applied", 0) == 0) break;
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

std::string CatalogTest::DumpText(YMTNode& node) {
    TempDir dir;
    std::string path = dir.File("dump.txt");
    {
        YImportLog log;
        YImportContext ctx;
        log.OpenDumpFile(path);
        node.Dump(ctx, log);
    }
    return ReadFile(path);
}

struct XmlDoc::Impl {
    std::string text;
    std::unique_ptr<xercesc::XercesDOMParser> parser;
};

XmlDoc::XmlDoc(const std::string& xml) : m_Impl(new Impl) {
    std::string message;
    InitXmlLibrary(message);
    m_Impl->text = xml;
    m_Impl->parser = std::make_unique<xercesc::XercesDOMParser>();
    m_Impl->parser->setValidationScheme(xercesc::XercesDOMParser::Val_Never);
    xercesc::MemBufInputSource src(reinterpret_cast<const XMLByte*>(m_Impl->text.data()),
                                   m_Impl->text.size(), "snippet");
    m_Impl->parser->parse(src);
}

XmlDoc::~XmlDoc() {
    delete m_Impl;
}

const XDomElement* XmlDoc::Root() const {
    xercesc::DOMDocument* doc = m_Impl->parser->getDocument();
    return doc ? doc->getDocumentElement() : nullptr;
}

std::string StandardDefinitions() {
    return R"(
    <TypeDef TypeID="type_unsigned_byte"><TDefName>UByte</TDefName><TDefSize>1</TDefSize></TypeDef>
    <TypeDef TypeID="type_signed_byte"><TDefName>SByte</TDefName><TDefSize>1</TDefSize></TypeDef>
    <TypeDef TypeID="type_unsigned_word"><TDefName>UWord</TDefName><TDefSize>2</TDefSize></TypeDef>
    <TypeDef TypeID="type_signed_word"><TDefName>SWord</TDefName><TDefSize>2</TDefSize></TypeDef>
    <TypeDef TypeID="type_unsigned_long"><TDefName>ULong</TDefName><TDefSize>4</TDefSize></TypeDef>
    <TypeDef TypeID="type_signed_long"><TDefName>SLong</TDefName><TDefSize>4</TDefSize></TypeDef>
    <UnitDef UnitID="unit_none"><UnitDefName>not defined</UnitDefName><UnitDefCode>0</UnitDefCode></UnitDef>
    <UnitDef UnitID="unit_percent"><UnitDefName>%</UnitDefName><UnitDefCode>0x12</UnitDefCode></UnitDef>
    <UnitDef UnitID="unit_db"><UnitDefName>dB</UnitDefName><UnitDefCode>3</UnitDefCode></UnitDef>
    <UnitDef UnitID="unit_hz"><UnitDefName>Hz</UnitDefName><UnitDefCode>4</UnitDefCode></UnitDef>
)";
}

std::string CatalogXml(const std::string& fblocks, const std::string& definitions) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FunctionCatalog>\n"
           "<CatalogVersion><Release>1.0</Release><Date>2026-01-01</Date></CatalogVersion>\n"
           "<Definition>" +
           (definitions.empty() ? StandardDefinitions() : definitions) + "</Definition>\n" +
           fblocks + "\n</FunctionCatalog>\n";
}

LogCapture::LogCapture() {
    m_Log.OpenLogFile(m_Dir.File("log.txt"));
}

std::string LogCapture::Text() {
    m_Log.CloseLogFile();
    return ReadFile(m_Dir.File("log.txt"));
}

std::vector<std::string> LogCapture::Lines() {
    m_Log.CloseLogFile();
    return ReadLines(m_Dir.File("log.txt"));
}

} // namespace mostfcat::test
