// The command-line tool as a user meets it: list outputs, error messages
// with their exit status, cache and log trouble, --strict, and the demo.
#include <tuple>

#include "cli/cli_fixture.h"
#include "generator/catalog_generator.h"
#include "params/param_bool.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "tree/catalog.h"

namespace mostfcat::test {
namespace {

// --- list ---------------------------------------------------------------------------

TEST_F(CliTest, ListGolden) {
    std::string cat = Fixture("cli_amplifier.xml");
    Result plain = Run({"list", cat});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "");
    ExpectGolden(Neutral(plain.out), "list_amplifier.txt");
    // The standard Error operation in full once, then on one line; --all: in full every time.
    Result all = Run({"list", cat, "--all"});
    EXPECT_EQ(Count(plain.out, "[1] ErrorCode: enum"), 1u);
    EXPECT_EQ(Count(plain.out, "0xF Error: standard error parameters\n"), 2u);
    EXPECT_EQ(Count(all.out, "[1] ErrorCode: enum"), 3u);
    EXPECT_EQ(Count(all.out, "standard error parameters"), 0u);

    // A filter by ID and one by name (any letter case) give the same
    // function; --verbose adds the descriptions (é as UTF-8).
    Result byId = Run({"list", cat, "--function", "402", "--verbose"});
    Result byName = Run({"list", cat, "--fblock", "amp", "--function", "BALANCE", "--verbose"});
    ASSERT_EQ(byId.status, 0) << byId.err;
    EXPECT_EQ(byId.out, byName.out);
    ExpectGolden(Neutral(byId.out), "list_amplifier_balance_verbose.txt");
}

TEST_F(CliTest, ListJsonGolden) {
    std::string cat = Fixture("cli_amplifier.xml");
    Result whole = Run({"list", cat, "--json"});
    ASSERT_EQ(whole.status, 0) << whole.err;
    Json j = Json::parse(whole.out); // valid UTF-8 and JSON
    EXPECT_EQ(j["fblocks"][0]["instances"][0]["functions"][1]["description"],
              "Left/right balance (r\xC3\xA9glage).");
    // Both instances carry their functions in full.
    EXPECT_EQ(j["fblocks"][0]["instances"][1]["functions"],
              j["fblocks"][0]["instances"][0]["functions"]);
    Result one = Run({"list", cat, "--json", "--function", "Balance"});
    ASSERT_EQ(one.status, 0) << one.err;
    ExpectGolden(Neutral(one.out), "list_amplifier_balance.json");
}

// The JSON outline of a generated catalog (every parameter type) against the
// tree the library builds from the same file.
void ExpectParams(const YMTChildList& list, const Json& params, const std::string& where);

void ExpectParam(const YMTParam& p, const Json& j, const std::string& where) {
    std::string at = where + "/" + p.NameRef();
    EXPECT_EQ(j["name"], p.NameRef()) << at;
    EXPECT_EQ(j["position"], p.ParamPos()) << at;
    EXPECT_EQ(j["bytes"], p.BytesInMsg()) << at;
    EXPECT_EQ(j.value("bit_offset", kNoBitPos), p.MsgBitPos()) << at;
    EXPECT_EQ(j.value("symbol", ""), p.SymID()) << at;
    if (p.NodeType() == kNodeNumber) {
        const auto& n = static_cast<const YMTParamNumber&>(p);
        EXPECT_EQ(j["exponent"], n.Exponent()) << at;
        EXPECT_EQ(j["signed"], n.IsSigned()) << at;
        EXPECT_EQ(j.value("raw_min", 0.0), n.RangeMin()) << at;
        EXPECT_EQ(j.value("raw_max", 0.0), n.RangeMax()) << at;
    }
    if (p.NodeType() == kNodeEnum) {
        EXPECT_EQ(j["values"].size(), static_cast<const YMTParamEnum&>(p).GetCount()) << at;
    }
    if (p.NodeType() == kNodeBool || p.NodeType() == kNodeBitField) {
        EXPECT_EQ(j["bool_fields"].size(), static_cast<const YMTParamBool&>(p).GetCount()) << at;
    }
    if (p.NodeType() == kNodeDetailedStream || p.NodeType() == kNodeDetailedShortStream) {
        const auto& s = static_cast<const YMTParamDetailedStreamBase&>(p);
        size_t cases = 0, k = 0;
        ForEachChild(s, [&](uint32_t, YMTNode* n) {
            if (n->NodeType() != kNodeStreamCase) return;
            ++cases;
            if (k < j["cases"].size())
                ExpectParams(*static_cast<YMTParamStreamCase*>(n), j["cases"][k++]["parameters"],
                             at);
        });
        EXPECT_EQ(j["cases"].size(), cases) << at;
    } else if (auto* list = dynamic_cast<const YMTChildList*>(&p);
               list && j.contains("parameters")) {
        ExpectParams(*list, j["parameters"], at);
    }
}

void ExpectParams(const YMTChildList& list, const Json& params, const std::string& where) {
    size_t k = 0;
    ForEachChild(list, [&](uint32_t, YMTNode* n) {
        if (!IsParamNodeType(n->NodeType()) || n->NodeType() == kNodeStreamCase) return;
        if (k < params.size()) ExpectParam(*static_cast<YMTParam*>(n), params[k], where);
        ++k;
    });
    EXPECT_EQ(params.size(), k) << where;
}

// FBlocks, instances, functions and operations: each level of the outline
// lists the node's children in order with their IDs (and names, but for
// instances); operations carry their parameters.
void ExpectLevel(const YMTChildList& list, const Json& items, int depth, const std::string& where,
                 size_t& functions) {
    static const char* const kChildren[] = {"instances", "functions", "operations"};
    size_t k = 0;
    ForEachChild(list, [&](uint32_t, YMTNode* n) {
        if (depth == 0 && n->NodeType() != kNodeFBlock) return;
        ASSERT_LT(k, items.size()) << where;
        const Json& j = items[k++];
        const std::string at = where + "/" + n->NameRef();
        EXPECT_EQ(j[depth == 3 ? "op_type" : "id"], n->ID()) << at;
        if (depth == 0 || depth == 2) {
            EXPECT_EQ(j["name"], n->NameRef()) << at;
        }
        functions += depth == 2;
        const auto& children = *dynamic_cast<const YMTChildList*>(n);
        if (depth == 3)
            ExpectParams(children, j["parameters"], at);
        else
            ExpectLevel(children, j[kChildren[depth]], depth + 1, at, functions);
    });
    EXPECT_EQ(items.size(), k) << where;
}

using CliTreeTest = CatalogTest;

TEST_F(CliTreeTest, JsonOutlineMatchesTheTreeOfAGeneratedCatalog) {
    std::string path = m_Dir.File("generated.xml");
    ASSERT_TRUE(GenerateCatalogFile(path, 7, 200000));
    Imported tree = ImportFile(path);
    ASSERT_EQ(tree.status, 0u);
    std::string cmd = std::string(MOSTFCAT_CLI_PATH) + " --settings " + m_Dir.Path() + " list " +
                      path + " --json > " + m_Dir.File("out.json");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    Json j = Json::parse(ReadFile(m_Dir.File("out.json")));
    size_t functions = 0;
    ExpectLevel(*tree.catalog, j["fblocks"], 0, "", functions);
    EXPECT_GT(functions, 10u) << "the generated catalog should not be trivial";
}

// --- errors -------------------------------------------------------------------------

TEST_F(CliTest, ErrorsSayWhyInOneLine) {
    WriteFile(m_Dir.File("bad.xml"), "<?xml version=\"1.0\"?>\n<FunctionCatalog>\n  <FBlock>\n"
                                     "</FunctionCatalog>\n");
    WriteFile(m_Dir.File("other.xml"), "<?xml version=\"1.0\"?>\n<Other/>\n");
    WriteFile(m_Dir.File("notes.txt"), "text");
    fs::create_directory(m_Dir.File("folder.xml"));
    Fixture("cli_amplifier.xml");
    const std::string longName(300, 'n'), help = " (see mostfcat help)";
    // Arguments split at blanks, exit status, standard error after "mostfcat: ".
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"list missing.xml", 2, "cannot read missing.xml: no such file"},
        {"import folder.xml", 2, "cannot read folder.xml: it is a folder, not a file"},
        {"dump notes.txt", 2, "cannot read notes.txt: a catalog file name must end in .xml"},
        {"list notes.txt/x.xml", 2,
         "cannot read notes.txt/x.xml: a part of the path is not a folder"},
        {"list " + longName + ".xml", 2,
         "cannot read " + longName + ".xml: the path or one of its names is too long"},
        {"import bad.xml --no-log", 1,
         "import of bad.xml failed: XML fatal error at line 4, column 3: expected end of tag "
         "'FBlock'"},
        {"list other.xml", 1, "import of other.xml failed: no FunctionCatalog root element"},
        {"list cli_amplifier.xml --fblock 0x23", 1, "no FBlock 0x23 in cli_amplifier.xml"},
        {"list cli_amplifier.xml --fblock Amp --function Volume --json", 1,
         "no FBlock Amp with function Volume in cli_amplifier.xml"},
        {"list bad.xml --colour", 2, "list: unknown option '--colour'" + help},
        {"lsit bad.xml", 2, "unknown command 'lsit'" + help},
        {"import", 2, "import needs a catalog file" + help},
        {"list a.xml b.xml", 2, "list: unexpected argument 'b.xml'" + help},
        {"import a.xml --log x.log --no-log", 2,
         "import: --log and --no-log exclude each other" + help},
        {"list a.xml --channel 17", 2,
         "list: --channel takes 1 to 16 (a bus channel) or 0 (every channel), not '17'" + help},
        {"generate g.xml --size -1", 2,
         "generate: --size takes 1 to 1073741824 bytes, not '-1'" + help},
        {"generate g.xml --size 99999999999999", 2,
         "generate: --size takes 1 to 1073741824 bytes, not '99999999999999'" + help},
    };
    for (const auto& [line, status, err] : cases) {
        Result r = RunLine(line);
        EXPECT_EQ(r.status, status) << line;
        EXPECT_EQ(r.err, "mostfcat: " + err + "\n") << line;
        EXPECT_EQ(r.out, "") << line;
    }
    EXPECT_FALSE(fs::exists(m_Dir.File("g.xml")));
    EXPECT_FALSE(fs::exists(m_Dir.File("bad.log"))) << "--no-log";
}

TEST_F(CliTest, VersionAndHelp) {
    Result v = Run({"--version"});
    EXPECT_EQ(v.status, 0);
    // "mostfcat 3.0.9 (importer 3.0.9.0, ...)": the version of the library built.
    EXPECT_EQ(v.out.rfind("mostfcat 3.", 0), 0u) << v.out;
    EXPECT_NE(v.out.find(" (importer "), std::string::npos) << v.out;
    Result h = Run({"help"});
    EXPECT_EQ(h.status, 0);
    // The help names the channel range and what 0 means, and every opening
    // command offers --channel.
    EXPECT_NE(h.out.find("1 to 16, or 0 for every channel"), std::string::npos);
    for (const char* command : {"  import CATALOG", "  list CATALOG", "  dump CATALOG",
                                "  decode CATALOG", "  encode CATALOG"}) {
        size_t at = h.out.find(command);
        ASSERT_NE(at, std::string::npos) << command;
        // The usage runs until the description, indented by eight blanks.
        size_t next = h.out.find("\n        ", at);
        while (next != std::string::npos && h.out[next + 9] == ' ')
            next = h.out.find("\n        ", next + 1);
        EXPECT_NE(h.out.substr(at, next - at).find("[--channel N]"), std::string::npos) << command;
    }
}

// --- the cache ----------------------------------------------------------------------

TEST_F(CliTest, UnwritableCacheStillOpens) {
    std::string cat = Fixture("cli_amplifier.xml");
    fs::create_directory(m_Dir.File("cli_amplifier.vfc"));
    const std::string warning = "mostfcat: warning: cache file " + m_Dir.File("cli_amplifier.vfc") +
                                " not written (Is a directory); the catalog is used without it and "
                                "imported again next time\n";
    Result imported = Run({"import", cat});
    EXPECT_EQ(imported.status, 0);
    EXPECT_EQ(imported.out,
              "fatal errors: 0  errors: 0  warnings: 0  (logged errors: 0  warnings: 0)\n"
              "cli_amplifier.xml: imported from XML; cache not written\n"
              "log: cli_amplifier.log\n");
    EXPECT_EQ(imported.err, warning);
    EXPECT_NE(
        ReadFile(m_Dir.File("cli_amplifier.log"))
            .find("Cache file " + m_Dir.File("cli_amplifier.vfc") + " not written (Is a directory"),
        std::string::npos);

    Result listed = Run({"list", cat});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.err, warning);
    ExpectGolden(Neutral(listed.out), "list_amplifier.txt");
    Result dumped = Run({"dump", cat});
    EXPECT_EQ(dumped.status, 0);
    EXPECT_NE(dumped.out.find("Balance"), std::string::npos);

    // A log that cannot be written is not claimed either.
    Result r = Run({"import", cat, "--log", "no/such/folder/x.log"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("log:"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, warning + "mostfcat: warning: cannot write the log no/such/folder/x.log (No "
                               "such file or directory)\n");
}

TEST_F(CliTest, CacheLoadRepeatsTheCountsOfItsImport) {
    std::string cat = Fixture("broken_catalog.xml");
    const std::string counters =
        "fatal errors: 0  errors: 17  warnings: 5  (logged errors: 17  warnings: 5)";
    Result first = Run({"import", cat});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, counters +
                             "\nimport errors: dropped 1 FBlock, 2 instances, 3 functions, 3 "
                             "parameters; parameters removed from every operation of 1 function; 2 "
                             "functions kept with repairs (see the log)\n"
                             "broken_catalog.xml: imported from XML, cache written to " +
                             m_Dir.File("broken_catalog.vfc") + "\nlog: broken_catalog.log\n");

    Result second = Run({"import", cat});
    EXPECT_EQ(second.out, "broken_catalog.xml: loaded from the cache " +
                              m_Dir.File("broken_catalog.vfc") +
                              " (the XML file was not imported)\ncounts of the import that wrote "
                              "the cache (broken_catalog.log): " +
                              counters + "\n");
    Result strict = Run({"import", cat, "--strict"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_EQ(strict.err, "mostfcat: --strict: the import logged 17 errors\n");

    // A cache written without a log holds no counts; --strict imports again.
    fs::remove(m_Dir.File("broken_catalog.vfc"));
    ASSERT_EQ(Run({"import", cat, "--no-log"}).status, 0);
    Result unknown = Run({"import", cat});
    EXPECT_EQ(unknown.status, 0);
    EXPECT_NE(unknown.out.find("the cache holds no counts"), std::string::npos) << unknown.out;
    Result strictAgain = Run({"import", cat, "--strict"});
    EXPECT_EQ(strictAgain.status, 1);
    EXPECT_NE(strictAgain.out.find(counters), std::string::npos) << strictAgain.out;
}

// --- the demo -----------------------------------------------------------------------

TEST_F(CliTest, MovedToolRunsItsDemoWithoutWritingFiles) {
    // An installed layout: PREFIX/bin/mostfcat and PREFIX/share/mostfcat/.
    fs::create_directories(m_Dir.File("prefix/bin"));
    fs::create_directories(m_Dir.File("prefix/share/mostfcat"));
    fs::copy_file(MOSTFCAT_CLI_PATH, m_Dir.File("prefix/bin/mostfcat"));
    fs::copy_file(MOSTFCAT_SAMPLE_CATALOG, m_Dir.File("prefix/share/mostfcat/sample_catalog.xml"));
    Result demo = Run({}, "", m_Dir.File("prefix/bin/mostfcat"));
    EXPECT_EQ(demo.status, 0) << demo.err;
    EXPECT_NE(demo.out.find("FBlock 0x22 AudioAmplifier"), std::string::npos);
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(m_Dir.File("prefix/share")))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1u) << "no log and no cache beside the sample";

    // Without the installed sample the demo takes the one of the source tree
    // it was built from.
    fs::remove(m_Dir.File("prefix/share/mostfcat/sample_catalog.xml"));
    Result source = Run({}, "", m_Dir.File("prefix/bin/mostfcat"));
    EXPECT_EQ(source.status, 0) << source.err;
    EXPECT_NE(source.out.find(fs::path(MOSTFCAT_SAMPLE_CATALOG).lexically_normal().string()),
              std::string::npos);
    // MOSTFCAT_SAMPLE names it.
    fs::copy_file(MOSTFCAT_SAMPLE_CATALOG, m_Dir.File("elsewhere.xml"));
    Result named = Run({}, "", m_Dir.File("prefix/bin/mostfcat"),
                       "MOSTFCAT_SAMPLE=" + Quote(m_Dir.File("elsewhere.xml")));
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_FALSE(fs::exists(m_Dir.File("elsewhere.vfc")));
    EXPECT_FALSE(fs::exists(m_Dir.File("elsewhere.log")));
}

} // namespace
} // namespace mostfcat::test
