// Message instances: coordinates and their status codes, validity, the
// payload as bytes or text, decode options, clones, handle copies of values,
// catalogs that go away under a message, and the manager's value readers.
#include "instance/instance_fixture.h"
#include "manager/pool.h"

namespace mostfcat::test::inst {
namespace {

constexpr uint32_t kNumbers = 0x100, kTable = 0x101, kMux = 0x102, kSeq = 0x103, kPosArr = 0x106,
                   kTexts = 0x107;

class MessageTest : public LabInstanceTest {
protected:
    void SetUp() override {
        LabInstanceTest::SetUp();
        // FBlock 0x51 only on channel 2.
        std::string other = Catalog(
            "other.xml",
            FBlockXml("Other", "0x51", DeviceXml("Box", "0x02") + PropertyXml("Level", "0x200")));
        ASSERT_EQ(Open(*m, other, 2, "Other"), 0u);
    }
    MessagePtr Blank(uint16_t channel = 1) { return MessagePtr(m->CreateMessage(channel, 0)); }
    static std::string Validity(YFciMessage& msg) {
        std::string out;
        for (bool v : {msg.IsFBlockValid(), msg.IsInstanceValid(), msg.IsFunctionValid(),
                       msg.IsOperationValid()})
            out += v ? '1' : '0';
        return out;
    }
    static std::string Coordinates(YFciMessage& msg) {
        auto id = [](uint32_t v) { return v == kUnset ? std::string("-") : StrFormat("%X", v); };
        return id(msg.FBlockID()) + "." + id(msg.InstID()) + "." + id(msg.FktID()) + "." +
               id(msg.OpType());
    }
};

// Each setter: its status code, the coordinates after it and the validity
// of FBlock, instance, function and operation.
TEST_F(MessageTest, CoordinateSettersReportTheirStatus) {
    MessagePtr msg = Blank();
    EXPECT_EQ(Coordinates(*msg), "-.-.-.-");
    EXPECT_EQ(Validity(*msg), "1111");
    EXPECT_EQ(msg->OperationNode(), 0u);
    EXPECT_TRUE(msg->ParamList().empty());
    EXPECT_EQ(msg->FunctionClass(), 255u);
    EXPECT_EQ(msg->FunctionType(), 0u);

    // setter: F FBlock, I instance, L fallback rule, U function, O operation.
    struct Step {
        char setter;
        uint32_t id;
        const char* name;
        uint32_t status;
        const char* coordinates;
        const char* validity;
    };
    const Step steps[] = {
        {'I', 1, "", 0, "-.1.-.-", "1011"},
        {'U', 0x100, "", 0, "-.1.100.-", "1001"},
        {'F', 0x50, "", 0, "50.1.100.-", "1111"},
        {'F', 0x50, "lab", 0, "50.1.100.-", "1111"},
        {'F', 0x50, "Other", 1, "50.1.100.-", "1111"}, // id kept, name differs
        {'F', 0x51, "", 0, "51.1.100.-", "0001"},      // on channel 2 only
        {'F', 300, "LAB", 0, "50.1.100.-", "1111"},
        {'F', 256, "Nope", 2, "50.1.100.-", "1111"},
        {'I', 256, "", 2, "50.1.100.-", "1111"},
        // Fallback 0 takes the first instance whatever the id; 3 looks it up.
        {'I', 7, "", 0, "50.7.100.-", "1111"},
        {'L', 3, "", 0, "50.7.100.-", "1001"},
        {'L', 2, "", 0, "50.7.100.-", "1111"},
        {'U', 0x100, "Table", 1, "50.7.100.-", "1111"},
        {'U', 4096, "table", 0, "50.7.101.-", "1111"},
        {'U', 5000, "Nope", 2, "50.7.101.-", "1111"},
        {'U', 0x123, "", 0, "50.7.123.-", "1101"},
        {'U', 0x100, "", 0, "50.7.100.-", "1111"},
        {'O', 0, "", 0, "50.7.100.0", "1110"},
        {'O', 16, "status", 0, "50.7.100.C", "1111"},
        {'O', 16, "Set", 2, "50.7.100.C", "1111"},
        {'O', 0xC, "Get", 1, "50.7.100.C", "1111"},
        {'O', 16, "", 0, "50.7.100.-", "1111"},
        {'F', 256, "", 0, "-.7.100.-", "1001"},
    };
    for (const Step& s : steps) {
        if (s.setter == 'L') msg->SetInstFallback(s.id);
        const uint32_t status = s.setter == 'F'   ? msg->SetFBlock(s.id, s.name)
                                : s.setter == 'I' ? msg->SetInstID(s.id)
                                : s.setter == 'U' ? msg->SetFunction(s.id, s.name)
                                : s.setter == 'O' ? msg->SetOperation(s.id, s.name)
                                                  : 0;
        std::string what = StrFormat("%c 0x%X '%s'", s.setter, s.id, s.name);
        EXPECT_EQ(status, s.status) << what;
        EXPECT_EQ(Coordinates(*msg), s.coordinates) << what;
        EXPECT_EQ(Validity(*msg), s.validity) << what;
    }
}

TEST_F(MessageTest, NamesAndDescriptionsFollowTheCoordinates) {
    MessagePtr msg = Msg(kNumbers, "00200180FFFFFF0702");
    EXPECT_EQ(msg->CatalogName() + " " + msg->FBlockName() + " " + msg->InstFBlockName() + " " +
                  msg->FunctionName() + " " + msg->OperationName() + " " + msg->DeviceName(),
              "Lab Lab Lab Numbers Status Dev");
    EXPECT_EQ(msg->DeviceDescription(), "Dev device");
    EXPECT_EQ(msg->FunctionType(), 1u);
    EXPECT_EQ(msg->FunctionClass(), 16u);

    // The catalog name limits the search; a name not on the channel is
    // refused, and a named catalog counts only on the message's channel.
    EXPECT_EQ(msg->SetCatalogName("Other"), 2u);
    EXPECT_EQ(msg->SetCatalogName("lab"), 0u);
    EXPECT_EQ(msg->CatalogName(), "Lab");
    EXPECT_EQ(msg->SetChannel(2), 0u);
    EXPECT_EQ(msg->Channel(), 2u);
    EXPECT_EQ(msg->CatalogName(), "");
    EXPECT_FALSE(msg->IsFBlockValid());
    EXPECT_EQ(Rows(msg->ParamList()), (Lines{"0 Remain 15 00200180FFFFFF0702"}));
    EXPECT_EQ(msg->SetCatalogName(""), 0u);
    EXPECT_FALSE(msg->IsFBlockValid()); // FBlock 0x50 is not on channel 2
    EXPECT_EQ(msg->SetChannel(0), 0u);
    EXPECT_TRUE(msg->IsOperationValid());

    // A new function decodes the same text with its own parameters.
    EXPECT_EQ(msg->SetChannel(1), 0u);
    EXPECT_EQ(msg->SetFunction(kTexts, ""), 0u);
    EXPECT_EQ(msg->GetParamBySymID("Text")->ValueHexdumpStr(), "00200180FFFFFF0702");
    EXPECT_EQ(msg->HexdumpStr(), "00200180FFFFFF0702____________");
}

TEST_F(MessageTest, PayloadsComeAsBytesOrText) {
    MessagePtr msg = Msg(kNumbers, "00200180FFFFFF0702");
    const Bytes bytes = FromHex("0030027FFFFFFF0810");
    msg->SetData(bytes);
    EXPECT_EQ(msg->HexdumpStr(), "0030027FFFFFFF0810");
    msg->SetData(bytes.data(), 3);
    EXPECT_EQ(msg->HexdumpStr(), "003002____________");
    EXPECT_EQ(Hex(msg->Data()), "003002000000000000");
    msg->SetData(nullptr, 5);
    EXPECT_EQ(msg->HexdumpStr(), "__________________");
    EXPECT_TRUE(msg->AllParams(true).size() == 5u);

    MessagePtr created(m->CreateMessage(1, "", kFBlock, kInst, 0, kNumbers, kStatus, bytes.data(),
                                        uint32_t(bytes.size()), 0));
    EXPECT_EQ(created->HexdumpStr(), "0030027FFFFFFF0810");
    created.reset(m->CreateMessage(1, "", kFBlock, kInst, 0, kNumbers, kStatus, nullptr, 4, 0));
    EXPECT_EQ(created->HexdumpStr(), "__________________");

    // Decode options: 0x1 stops structures at the payload's end, 0x2 reads a
    // missing encoding byte as encoding 0; both take effect at the next decode.
    msg = Msg(kTable, "");
    EXPECT_EQ(msg->AllParams(false).size(), 2u);
    EXPECT_EQ(msg->HexdumpStr(), "____");
    msg->SetDecodeOptions(1);
    EXPECT_EQ(msg->DecodeOptions(), 1u);
    EXPECT_EQ(msg->AllParams(false).size(), 2u);
    msg->SetHexdumpStr("");
    EXPECT_EQ(msg->AllParams(false).size(), 0u);
    msg = Msg(kTexts, "", 2);
    EXPECT_EQ(static_cast<YFciParamString*>(msg->GetParamBySymID("Text"))->Encoding(), 0u);
}

TEST_F(MessageTest, ClonesAreIndependent) {
    MessagePtr msg = Msg(kMux, "030104AB09", 1);
    MessagePtr clone(msg->Clone());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(Coordinates(*clone), Coordinates(*msg));
    EXPECT_EQ(clone->DecodeOptions(), 1u);
    EXPECT_EQ(clone->HexdumpStr(), msg->HexdumpStr());
    EXPECT_EQ(Rows(Tree(*clone)), Rows(Tree(*msg)));
    EXPECT_NE(clone->GetParamBySymID("Tail"), msg->GetParamBySymID("Tail"));
    ASSERT_TRUE(Set(*clone, "Data(3).Level", "7"));
    EXPECT_EQ(clone->HexdumpStr(), "0301000709");
    EXPECT_EQ(msg->HexdumpStr(), "030104AB09");
    // A clone made while a relayout is pending shows the laid-out tree.
    ASSERT_TRUE(Set(*msg, "Mode", "1"));
    clone.reset(msg->Clone());
    EXPECT_EQ(Ids(clone->AllParams(true)), Ids(msg->AllParams(true)));
    EXPECT_EQ(clone->GetParamBySymID("Data(1).A")->ValueHexdumpStr(), "01");
}

// Handle copies share the value; once the message drops the value, the copy
// lives on cut off from its definition.
TEST_F(MessageTest, HandleCopiesShareTheValueAndOutliveTheTree) {
    MessagePtr msg = Msg(kNumbers, "00200180FFFFFF0702");
    auto* word = static_cast<YFciParamNumber*>(msg->GetParamBySymID("Word"));
    {
        YFciParamNumber copy(*word);
        EXPECT_EQ(copy.Name(), "Word");
        EXPECT_EQ(copy.ShortID(), "1");
        EXPECT_TRUE(copy.SetValue(7));
        EXPECT_EQ(msg->HexdumpStr(), "00070180FFFFFF0702");
        YFciParamNumber assigned;
        static_cast<YFciParam&>(assigned) = copy; // assignment copies nothing
        EXPECT_EQ(assigned.Name(), "");
    }
    EXPECT_EQ(word->Name(), "Word");
    EXPECT_EQ(word->Value(), 7);

    auto* keep = new YFciParamNumber(*word);
    auto* fieldCopy = new YFciParamBoolfield(*static_cast<YFciParamBoolfield*>(
        Msg(kTexts, "0141420009")->GetParamBySymID("Flags.Bit0")));
    msg->Rebuild(); // the message's own handle of Word goes
    EXPECT_EQ(keep->Name(), "");
    EXPECT_EQ(keep->Value(), 7);
    EXPECT_FALSE(keep->SetValue(9));
    bool changed = true;
    keep->SetUserInputStr("n", changed);
    EXPECT_EQ(keep->ShortID(), "0");
    EXPECT_EQ(keep->FctNode(), 0u);
    EXPECT_EQ(msg->HexdumpStr(), "00070180FFFFFF0702");
    fieldCopy->SetValue(YFciParamBoolfield::eBitClear);
    EXPECT_EQ(fieldCopy->Name(), "");
    delete keep;
    delete fieldCopy;
}

// A bool's field values are made when first read: they show the bool's value
// of that time, and a copy of the bool that outlives its message keeps them.
TEST_F(MessageTest, BoolFieldsReadLateShowTheValueOfThatTime) {
    MessagePtr msg = Msg(kTexts, "0141420006");
    auto* copy = new YFciParamBool(*static_cast<YFciParamBool*>(msg->GetParamBySymID("Flags")));
    msg->Rebuild(); // the message's own handle of Flags goes
    EXPECT_EQ(copy->SubParamList().size(), 4u);
    EXPECT_EQ(copy->Value(), 6u);
    delete copy;

    auto* flags = static_cast<YFciParamBool*>(msg->GetParamBySymID("Flags"));
    flags->SetValue(0x09);
    std::vector<std::string> states;
    for (YFciParam* f : flags->SubParamList())
        states.push_back(f->SymID() + " " + f->UserInputStr(3));
    EXPECT_EQ(states, (std::vector<std::string>{"Flags.Bit0 1: On", "Flags.Bit1 0: False",
                                                "Flags.Bit2 0: False", "Flags.Bit3 1: Hot"}));
}

// A catalog deleted under a message: the old values stop reading their
// definitions at once, and the message decodes its text with the catalogs
// that remain before it is used again.
TEST_F(MessageTest, DeletedCatalogsAreNotReadAgain) {
    MessagePtr msg = Msg(kNumbers, "00200180FFFFFF0702");
    YFciParam* word = msg->GetParamBySymID("Word");
    YFciParam* color = msg->GetParamBySymID("Color");
    State().fcatCacheSize = 0; // a released catalog is deleted at once
    ASSERT_TRUE(m->CloseFCat(1, "Lab"));
    Pool().Purge();
    EXPECT_EQ(word->Name(), "");
    EXPECT_EQ(color->UserInputStr(3), "");
    EXPECT_EQ(word->ParamMeaning(), 0u);
    EXPECT_EQ(msg->HexdumpStr(), "00200180FFFFFF0702");
    EXPECT_EQ(Rows(msg->ParamList()), (Lines{"0 Remain 15 00200180FFFFFF0702"}));
    EXPECT_EQ(msg->OperationNode(), 0u);

    ASSERT_EQ(Open(*m, m_Path, 1, "Lab"), 0u);
    msg->Rebuild();
    EXPECT_EQ(msg->GetParamBySymID("Color")->UserInputStr(3), "2: Green");
    // Values of a message whose manager lives on are kept when a catalog of
    // another channel goes.
    word = msg->GetParamBySymID("Word");
    ASSERT_TRUE(m->CloseFCat(2, "Other"));
    Pool().Purge();
    msg->ParamList();
    EXPECT_EQ(msg->HexdumpStr(), "00200180FFFFFF0702");
    EXPECT_EQ(msg->GetParamBySymID("Word")->Name(), "Word");
}

// The manager's value readers against the message instance of the same
// payload: every value of the tree by its numeric path; each reader answers
// only for a defined, active value of its kinds, with the value it holds.
TEST_F(MessageTest, ValueReadersAnswerOnlyForDefinedActiveValuesOfTheirKind) {
    // The answers of the number, enumeration, bool, bool field, string
    // (text/encoding) and hex readers; "-" where one refuses. length -1: the
    // payload's.
    auto read = [&](uint32_t fkt, const Bytes& data, const std::string& path, int32_t length = -1,
                    const std::string& fcat = "", uint32_t fblock = kFBlock) {
        auto ask = [&](auto reader, auto&... out) {
            return ((*m).*reader)(1, fcat, fblock, kInst, fkt, kStatus,
                                  data.empty() ? nullptr : data.data(),
                                  length == -1 ? int32_t(data.size()) : length, path, out...);
        };
        double d = 0;
        uint32_t e = 0, b = 0, enc = 0;
        uint8_t f = 0;
        std::string text;
        Bytes bytes;
        // The value is rendered only after its reader has run.
        auto answer = [](bool ok, auto v) { return ok ? v() + " " : std::string("- "); };
        using M = YFciFCatManager;
        return answer(ask(&M::GetParamNumberValue, d), [&] { return StrFormat("%.0f", d); }) +
               answer(ask(&M::GetParamEnumValue, e), [&] { return std::to_string(e); }) +
               answer(ask(&M::GetParamBoolValue, b), [&] { return std::to_string(b); }) +
               answer(ask(&M::GetParamBoolFieldValue, f), [&] { return std::to_string(f); }) +
               answer(ask(&M::GetParamStringValue, text, enc),
                      [&] { return text + "/" + std::to_string(enc); }) +
               answer(ask(&M::GetParamHexValue, bytes), [&] { return Hex(bytes); });
    };
    auto held = [](YFciParam* p) {
        const uint32_t k = p->ParamType();
        std::string v[6] = {"-", "-", "-", "-", "-", "-"};
        if (p->IsValueDefined() && p->IsActive()) {
            if (k == eFciParamNumber)
                v[0] = StrFormat("%.0f", static_cast<YFciParamNumber*>(p)->Value());
            if (k == eFciParamEnum) v[1] = std::to_string(static_cast<YFciParamEnum*>(p)->Value());
            if (k == eFciParamBool || k == eFciParamBitfield)
                v[2] = std::to_string(static_cast<YFciParamBool*>(p)->Value());
            if (k == eFciParamBoolfield)
                v[3] = std::to_string(static_cast<YFciParamBoolfield*>(p)->Value());
            if (auto* t = k == eFciParamString ? static_cast<YFciParamString*>(p) : nullptr)
                v[4] = t->Value() + "/" + std::to_string(t->Encoding());
            if (k == eFciParamRawStream || k == eFciParamString) v[5] = Hex(p->ValueHexdump());
        }
        return v[0] + " " + v[1] + " " + v[2] + " " + v[3] + " " + v[4] + " " + v[5] + " ";
    };
    // Defined and undefined values, inactive elements and cases, sequences
    // beyond the payload, a string without its terminator.
    const std::pair<uint32_t, const char*> payloads[] = {{kNumbers, "00200180FFFFFF0702"},
                                                         {kNumbers, "00200180FF"},
                                                         {kMux, "030104AB09"},
                                                         {kPosArr, "030077"},
                                                         {kSeq, "0102030405"},
                                                         {kTexts, "014142000901020233441001"},
                                                         {kTexts, "014142"}};
    size_t answered = 0;
    for (auto [fkt, hex] : payloads) {
        MessagePtr msg = Msg(fkt, hex);
        for (YFciParam* p : Tree(*msg)) {
            std::string want = held(p);
            answered += want != "- - - - - - ";
            EXPECT_EQ(read(fkt, FromHex(hex), p->ShortID()), want) << hex << " " << p->SymID();
        }
    }
    EXPECT_GT(answered, 20u);
    // Paths that are no numeric paths or name nothing, payloads of no bytes,
    // a length cut before the value, and another FBlock or catalog.
    const Bytes numbers = FromHex("00200180FFFFFF0702");
    const std::string none = "- - - - - - ";
    for (const char* path : {"6", "Word", "1.", "", "1.1", "1(1)"})
        EXPECT_EQ(read(kNumbers, numbers, path), none) << path;
    for (int32_t length : {0, -5, 5})
        EXPECT_EQ(read(kNumbers, numbers, "3", length), none) << length;
    EXPECT_EQ(read(kNumbers, {}, "1"), none);
    EXPECT_EQ(read(kNumbers, numbers, "1", -1, "", 0x77), none);
    EXPECT_EQ(read(kNumbers, numbers, "1", -1, "Other"), none);
    EXPECT_EQ(read(kNumbers, numbers, "1", -1, "Lab"), "32 - - - - - ");
    EXPECT_EQ(read(kTexts, FromHex("014142000901020233441001"), "1", 3), none); // no terminator
    EXPECT_EQ(read(kMux, FromHex("030104AB09"), "2(1).1"), none);               // a case not chosen
}

} // namespace
} // namespace mostfcat::test::inst
