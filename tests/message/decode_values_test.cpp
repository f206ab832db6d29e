// Decoding single values: the texts, numbers and flags of numbers,
// enumerations, strings, signals, function-identifier lists, bools and bit
// fields, one parameter per function so that each row decodes alone.
#include <gtest/gtest.h>

#include "message/message_fixture.h"

namespace mostfcat::test {
namespace {

constexpr uint32_t kDiags = 0x1F;

struct Row {
    std::string type;
    const char* hex;
    const char* want;
    uint32_t limit = 36;
    uint32_t options = kTexts;
};

class DecodeValuesTest : public MessageTest {
protected:
    // Each row's type becomes parameter X of function 0x100 + row index.
    void Check(const std::vector<Row>& rows) {
        std::string functions;
        for (size_t i = 0; i < rows.size(); ++i)
            functions +=
                Function("F" + std::to_string(i), 0x100 + uint32_t(i), Param("X", rows[i].type, 1));
        OpenLab(functions);
        for (size_t i = 0; i < rows.size(); ++i) {
            YFciMesgInfo* info = Info(0x100 + uint32_t(i), FromHex(rows[i].hex), rows[i].options);
            info->SetValueTextLimit(rows[i].limit);
            EXPECT_EQ(Flat(Rows(info->Disassemble())), rows[i].want) << "row " << i;
        }
    }
};

TEST_F(DecodeValuesTest, NumberTextsByExponentAndWidth) {
    Check({
        {Num("UWord", -2, "unit_db"), "04D2", "8 L0 @0 X d=12.34 h=04D2 v=12.34 u=dB"},
        {Num("UWord", -2), "0000", "8 L0 @0 X d=0 h=0000 v=0"},
        {Num("SByte"), "FF", "8 L0 @0 X d=-1 h=FF v=-1"},
        {Num("SByte", 7), "FF", "8 L0 @0 X d=-1.000000e+07 h=FF v=-1.000000e+07"},
        {Num("UByte", -5), "01", "8 L0 @0 X d=0.00001 h=01 v=0.00001"},
        {Num("UWord", -4), "3039", "8 L0 @0 X d=1.2345 h=3039 v=1.2345"},
        {Num("SWord", -3), "FFFB", "8 L0 @0 X d=-0.005 h=FFFB v=-0.005"},
        {Num("SByte", -1), "80", "8 L0 @0 X d=-12.8 h=80 v=-12.8"},
        {Num("UByte", 1), "07", "8 L0 @0 X d=70 h=07 v=70"},
        {Num("SWord", 5), "FFFD", "8 L0 @0 X d=-300000 h=FFFD v=-300000"},
        {Num("SWord"), "FFFF", "8 L0 @0 X d=-1 h=FFFF v=-1"},
        {Num("SLong"), "80000000", "8 L0 @0 X d=-2147483648 h=80000000 v=-2147483648"},
        {Num("ULong"), "FFFFFFFF", "8 L0 @0 X d=4294967295 h=FFFFFFFF v=4294967295"},
        {Num("UByte", -6), "05", "8 L0 @0 X d=5.000000e-06 h=05 v=5.000000e-06"},
        {Num("ULong", -6), "0007A120", "8 L0 @0 X d=0.500000 h=0007A120 v=0.500000"},
        {Num("SByte", -6), "F6", "8 L0 @0 X d=-1.000000e-05 h=F6 v=-1.000000e-05"},
        {Num("UByte", 6), "01", "8 L0 @0 X d=1.000000e+06 h=01 v=1.000000e+06"},
        {Num("UByte", -7), "00", "8 L0 @0 X d=0 h=00 v=0"},
    });
}

TEST_F(DecodeValuesTest, NumericRawAndSignednessFlags) {
    OpenLab(Function("N", 0x100,
                     Param("A", Num("SByte", 7), 1) + Param("B", Num("UWord", -2), 2) +
                         Param("C", Enum({{"3", "Three"}}), 3)));
    YFciMesgInfo* info = Info(0x100, {0xFF, 0x04, 0xD2, 0x03});
    const auto& e = info->Disassemble();
    ASSERT_EQ(e.size(), 3u);
    const double numeric[] = {-1e7, 12.34, 3.0};
    const uint64_t raw[] = {0xFF, 0x4D2, 3};
    const bool flag[] = {true, false, true};
    for (size_t i = 0; i < 3; ++i) {
        double d = 0;
        uint64_t u = 0;
        ASSERT_TRUE(e[i]->NumericValue(d) && e[i]->UInt64Value(u)) << i;
        EXPECT_DOUBLE_EQ(d, numeric[i]) << i;
        EXPECT_EQ(u, raw[i]) << i;
        EXPECT_EQ(e[i]->ValueFlag(), flag[i]) << i;
    }
    // Without the bits 0x400000 and 0x2000000 neither is set.
    info->SetOptions(kTexts);
    double d = 5;
    uint64_t u = 5;
    EXPECT_FALSE(info->Disassemble()[0]->NumericValue(d));
    EXPECT_FALSE(info->Disassemble()[0]->UInt64Value(u));
    EXPECT_EQ(d + double(u), 0.0);
}

TEST_F(DecodeValuesTest, EnumerationTexts) {
    const std::string e = Enum({{"0", "Off"}, {"1", "On"}, {"2..3", "Auto"}});
    const std::string wide = Enum({{"0", "Low"}, {"300", "High"}});
    Check({
        {e, "01", "9 L0 @0 X d=1 h=01 v=On"},
        {e, "03", "9 L0 @0 X d=3 h=03 v=Auto"},
        {e, "11", "9 L0 @0 X d=17 h=11 v=# Unknown code: 17 #"},
        {wide, "012C", "9 L0 @0 X d=300 h=012C v=High"},
        {wide, "FFFF", "9 L0 @0 X d=65535 h=FFFF v=# Unknown code: 65535 #"},
    });
}

TEST_F(DecodeValuesTest, EnumerationValueListsFollowTheListMode) {
    OpenLab(Function("E", 0x100, Param("X", Enum({{"0", "Off"}, {"2..3", "Auto"}}), 1)));
    struct ListRow {
        uint32_t mode;
        Lines want;
    };
    const ListRow rows[] = {
        {0, {}},
        {1, {"0", "2", "3"}},
        {2, {"Off", "Auto", "Auto"}},
        {3, {"0: Off", "2: Auto", "3: Auto"}},
        {0x13, {"00: Off", "02: Auto", "03: Auto"}},
        {0x31, {"0x00", "0x02", "0x03"}},
    };
    for (const ListRow& r : rows) {
        YFciMesgInfo* info = Info(0x100, {0x02}, kTexts | (r.mode << 16));
        EXPECT_EQ(info->Disassemble().at(0)->ValueList(), r.want) << "mode " << r.mode;
    }
}

TEST_F(DecodeValuesTest, StringTextsLimitsAndEncodings) {
    const uint32_t withDiags = kTexts | kDiags;
    Check({
        {Str(), "01414200", "10 L0 @0 X h=01414200 v=AB"},
        {Str(), "0100", "10 L0 @0 X h=0100"},
        // Unterminated: the entry keeps the bytes read, then the diagnostic.
        {Str(), "014142",
         "10 L0 @0 X h=014142 v=AB | 1 L0 @0 # End of message while disassembling string #", 36,
         withDiags},
        // Exactly the limit long without a terminator.
        {Str(), "01414243",
         "10 L0 @0 X h=01414243 v=ABC {NotTerm} | 1 L0 @0 # End of message while disassembling "
         "string #",
         4, withDiags},
        // Longer than the limit: "..."; the shown bytes are cut to limit + 2.
        {Str(), "014142434400", "10 L0 @0 X h=014142434400 v=ABC...", 4},
        {Str(), "0141424344454600", "10 L0 @0 X h=014142434445 v=ABC...", 4},
        {Str(), "0141424344454600", "10 L0 @0 X h=0141 v=...", 0},
        // Two bytes per character, low byte shown, "?" above 8 bits.
        {Str(), "00004101420000", "10 L0 @0 X h=00004101420000 v=A?"},
        // Code 7: one more byte after the zero byte belongs to the string.
        {Str(), "0741005A33", "10 L0 @0 X h=0741005A v=A | 1 L0 @4 # Bytes left # h=33", 36,
         withDiags},
        {Str(), "", "1 L0 @0 # Position of parameter 'X' exceeds message length #", 36, withDiags},
    });
}

TEST_F(DecodeValuesTest, SignalsInBothByteOrders) {
    OpenLab(SignalStreamsFunction(0x200));
    const uint32_t opts = kTexts | kDiags;
    struct SignalRow {
        const char* hex;
        const char* want;
    };
    const SignalRow rows[] = {
        {"02BE", "9 L0 @0 Kind d=2 h=02 v=Bits | 2 L0 @1 Payload(2) | 18 L1 @1 Low3 d=5 h=05 v=5 | "
                 "18 L1 @1 High5 d=-2 h=1E v=-2"},
        {"024F", "9 L0 @0 Kind d=2 h=02 v=Bits | 2 L0 @1 Payload(2) | 18 L1 @1 Low3 d=2 h=02 v=2 | "
                 "18 L1 @1 High5 d=15 h=0F v=15"},
        {"033412", "9 L0 @0 Kind d=3 h=03 v=Swapped | 2 L0 @1 Payload(3) | 18 L1 @1 Word12 d=564 "
                   "h=3402 v=564 | 18 L1 @2 Nibble d=1 h=01 v=1"},
        {"04ABCD", "9 L0 @0 Kind d=4 h=04 v=Wide | 2 L0 @1 Payload(4) | 18 L1 @1 Word12 d=-1348 "
                   "h=0ABC v=-1348 | 18 L1 @2 Nibble d=13 h=0D v=13"},
        // 9 bits: the case ends inside byte 2, so the next byte is left over.
        {"05FFFF77", "9 L0 @0 Kind d=5 h=05 v=Odd | 2 L0 @1 Payload(5) | 18 L1 @1 A3 d=7 h=07 v=7 "
                     "| 18 L1 @1 B6 d=63 h=3F v=63 | 1 L0 @3 # Bytes left # h=77"},
        // Rounds go on bit by bit across the byte border.
        {"06AE80",
         "9 L0 @0 Kind d=6 h=06 v=Rep | 2 L0 @1 Payload(6) | 18 L1 @1 S[1] d=5 h=05 v=5 | 18 L1 @1 "
         "S[2] d=3 h=03 v=3 | 18 L1 @1 S[3] d=5 h=05 v=5 | 18 L1 @2 S[4] d=0 h=00 v=0 | 18 L1 @2 "
         "S[5] d=0 h=00 v=0 | 1 L1 @2 # Position of parameter 'S' exceeds message length #"},
        // The 12-bit signal needs a second byte.
        {"04AB", "9 L0 @0 Kind d=4 h=04 v=Wide | 2 L0 @1 Payload(4) | 1 L1 @1 # Position of "
                 "parameter 'Word12' exceeds message length # | 1 L0 @1 # Bytes left # h=AB"},
    };
    for (const SignalRow& r : rows)
        EXPECT_EQ(Decoded(0x200, r.hex, opts), r.want) << r.hex;

    // Bit lengths, byte order flags and the sign-extended raw value.
    const auto& e = Info(0x200, {0x03, 0x34, 0x12})->Disassemble();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[2]->BitLength() * 100 + e[3]->BitLength(), 1204u);
    EXPECT_FALSE(e[2]->IsBigEndian());
    const auto& s = Info(0x200, {0x02, 0xBE})->Disassemble();
    uint64_t raw = 0;
    double numeric = 0;
    ASSERT_TRUE(s[3]->UInt64Value(raw) && s[3]->NumericValue(numeric));
    EXPECT_EQ(raw, ~uint64_t(1));
    EXPECT_EQ(numeric, -2.0);
    EXPECT_TRUE(s[3]->IsBigEndian() && s[3]->ValueFlag() && !s[2]->ValueFlag());
}

TEST_F(DecodeValuesTest, FunctionIdentifierLists) {
    // Only a TStream named BitField in a function named FktIDs is such a list.
    OpenLab(Function("FktIDs", 0x100, Param("BitField", "<TStream/>", 1)));
    const std::string error = " # error in bitstream #";
    const std::pair<Bytes, std::string> rows[] = {
        {{0x00, 0x20, 0x05, 0x00, 0x80}, "d=0,1,5..7 h=000,001,005..007 v=0,1,5..7"},
        {{0x00, 0x30, 0x06, 0x00, 0x80}, "d=0..2,6,7 h=000..002,006,007 v=0..2,6,7"},
        {{0x00, 0x00, 0x01, 0x00, 0x40}, "d=1..3 h=001..003 v=1..3"},
        {{0x00, 0x10}, "d=0 h=000 v=0"},
        {{0x00, 0x50, 0x03}, "d=0..4" + error + " h=000..004" + error + " v=0..4" + error},
        {{0x00, 0x20, 0x00}, "d=0,1" + error + " h=000,001" + error + " v=0,1" + error},
        {{0x12}, "d=- h=- v=-"},
        {{}, "d=- h=- v=-"},
    };
    for (const auto& [data, texts] : rows)
        EXPECT_EQ(Decode(0x100, data), Lines{"13 L0 @0 BitField " + texts}) << Hex(data);
}

std::string Switches() {
    return "<TBool TypeRef=\"type_unsigned_byte\"><TBoolField BitPos=\"0\"><BitTrueDesc>Enabled"
           "</BitTrueDesc><BitFalseDesc>Disabled</BitFalseDesc></TBoolField><TBoolField "
           "BitPos=\"2..3\"><BitTrueDesc>On</BitTrueDesc></TBoolField></TBool>";
}

TEST_F(DecodeValuesTest, BoolsAndTheirFields) {
    Check({
        {Switches(), "05",
         "6 L0 @0 X d=5 h=05 | 7 L1 @0 Bit0 d=1 h=1 v=Enabled | 7 L1 @0 Bit1 d=0 h=0 v=False | 7 "
         "L1 @0 Bit2 d=1 h=1 v=On | 7 L1 @0 Bit3 d=0 h=0 v=On"},
        {Switches(), "02",
         "6 L0 @0 X d=2 h=02 | 7 L1 @0 Bit0 d=0 h=0 v=Dis... | 7 L1 @0 Bit1 d=1 h=1 v=Tru... | 7 "
         "L1 @0 Bit2 d=0 h=0 v=On | 7 L1 @0 Bit3 d=0 h=0 v=On",
         3},
    });
    // The fields carry their bit but count as no data.
    auto* info = static_cast<YFciMesgInfoImpl*>(Info(0x100, {0x05}));
    const auto& e = info->Disassemble();
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(info->DataEntryCount(), 1u);
    EXPECT_FALSE(e[0]->HasNoData());
    double numeric = 0;
    EXPECT_TRUE(e[0]->NumericValue(numeric));
    EXPECT_EQ(numeric, 5.0);
    std::string fields;
    for (size_t i = 1; i < e.size(); ++i)
        fields += StrFormat("%d%s%s%u ", e[i]->HasNoData() ? 1 : 0, e[i]->DataDec(8).c_str(),
                            e[i]->DataHex(8).c_str(), e[i]->DataSize());
    EXPECT_EQ(fields, "1111 1001 1111 1001 ");
}

TEST_F(DecodeValuesTest, BitFieldBitsLieInTheValuesLastByteFirst) {
    OpenLab(
        Function("B", 0x100,
                 Param("X",
                       "<TBitField Length=\"2\"><TBoolField BitPos=\"0\"><BitTrueDesc>Ready"
                       "</BitTrueDesc><BitFalseDesc>Busy</BitFalseDesc></TBoolField><TBoolField "
                       "BitPos=\"8\"><BitTrueDesc>Fault</BitTrueDesc><BitFalseDesc>Fine"
                       "</BitFalseDesc></TBoolField></TBitField>",
                       1)));
    Lines rows = Decode(0x100, {0x01, 0x00});
    ASSERT_EQ(rows.size(), 17u) << "the bit field's entry and one per bit";
    EXPECT_EQ(rows[0], "11 L0 @0 X d=256 h=0100");
    EXPECT_EQ(rows[1], "7 L1 @1 Bit00 d=0 h=0 v=Busy");
    EXPECT_EQ(rows[8], "7 L1 @1 Bit07 d=0 h=0 v=False");
    EXPECT_EQ(rows[9], "7 L1 @0 Bit08 d=1 h=1 v=Fault");
}

} // namespace
} // namespace mostfcat::test
