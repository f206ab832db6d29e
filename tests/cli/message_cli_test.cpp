// The message commands as a user meets them: decode against the library's
// own decoding, traces, encode by names and inputs, and refusals.
#include <cstdio>
#include <cstring>
#include <memory>
#include <tuple>

#include "cli/cli_fixture.h"
#include "manager/manager.h"
#include "mostfcat/fci.h"

namespace mostfcat::test {
namespace {

class MessageCliTest : public CliTest {
protected:
    void SetUp() override { fs::copy_file(MOSTFCAT_SAMPLE_CATALOG, m_Dir.File("amp.xml")); }
    static std::vector<Json> Lines(const std::string& text) {
        std::vector<Json> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out.push_back(Json::parse(line));
        return out;
    }
};

// What the library itself says about a message: the entries decode --json
// must print for it.
Json LibraryParams(YFciFCatManagerImpl& m, uint32_t fb, uint32_t inst, uint32_t fkt, uint32_t op,
                   const std::vector<uint8_t>& payload) {
    std::unique_ptr<YFciMesgInfo> info(m.CreateMesgInfo(0, fb, inst, fkt, op, payload));
    Json params = Json::array();
    for (const YFciParamInfo* e : info->Disassemble()) {
        Json p{{"kind", e->ParamType()}, {"level", e->Level()}, {"position", e->Position()}};
        if (!e->FullName().empty()) p["name"] = e->FullName();
        if (!e->HexText().empty()) p["hex"] = e->HexText();
        if (!e->DecimalText().empty()) p["decimal"] = e->DecimalText();
        if (!e->ValueText().empty()) p["value"] = e->ValueText();
        if (!e->UnitText().empty()) p["unit"] = e->UnitText();
        double v = 0;
        if (e->NumericValue(v)) p["numeric"] = v;
        params.push_back(p);
    }
    return params;
}

TEST_F(MessageCliTest, DecodeJsonShowsWhatTheLibraryDecodes) {
    const std::vector<std::string> messages = {
        "22.01.400.C:3C",           "22.01.400.C:",         "01.00.000.F:06 03 AA BB",
        "01.00.014.C:0101414200FF", "01.00.000.C:22011000", "22.01.000.C:0010020400",
        "22.03.406.C:0002"};
    std::vector<std::string> args = {"decode", "amp.xml", "--json"};
    args.insert(args.end(), messages.begin(), messages.end());
    Result r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<Json> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), messages.size()) << r.out;

    YFciFCatManagerImpl manager;
    manager.SetChannelCount(16);
    std::string name;
    ASSERT_EQ(manager.OpenFCatNamed(m_Dir.File("amp.xml"), 0, name, 4, ""), 0u);
    for (size_t i = 0; i < messages.size(); ++i) {
        const std::string& m = messages[i];
        unsigned fb = 0, inst = 0, fkt = 0, op = 0;
        std::vector<uint8_t> payload;
        ASSERT_EQ(std::sscanf(m.c_str(), "%x.%x.%x.%x:", &fb, &inst, &fkt, &op), 4);
        ASSERT_TRUE(YFciHexdumpHelper::StringToBytes(payload, m.substr(m.find(':') + 1)));
        const Json& got = lines[i];
        EXPECT_EQ(got["params"], LibraryParams(manager, fb, inst, fkt, op, payload)) << m;
        EXPECT_EQ(std::tuple(got["fblock_id"], got["instance_id"], got["function_id"],
                             got["operation_id"], got["payload"]),
                  std::tuple(Json(fb), Json(inst), Json(fkt), Json(op),
                             Json(YFciHexdumpHelper::CondensedString(payload))))
            << m;
    }
    // The first message in full, as a user sees it.
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              R"({"fblock_id":34,"instance_id":1,"function_id":1024,"operation_id":12,)"
              R"("fblock":"AudioAmplifier","instance":"Inst01","device":"AmplifierFront",)"
              R"("function":"Volume","operation":"Status","payload":"3C","params":[{"name":)"
              R"("Volume","kind":8,"level":0,"position":0,"hex":"3C","decimal":"60","value":)"
              R"("60","unit":"%","numeric":60.0}]})");
}

TEST_F(MessageCliTest, PlainDecodeNamesTheAddressedInstance) {
    Result r = Run({"decode", "amp.xml", "01.00.000.F:0603AABB", "22.02.400.C:FF",
                    "22.03.400.C:3C", "99.01.001.1:00"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "01.00.000.F  NetBlock.Inst00.FBlockIDs.Error (AudioModule)\n"
                     "  ErrorCode: Parameter wrong/out of range [06]\n"
                     "  ErrorInfo(6)\n"
                     "    ParamNo: 3 [03]\n"
                     "    ParamData [AABB]\n"
                     "22.02.400.C  AudioAmplifier.Inst02.Volume.Status (AmplifierRear)\n"
                     "  Volume: 255 % [FF]  (outside the catalog's range)\n"
                     "22.03.400.C  AudioAmplifier.Inst03.Volume.Status\n"
                     "  warning: FBlock 22 has no instance 03: decoded with the layout of "
                     "instance 01 (AmplifierFront)\n"
                     "  Volume: 60 % [3C]\n"
                     "99.01.001.1  unknown message: no FBlock 99\n"
                     "  # Bytes left # [00]\n");
    EXPECT_EQ(r.err, "mostfcat: 1 of 4 messages could not be decoded (1 unknown message)\n");
    // Without texts nothing is left to show: no lines of blanks.
    r = Run({"decode", "amp.xml", "--options", "0", "22.01.400.C:3C"});
    EXPECT_EQ(r.out, "22.01.400.C  AudioAmplifier.Inst01.Volume.Status (AmplifierFront)\n");
}

// Every line of a trace is decoded or reported on its own; the run goes on
// and its exit status and summary count what could not be decoded.
TEST_F(MessageCliTest, TraceLinesStandOnTheirOwn) {
    const std::string longLine = "22.01.400.C:" + std::string(200, 'Z');
    const std::string trace = "# a recorded trace\n\n22.01.400.C:3C\nnot a message\n"
                              "22.01.400.C:3C" +
                              std::string(1, '\0') +
                              "\n22.01.400.C:3D\n22.01.400.C:1\n"
                              "  12.500134 22.01.400.C:3E\r\n77.00.000.0:\n22.01.400.C:4G\n" +
                              longLine + "\n122.01.400.C:3C\n22.01.400:3C";
    Result r = Run({"decode", "amp.xml", "--json"}, trace);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mostfcat: 8 of 11 messages could not be decoded (7 malformed, 1 unknown "
                     "message)\n");
    EXPECT_EQ(Run({"decode", "amp.xml", "--json", "--compile-layouts"}, trace).out, r.out)
        << "layouts compiled up front decode the same";
    std::vector<Json> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 11u) << r.out;
    const std::vector<std::pair<size_t, std::string>> errors = {
        {1, "malformed message: expected FBLOCK.INST.FKT.OP:HEX"},
        {2, "malformed message: the control byte 0x00 at position 15"},
        {4, "malformed message: in the payload, the hex digit '1' at position 1 stands alone "
            "(a byte is two hex digits)"},
        {6, "unknown message: no FBlock 77"},
        {7, "malformed message: in the payload, 'G' at position 2 is not a hex digit"},
        {8, "malformed message: in the payload, 'Z' at position 1 is not a hex digit"},
        {9, "malformed message: FBlock ID '122' is not a hexadecimal number up to FF"},
        {10, "malformed message: expected four hexadecimal coordinates FBLOCK.INST.FKT.OP, not "
             "'22.01.400'"},
    };
    for (const auto& [line, error] : errors)
        EXPECT_EQ(lines[line]["error"], error) << line;
    EXPECT_EQ(lines[0]["params"][0]["value"], "60");
    EXPECT_EQ(lines[3]["params"][0]["value"], "61") << "the line after a NUL byte is kept";
    EXPECT_EQ(lines[5]["time"].dump(), "12.500134");
    EXPECT_EQ(lines[5]["params"][0]["value"], "62");
    EXPECT_EQ(lines[8]["input"], longLine.substr(0, 80)) << "malformed lines are echoed cut";
    EXPECT_EQ(lines[8]["length"], longLine.size());

    // Messages on the command line are lines like these.
    r = Run({"decode", "amp.xml", "22.01.400.C:3", "0.5 22.01.400.C:3C"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "22.01.400.C:3  malformed message: in the payload, the hex digit '3' at "
                     "position 1 stands alone (a byte is two hex digits)\n"
                     "0.5 22.01.400.C  AudioAmplifier.Inst01.Volume.Status (AmplifierFront)\n"
                     "  Volume: 60 % [3C]\n");
    r = Run({"decode", "amp.xml"}, longLine);
    EXPECT_EQ(r.out, longLine.substr(0, 80) + "... (212 bytes)  malformed message: in the "
                                              "payload, 'Z' at position 1 is not a hex digit\n");
}

TEST_F(MessageCliTest, DecodeFlagsValuesTheCatalogDoesNotDefine) {
    Result r = Run({"decode", "amp.xml", "--json", "22.01.400.C:FF", "22.01.403.C:07",
                     "22.01.400.C:64", "22.03.400.C:01"});
    std::vector<Json> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[0]["params"][0].value("out_of_range", false), true);
    EXPECT_EQ(lines[1]["params"][0].value("undefined", false), true);
    EXPECT_EQ(lines[2]["params"][0].count("out_of_range"), 0u) << "100 is the upper limit";
    EXPECT_EQ(lines[3]["instance"], "Inst03");
    EXPECT_EQ(lines[3].value("instance_fallback", false), true);
    EXPECT_EQ(lines[3].count("device"), 0u);
}

TEST_F(MessageCliTest, TextsKeepTheirEncoding) {
    const std::pair<const char*, const char*> rows[] = {
        {"0102C3A96C6C6F00", "éllo"},         // UTF-8
        {"010000E9004C0000", "éL"},           // UTF-16 big-endian
        {"0101A4E900", "€é"},                 // ISO 8859-15
        {"0105A4E900", "¤é (encoding 0x05)"}, // unknown: one character per byte
    };
    for (const auto& [payload, value] : rows) {
        Result r = RunLine(std::string("decode amp.xml --json 01.00.014.C:") + payload);
        EXPECT_EQ(Json::parse(r.out)["params"][1]["value"], value) << payload;
    }
    Result r = Run({"encode", "amp.xml", "01.00.014.C", "ID=1", "Info=héllo €"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "010168E96C6C6F20A400\n");
    r = Run({"encode", "amp.xml", "01.00.014.C", "ID=1", "Info=a¤b"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mostfcat: Info: the character U+00A4 '¤' at position 2 has no place in "
                     "ISO 8859-15\n");
}

TEST_F(MessageCliTest, EightBitNamesAndUnitsComeOutAsUtf8) {
    std::string xml = ReadFile(m_Dir.File("amp.xml"));
    for (auto [from, to] : {std::pair{"<ParamName>Volume<", "<ParamName>Lautst\u00e4rke<"},
                            std::pair{"<UnitDefName>%<", "<UnitDefName>Proz. \u00b1<"}}) {
        size_t at = xml.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        xml.replace(at, std::strlen(from), to);
    }
    WriteFile(m_Dir.File("amp.xml"), xml);
    Result r = RunLine("decode amp.xml 22.01.400.C:3C 01.00.014.C:0102C3A96C6C6F00");
    EXPECT_NE(r.out.find("\n  Lautst\u00e4rke: 60 Proz. \u00b1 [3C]\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  Info: \u00e9llo [02C3A96C6C6F00]\n"), std::string::npos) << r.out;
    std::vector<Json> lines = Lines(RunLine("decode amp.xml --json 22.01.400.C:3C").out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["params"][0]["name"], "Lautst\u00e4rke");
    EXPECT_EQ(lines[0]["params"][0]["unit"], "Proz. \u00b1");
}

TEST_F(MessageCliTest, EncodeByNamesAndByInputs) {
    const std::pair<const char*, const char*> rows[] = {
        {"22.01.400.C Volume=60", "3C"},
        {"22.01.400.C Volume=60.0", "3C"},
        {"22.01.400.C Volume=6e1", "3C"},
        {"22.01.402.C Balance=-1.0", "FFF6"}, // physical, as decode shows it
        {"22.01.402.C Balance=-1.5", "FFF1"},
        {"22.01.402.C Balance=-10 --raw", "FFF6"},
        {"22.01.403.C Loudness=high", "03"},
        {"22.01.403.C Loudness=7 --raw", "07"},
        {"22.01.406.C Protection=0x0102", "0102"},
        {"01.00.000.C --inputs 1 2 3 4", "01020304"},
    };
    for (const auto& [line, out] : rows) {
        Result r = RunLine(std::string("encode amp.xml ") + line);
        EXPECT_EQ(r.status, 0) << line << ": " << r.err;
        EXPECT_EQ(r.out, std::string(out) + "\n") << line;
    }
    // Array elements are made as they are named; what stays unset is said.
    Result r = Run({"encode", "amp.xml", "01.00.000.C", "FBlockList.FBlockEntry[2].FBlockID=0x22",
                     "FBlockList.FBlockEntry[1].InstID=3", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    Json o = Json::parse(r.out);
    EXPECT_EQ(o["payload"], "00032200");
    EXPECT_EQ(o["params"][5]["hex"], "22");
    EXPECT_EQ(r.err, "mostfcat: warning: not set (written as zero bytes): "
                     "FBlockList.FBlockEntry[1].FBlockID, FBlockList.FBlockEntry[2].InstID\n");
    // An instance the FBlock lacks: the layout of another, and a warning.
    r = Run({"encode", "amp.xml", "22.07.400.C", "Volume=1"});
    EXPECT_EQ(r.out, "01\n");
    EXPECT_EQ(r.err, "mostfcat: warning: FBlock 22 has no instance 07: encoded with the layout "
                     "of instance 01 (AmplifierFront)\n");
}

// Refusals of encode and decode: the exit status and one line naming the
// parameter or argument and the rule.
TEST_F(MessageCliTest, RefusalsNameTheParameterAndTheRule) {
    const std::string nan = "' is not a number: write it as decode shows it, for example 0",
                      help = " (see mostfcat help)";
    const std::vector<std::tuple<std::string, int, std::string>> rows = {
        {"22.01.400.C Volume=150", 1, "Volume: '150' is outside the range 0..100 %"},
        {"22.01.400.C Volume=loud", 1, "Volume: 'loud" + nan},
        {"22.01.400.C Volume=nan", 1, "Volume: 'nan" + nan},
        {"22.01.400.C Volume=-inf", 1, "Volume: '-inf" + nan},
        {"22.01.400.C Volume=60.5", 1,
         "Volume: '60.5' is finer than the resolution 1 % (exponent 0)"},
        {"22.01.400.C Volume=1 volume=2", 1, "volume is given twice"},
        {"22.01.402.C Balance=-1.05", 1,
         "Balance: '-1.05' is finer than the resolution 0.1 dB (exponent -1)"},
        {"22.01.402.C Balance=-1.2", 1,
         "Balance: '-1.2' is not on the step grid: steps of 0.5 dB from -20.0"},
        {"22.01.402.C Balance=-1.0 --raw", 1,
         "Balance: '-1.0' is not a whole number (raw values are integers, decimal or 0x hex)"},
        {"22.01.403.C Loudness=7", 1,
         "Loudness: the code 7 has no value in the catalog (--raw sends it anyway)"},
        {"22.01.400.C Volum=1", 1, "no parameter Volum in Volume.Status"},
        {"22.01.400.C --inputs 60 61", 1, "input 2 '61': more inputs than parameters (status 10)"},
        {"01.00.014.C --inputs 1 {123}", 1,
         "input 2 '{123}': raw bytes: the hex digit '3' at position 3 stands alone (a byte is "
         "two hex digits)"},
        {"22.01.777.C X=1", 1, "no operation 22.01.777.C in amp.xml"},
        {"22.01.400.C --inputs", 2, "encode: --inputs needs at least one input text" + help},
        {"decode amp.xml --options many", 2,
         "decode: --options takes a 32-bit number (for example 0xFFFFFFFF), not 'many'" + help},
        {"decode", 2, "decode needs a catalog file" + help},
    };
    for (const auto& [line, status, err] : rows) {
        Result r = RunLine(line.rfind("decode", 0) == 0 ? line : "encode amp.xml " + line);
        EXPECT_EQ(r.status, status) << line;
        EXPECT_EQ(r.err, "mostfcat: " + err + "\n") << line;
        EXPECT_EQ(r.out, "") << line;
    }
}

} // namespace
} // namespace mostfcat::test
