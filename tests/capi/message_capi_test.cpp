// The handle-based message functions: lookup keys from names and numbers,
// default payload lengths, parameters by name with the shared PosX/PosY
// parameters, and the byte conversions of parameter nodes; and the same
// catalog seen through the object interface in one case.
#include <cstring>
#include <tuple>

#include "instance/instance_fixture.h"
#include "mostfcat/fct.h"

namespace mostfcat::test::inst {
namespace {

constexpr uint32_t Key(uint32_t fblock, uint32_t fkt, uint32_t op) {
    return fblock << 16 | fkt << 4 | op;
}

class MessageCapiTest : public InstanceTest {
protected:
    void SetUp() override {
        InstanceTest::SetUp();
        // Lab, plus an operation whose position is named Position.
        OpenLab(LabFunctions() + Function("Placed", 0x10B,
                                          Param("Position", Num("UWord"), 1) +
                                              Param("Data", Array("2", "Val", Num("UByte")), 2)));
        std::string other = Catalog(
            "other.xml",
            FBlockXml("Other", "0x51", DeviceXml("Box", "0x02") + PropertyXml("Level", "0x200")));
        ASSERT_EQ(Open(*m, other, 2, "Other"), 0u);
        h = m->Handle();
    }
    std::string LookupKey(const char* fblock, const char* function, const char* operation,
                          uint16_t channel = 1) {
        uint32_t key = 0xDEAD;
        uint32_t status = gFctGetMessageLookupKey(h, channel, fblock, function, operation, &key);
        return status ? StrFormat("status %u", status) : StrFormat("0x%X", key);
    }
    uint64_t ParamByName(uint32_t key, const char* name, uint32_t expectStatus = 0) {
        uint64_t param = 0;
        EXPECT_EQ(gFctGetParamByName(h, 1, key, name, &param), expectStatus) << name;
        return param;
    }
    std::string ToStr(uint64_t param, const Bytes& bytes, int32_t size = 32) {
        char text[64];
        std::memset(text, '#', sizeof text);
        text[sizeof text - 1] = 0;
        uint32_t status =
            gFctConvertBytesToStr(param, bytes.data(), uint32_t(bytes.size()), text, size);
        return StrFormat("%u '%s'", status, text);
    }
    // A conversion's value as text, or its status.
    template <class T = uint32_t, class F = decltype(gFctConvertBytesToInt)>
    static std::string ToInt(uint64_t param, const Bytes& bytes,
                             F convert = gFctConvertBytesToInt) {
        T v{};
        uint32_t status = convert(param, bytes.data(), uint32_t(bytes.size()), &v);
        return status ? StrFormat("status %u", status) : ::testing::PrintToString(v);
    }

    uint64_t h = 0;
};

TEST_F(MessageCapiTest, LookupKeysFromNamesAndNumbers) {
    // FBlock, function, operation, channel: the key or the status.
    const std::tuple<const char*, const char*, const char*, uint16_t, const char*> rows[] = {
        {"0x50", "0x100", "0xC", 1, "0x50100C"},
        {"80", "256", "12", 1, "0x50100C"},
        {"Lab", "Numbers", "Status", 1, "0x50100C"},
        {"lab", "NUMBERS", "status", 1, "0x50100C"},
        {"0b101 0000", " 0X101\t", "\n0b1100 ", 1, "0x50101C"},
        {"0x50", "Table", "Status", 1, "0x50101C"},
        {"Lab", "0x102", "Status", 1, "0x50102C"},
        // Numbers need no catalog; names do.
        {"0x77", "1", "2", 1, "0x770012"},
        {"0x77", "Numbers", "2", 1, "status 12"},
        {"-1", "1", "1", 1, "status 11"},
        {"256", "1", "1", 1, "status 11"},
        {"Nope", "1", "1", 1, "status 11"},
        {"Other", "Level", "0", 1, "status 11"},
        {"Other", "Level", "0", 2, "0x512000"},
        {"Other", "Level", "Set", 0, "0x512000"},
        {"Other", "Level", "Status", 0xFFFF, "0x51200C"},
        {"Lab", "Nope", "1", 1, "status 12"},
        {"Lab", "4096", "1", 1, "status 12"},
        {"Lab", "Numbers", "Nope", 1, "status 13"},
        {"Lab", "Numbers", "Set", 1, "status 13"},
        {"Lab", "Numbers", "16", 1, "status 13"},
        {"Lab", "Numbers", "0x1x", 1, "status 13"},
        {"Lab", "Numbers", "Status", 17, "status 10"},
    };
    for (const auto& [fblock, function, operation, channel, result] : rows)
        EXPECT_EQ(LookupKey(fblock, function, operation, channel), result)
            << fblock << " " << function << " " << operation << " channel " << channel;
    uint32_t key = 0;
    EXPECT_EQ(gFctGetMessageLookupKey(h, 1, nullptr, "1", "1", &key), 2u);
    EXPECT_EQ(gFctGetMessageLookupKey(h, 1, "1", nullptr, "1", &key), 2u);
    EXPECT_EQ(gFctGetMessageLookupKey(h, 1, "1", "1", nullptr, &key), 2u);
    EXPECT_EQ(gFctGetMessageLookupKey(h, 1, "1", "1", "1", nullptr), 2u);
    EXPECT_EQ(gFctGetMessageLookupKey(0, 1, "1", "1", "1", &key), 2u);
}

TEST_F(MessageCapiTest, DefaultLengthsAreTheDefaultPayloadsByteCounts) {
    // Key, channel: the status and the length.
    const std::tuple<uint32_t, uint16_t, uint32_t, uint32_t> rows[] = {
        // The other Lab functions are compared with the object interface below.
        {Key(0x50, 0x100, 0xC), 1, 0, 9}, // Word, Small, Long, Byte, Color
        {Key(0x50, 0x100, 0x0), 1, 0, 0}, // no such operation
        {Key(0x77, 0x100, 0xC), 1, 0, 0}, // no such FBlock
        {Key(0x51, 0x200, 0xC), 1, 0, 0}, // on channel 2 only
        {Key(0x51, 0x200, 0xC), 2, 0, 1}, {Key(0x51, 0x200, 0xC), 0xFFFF, 0, 1},
        {0x1000000, 1, 2, 0xDEAD},        {Key(0x50, 0x100, 0xC), 17, 10, 0xDEAD},
    };
    for (const auto& [key, channel, status, want] : rows) {
        uint32_t length = 0xDEAD;
        EXPECT_EQ(gFctGetMessageDefaultLength(h, channel, key, &length), status) << key;
        EXPECT_EQ(length, want) << key;
    }
    EXPECT_EQ(gFctGetMessageDefaultLength(h, 1, Key(0x50, 0x100, 0xC), nullptr), 2u);

    // Layouts compiled at once: Other's Level has two operations; every
    // catalog's count is the sum of the channels'.
    uint32_t lab = 0, other = 0, all = 0, bad = 7;
    EXPECT_EQ(gFctCompileLayouts(h, 1, &lab) + gFctCompileLayouts(h, 2, &other), 0u);
    EXPECT_EQ(gFctCompileLayouts(h, 0xFFFF, &all), 0u);
    EXPECT_EQ(std::make_tuple(lab > 0, other, all), std::make_tuple(true, 2u, lab + 2));
    EXPECT_EQ(gFctCompileLayouts(h, 17, &bad) * 100 + bad, 1000u) << "channel above 16";
    EXPECT_EQ(gFctCompileLayouts(0, 1, nullptr), 2u);
}

TEST_F(MessageCapiTest, ParametersByNameWithTheSharedPositionBytes) {
    const uint32_t numbers = Key(0x50, 0x100, 0xC);
    uint64_t word = ParamByName(numbers, "Word");
    EXPECT_NE(word, 0u);
    EXPECT_EQ(ParamByName(numbers, "wORD"), word);
    ParamByName(numbers, "Nope", 14);
    ParamByName(numbers, "PosX", 14);               // no position parameter
    ParamByName(Key(0x50, 0x10A, 0xC), "PosX", 14); // Pos, but not at the first byte
    ParamByName(Key(0x77, 0x100, 0xC), "Word", 11);
    ParamByName(Key(0x51, 0x200, 0xC), "Level", 11); // channel 2 only
    ParamByName(Key(0x50, 0x123, 0xC), "Word", 12);
    ParamByName(Key(0x50, 0x100, 0x0), "Word", 13);
    ParamByName(0x1000000, "Word", 2);
    uint64_t param = 0;
    EXPECT_EQ(gFctGetParamByName(h, 18, numbers, "Word", &param), 10u);
    EXPECT_EQ(gFctGetParamByName(h, 1, numbers, nullptr, &param), 2u);
    EXPECT_EQ(gFctGetParamByName(h, 1, numbers, "Word", nullptr), 2u);

    // PosX and PosY: one shared node each, for Pos and for Position alike.
    uint64_t posX = ParamByName(Key(0x50, 0x105, 0xC), "posx");
    uint64_t posY = ParamByName(Key(0x50, 0x105, 0xC), "POSY");
    EXPECT_NE(posX, 0u);
    EXPECT_NE(posY, posX);
    EXPECT_EQ(ParamByName(Key(0x50, 0x10B, 0xC), "PosX"), posX);
    EXPECT_EQ(ParamByName(Key(0x50, 0x106, 0xC), "PosY"), posY);
    const char* name = nullptr;
    ASSERT_EQ(gFctGetAttrStr(posY, 3, &name), 0u);
    EXPECT_STREQ(name, "PosY");
    uint32_t bitPos = 0;
    ASSERT_EQ(gFctGetAttrInt(posY, 1005, &bitPos), 0u);
    EXPECT_EQ(bitPos, 8u);
    EXPECT_EQ(ToInt(posX, {0x03}), "3");
    // The operation's own Pos is still there by its name.
    EXPECT_NE(ParamByName(Key(0x50, 0x105, 0xC), "Pos"), posX);
}

TEST_F(MessageCapiTest, BytesConvertByTheParametersKind) {
    const uint32_t numbers = Key(0x50, 0x100, 0xC), texts = Key(0x50, 0x107, 0xC);
    uint64_t word = ParamByName(numbers, "Word");
    uint64_t color = ParamByName(numbers, "Color");
    uint64_t text = ParamByName(texts, "Text");
    uint64_t flags = ParamByName(texts, "Flags");
    uint64_t wide = ParamByName(texts, "Wide");
    uint64_t outer = ParamByName(Key(0x50, 0x101, 0xC), "Outer");
    MessagePtr msg = Msg(0x107, "0141420009");
    uint64_t bit3 = msg->GetParamBySymID("Flags.Bit3")->FctNode();
    MessagePtr bits = Msg(0x104, "01A70102");
    uint64_t high5 = bits->GetParamBySymID("Sig(1).High5")->FctNode();
    uint64_t word12 = Msg(0x104, "0234120102")->GetParamBySymID("Sig(2).Word12")->FctNode();

    EXPECT_EQ(ToInt(word, {0x01, 0x02}), "258");
    EXPECT_EQ(ToInt(color, {0x10}), "16");
    EXPECT_EQ(ToInt(outer, {0x01, 0x02, 0x03}), "66051");
    EXPECT_EQ(ToInt(flags, {0x09}), "9");
    EXPECT_EQ(ToInt(wide, {0x10, 0x01}), "4097");
    EXPECT_EQ(ToInt(bit3, {0x00}), "0");
    EXPECT_EQ(ToInt(bit3, {0x08}), "1");
    EXPECT_EQ(ToInt(text, {0x01, 0x41, 0x00}), "status 1");
    EXPECT_EQ(ToInt(0, {0x01}), "status 1");
    EXPECT_EQ(gFctConvertBytesToInt(word, nullptr, 0, nullptr), 2u);

    EXPECT_EQ(ToStr(text, {0x01, 0x41, 0x42, 0x00}, 8), "0 'AB'");
    EXPECT_EQ(ToStr(text, {0x01, 0x41, 0x42}, 8), "0 'AB'");
    EXPECT_EQ(ToStr(text, {0x01, 0x41, 0x42, 0x43, 0x00}, 3), "20 'AB'");
    EXPECT_EQ(ToStr(text, {0x02, 0x41, 0x00}, 8), "2 ''");
    EXPECT_EQ(ToStr(text, {}, 8), "0 ''");
    EXPECT_EQ(ToStr(text, {0x01, 0x41, 0x00}, 0).substr(0, 3), "2 '");
    EXPECT_EQ(gFctConvertBytesToStr(text, nullptr, 0, nullptr, 8), 2u);
    EXPECT_EQ(ToStr(color, {0x02}), "0 'Green'");
    EXPECT_EQ(ToStr(color, {0x02}, 5).substr(0, 3), "20 ");
    EXPECT_EQ(ToStr(color, {0x02}, 6), "0 'Green'");
    EXPECT_EQ(ToStr(bit3, {0x08}), "0 'Hot'");
    EXPECT_EQ(ToStr(bit3, {0x00}), "0 'Cold'");
    EXPECT_EQ(ToStr(word, {0x01, 0x02}).substr(0, 2), "1 ");

    EXPECT_EQ(ToInt<uint64_t>(wide, {0x10, 0x01}, gFctConvertBytesToUInt64), "4097");
    EXPECT_EQ(ToInt<uint64_t>(word, {0x10, 0x01}, gFctConvertBytesToUInt64), "status 1");
    EXPECT_EQ(ToInt<uint64_t>(0, {}, gFctConvertBytesToUInt64), "status 1");
    EXPECT_EQ(gFctConvertBytesToUInt64(wide, nullptr, 0, nullptr), 2u);
    EXPECT_EQ(ToInt<double>(high5, {0xA7}, gFctConvertBytesToDouble), "7");
    EXPECT_EQ(ToInt<double>(high5, {0xBF}, gFctConvertBytesToDouble), "-1");
    EXPECT_EQ(ToInt<double>(word12, {0xBC, 0x1A}, gFctConvertBytesToDouble), "2748");
    EXPECT_EQ(ToInt<double>(word, {0x01}, gFctConvertBytesToDouble), "status 1");
    EXPECT_EQ(gFctConvertBytesToDouble(high5, Bytes{0xA7}.data(), 1, nullptr), 2u);
}

// One catalog through both interfaces: the handle-based default length is
// the byte count of the object interface's default message, every top-level
// parameter's node is the one gFctGetParamByName gives, and the integer
// conversion of a value's bytes is the value the message reads.
TEST_F(MessageCapiTest, HandleBasedAndObjectInterfacesAgree) {
    const char* payload = "00300280FFFFFF07100304AB0901A7";
    size_t compared = 0;
    for (uint32_t fkt = 0x100; fkt <= 0x10B; ++fkt) {
        SCOPED_TRACE(StrFormat("function 0x%X", fkt));
        uint32_t key = 0;
        ASSERT_EQ(
            gFctGetMessageLookupKey(h, 1, "Lab", StrFormat("0x%X", fkt).c_str(), "Status", &key),
            0u);
        ASSERT_EQ(key, Key(0x50, fkt, 0xC));
        MessagePtr defaults = Msg(fkt, "", 3);
        uint32_t length = 0;
        ASSERT_EQ(gFctGetMessageDefaultLength(h, 1, key, &length), 0u);
        EXPECT_EQ(length, defaults->Data().size());
        EXPECT_EQ(2 * length, defaults->HexdumpStr().size());

        MessagePtr msg = Msg(fkt, payload);
        for (YFciParam* p : msg->ParamList()) {
            if (p->ParamType() == eFciParamRemain) continue;
            uint64_t node = 0;
            ASSERT_EQ(gFctGetParamByName(h, 1, key, p->Name().c_str(), &node), 0u) << p->Name();
            EXPECT_EQ(node, p->FctNode()) << p->Name();
            uint32_t kind = p->ParamType();
            if (!p->IsValueDefined() ||
                (kind != eFciParamNumber && kind != eFciParamEnum && kind != eFciParamBool))
                continue;
            Bytes bytes = p->ValueHexdump();
            uint32_t v = 0;
            ASSERT_EQ(gFctConvertBytesToInt(node, bytes.data(), uint32_t(bytes.size()), &v), 0u);
            EXPECT_EQ(StrFormat("%u", v), p->UserInputStr(1)) << p->Name();
            ++compared;
        }
    }
    EXPECT_GE(compared, 8u);
}

} // namespace
} // namespace mostfcat::test::inst
