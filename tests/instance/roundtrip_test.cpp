// Decode -> edit -> encode -> decode over generated catalogs: every operation
// of the catalog gets random payloads (fixed seeds, printed on failure).
#include <random>

#include "generator/catalog_generator.h"
#include "instance/instance_fixture.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"
#include "tree/queries.h"

namespace mostfcat::test::inst {
namespace {

struct Coordinates {
    uint32_t fblock, inst, fkt, op;
    std::string Text() const { return StrFormat("%02X.%02X.%03X.%X", fblock, inst, fkt, op); }
};

class RoundTripTest : public InstanceTest {
protected:
    // Imports a generated catalog and lists every operation of the first
    // instance of each FBlock.
    std::vector<Coordinates> OpenGenerated(uint64_t seed, uint64_t size) {
        std::string path = m_Dir.File("gen" + std::to_string(seed) + ".xml");
        EXPECT_TRUE(GenerateCatalogFile(path, seed, size));
        m = &NewManager(4);
        EXPECT_EQ(Open(*m, path, 1), 0u) << "seed " << seed;
        std::vector<Coordinates> out;
        YMTCatalog* catalog = Only(*m);
        if (!catalog) return out;
        std::vector<YMTNode*> fblocks, functions, operations;
        ListNodes(*catalog, fblocks);
        for (YMTNode* f : fblocks) {
            auto* fblock = static_cast<YMTFBlock*>(f);
            YMTInstance* inst = fblock->FirstInstance();
            if (!inst) continue;
            functions.clear();
            ListNodes(*inst, functions);
            for (YMTNode* fn : functions) {
                operations.clear();
                ListNodes(*fn, operations);
                for (YMTNode* op : operations)
                    out.push_back({fblock->FBlockID, inst->InstanceID, fn->ID(), op->ID()});
            }
        }
        return out;
    }
    MessagePtr At(const Coordinates& c, const Bytes& payload, uint32_t options) {
        return MessagePtr(m->CreateMessage(1, "", c.fblock, c.inst, 0, c.fkt, c.op, payload.data(),
                                           uint32_t(payload.size()), options));
    }
};

// Every value came from the payload. A position or tag number missing from
// the payload counts as defined with value 0, so its zeros are not the
// payload's: such messages are left out too.
bool AllDefined(YFciMessage& msg, const Bytes& payload) {
    bool positions = false;
    for (YFciParam* p : msg.AllParams(true)) {
        if (!p->IsValueDefined()) return false;
        uint32_t meaning = p->ParamMeaning();
        positions = positions || meaning == 7 || meaning == 11 || meaning == 12;
    }
    return !positions || msg.Data().size() <= payload.size();
}

// A detailed short stream whose length field counts more bytes than its case
// holds: the bytes between the case's end and the stream's end belong to no
// value (StructureTest.LengthFieldsLimitTheirStreams).
bool ShortStreamSurplus(const std::vector<YFciParam*>& list) {
    for (YFciParam* p : list) {
        const std::vector<YFciParam*>& sub = p->SubParamList();
        if (p->ParamType() == eFciParamDetailedShortStream && !sub.empty() &&
            sub[0]->IsValueDefined()) {
            double length = static_cast<YFciParamNumber*>(sub[0])->Value();
            size_t held = 0;
            for (size_t i = 1; i < sub.size(); ++i)
                held += sub[i]->ValueHexdump().size();
            if (double(held) < length) return true;
        }
        if (ShortStreamSurplus(sub)) return true;
    }
    return false;
}

bool HasSignals(YFciMessage& msg) {
    for (YFciParam* p : msg.AllParams(true))
        if (p->ParamType() == eFciParamSignal) return true;
    return false;
}

// Strings whose text cannot be written back as it reads: characters above 8
// bits in a UTF-16 string read as "?"; the byte after the terminator of
// encoding 7 is not part of the text (ScalarTest.StringsKeepTheirBytesAndEncodings).
bool TextsWriteBack(YFciMessage& msg) {
    for (YFciParam* p : msg.AllParams(true)) {
        if (p->ParamType() != eFciParamString) continue;
        auto* s = static_cast<YFciParamString*>(p);
        if (s->Encoding() == 7) return false;
        if (s->Encoding() == 0 && s->Value().find('?') != std::string::npos) return false;
    }
    return true;
}

// A payload of up to 24 bytes; small byte values half of the time, so that
// lengths, counts and selectors meet the catalog's cases.
Bytes RandomPayload(std::mt19937_64& rng) {
    Bytes out(rng() % 25);
    for (uint8_t& b : out)
        b = (rng() % 2 == 0) ? uint8_t(rng() % 8) : uint8_t(rng());
    return out;
}

// A random text within the value's own domain that keeps the layout: the
// same byte count for texts and byte blocks, no selector, length, count or
// position numbers; empty when the value is left alone.
std::string RandomInput(YFciParam* p, std::mt19937_64& rng) {
    auto pick = [&](int64_t lo, int64_t hi) { return lo + int64_t(rng() % uint64_t(hi - lo + 1)); };
    if (p->IsMultiplexorParam()) return {};
    switch (p->ParamType()) {
    case eFciParamNumber: {
        uint32_t meaning = p->ParamMeaning();
        if (meaning == 7 || meaning == 11 || meaning == 12 || meaning == 13 || meaning == 14)
            return {};
        static const int64_t kRange[][2] = {{0, 255},          {0, 65535},
                                            {0, 4294967295ll}, {-128, 127},
                                            {-32768, 32767},   {-2147483648ll, 2147483647ll}};
        auto type = static_cast<YFciParamNumber*>(p)->ValueType();
        return std::to_string(pick(kRange[type][0], kRange[type][1]));
    }
    case eFciParamEnum:
        return std::to_string(
            pick(0, static_cast<YFciParamEnum*>(p)->ValueType() == YFciParamEnum::eEnum16 ? 65535
                                                                                          : 255));
    case eFciParamBool:
    case eFciParamBitfield:
        return std::to_string(rng() & static_cast<YFciParamBool*>(p)->MaxValue());
    case eFciParamSignal: {
        auto* s = static_cast<YFciParamSignal*>(p);
        if (s->BitLength() > 62) return {};
        return std::to_string(pick(s->MinValue(), int64_t(s->MaxValue())));
    }
    case eFciParamString: {
        auto* s = static_cast<YFciParamString*>(p);
        if (s->Encoding() == 7 || s->Value().find('?') != std::string::npos) return {};
        // As long as the text there, but no longer than the catalog allows.
        std::string text = s->Value();
        size_t most = s->MaxSize() / (s->Encoding() == 0 ? 2 : 1);
        if (text.size() > most) text.resize(most);
        for (char& c : text)
            c = char('A' + rng() % 26);
        return text;
    }
    case eFciParamRawStream:
    case eFciParamRemain: {
        Bytes bytes = p->ValueHexdump();
        for (uint8_t& b : bytes)
            b = uint8_t(rng());
        return Hex(bytes);
    }
    default:
        return {};
    }
}
// Decode -> render -> set each value's own text -> edit every value ->
// encode -> decode: a payload whose values are all defined renders back
// unchanged, survives its own texts, and the payload made from the edited
// values decodes to the edited tree.
TEST_F(RoundTripTest, DefinedPayloadsRenderUnchangedAndEditsSurviveEncoding) {
    for (uint64_t seed : {11u, 29u}) {
        std::vector<Coordinates> ops = OpenGenerated(seed, 120000);
        ASSERT_GT(ops.size(), 100u) << "seed " << seed;
        std::mt19937_64 rng(seed);
        size_t checked = 0, edits = 0;
        for (const Coordinates& c : ops) {
            for (int round = 0; round < 30; ++round) {
                Bytes payload = RandomPayload(rng);
                std::string where =
                    "seed " + std::to_string(seed) + " " + c.Text() + ":" + Hex(payload);
                // Option 1: structures create no elements beyond the payload.
                MessagePtr msg = At(c, payload, 1);
                ASSERT_TRUE(msg) << where;
                if (!AllDefined(*msg, payload) || ShortStreamSurplus(msg->ParamList())) continue;
                ++checked;
                if (HasSignals(*msg)) {
                    // Bits after the last signal of a case belong to no value and
                    // are written as zeros: the values must read the same.
                    Bytes packed = msg->Data();
                    MessagePtr again = At(c, packed, 1);
                    ASSERT_EQ(Rows(again->AllParams(false)), Rows(msg->AllParams(false))) << where;
                    payload = packed;
                    msg = std::move(again);
                }
                ASSERT_EQ(msg->HexdumpStr(), Hex(payload)) << where;
                ASSERT_EQ(Hex(msg->Data()), Hex(payload)) << where;
                const size_t count = msg->AllParams(true).size();
                if (TextsWriteBack(*msg)) {
                    // Every value's numeric text set back leaves the payload as it is.
                    for (size_t i = 0; i < count; ++i) {
                        ASSERT_EQ(msg->AllParams(true).size(), count) << where;
                        YFciParam* p = msg->AllParams(true)[i];
                        std::string text = p->UserInputStr(1);
                        bool changed = true;
                        EXPECT_TRUE(p->SetUserInputStr(text, changed))
                            << where << " " << p->SymID() << " = " << text;
                        EXPECT_FALSE(changed) << where << " " << p->SymID() << " = " << text;
                    }
                    EXPECT_EQ(msg->HexdumpStr(), Hex(payload)) << where;
                }
                for (size_t i = 0; i < count; ++i) {
                    ASSERT_EQ(msg->AllParams(true).size(), count) << where;
                    YFciParam* p = msg->AllParams(true)[i];
                    std::string input = RandomInput(p, rng);
                    if (input.empty()) continue;
                    bool changed = false;
                    ASSERT_TRUE(p->SetUserInputStr(input, changed))
                        << where << " " << p->SymID() << "=" << input;
                    EXPECT_EQ(p->UserInputStr(p->ParamType() == eFciParamString ? 0 : 1), input)
                        << where << " " << p->SymID();
                    ++edits;
                }
                Bytes data = msg->Data();
                EXPECT_EQ(msg->HexdumpStr(), Hex(data)) << where;
                MessagePtr again = At(c, data, 1);
                EXPECT_EQ(Rows(again->AllParams(false)), Rows(msg->AllParams(false))) << where;
            }
        }
        EXPECT_GT(checked, 10 * ops.size()) << "seed " << seed;
        EXPECT_GT(edits, 5 * ops.size()) << "seed " << seed;
    }
}

} // namespace
} // namespace mostfcat::test::inst
