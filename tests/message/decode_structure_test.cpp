// Decoding structures: diagnostics with their texts, short, raw short and
// classified streams, stream cases with sequences and repetition counts,
// arrays with selectors, the entry and text limits, the option bits and the
// tree view.
#include <gtest/gtest.h>

#include "message/message_fixture.h"

namespace mostfcat::test {
namespace {

constexpr uint32_t kDiags = 0x1F;
constexpr uint32_t kNoHeads = 0x4000;
// Names and hex texts with every diagnostic; no decimal or value texts.
constexpr uint32_t kHex = (kTexts | kDiags) & ~0xC00u;

std::string Lab() {
    const std::string ubyte = Num("UByte");
    return Function("One", 0x300, Param("X", Num("UWord", 0, "unit_db"), 1)) +
           ShortStreamFunction(0x301) +
           Function("RawShort", 0x302, Param("R", "<TShortStream MaxLength=\"4\"/>", 1)) +
           Function("Classified", 0x303, Param("C", "<TCStream/>", 1)) +
           Function("Selected", 0x304,
                    Param("Pos", Num("UWord"), 1) + Param("A1", Array("", "E", ubyte), 2) +
                        Param("A2", Array("2", "F", ubyte), 3)) +
           TableFunction(0x305) +
           Function("Counted", 0x306,
                    Param("ListSize", ubyte, 1) +
                        Param("ListElements",
                              "<TStream>" +
                                  Case("", "", "{{B, C}}",
                                       Member(1, "B", ubyte) + Member(2, "C", ubyte)) +
                                  "</TStream>",
                              2)) +
           Function("Empty", 0x307,
                    Param("Voids", Array("", "V", "<TVoid/>"), 1) +
                        Param("Zeros",
                              "<TStream>" + Case("", "", "{{Z}}", Signal(1, "Z", 0)) + "</TStream>",
                              2)) +
           Function("Four", 0x308,
                    Param("N1", ubyte, 1) + Param("N2", ubyte, 2) + Param("N3", ubyte, 3) +
                        Param("List", Array("5", "E", ubyte), 4)) +
           Function(
               "Tree", 0x309,
               Param("N0", ubyte, 1) +
                   Param("Rec",
                         Record(Field(1, "Arr", Array("1", "E", ubyte)) + Field(2, "F", ubyte), 2),
                         2)) +
           Function("Raw", 0x30A, Param("Blob", "<TStream/>", 1)) +
           Function("Zeros", 0x30B,
                    Param("Zeros",
                          "<TStream>" + Case("", "", "{{Z}}", Signal(1, "Z", 0)) + "</TStream>",
                          1)) +
           Function("Nested", 0x30C,
                    Param("R",
                          Record(Field(1, "A", Num("UByte")) + Field(2, "C", "<TCStream/>"), 2),
                          1)) +
           Function(
               "ShortRaw", 0x30D,
               Param("S",
                     "<TShortStream>" +
                         Case("", "", "N,R", Member(1, "N", ubyte) + Member(2, "R", "<TStream/>")) +
                         "</TShortStream>",
                     1)) +
           Function(
               "Cells", 0x30E,
               Param("Pos", Num("UWord"), 1) +
                   Param("Rows",
                         Array("3", "Row", Record(Field(1, "A", ubyte) + Field(2, "B", ubyte), 2)),
                         2));
}

using DecodeStructureTest = LabMessageTest<Lab>;

// One row per payload: its entries as "kind level position name hex",
// joined, with every diagnostic; an entry limit and a loop limit (0: the
// default).
TEST_F(DecodeStructureTest, StructuresStreamsAndLimits) {
    struct Row {
        uint32_t fkt;
        const char* hex;
        const char* want;
        uint32_t maxParams = 65535, loopLimit = 0, options = kHex;
    };
    const Row rows[] = {
        {0x300, "", "1 L0 @0 # Position of parameter 'X' exceeds message length #", 65535, 0,
         0x101},
        {0x300, "", "", 65535, 0, 0x100},              // no diagnostic without option 0x1
        {0x30A, "", "14 L0 @0 Blob", 65535, 0, 0x1FF}, // no bytes is no error for a raw stream
        {0x300, "123456", "8 L0 @0 X h=1234 u=dB | 1 L0 @2 # Bytes left # h=56"},
        // Short streams: the length field cuts the case, so X no longer fits.
        {0x301, "01AABB",
         "19 L0 @0 S | 8 L1 @0 Length h=01 | 1 L1 @1 # Parameter 'X' exceeds length of superior "
         "structure # | 1 L0 @2 # Bytes left # h=BB"},
        {0x301, "03AABBCCDD",
         "19 L0 @0 S | 8 L1 @0 Length h=03 | 8 L1 @1 X h=AABB | 8 L1 @3 Y h=CC | 1 L0 @4 # Bytes "
         "left # h=DD"},
        // Ending with the payload: nothing left, no conflict.
        {0x301, "03AABBCC", "19 L0 @0 S | 8 L1 @0 Length h=03 | 8 L1 @1 X h=AABB | 8 L1 @3 Y h=CC"},
        // The length field claims more than the payload holds.
        {0x301, "05AABB",
         "19 L0 @0 S | 8 L1 @0 Length h=05 | 8 L1 @1 X h=AABB | 1 L0 @0 # Stream data length "
         "conflict #"},
        {0x301, "",
         "19 L0 @0 S | 1 L1 @0 # Position of parameter 'Length' exceeds message length #"},
        // A raw stream that ends with its short stream is not short itself ...
        {0x30D, "0401AABBCCDD",
         "19 L0 @0 S | 8 L1 @0 Length h=04 | 8 L1 @1 N h=01 | 14 L1 @2 R h=AABBCC | 1 L0 @5 # "
         "Bytes left # h=DD"},
        // ... unless the payload ends first.
        {0x30D, "0401AA",
         "19 L0 @0 S | 8 L1 @0 Length h=04 | 8 L1 @1 N h=01 | 14 L1 @2 R h=AA | 1 L1 @2 # Stream "
         "data length conflict # | 1 L0 @0 # Stream data length conflict #"},
        {0x302, "03AABB",
         "17 L0 @0 R | 8 L1 @0 Length h=03 | 14 L1 @1 Content h=AABB | 1 L1 @1 # Stream data "
         "length conflict #"},
        {0x302, "02AABBCC",
         "17 L0 @0 R | 8 L1 @0 Length h=02 | 14 L1 @1 Content h=AABB | 1 L0 @3 # Bytes left # "
         "h=CC"},
        {0x302, "090102030405",
         "17 L0 @0 R | 8 L1 @0 Length h=09 | 14 L1 @1 Content h=01020304 | 1 L0 @5 # Bytes left # "
         "h=05"}, // cut to the maximum length 4
        // Classified: a 2-byte length, the media type inside the length.
        {0x303, "0005016100CCDDEE",
         "16 L0 @0 C | 8 L1 @0 Length h=0005 | 10 L1 @2 MediaType h=016100 | 14 L1 @5 Content "
         "h=CCDD | 1 L0 @7 # Bytes left # h=EE"},
        {0x303, "0002016100",
         "16 L0 @0 C | 8 L1 @0 Length h=0002 | 10 L1 @2 MediaType h=0161 | 1 L1 @2 # End of "
         "message while disassembling string # | 1 L0 @4 # Bytes left # h=00"},
        // A classified stream as a record field: its parts one level below its head.
        {0x30C, "010003014100",
         "5 L0 @0 R | 8 L1 @0 A h=01 | 16 L1 @1 C | 8 L2 @1 Length h=0003 | 10 L2 @3 MediaType "
         "h=014100 | 14 L2 @6 Content"},
        // Pos 0x0200 selects element 2 of the open array A1; A2 then cannot
        // tell where its elements begin.
        {0x304, "0200112233",
         "8 L0 @0 Pos d=PosX=2 PosY=0 h=PosX=2 PosY=0 v=PosX=2 PosY=0 | 4 L0 @2 A1 | 8 L1 @2 E[2] "
         "d=17 h=11 v=17 | 4 L0 @3 A2 | 1 L0 @3 # Further interpretation of 'A2' not possible # | "
         "1 L0 @3 # Bytes left # h=2233",
         65535, 0, kTexts | kDiags},
        // Without a selection A1 takes the rest; A2 finds nothing left.
        {0x304, "00001122",
         "8 L0 @0 Pos h=PosX=0 PosY=0 | 4 L0 @2 A1 | 8 L1 @2 E[1] h=11 | 8 L1 @3 E[2] h=22 | 4 L0 "
         "@4 A2"},
        // PosX picks the row, PosY the field of the row's record.
        {0x30E, "0202BBEE",
         "8 L0 @0 Pos h=PosX=2 PosY=2 | 4 L0 @2 Rows | 5 L1 @2 Row[2] | 8 L2 @2 B h=BB | 1 L0 @3 # "
         "Bytes left # h=EE"},
        {0x30E, "0300AABB",
         "8 L0 @0 Pos h=PosX=3 PosY=0 | 4 L0 @2 Rows | 5 L1 @2 Row[3] | 8 L2 @2 A h=AA | 8 L2 @3 B "
         "h=BB"},
        {0x308, "010203040506070809",
         "8 L0 @0 N1 h=01 | 8 L0 @1 N2 h=02 | 8 L0 @2 N3 h=03 | 4 L0 @3 List | 8 L1 @3 E h=04 | 8 "
         "L1 @4 E h=05 | 8 L1 @5 E h=06 | 8 L1 @6 E h=07 | 8 L1 @7 E h=08 | 1 L0 @8 # Bytes left # "
         "h=09",
         65535, 0, kHex & ~0x2000u}, // NMax 5, no suffixes
        // Cases by selector; the group B, C repeats as long as the stream
        // length allows; the payload ends between rounds, then inside one.
        {0x305, "010A0BFF",
         "8 L0 @0 Sel h=01 | 2 L0 @1 Table(1) | 8 L1 @1 A h=0A | 8 L1 @2 B h=0B | 1 L0 @3 # Bytes "
         "left # h=FF"},
        {0x305, "030A0B0C0C1B1C1CFF",
         "8 L0 @0 Sel h=03 | 2 L0 @1 Table(3) | 8 L1 @1 A h=0A | 8 L1 @2 B[1] h=0B | 8 L1 @3 C[1] "
         "h=0C0C | 8 L1 @5 B[2] h=1B | 8 L1 @6 C[2] h=1C1C | 1 L0 @8 # Bytes left # h=FF"},
        {0x305, "030A0B0C0C1B",
         "8 L0 @0 Sel h=03 | 2 L0 @1 Table(3) | 8 L1 @1 A h=0A | 8 L1 @2 B[1] h=0B | 8 L1 @3 C[1] "
         "h=0C0C | 8 L1 @5 B[2] h=1B"},
        {0x305, "030A0B0C0C1B1C",
         "8 L0 @0 Sel h=03 | 2 L0 @1 Table(3) | 8 L1 @1 A h=0A | 8 L1 @2 B[1] h=0B | 8 L1 @3 C[1] "
         "h=0C0C | 8 L1 @5 B[2] h=1B | 1 L1 @6 # Position of parameter 'C' exceeds message length "
         "# | 1 L0 @6 # Bytes left # h=1C"},
        {0x305, "070A",
         "8 L0 @0 Sel h=07 | 2 L0 @1 Table | 1 L0 @1 # Unknown streamcase in 'Table' # | 1 L0 @1 # "
         "Bytes left # h=0A"},
        // ListSize counts the rounds, the first one included.
        {0x306, "02111221223132",
         "8 L0 @0 ListSize h=02 | 2 L0 @1 ListElements | 8 L1 @1 B[1] h=11 | 8 L1 @2 C[1] h=12 | 8 "
         "L1 @3 B[2] h=21 | 8 L1 @4 C[2] h=22 | 1 L0 @5 # Bytes left # h=3132"},
        {0x306, "0011",
         "8 L0 @0 ListSize h=00 | 2 L0 @1 ListElements | 1 L0 @1 # Bytes left # h=11"},
        // Elements and rounds that read nothing stop; after the open array
        // the open sequence cannot be placed.
        {0x30B, "42",
         "2 L0 @0 Zeros | 18 L1 @0 Z[1] | 18 L1 @0 Z[2] | 1 L0 @0 # Bytes left # h=42"},
        {0x307, "42",
         "4 L0 @0 Voids | 12 L1 @0 V[1] | 2 L0 @0 Zeros | 18 L1 @0 Z[1] | 1 L0 @0 # Further "
         "interpretation of 'StreamCase' not possible # | 1 L0 @0 # Bytes left # h=42"},
        // The entry limit.
        {0x308, "010203040506", "1 L0 @0 # Bytes left # h=010203040506", 0},
        {0x308, "010203040506",
         "8 L0 @0 N1 h=01 | 8 L0 @1 N2 h=02 | 1 L0 @2 # Bytes left # h=03040506", 2},
        {0x308, "010203040506",
         "8 L0 @0 N1 h=01 | 8 L0 @1 N2 h=02 | 8 L0 @2 N3 h=03 | 4 L0 @3 List | 8 L1 @3 E[1] h=04 | "
         "8 L1 @4 E[2] h=05 | 1 L0 @5 # Bytes left # h=06",
         5},
        // At most ParamsInLoopLimit - 1 elements, and rounds up to the limit.
        {0x304, "0000112233",
         "8 L0 @0 Pos h=PosX=0 PosY=0 | 4 L0 @2 A1 | 8 L1 @2 E[1] h=11 | 8 L1 @3 E[2] h=22 | 4 L0 "
         "@4 A2 | 1 L0 @4 # Further interpretation of 'A2' not possible # | 1 L0 @4 # Bytes left # "
         "h=33",
         65535, 3},
        {0x306, "09111221223132",
         "8 L0 @0 ListSize h=09 | 2 L0 @1 ListElements | 8 L1 @1 B[1] h=11 | 8 L1 @2 C[1] h=12 | 8 "
         "L1 @3 B[2] h=21 | 8 L1 @4 C[2] h=22 | 1 L0 @5 # Bytes left # h=3132",
         65535, 3},
    };
    const uint32_t loops = State().paramsInLoopLimit;
    for (const Row& r : rows) {
        State().paramsInLoopLimit = r.loopLimit ? r.loopLimit : loops;
        YFciMesgInfo* info = Info(r.fkt, FromHex(r.hex), r.options);
        info->SetMaxParams(r.maxParams);
        EXPECT_EQ(Flat(Rows(info->Disassemble())), r.want) << std::hex << r.fkt << " " << r.hex;
    }
    // The bytes left hold data; the other diagnostics do not.
    auto* info = static_cast<YFciMesgInfoImpl*>(Info(0x300, {0x12, 0x34, 0x56}, kHex));
    ASSERT_EQ(info->Disassemble().size(), 2u);
    EXPECT_EQ(Hex(info->Disassemble()[1]->Data()), "56");
    EXPECT_EQ(info->DataEntryCount(), 2u);
    EXPECT_TRUE(Info(0x300, {}, 0x101)->Disassemble().at(0)->HasNoData());
}

TEST_F(DecodeStructureTest, TextLimits) {
    struct Row {
        uint32_t fkt;
        const char* hex;
        uint32_t limit;
        uint32_t options;
        const char* want;
    };
    const uint32_t opts = kTexts | kDiags;
    const Row rows[] = {
        {0x30A, "0102030405", 4, opts, "14 L0 @0 Blob h=0102..."},
        {0x30A, "0102", 4, opts, "14 L0 @0 Blob h=0102"},
        {0x30A, "010203", 0, opts, "14 L0 @0 Blob h=..."},
        {0x30A, "010203", 0, opts & ~0x1000000u, "14 L0 @0 Blob h=010203"},
        {0x300, "000C0A0B0C", 4, opts,
         "8 L0 @0 X d=12 h=000C v=12 u=dB | 1 L0 @2 # Bytes left # h=0A0B..."},
        {0x300, "000C0A", 0, opts,
         "8 L0 @0 X d=12 h=000C v=... u=dB | 1 L0 @2 # Bytes left # h=..."},
    };
    for (const Row& r : rows) {
        const Bytes data = FromHex(r.hex);
        YFciMesgInfo* info = Info(r.fkt, data, r.options);
        info->SetValueTextLimit(r.limit);
        EXPECT_EQ(Flat(Rows(info->Disassemble())), r.want) << r.hex << " limit " << r.limit;
        // Raw streams and diagnostics show at most half the text limit in bytes.
        EXPECT_EQ(
            info->Disassemble().back()->Length(),
            std::min<uint32_t>(r.options & 0x1000000u ? r.limit / 2 : 32767, uint32_t(data.size())))
            << r.hex;
    }
}

TEST_F(DecodeStructureTest, OptionBitsSwitchTextsOff) {
    const std::pair<uint32_t, const char*> rows[] = {
        {0x100, "8 L0 @0  d=3 h=03 v=3 | 2 L0 @1 (3) | 8 L1 @1  d=10 h=0A v=10 | 8 L1 @2 [1] d=11 "
                "h=0B v=11 | 8 L1 @3 [1] d=3084 h=0C0C v=3084 | 8 L1 @5 [2] d=27 h=1B v=27"},
        {0x200, "8 L0 @0 Sel d=3 v=3 | 2 L0 @1 Table(3) | 8 L1 @1 A d=10 v=10 | 8 L1 @2 B[1] d=11 "
                "v=11 | 8 L1 @3 C[1] d=3084 v=3084 | 8 L1 @5 B[2] d=27 v=27"},
        {0xC00, "8 L0 @0 Sel h=03 | 2 L0 @1 Table(3) | 8 L1 @1 A h=0A | 8 L1 @2 B[1] h=0B | 8 L1 "
                "@3 C[1] h=0C0C | 8 L1 @5 B[2] h=1B"},
        {0x2000, "8 L0 @0 Sel d=3 h=03 v=3 | 2 L0 @1 Table | 8 L1 @1 A d=10 h=0A v=10 | 8 L1 @2 B "
                 "d=11 h=0B v=11 | 8 L1 @3 C d=3084 h=0C0C v=3084 | 8 L1 @5 B d=27 h=1B v=27"},
        {0x4000, "8 L0 @0 Sel d=3 h=03 v=3 | 8 L1 @1 A d=10 h=0A v=10 | 8 L1 @2 B[1] d=11 h=0B "
                 "v=11 | 8 L1 @3 C[1] d=3084 h=0C0C v=3084 | 8 L1 @5 B[2] d=27 h=1B v=27"},
    };
    for (auto [off, want] : rows)
        EXPECT_EQ(Decoded(0x305, "030A0B0C0C1B", kTexts & ~off), want) << std::hex << off;
    // Units: on by 0x1000 only.
    EXPECT_EQ(Decoded(0x300, "0001", kTexts & ~0x1000u), "8 L0 @0 X d=1 h=0001 v=1");
    // Diagnostics each by their own bit.
    EXPECT_EQ(Decoded(0x300, "000102", kTexts & ~0x8u), "8 L0 @0 X d=1 h=0001 v=1 u=dB");
    EXPECT_EQ(Decode(0x301, {0x05, 0xAA, 0xBB}, kTexts | 0x1E).back(),
              "8 L1 @1 X d=43707 h=AABB v=43707");
    EXPECT_EQ(Decode(0x302, {0x03, 0xAA}, kTexts | 0x1D).back(), "14 L1 @1 Content h=AA");
    EXPECT_EQ(Decode(0x305, {0x07}, kTexts | 0x1B).back(), "2 L0 @1 Table");
    EXPECT_EQ(Decode(0x304, {0x02, 0x00, 0x11, 0x22}, kTexts | 0xF).back(),
              "1 L0 @3 # Bytes left # h=22");
}

// The tree as "name(children)" texts; "-" for a node without description.
std::string TreeText(const YFciParamInfoNode& node) {
    std::string s = node.m_Info ? node.m_Info->FullName() : "-";
    if (node.m_Children.empty()) return s;
    s += "(";
    for (size_t i = 0; i < node.m_Children.size(); ++i)
        s += (i ? "," : "") + TreeText(node.m_Children[i]);
    return s + ")";
}

TEST_F(DecodeStructureTest, TreeView) {
    // Levels 0, 2, 1 without heads: E one step below N0 although its level
    // is 2, and F beside it.
    YFciMesgInfo* flat = Info(0x309, {1, 2, 3}, kTexts & ~kNoHeads);
    Lines levels;
    for (const auto* e : flat->Disassemble())
        levels.push_back(e->FullName() + " " + std::to_string(e->Level()));
    EXPECT_EQ(levels, (Lines{"N0 0", "E[1] 2", "F 1"}));
    YFciParamInfoNode* tree = flat->ParamInfoTree();
    EXPECT_EQ(TreeText(*tree), "-(N0(E[1],F))");
    EXPECT_EQ(flat->ParamInfoTree(), tree) << "built once per build of the entries";
    // Asked before anything was decoded, the tree follows the entries built later.
    YFciMesgInfo* heads = Info(0x309, {1, 2, 3}, kTexts);
    heads->ParamInfoTree();
    heads->Disassemble();
    EXPECT_EQ(TreeText(*heads->ParamInfoTree()), "-(N0,Rec(Arr(E[1]),F))");
    // An entry below a node that has no child yet is left out.
    YFciMesgInfo* orphans = Info(0x301, {0x01, 0x11}, kTexts & ~kNoHeads);
    ASSERT_EQ(orphans->Disassemble().size(), 1u);
    EXPECT_EQ(TreeText(*orphans->ParamInfoTree()), "-");

    // Copies are deep.
    YFciParamInfoNode copy(*tree);
    YFciParamInfoNode assigned;
    assigned = copy;
    flat->ClearParamInfos();
    EXPECT_EQ(assigned.m_Children.at(0).m_Children.size(), 2u);
}

} // namespace
} // namespace mostfcat::test
