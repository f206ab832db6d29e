// The message commands as a user meets them: decode --json against the
// library's own descriptions of the same messages, the plain layout, a trace
// on standard input with malformed lines, and encode by names and by inputs
// with the reasons of a refusal.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "cli/cli_fixture.h"
#include "manager/manager.h"
#include "mostfcat/fci.h"

namespace mostfcat::test {
namespace {

class MessageCliTest : public CliTest {
protected:
    void SetUp() override { fs::copy_file(MOSTFCAT_SAMPLE_CATALOG, m_Dir.File("amp.xml")); }
    Result Tool(const std::vector<std::string>& args, const std::string& input = "") {
        return Run(args, MOSTFCAT_CLI_PATH, "", input);
    }
    static std::vector<Json> Lines(const std::string& text) {
        std::vector<Json> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out.push_back(Json::parse(line));
        return out;
    }
};

// What the library itself says about a message: the object decode --json
// must print for it.
Json LibraryView(YFciFCatManagerImpl& m, uint32_t fb, uint32_t inst, uint32_t fkt, uint32_t op,
                 const std::vector<uint8_t>& payload) {
    std::unique_ptr<YFciMesgInfo> info(m.CreateMesgInfo(0, fb, inst, fkt, op, payload));
    Json o;
    if (!info->FBlockName().empty()) o["fblock"] = info->FBlockName();
    if (!info->FunctionName().empty()) o["function"] = info->FunctionName();
    if (!info->OperationName().empty()) o["operation"] = info->OperationName();
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
    o["params"] = params;
    return o;
}

TEST_F(MessageCliTest, DecodeJsonShowsWhatTheLibraryDecodes) {
    struct Message {
        const char* arg;
        uint32_t fb, inst, fkt, op;
        std::vector<uint8_t> payload;
    };
    const std::vector<Message> messages = {
        {"22.01.400.C:3C", 0x22, 1, 0x400, 0xC, {0x3C}},
        {"22.01.400.C:", 0x22, 1, 0x400, 0xC, {}},
        {"01.00.000.F:06 03 AA BB", 0x01, 0, 0x000, 0xF, {0x06, 0x03, 0xAA, 0xBB}},
        {"01.00.014.C:0101414200FF", 0x01, 0, 0x014, 0xC, {1, 1, 0x41, 0x42, 0, 0xFF}},
        {"01.00.000.C:22011000", 0x01, 0, 0x000, 0xC, {0x22, 0x01, 0x10, 0x00}},
        {"22.01.000.C:0010020400", 0x22, 1, 0x000, 0xC, {0x00, 0x10, 0x02, 0x04, 0x00}},
    };
    std::vector<std::string> args = {"decode", "amp.xml", "--json"};
    for (const Message& m : messages)
        args.push_back(m.arg);
    Result r = Tool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<Json> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), messages.size()) << r.out;

    YFciFCatManagerImpl manager;
    manager.SetChannelCount(16);
    std::string name;
    ASSERT_EQ(manager.OpenFCatNamed(m_Dir.File("amp.xml"), 0, name, 4, ""), 0u);
    for (size_t i = 0; i < messages.size(); ++i) {
        const Message& m = messages[i];
        Json got = lines[i];
        EXPECT_FALSE(got.value("instance", "").empty()) << m.arg;
        got.erase("instance");
        EXPECT_EQ(got, LibraryView(manager, m.fb, m.inst, m.fkt, m.op, m.payload)) << m.arg;
    }
    // The first message in full, as a user sees it.
    EXPECT_EQ(
        r.out.substr(0, r.out.find('\n')),
        R"({"fblock":"AudioAmplifier","instance":"Inst01","function":"Volume",)"
        R"("operation":"Status","params":[{"name":"Volume","kind":8,"level":0,)"
        R"("position":0,"hex":"3C","decimal":"60","value":"60","unit":"%","numeric":60.0}]})");
}

TEST_F(MessageCliTest, PlainDecodeIndentsByLevel) {
    Result r = Tool({"decode", "amp.xml", "01.00.000.F:0603AABB", "99.01.001.1:00"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "01.00.000.F  NetBlock.Inst00.FBlockIDs.Error\n"
                     "  ErrorCode: Parameter wrong/out of range [06]\n"
                     "  ErrorInfo(6)\n"
                     "    ParamNo: 3 [03]\n"
                     "    ParamData [AABB]\n"
                     "99.01.001.1  unknown message: no FBlock 99\n"
                     "  # Bytes left # [00]\n");
}

TEST_F(MessageCliTest, TraceOnStandardInputGoesOnAfterBadLines) {
    Result r = Tool({"decode", "amp.xml", "--json"},
                    "# a recorded trace\n\n22.01.400.C:3C\nnot a message\n22.01.400.C:1\n"
                    "77.00.000.0:\n22.01.400.C:4G\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<Json> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[0]["params"][0]["value"], "60");
    EXPECT_EQ(lines[1]["input"], "not a message");
    EXPECT_EQ(lines[1]["error"], "malformed message: expected FBLOCK.INST.FKT.OP:HEX");
    // A single digit is the high nibble of a last byte.
    EXPECT_EQ(lines[2]["params"][0]["hex"], "10");
    EXPECT_EQ(lines[3]["error"], "unknown message: no FBlock 77");
    EXPECT_EQ(lines[4]["error"], "malformed message: the payload is not hexadecimal");
}

TEST_F(MessageCliTest, DecodeUsageErrorsNameTheArgument) {
    struct Row {
        std::vector<std::string> args;
        std::string err;
    };
    const Row rows[] = {
        {{"decode", "amp.xml", "--options", "many"},
         "mostfcat: decode: --options takes a 32-bit number (for example 0xFFFFFFFF), not "
         "'many' (see mostfcat help)\n"},
        {{"decode", "amp.xml", "122.01.400.C:3C"},
         "mostfcat: decode: '122.01.400.C:3C': FBlock ID '122' is not a hexadecimal number up "
         "to FF (see mostfcat help)\n"},
        {{"decode", "amp.xml", "22.01.400:3C"},
         "mostfcat: decode: '22.01.400:3C': expected four hexadecimal coordinates "
         "FBLOCK.INST.FKT.OP, not '22.01.400' (see mostfcat help)\n"},
        {{"decode"}, "mostfcat: decode needs a catalog file (see mostfcat help)\n"},
    };
    for (const Row& row : rows) {
        Result r = Tool(row.args);
        EXPECT_EQ(r.status, 2) << row.err;
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(MessageCliTest, EncodeByNamesAndByInputs) {
    Result r = Tool({"encode", "amp.xml", "22.01.400.C", "Volume=60"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3C\n");

    // Array elements are made as they are named; what stays unset is said.
    r = Tool({"encode", "amp.xml", "01.00.000.C", "FBlockList.FBlockEntry[2].FBlockID=0x22",
              "FBlockList.FBlockEntry[1].InstID=3", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    Json o = Json::parse(r.out);
    EXPECT_EQ(o["payload"], "00032200");
    EXPECT_EQ(o["params"][5]["hex"], "22");
    EXPECT_EQ(r.err, "mostfcat: warning: not set (written as zero bytes): "
                     "FBlockList.FBlockEntry[1].FBlockID, FBlockList.FBlockEntry[2].InstID\n");

    r = Tool({"encode", "amp.xml", "01.00.000.C", "--inputs", "1", "2", "3", "4"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "01020304\n");
}

TEST_F(MessageCliTest, EncodeRefusalsNameTheParameterAndTheRule) {
    struct Row {
        std::vector<std::string> args;
        std::string err;
    };
    const Row rows[] = {
        {{"encode", "amp.xml", "22.01.400.C", "Volume=150"},
         "mostfcat: Volume: '150' is outside the range the catalog allows (0 to 100)\n"},
        {{"encode", "amp.xml", "22.01.400.C", "Volume=loud"},
         "mostfcat: Volume: 'loud' does not fit: a whole number from 0 to 100 (raw, before "
         "the exponent 0)\n"},
        {{"encode", "amp.xml", "22.01.400.C", "Volum=1"},
         "mostfcat: no parameter Volum in Volume.Status\n"},
        {{"encode", "amp.xml", "22.01.400.C", "--inputs", "60", "61"},
         "mostfcat: input 2 '61': more inputs than parameters (status 10)\n"},
        {{"encode", "amp.xml", "22.01.777.C", "X=1"},
         "mostfcat: no operation 22.01.777.C in amp.xml\n"},
    };
    for (const Row& row : rows) {
        Result r = Tool(row.args);
        EXPECT_EQ(r.status, 1) << row.err;
        EXPECT_EQ(r.err, row.err);
    }
}

} // namespace
} // namespace mostfcat::test
