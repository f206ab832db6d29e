// Helpers shared by the test suites: temporary folders, file I/O, catalog
// imports from inline XML, and a clean process-wide state per test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "import/import_log.h"
#include "import/import_state.h"
#include "tree/catalog.h"

namespace mostfcat::test {

// A fresh folder below the test temp folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_Path; }
    std::string File(const std::string& name) const { return m_Path + "/" + name; }

private:
    std::string m_Path;
};

void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);

struct CatalogDeleter {
    void operator()(YMTCatalog* c) const;
};
using CatalogPtr = std::unique_ptr<YMTCatalog, CatalogDeleter>;

struct Imported {
    uint32_t status = 0;
    CatalogPtr catalog;
    std::string log; // the whole log file
    std::string logPath;
};

// Base fixture: resets the process-wide settings, points the settings folder
// at a temporary folder (so no stray profile is read) and offers imports.
class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a profile into the settings folder and reads it.
    void UseProfile(const std::string& iniText);
    // Writes xml to a file of the temporary folder and imports it with the
    // current settings (validation off unless the profile says otherwise).
    Imported Import(const std::string& xml, const std::string& fileName = "catalog.xml");
    Imported ImportFile(const std::string& path);
    // The importer messages of a log: the lines after the version line and
    // before the summary.
    static std::vector<std::string> Messages(const std::string& log);
    // Dumps a node (and its subtree) into a string.
    static std::string DumpText(YMTNode& node);

    YImportState& State() { return YImportState::Instance(); }
    TempDir m_Dir;
};

// An XML snippet parsed into a DOM (for importing single elements).
class XmlDoc {
public:
    explicit XmlDoc(const std::string& xml);
    ~XmlDoc();
    XmlDoc(const XmlDoc&) = delete;
    XmlDoc& operator=(const XmlDoc&) = delete;
    const XDomElement* Root() const;

private:
    struct Impl;
    Impl* m_Impl;
};

// An import log writing into a temporary file; Text() closes the file and
// returns what was written.
class LogCapture {
public:
    LogCapture();
    YImportLog& Log() { return m_Log; }
    std::string Text();
    std::vector<std::string> Lines();

private:
    TempDir m_Dir;
    YImportLog m_Log;
};

// Importer messages one line each: the header and its indented text joined.
inline std::vector<std::string> Joined(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        if (line.starts_with("  ") && !out.empty())
            out.back() += line.substr(1);
        else
            out.push_back(line);
    }
    return out;
}

// Importer messages as "W0043 /Values; E0051 /A/E; F /" ("W0043 E0051"
// without places): kind, number and place of each, for messages whose texts
// are fixed or checked elsewhere. Takes lines as logged (the indented text
// lines are skipped) or joined.
inline std::string Codes(const std::vector<std::string>& msgs, bool places = true) {
    std::string out;
    for (const std::string& m : msgs) {
        if (m.starts_with("  ")) continue;
        size_t at = m.find(" in '"), hash = m.find('#'), end = m.find("':", at);
        if (!out.empty()) out += places ? "; " : " ";
        out += m.substr(0, 1) + (hash < at ? m.substr(hash + 1, 4) : "");
        if (places) out += " " + m.substr(at + 5, end - at - 5);
    }
    return out;
}

// A minimal catalog document around the given FBlock elements.
std::string CatalogXml(const std::string& fblocks, const std::string& definitions = "");
// A standard set of type and unit definitions.
std::string StandardDefinitions();

} // namespace mostfcat::test
