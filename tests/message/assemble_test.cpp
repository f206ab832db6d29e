// Assembling payloads from input texts: every status code with its input
// index, raw inputs in braces, wildcards, the bit packing of signals,
// assemble -> decode round trips, and pattern matching.
#include <gtest/gtest.h>

#include "message/message_fixture.h"

namespace mostfcat::test {
namespace {

constexpr uint32_t kNoWildcards = kAll & ~0x8000u;

std::string Lab() {
    const std::string ubyte = Num("UByte");
    const std::string switches =
        "<TBool TypeRef=\"type_unsigned_byte\"><TBoolField BitPos=\"0\"><BitTrueDesc>Enabled"
        "</BitTrueDesc><BitFalseDesc>Disabled</BitFalseDesc></TBoolField></TBool>";
    return Function("Mix", 0x400,
                    Param("N", ubyte, 1) +
                        Param("E", Enum({{"0", "Off"}, {"1", "On"}, {"2..3", "Auto"}}), 2) +
                        Param("S", Str(), 3) + Param("B", switches, 4)) +
           Function("Signed", 0x401, Param("N", Num("SByte"), 1) + Param("W", Num("SWord"), 2)) +
           SignalStreamsFunction(0x402) + ShortStreamFunction(0x403) +
           Function("RawShort", 0x404, Param("R", "<TShortStream MaxLength=\"4\"/>", 1)) +
           TableFunction(0x405) +
           Function(
               "Rows", 0x406,
               Param("N1", ubyte, 1) +
                   Param("List",
                         Array("3", "Row", Record(Field(1, "A", ubyte) + Field(2, "B", ubyte), 2)),
                         2)) +
           Function("FktIDs", 0x407, Param("BitField", "<TStream/>", 1)) +
           Function("Classified", 0x408, Param("C", "<TCStream/>", 1));
}

using AssembleTest = LabMessageTest<Lab>;

TEST_F(AssembleTest, StatusCodesAndIndices) {
    struct Row {
        uint32_t fkt;
        Inputs inputs;
        uint32_t options;
        std::string want; // "status index payload"
    };
    const Row rows[] = {
        {0x400, {"7", "On", "'Hi'", "5"}, kAll, "0 0 07010148690005"},
        {0x400, {"7", "0x03", "'Hi'"}, kAll, "0 0 070301486900"},
        {0x7FF, {"1"}, kAll, "3 0 "},
        {0x7FF, {}, kAll, "0 0 "},
        {0x400, {"256"}, kAll, "4 0 "},
        {0x400, {"-1"}, kAll, "4 0 "},
        {0x400, {"1", "256"}, kAll, "4 1 01"},
        {0x400, {"1", "Nope"}, kAll, "4 1 01"},
        {0x400, {"1", "2", "'x'", "256"}, kAll, "4 3 0102017800"},
        {0x400, {"1", "2", "'x'", "-1"}, kAll, "4 3 0102017800"},
        {0x400, {"*"}, kNoWildcards, "5 0 "},
        {0x400, {"1", "*"}, kNoWildcards, "5 1 01"},
        {0x400, {"1", "2", "*"}, kNoWildcards, "5 2 0102"},
        {0x400, {"1", "2", "'x'", "*"}, kNoWildcards, "5 3 0102017800"},
        {0x400, {""}, kAll, "6 0 "},
        {0x400, {"abc"}, kAll, "6 0 "},
        {0x400, {"1", "2", "Hi"}, kAll, "6 2 0102"},
        {0x400, {"1", "2", "'"}, kAll, "6 2 0102"},
        {0x400, {"1", "2", "'x'", "on"}, kAll, "6 3 0102017800"},
        {0x402, {"7"}, kAll, "0 0 07"},
        {0x402, {"7", "1"}, kAll, "7 1 07"},
        {0x402, {"*", "1"}, kAll, "5 0 00"},
        {0x400, {"1", "auto"}, kAll, "8 1 01"},
        {0x407, {"1"}, kAll, "9 0 "},
        {0x400, {"1", "2", "'x'", "3", "4"}, kAll, "10 4 010201780003"},
        {0x401, {"1", "2", "3", "4"}, kAll, "10 2 010002"},
        // The unused last input in braces becomes raw bytes.
        {0x400, {"1", "2", "'x'", "3", "{AB CD}"}, kAll, "0 0 010201780003ABCD"},
        {0x401, {"1", "2", "{AB}", "4"}, kAll, "10 2 010002"},
        // Raw bytes stand for the rest of the message: inputs after them are
        // too many, whatever parameters remain.
        {0x404, {"2", "{AA BB}", "{CC}"}, kAll, "10 2 02AABB"},
        {0x400, {"7", "{01}", "'x'", "5"}, kAll, "10 2 0701"},
        // A single raw input never reaches a kind that cannot be assembled;
        // every kind offers raw bytes to the raw step first.
        {0x407, {"{00 20 05}"}, kAll, "0 0 002005"},
        {0x407, {"{00 20 05}", "{01}"}, kAll, "10 1 002005"},
        // Binary is no number input, but a code of an enumeration.
        {0x401, {"0b11"}, kAll, "6 0 "},
        {0x400, {"+5", "0b11", "' '", "0x05"}, kAll, "0 0 050301200005"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Assemble(r.fkt, r.inputs, r.options), r.want) << testing::PrintToString(r.inputs);
}

TEST_F(AssembleTest, RawInputs) {
    struct Row {
        uint32_t fkt;
        Inputs inputs;
        std::string want;
        bool openEnded;
    };
    const Row rows[] = {
        {0x400, {"{01 02 *}"}, "0 0 0102", true},
        {0x400, {"{ 0102 * }"}, "0 0 0102", true},
        {0x400, {"{*}"}, "0 0 ", true},
        {0x400, {"{}"}, "0 0 ", false},
        {0x400, {"{ab c}"}, "0 0 ABC0", false},
        {0x400, {"{01 0*}"}, "4 0 ", false},
        {0x400, {"{0G}"}, "4 0 ", false},
        {0x400, {"{01 * 02}"}, "4 0 ", false},
        {0x400, {"7", "{01 02 *}"}, "0 0 070102", true},
        {0x400, {"7", "{01 0*}"}, "4 1 07", false},
        // Inside a stream: the raw short stream's content.
        {0x404, {"2", "{AA BB}"}, "0 0 02AABB", false},
    };
    for (const Row& r : rows) {
        YFciMesgInfo* info = nullptr;
        EXPECT_EQ(Assemble(r.fkt, r.inputs, kAll, &info), r.want)
            << testing::PrintToString(r.inputs);
        const auto& e = info->Disassemble(); // built: the assembled entries
        if (r.want[0] == '0' && !e.empty()) {
            EXPECT_EQ(e.back()->ParamType() == 14 && e.back()->IsOpenEnded(), r.openEnded)
                << testing::PrintToString(r.inputs);
        }
    }
}

TEST_F(AssembleTest, EntryLimitLeavesInputsOver) {
    YFciMesgInfo* info = Info(0x400, {});
    info->SetMaxParams(1);
    uint32_t status = 99, index = 99;
    info->Assemble({"1", "2"}, status, index);
    EXPECT_EQ(StrFormat("%u %u ", status, index) + Hex(info->Data()), "10 1 01");
}

TEST_F(AssembleTest, Wildcards) {
    YFciMesgInfo* info = nullptr;
    EXPECT_EQ(Assemble(0x400, {"*", "*", "*", "*"}, kAll, &info), "0 0 0000010000");
    std::string flags;
    for (const YFciParamInfo* e : info->Disassemble())
        flags += StrFormat("%u:%d ", e->ParamType(), e->IsWildcard() ? 1 : 0);
    EXPECT_EQ(flags, "8:1 9:1 10:1 6:1 ");
    // A selector cannot be a wildcard, whatever the options.
    EXPECT_EQ(Assemble(0x405, {"*"}), "5 0 ");
    EXPECT_EQ(Assemble(0x405, {"3", "*", "*"}), "0 0 030000");
}

TEST_F(AssembleTest, SignalsAreBitPacked) {
    struct Row {
        Inputs inputs;
        std::string want;
    };
    const Row rows[] = {
        {{"2", "5", "-2"}, "0 0 02BE"},
        {{"2", "2", "15"}, "0 0 024F"},
        {{"2", "2", "0x1F"}, "0 0 025F"},
        {{"2", "2", "-16"}, "0 0 0250"},
        // The entries made before the failure stay in the payload.
        {{"2", "2", "16"}, "4 2 0240"},
        {{"2", "2", "-17"}, "4 2 0240"},
        {{"2", "8"}, "4 1 02"},
        {{"2", "-1"}, "6 1 02"},
        {{"2", "x"}, "6 1 02"},
        {{"3", "564", "1"}, "0 0 033412"},
        {{"4", "-1348", "13"}, "0 0 04ABCD"},
        {{"4", "0xABC", "0xD"}, "0 0 04ABCD"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Assemble(0x402, r.inputs), r.want) << testing::PrintToString(r.inputs);
}

// Inputs fill the structures in order; what assembles decodes to the same
// data entries again (raw inputs make raw entries, so kinds are compared
// only where both sides are typed) and its typed entries read the same.
TEST_F(AssembleTest, StructuresAssembleFromInputsInOrderAndDecodeBack) {
    struct Case {
        uint32_t fkt;
        Inputs inputs;
        std::string want, names; // the entries' full names, each followed by "|"
    };
    const Case rows[] = {
        {0x400, {"7", "On", "'Hi'", "5"}, "0 0 07010148690005", "N|E|S|B|"},
        {0x401, {"0xFF", "-2"}, "0 0 FFFFFE", "N|W|"},
        {0x401, {"-128", "0x8000"}, "0 0 808000", "N|W|"},
        {0x401, {"-128", "0x7FFF"}, "0 0 807FFF", "N|W|"},
        {0x401, {"128"}, "4 0 ", ""},
        {0x402, {"2", "5", "-2"}, "0 0 02BE", "Kind|Low3|High5|"},
        {0x402, {"3", "564", "1"}, "0 0 033412", "Kind|Word12|Nibble|"},
        {0x402, {"4", "-1348", "13"}, "0 0 04ABCD", "Kind|Word12|Nibble|"},
        {0x403, {"3", "43707", "204"}, "0 0 03AABBCC", "Length|X|Y|"},
        {0x403, {"3", "43707"}, "0 0 03AABB", "Length|X|"},
        {0x404, {"1", "*"}, "0 0 01", "R|Length|Content|"},
        {0x404, {"2", "{AA BB}"}, "0 0 02AABB", "R|Length||"},
        {0x405,
         {"3", "10", "11", "3084", "27", "7196"},
         "0 0 030A0B0C0C1B1C1C",
         "Sel|A|B[1]|C[1]|B[2]|C[2]|"},
        {0x405, {"1", "10", "11", "12"}, "10 3 010A0B", "Sel|A|B|"},
        // Records make no head when assembling, so no entry of an element
        // sits at the element's level to carry its index.
        {0x406, {"9", "1", "2", "3", "4"}, "0 0 0901020304", "N1|List|A|B|A|B|"},
        {0x406, {"9", "1", "2", "3", "4", "5", "6"}, "0 0 09010203040506", "N1|List|A|B|A|B|A|B|"},
        {0x408, {"5", "'a'", "{CC DD}"}, "0 0 0005016100CCDD", "C|Length|MediaType||"},
    };
    auto dataRows = [](const std::vector<YFciParamInfo*>& entries) {
        Lines out;
        for (const YFciParamInfo* e : entries)
            if (!e->HasNoData())
                out.push_back(StrFormat("%u @%u %s", e->ParamType() == 14 ? 0 : e->ParamType(),
                                        e->Position(), Hex(e->Data()).c_str()));
        return out;
    };
    for (const Case& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.inputs));
        YFciMesgInfo* info = nullptr;
        EXPECT_EQ(Assemble(r.fkt, r.inputs, kAll, &info), r.want);
        std::string names;
        for (const auto* e : info->Disassemble())
            names += e->FullName() + "|";
        EXPECT_EQ(names, r.names);
        if (r.want.rfind("0 0 ", 0) != 0) continue;
        const auto& decoded = Info(r.fkt, info->Data())->Disassemble();
        EXPECT_EQ(dataRows(decoded), dataRows(info->Disassemble()));
        Lines decodedRows;
        for (const YFciParamInfo* e : decoded)
            if (!e->HasNoData() || e->ParamType() != 7) decodedRows.push_back(Row(*e));
        for (const std::string& made : Rows(info->Disassemble()))
            if (made.rfind("14 ", 0) != 0) {
                EXPECT_NE(std::find(decodedRows.begin(), decodedRows.end(), made),
                          decodedRows.end())
                    << made;
            }
    }
}

TEST_F(AssembleTest, AlreadyBuiltDescriptionsKeepTheirEntries) {
    YFciMesgInfo* info = Info(0x400, {0x01, 0x02});
    const auto* first = &info->Disassemble();
    size_t count = first->size();
    uint32_t status = 77, index = 77;
    EXPECT_EQ(&info->Assemble({"9"}, status, index), first);
    EXPECT_EQ(info->Disassemble().size(), count);
    EXPECT_EQ(Hex(info->Data()), "0102");
    auto* impl = static_cast<YFciMesgInfoImpl*>(info);
    info->ClearParamInfos();
    info->Assemble({"9", "1"}, status, index);
    EXPECT_EQ(impl->InputStrings(), (Inputs{"9", "1"}));
    EXPECT_EQ(StrFormat("%u %u ", status, index) + Hex(info->Data()), "0 0 0901");
    EXPECT_EQ(impl->DataEntryCount(), 2u);
}

// --- pattern matching ----------------------------------------------------------------

class MatchTest : public AssembleTest {
protected:
    // A message of function Mix on channel 1, instance 1.
    YFciMesgInfo* Concrete(const Bytes& data) { return Info(0x400, data); }
    // A pattern assembled from inputs (wildcards on).
    YFciMesgInfo* Pattern(const Inputs& inputs, uint16_t channel = 0, uint32_t inst = 0xFFFFFFFF,
                          uint32_t fkt = 0x400) {
        YFciMesgInfo* p = Info(fkt, {});
        p->SetChannel(channel);
        p->SetInstID(inst);
        uint32_t status = 99, index = 99;
        p->Assemble(inputs, status, index);
        return p;
    }
};

const Bytes kMix{0x07, 0x01, 0x01, 'H', 'i', 0x00, 0x05};

TEST_F(MatchTest, CoordinatesAndWildcards) {
    struct Row {
        Inputs inputs;
        uint16_t channel;
        uint32_t inst;
        uint32_t fkt;
        bool match;
    };
    const Row rows[] = {
        {{"7", "On", "'Hi'", "5"}, 1, 1, 0x400, true},
        {{"7", "On", "'Hi'", "5"}, 0, 0xFFFFFFFF, 0x400, true},
        {{"7", "On", "'Hi'", "5"}, 0xFFFF, 1, 0x400, true},
        {{"7", "On", "'Hi'", "5"}, 2, 1, 0x400, false},
        {{"7", "On", "'Hi'", "5"}, 0, 2, 0x400, false},
        {{"*", "*", "*", "*"}, 0, 0xFFFFFFFF, 0x400, true},
        {{"*", "On", "*", "*"}, 0, 0xFFFFFFFF, 0x400, true},
        {{"*", "Off", "*", "*"}, 0, 0xFFFFFFFF, 0x400, false},
        {{"7", "On", "'Ho'", "*"}, 0, 0xFFFFFFFF, 0x400, false},
        {{"7"}, 0, 0xFFFFFFFF, 0x400, true},
        {{"7"}, 0, 0xFFFFFFFF, 0x401, false},
    };
    for (const Row& r : rows) {
        YFciMesgInfo* concrete = Concrete(kMix);
        EXPECT_EQ(concrete->Matches(Pattern(r.inputs, r.channel, r.inst, r.fkt)), r.match)
            << testing::PrintToString(r.inputs) << " channel " << r.channel << " inst " << r.inst;
        if (r.match) {
            EXPECT_EQ(concrete->Options(), 0x48u);
        }
    }
}

TEST_F(MatchTest, RawPatternsStandForTheRestOfTheMessage) {
    struct Row {
        Inputs inputs;
        Bytes data;
        bool match;
    };
    const Bytes longer{0x07, 0x01, 0x01, 'H', 'i', 0x00, 0x05, 0xEE};
    const Row rows[] = {
        {{"{07 01 *}"}, kMix, true},
        {{"{07 01}"}, kMix, false},
        {{"{07 01 01 48 69 00 05}"}, kMix, true},
        {{"7", "{01 01 *}"}, kMix, true},
        {{"7", "{01 02 *}"}, kMix, false},
        {{"7", "{01 01 48 69 00 05}"}, kMix, true},
        {{"7", "{01 01 48 69 00 05}"}, longer, false},
        {{"7", "{01 01 48 69 00 05 EE}"}, longer, true},
        {{"7", "{01 01 48 69 00 05 EE FF *}"}, longer, false},
        {{"7", "{*}"}, kMix, true},
        // A raw pattern entry needs a data entry of the message to stand against.
        {{"7", "{*}"}, Bytes{0x07}, false},
        {{"7", "On", "{*}"}, Bytes{0x07}, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Concrete(r.data)->Matches(Pattern(r.inputs)), r.match)
            << testing::PrintToString(r.inputs) << " against " << Hex(r.data);
}

TEST_F(MatchTest, RawPatternsAgainstARawStream) {
    struct Row {
        Inputs inputs;
        bool match;
    };
    const Row rows[] = {
        {{"2", "{AA *}"}, true}, {{"2", "{AA BB}"}, true},  {{"2", "{AA}"}, false},
        {{"2", "{*}"}, true},    {{"3", "{AA BB}"}, false}, {{"2", "*"}, true},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Info(0x404, {0x02, 0xAA, 0xBB})->Matches(Pattern(r.inputs, 0, 0xFFFFFFFF, 0x404)),
                  r.match)
            << testing::PrintToString(r.inputs);
}

TEST_F(MatchTest, DecodedPatternsCompareLeftoverBytes) {
    const Bytes longer{0x07, 0x01, 0x01, 'H', 'i', 0x00, 0x05, 0xEE};
    YFciMesgInfo* pattern = Info(0x400, longer);
    EXPECT_TRUE(Concrete(longer)->Matches(pattern));
    Bytes other = longer;
    other.back() = 0xEF;
    EXPECT_FALSE(Concrete(other)->Matches(pattern));
    EXPECT_FALSE(Concrete(kMix)->Matches(pattern));
    EXPECT_TRUE(Concrete(longer)->Matches(Info(0x400, kMix))) << "the pattern ends earlier";
}

} // namespace
} // namespace mostfcat::test
