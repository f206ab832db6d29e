// mostfcat: the command-line face of the library. Each command lives in its
// own file (cmd_*.cpp) with its options and help; this file finds it.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tool_command.h"

#ifndef MOSTFCAT_VERSION
#define MOSTFCAT_VERSION "unknown"
#endif

using namespace mostfcat::cli;

namespace {

// Every command, in the order of the help text.
const ToolCommand* const kCommands[] = {
    &kImportCommand, &kListCommand,  &kDumpCommand,     &kDecodeCommand,
    &kEncodeCommand, &kServeCommand, &kGenerateCommand, &kDiffCommand,
};

int Help() {
    std::string text =
        "usage: mostfcat [--settings DIR] [COMMAND ARGS...]\n"
        "       mostfcat --version | help\n"
        "\n"
        "Without a command, the bundled sample catalog is imported and listed (with\n"
        "the cache off and no log, so nothing is written).\n"
        "\n"
        "commands:\n";
    for (const ToolCommand* c : kCommands)
        text += c->help;
    text += "  help  show this text\n"
            "\n"
            "options:\n"
            "  --settings DIR   the folder that holds the profile Tarvex.ini\n"
            "  --channel N      the bus channel to open the catalog on and to decode or\n"
            "                   encode on: 1 to 16, or 0 for every channel (the default)\n"
            "  --version        print the library version\n"
            "\n"
            "list and dump write no log file; a failed import tells its first reason on\n"
            "standard error (mostfcat import writes the whole log).\n"
            "\n"
            "exit status: 0 success; 1 the import failed (with --strict: logged an error),\n"
            "a filter matched nothing or an input did not fit; 2 a usage error or a file\n"
            "that cannot be read\n";
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

int Run(const std::string& name, const std::vector<std::string>& args) {
    if (name == "help") return Help();
    for (const ToolCommand* c : kCommands) {
        if (name != c->name) continue;
        CommandArgs parsed;
        std::string problem = ParseArgs(*c, args, parsed);
        if (!problem.empty()) return UsageError(problem);
        return c->run(parsed);
    }
    if (!name.empty() && name[0] == '-') return UsageError("unknown option '" + name + "'");
    return UsageError("unknown command '" + name + "'");
}

} // namespace

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--settings") {
                if (i + 1 >= argc) return UsageError("--settings needs a folder");
                gFctSetSettingsFolder(argv[++i]);
            } else if (a.rfind("--settings=", 0) == 0) {
                gFctSetSettingsFolder(a.substr(11).c_str());
            } else if (a == "--help" || a == "-h") {
                return Help();
            } else if (a == "--version") {
                std::printf("mostfcat %s (importer %s, object interface 3.0)\n", MOSTFCAT_VERSION,
                            gFctImporterVersion());
                return kExitOk;
            } else {
                args.push_back(a);
            }
        }
        if (args.empty()) return RunDemo();
        std::string name = args.front();
        args.erase(args.begin());
        return Run(name, args);
    } catch (const std::exception& e) {
        PrintError(std::string("internal error: ") + e.what());
        return kExitFailed;
    }
}
