// Telegrams put together into messages: against decoding the same payload
// whole (every layout, with and without source and time), every kind of
// fault, interleaved senders and functions, and the memory caps.
#include <algorithm>
#include <random>

#include "mostfcat/telegrams.h"
#include "support/message_xml.h"

namespace mostfcat::test {
namespace {

using T = YFciTelegrams;

// A message split as a sender does: one whole telegram, or segments that
// each start with their message count. Lines "[TIME] [SRC:] BYTES", the data
// field padded with zeros as loggers record it.
Lines Split(uint32_t fkt, const Bytes& payload, T::Layout layout, int src = -1,
            const char* time = "") {
    const size_t field = T::FieldSize(layout);
    std::vector<std::pair<uint32_t, Bytes>> segs;
    if (payload.size() <= field) {
        segs.push_back({0, payload});
    } else {
        for (size_t at = 0, n = 0; at < payload.size(); at += field - 1, ++n) {
            Bytes d{static_cast<uint8_t>(n)};
            d.insert(d.end(), payload.begin() + at,
                     payload.begin() + std::min(payload.size(), at + field - 1));
            uint32_t id = at == 0 ? 1 : at + field - 1 >= payload.size() ? 3 : 2;
            segs.push_back({id, d});
        }
    }
    Lines out;
    for (auto& [id, d] : segs) {
        size_t len = d.size();
        Bytes f{kFBlock, kInst, static_cast<uint8_t>(fkt >> 4),
                static_cast<uint8_t>(fkt << 4 | kStatus)};
        if (layout == T::eMost150) {
            f.push_back(static_cast<uint8_t>(id << 4 | len >> 8));
            f.push_back(static_cast<uint8_t>(len));
        } else {
            f.push_back(static_cast<uint8_t>(id << 4 | len));
        }
        f.insert(f.end(), d.begin(), d.end());
        f.resize(f.size() + field - len, 0);
        std::string line = time;
        if (*time) line += " ";
        if (src >= 0) line += StrFormat("%04X: ", src);
        out.push_back(line + Hex(f));
    }
    return out;
}

class TelegramTest : public LabTest {
protected:
    void SetUp() override {
        LabTest::SetUp();
        OpenLab(
            Function("Name", 0x100, Param("Id", Num("UByte"), 1) + Param("Text", "<TString/>", 2)) +
            Function("Level", 0x200, Param("Level", Num("UWord"), 1)));
    }
    // The Name payload of n bytes: an id, then UTF-8 text and its end.
    static Bytes NamePayload(size_t n) {
        Bytes p{7, 2};
        while (p.size() + 1 < n)
            p.push_back(static_cast<uint8_t>('a' + p.size() % 26));
        p.push_back(0);
        p.resize(n);
        return p;
    }
    std::string Run(const Lines& lines, T::Layout layout, bool json) {
        YFciTelegramDecoder d(m, 1, 0xFFFFFFFF,
                              json ? YFciTraceDecoder::eJson : YFciTraceDecoder::eText, layout);
        std::string out;
        for (const std::string& l : lines)
            d.DecodeLine(l.data(), l.size(), out);
        d.Finish(out);
        return out;
    }
    std::vector<T::Result> Feed(const Lines& lines, T& t) {
        std::vector<T::Result> out;
        for (const std::string& l : lines)
            t.FeedLine(l.data(), l.size(), out);
        t.Finish(out);
        return out;
    }
};

// Decoding a reassembled message is decoding the payload whole, byte for
// byte, plus the trace's own fields.
TEST_F(TelegramTest, ReassembledDecodesAsWholePayload) {
    for (T::Layout layout : {T::eMost50, T::eMost150})
        for (size_t n : {0, 1, 12, 13, 23, 24, 45, 46, 100, 3000})
            for (bool json : {false, true})
                for (int src : {-1, 0x0180}) {
                    SCOPED_TRACE(StrFormat("layout %d, %zu bytes, json %d, source %d", layout, n,
                                           json, src));
                    Bytes p = NamePayload(n);
                    Lines lines = Split(0x100, p, layout, src, "12.5");
                    size_t field = T::FieldSize(layout);
                    size_t count = n <= field ? 1 : (n + field - 2) / (field - 1);
                    ASSERT_EQ(lines.size(), count);
                    YFciTraceDecoder whole(
                        m, 1, 0xFFFFFFFF, json ? YFciTraceDecoder::eJson : YFciTraceDecoder::eText);
                    std::string expected, line = "12.5 50.01.100.C:" + Hex(p);
                    whole.DecodeLine(line.data(), line.size(), expected);
                    std::string extra = json ? (src >= 0 ? "\"source\":384," : "") +
                                                   StrFormat("\"telegrams\":%zu,", count)
                                        : src >= 0 ? "0180: "
                                                   : "";
                    size_t at = expected.find(json ? "\"fblock_id\"" : "50.01.100.C");
                    expected.insert(at, extra);
                    if (!json && count > 1)
                        expected.insert(expected.find('\n'), StrFormat("  [%zu telegrams]", count));
                    EXPECT_EQ(Run(lines, layout, json), expected);
                }
}

// Every fault is reported with its coordinates, the run goes on, and no
// broken message is decoded as if whole.
TEST_F(TelegramTest, FaultsAreReportedAndTheRunGoesOn) {
    const Lines seg = Split(0x100, NamePayload(30), T::eMost50, 0x0180); // first, middle, last
    const Lines ok = Split(0x200, {0x12, 0x34}, T::eMost50);
    struct Row {
        const char* what;
        Lines lines;
        std::vector<const char*> faults; // in order
        int whole = 0;                   // Name messages that still come out whole
    };
    // The message count of a segment line "SRC: HEX" (byte 5) replaced.
    auto withCount = [](std::string l, const char* count) { return l.replace(6 + 10, 2, count); };
    const Row rows[] = {
        {"gap",
         {seg[0], withCount(seg[1], "02"), seg[2]},
         {"gap in the message count of 50.01.100.C from node 0180: 1 expected, 2 came",
          "last segment of 50.01.100.C from node 0180 (message count 2) without a first"}},
        {"middle alone", {seg[1]}, {"middle segment of 50.01.100.C from node 0180"}},
        {"last alone", {seg[2]}, {"last segment of 50.01.100.C from node 0180"}},
        {"first twice",
         {seg[0], seg[0], seg[1], seg[2]},
         {"incomplete message 50.01.100.C from node 0180: a new first segment"},
         1},
        {"pending at the end",
         {seg[0], seg[1]},
         {"incomplete message 50.01.100.C from node 0180 at the end of the input"}},
        {"TelLen beyond",
         {"50 01 20 0C 0D 00 00 00 00 00 00 00 00 00 00 00 00"},
         {"telegram 50.01.200.C: TelLen 13 is beyond the 12-byte data field"}},
        {"short",
         {"50 01 20 0C 03 12 34"},
         {"telegram 50.01.200.C: TelLen 3 but only 2 data bytes"}},
        {"TelID", {"50 01 20 0C 42 12 34"}, {"telegram 50.01.200.C: unknown TelID 4"}},
        {"segment without count", {"50 01 10 0C 10"}, {"without its message count (TelLen 0)"}},
        {"not a telegram", {"50 01 2"}, {"not a telegram: an odd hex digit at position 7"}},
        {"too short", {"50 01 20"}, {"not a telegram: 3 bytes, fewer than the 5 header bytes"}},
        {"bad source", {"180: 50 01 20 0C 02 12 34"}, {"SRC four hex digits"}},
        {"frame disagrees",
         {R"({"fBlockID":80,"instanceID":1,"fktID":512,"opType":12,"telId":0,"telLen":3,"data":[80,1,32,12,2,18,52,0,0,0,0,0,0,0,0,0,0]})"},
         {"disagree with the fields"}},
        {"capture field missing", {R"({"fBlockID":80,"instanceID":1})"}, {"\"fktID\" is missing"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        T t(T::eMost50);
        Lines lines = row.lines;
        lines.push_back(ok[0]); // decoded after the fault
        std::vector<T::Result> got = Feed(lines, t);
        std::vector<std::string> faults;
        int level = 0, name = 0;
        for (const T::Result& r : got) {
            if (r.fault)
                faults.push_back(r.error);
            else
                ++(r.function == 0x200 ? level : name);
        }
        EXPECT_EQ(level, 1);
        EXPECT_EQ(name, row.whole) << "a broken message came out whole";
        ASSERT_EQ(faults.size(), row.faults.size()) << ::testing::PrintToString(faults);
        for (size_t i = 0; i < faults.size(); ++i)
            EXPECT_NE(faults[i].find(row.faults[i]), std::string::npos) << faults[i];
    }
}

// Messages of two senders to two functions, interleaved in any order that
// keeps each message's own order, come out whole.
TEST_F(TelegramTest, InterleavedSendersAndFunctions) {
    std::mt19937 rng(21);
    for (int round = 0; round < 50; ++round) {
        std::vector<Lines> streams;
        std::vector<Bytes> payloads;
        for (int src : {0x100, 0x101})
            for (uint32_t fkt : {0x100u, 0x101u}) {
                payloads.push_back(NamePayload(20 + rng() % 60));
                streams.push_back(Split(fkt, payloads.back(), T::eMost50, src));
            }
        Lines mixed;
        std::vector<size_t> at(streams.size(), 0);
        for (size_t left = 4; left;) {
            size_t s = rng() % streams.size();
            if (at[s] == streams[s].size()) continue;
            mixed.push_back(streams[s][at[s]++]);
            if (at[s] == streams[s].size()) --left;
        }
        T t(T::eMost50);
        std::vector<T::Result> got = Feed(mixed, t);
        ASSERT_EQ(got.size(), 4u) << "seed 21, round " << round;
        for (const T::Result& r : got) {
            ASSERT_FALSE(r.fault) << r.error;
            size_t k = (r.source - 0x100) * 2 + (r.function - 0x100);
            EXPECT_EQ(Hex(r.payload), Hex(payloads[k])) << "round " << round;
        }
    }
}

// Neither many open messages nor one endless message grows memory beyond
// the caps; each cap hit is a fault.
TEST_F(TelegramTest, CapsBoundMemory) {
    T t(T::eMost50, 4, 100);
    std::vector<T::Result> out;
    for (int src = 0; src < 10; ++src) {
        Lines l = Split(0x100, NamePayload(30), T::eMost50, src);
        t.FeedLine(l[0].data(), l[0].size(), out);
        EXPECT_LE(t.Pending(), 4u);
    }
    size_t capped = 0;
    for (const T::Result& r : out)
        capped += r.fault && r.error.find("too many messages pending (4)") != std::string::npos;
    EXPECT_EQ(capped, 6u);
    out.clear();
    T one(T::eMost50, 4, 100);
    Lines big = Split(0x100, NamePayload(200), T::eMost50, 0x200);
    for (const std::string& l : big)
        one.FeedLine(l.data(), l.size(), out);
    EXPECT_EQ(one.Pending(), 0u);
    ASSERT_FALSE(out.empty());
    EXPECT_NE(out[0].error.find("longer than 100 bytes"), std::string::npos);
    for (const T::Result& r : out)
        EXPECT_TRUE(r.fault);
}

// A capture line, with the whole frame or the data field alone, is the
// same telegram as the text line.
TEST(TelegramLines, CaptureLinesMatchTextLines) {
    T::Telegram text, frame, field;
    std::string e1, e2, e3;
    std::string t = "1.25 0180: 31 02 20 1C 06 02 00 00 00 BF 68 00 00 00 00 00 00";
    std::string f =
        R"({"fBlockID":49,"instanceID":2,"fktID":513,"opType":12,"telId":0,"telLen":6,)"
        R"("data":[49,2,32,28,6,2,0,0,0,191,104,0,0,0,0,0,0],"sourceAddrHigh":1,"sourceAddrLow":128,"time":1.25})";
    std::string d =
        R"({ "time":1.25, "sourceAddrHigh":1,"sourceAddrLow":128, "extra":{"a":[1,"x"]},)"
        R"("fBlockID":49,"instanceID":2,"fktID":513,"opType":12,"telId":0,"telLen":6,"data":[2,0,0,0,191,104]})";
    ASSERT_EQ(T::ParseLine(t.data(), t.size(), T::eMost50, text, e1), T::eLineTelegram) << e1;
    ASSERT_EQ(T::ParseLine(f.data(), f.size(), T::eMost50, frame, e2), T::eLineTelegram) << e2;
    ASSERT_EQ(T::ParseLine(d.data(), d.size(), T::eMost50, field, e3), T::eLineTelegram) << e3;
    for (const T::Telegram* x : {&frame, &field}) {
        EXPECT_EQ(x->time, "1.25");
        EXPECT_EQ(x->source, 0x180);
        EXPECT_EQ(
            std::make_tuple(x->fblock, x->instance, x->function, x->operation, x->telId, x->telLen),
            std::make_tuple(0x31u, 2u, 0x201u, 0xCu, 0u, 6u));
        EXPECT_TRUE(std::equal(x->data.begin(), x->data.begin() + 6, text.data.begin()));
    }
}

} // namespace
} // namespace mostfcat::test
