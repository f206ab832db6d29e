// Shared by the command-line suites: runs of the built tool in a temporary
// folder, fixtures copied there, and golden files.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace mostfcat::test {

namespace fs = std::filesystem;
using Json = nlohmann::json;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::string& text) {
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class CliTest : public ::testing::Test {
protected:
    // Runs the tool in the temporary folder with the given arguments and
    // standard input (an empty settings folder, so no stray profile is read).
    Result Run(const std::vector<std::string>& args, const std::string& input = "",
               const std::string& tool = MOSTFCAT_CLI_PATH, const std::string& env = "") {
        WriteFile(m_Out.File("in"), input);
        std::string cmd = "cd " + Quote(m_Dir.Path()) + " && " + env + " " + Quote(tool);
        if (!args.empty()) cmd += " --settings " + Quote(m_Settings.Path());
        for (const std::string& a : args)
            cmd += " " + Quote(a);
        cmd += " < " + Quote(m_Out.File("in")) + " > " + Quote(m_Out.File("out")) + " 2> " +
               Quote(m_Out.File("err"));
        int raw = std::system(cmd.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadFile(m_Out.File("out"));
        r.err = ReadFile(m_Out.File("err"));
        return r;
    }
    // Runs the tool with the arguments of a line split at blanks.
    Result RunLine(const std::string& line, const std::string& input = "") {
        std::vector<std::string> args;
        std::istringstream words(line);
        for (std::string w; words >> w;)
            args.push_back(w);
        return Run(args, input);
    }
    // A fixture copied into the temporary folder; returns its file name.
    std::string Fixture(const std::string& name) {
        fs::copy_file(std::string(MOSTFCAT_FIXTURES_DIR) + "/" + name, m_Dir.File(name));
        return name;
    }
    // The folder's path replaced by "<dir>".
    std::string Neutral(std::string text) const {
        for (size_t at; (at = text.find(m_Dir.Path())) != std::string::npos;)
            text.replace(at, m_Dir.Path().size(), "<dir>");
        return text;
    }
    // Compares text with a golden file; MOSTFCAT_UPDATE_GOLDEN=1 rewrites it.
    static void ExpectGolden(const std::string& text, const std::string& name) {
        std::string path = std::string(MOSTFCAT_CLI_GOLDEN_DIR) + "/" + name;
        if (const char* update = std::getenv("MOSTFCAT_UPDATE_GOLDEN"); update && *update == '1') {
            fs::create_directories(MOSTFCAT_CLI_GOLDEN_DIR);
            WriteFile(path, text);
        }
        EXPECT_EQ(text, ReadFile(path)) << "golden file " << path;
    }
    static size_t Count(const std::string& text, const std::string& part) {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }

    TempDir m_Dir, m_Settings, m_Out;
};

} // namespace mostfcat::test
