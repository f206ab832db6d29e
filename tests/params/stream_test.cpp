// String, void and stream parameters: import of every stream kind, the
// stream cases with their members, sequence descriptions and the rebuild
// from index attributes, signals, the checks in an operation, copies, the
// archive order, the dump lines and the size limits.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "import/import_context.h"
#include "import/import_log.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "platform/strings.h"
#include "support/test_support.h"
#include "tree/archive.h"
#include "tree/catalog.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {
namespace {

using test::XmlDoc;
using Lines = std::vector<std::string>;

const char kDefinitions[] = R"(
  <TypeDef TypeID="type_unsigned_byte"><TDefName>UByte</TDefName><TDefSize>1</TDefSize></TypeDef>
  <TypeDef TypeID="type_unsigned_word"><TDefName>UWord</TDefName><TDefSize>2</TDefSize></TypeDef>
  <UnitDef UnitID="unit_none"><UnitDefName>none</UnitDefName><UnitDefCode>0</UnitDefCode></UnitDef>
)";

Lines Warn(uint32_t number, const std::string& where, const std::string& text) {
    return {StrFormat("Warning #%04u in '%s':", number, where.c_str()), "  " + text};
}
Lines Err(uint32_t number, const std::string& where, const std::string& text) {
    return {StrFormat("Error #%04u in '%s':", number, where.c_str()), "  " + text};
}
Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- catalog snippets -------------------------------------------------------------

std::string TNumber(int width) {
    return std::string("<TNumber><Exponent>0</Exponent><BasisDataType>") +
           (width == 2 ? R"(<TUWord TypeRef="type_unsigned_word"/>)"
                       : R"(<TUByte TypeRef="type_unsigned_byte"/>)") +
           R"(</BasisDataType><Unit UnitRef="unit_none"/><Step>1</Step></TNumber>)";
}

// A stream member; attrs go into the StreamParam tag (index attributes).
std::string Member(const std::string& name, const std::string& type,
                   const std::string& attrs = "") {
    return "<StreamParam" + attrs + "><ParamName>" + name + "</ParamName><ParamType>" + type +
           "</ParamType></StreamParam>";
}
std::string NumberMember(const std::string& name, const std::string& attrs = "", int width = 1) {
    return Member(name, TNumber(width), attrs);
}
std::string Signal(const std::string& name, const std::string& bits,
                   const std::string& attrs = "") {
    return "<StreamSignal" + attrs + "><SignalName>" + name + "</SignalName><SignalBitLength>" +
           bits + "</SignalBitLength></StreamSignal>";
}
std::string Case(const std::string& members, const std::string& description,
                 const std::string& posAttrs = "", const std::string& caseAttrs = "") {
    return "<StreamCase" + caseAttrs + ">" + members + "<PosDescription" + posAttrs + ">" +
           description + "</PosDescription></StreamCase>";
}
// An operation-level parameter element with the given type element.
std::string Param(const std::string& name, const std::string& type) {
    return "<PUParam><ParamName>" + name + "</ParamName><PUParamType>" + type +
           "</PUParamType></PUParam>";
}
std::string Stream(const std::string& name, const std::string& cases,
                   const std::string& attrs = "") {
    return Param(name, "<TStream" + attrs + ">" + cases + "</TStream>");
}

// Records the field kinds a node hands to an archive, in order.
class KindArchive : public YMTArchive {
public:
    std::string kinds;
    void SerializeWords(std::vector<uint16_t>&) override { kinds += "words "; }
    void SerializeList(YMTChildList&, YMTListKind kind) override {
        kinds += "list" + std::to_string(static_cast<int>(kind)) + " ";
    }
    void SerializeString(std::string&) override { kinds += "str "; }
    void SerializeBool(bool&) override { kinds += "b "; }
    void Serialize64(uint64_t&) override { kinds += "u64 "; }
    void Serialize32(int32_t&) override { kinds += "i32 "; }
    void Serialize32(uint32_t&) override { kinds += "u32 "; }
    void Serialize16(uint16_t&) override { kinds += "u16 "; }
    void Serialize8(uint8_t&) override { kinds += "u8 "; }
    void SerializeRef(YMTNode*&, YMTRefKind kind) override {
        kinds += "ref" + std::to_string(static_cast<int>(kind)) + " ";
    }
    YMTNode* NodeHeader(YMTNode* node) override { return node; }
    void SetFailed() override { m_Ok = false; }
};

uint32_t IntAttr(YMTNode& node, uint32_t attr) {
    uint32_t v = 0xDEADBEEF;
    EXPECT_EQ(node.GetAttrInt(attr, &v), kAttrOk) << "attribute " << attr;
    return v;
}

template <class T> T* As(YMTNode* node, uint32_t type) {
    EXPECT_TRUE(node) << "missing node of type " << type;
    if (!node) return nullptr;
    EXPECT_EQ(node->NodeType(), type);
    return node->NodeType() == type ? static_cast<T*>(node) : nullptr;
}
YMTParamStreamCase* CaseOf(YMTParamDetailedStreamBase& s, uint32_t index) {
    return As<YMTParamStreamCase>(s.GetAt(index), kNodeStreamCase);
}
YMTParam* MemberOf(YMTParamStreamCase& c, uint32_t pos) {
    YMTNode* n = c.GetAt(pos);
    EXPECT_TRUE(n) << "no member at " << pos;
    return static_cast<YMTParam*>(n);
}
// "name@pos/mark" of every member of a case, in position order.
std::string Layout(const YMTParamStreamCase& c) {
    std::string out;
    ForEachChild(c, [&](uint32_t pos, YMTNode* n) {
        auto* p = static_cast<YMTParam*>(n);
        if (!out.empty()) out += ' ';
        out += StrFormat("%s@%u", p->NameRef().c_str(), pos);
        if (p->ParamPos() != pos) out += "!pos";
        if (p->SeqIndex() != 0) out += StrFormat("/%u", p->SeqIndex());
        if (p->Parent() != &c) out += "!parent";
    });
    return out;
}

class StreamTest : public test::CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        XmlDoc doc(std::string("<Definition>") + kDefinitions + "</Definition>");
        auto* defs = new YMTDefinition();
        YImportLog quiet;
        ASSERT_TRUE(defs->ImportXML(doc.Root(), m_Ctx, quiet));
        m_Ctx.SetDefinitions(defs);
        m_Ctx.SetOptions(0); // no descriptions: no warnings about them
        m_Function.SetName("Func");
    }

    // Imports a parameter element into a new T whose parent is the function
    // Func; log receives the log lines.
    template <class T>
    std::unique_ptr<T> Import(const std::string& xml, Lines& log, bool expectOk = true) {
        auto p = std::make_unique<T>();
        p->SetParent(&m_Function);
        XmlDoc doc(xml);
        EXPECT_TRUE(doc.Root()) << xml;
        test::LogCapture capture;
        EXPECT_EQ(p->ImportXML(doc.Root(), m_Ctx, capture.Log()), expectOk) << xml;
        log = capture.Lines();
        return p;
    }
    template <class T> std::unique_ptr<T> ImportQuiet(const std::string& xml) {
        Lines log;
        auto p = Import<T>(xml, log);
        EXPECT_EQ(log, Lines{});
        return p;
    }
    // The class the dispatcher chooses (0 for none).
    uint32_t Dispatch(const std::string& xml, bool errorDefaults = false,
                      const std::string& owner = "Func") {
        XmlDoc doc(xml);
        std::unique_ptr<YMTParam> p(
            CreateParamFromElement(m_Ctx, doc.Root(), errorDefaults, owner));
        return p ? p->NodeType() : 0;
    }

    YImportContext m_Ctx;
    YMTFunction m_Function;
};

// --- string, void, function-identifier bit stream ----------------------------------------

TEST_F(StreamTest, StringMaxSizeAndDefaults) {
    struct {
        const char* attr;
        int32_t maxSize;
    } cases[] = {{R"( MaxSize="20")", 20},   {"", -1},
                 {R"( MaxSize="")", -1},     {R"( MaxSize=" 20")", -1},
                 {R"( MaxSize="0x10")", -1}, {R"( MaxSize="99999999999")", INT32_MAX}};
    for (const auto& c : cases) {
        auto s =
            ImportQuiet<YMTParamString>(Param("Title", std::string("<TString") + c.attr + "/>"));
        EXPECT_EQ(s->MaxSize(), c.maxSize) << c.attr;
        EXPECT_TRUE(s->HasEncodingByte());
        EXPECT_FALSE(s->HasUnspecifiedLength());
        EXPECT_EQ(IntAttr(*s, 1002), 3u);
        EXPECT_EQ(IntAttr(*s, 1020), static_cast<uint32_t>(c.maxSize));
        EXPECT_EQ(IntAttr(*s, 1021), 1u);
    }
    auto unnamed = ImportQuiet<YMTParamString>(Param("", "<TString/>"));
    EXPECT_EQ(unnamed->NameRef(), "_NA_");

    Lines log;
    Import<YMTParamString>(Param("Title", "<TNumber/>"), log, false);
    EXPECT_EQ(log, Err(86, "/Func/Title", "Can not find element <TString>"));
}

TEST_F(StreamTest, VoidAndFunctionIdentifierBitStream) {
    auto v = ImportQuiet<YMTParamVoid>(Param("", "<TVoid/>"));
    EXPECT_EQ(v->NameRef(), "Void");
    EXPECT_TRUE(v->HasUnspecifiedLength());
    Lines log;
    Import<YMTParamVoid>(Param("Nothing", "<TString/>"), log, false);
    EXPECT_EQ(log, Err(100, "/Func/Nothing", "Can not find element <TVoid>"));

    // The name is always BitField, whatever the element says; nothing else
    // is read.
    auto f = ImportQuiet<YMTParamFktIDBitStream>(Param("bitfield", "<TStream/>"));
    EXPECT_EQ(f->NameRef(), "BitField");
    EXPECT_EQ(f->ParamMeaning(), 16u);
    EXPECT_EQ(f->ParamDispMode(), 2u);
    EXPECT_TRUE(f->HasUnspecifiedLength());
    EXPECT_EQ(IntAttr(*f, 1002), 4u);
}

// --- the dispatcher ---------------------------------------------------------------------

TEST_F(StreamTest, DispatcherChoosesTheStreamClasses) {
    EXPECT_EQ(Dispatch(Param("A", "<TVoid/>")), uint32_t(kNodeVoid));
    EXPECT_EQ(Dispatch(Param("A", "<TString/>")), uint32_t(kNodeString));
    EXPECT_EQ(Dispatch(Param("A", "<TCStream/>")), uint32_t(kNodeCStream));
    // Stream rule: no case or one case without members is raw.
    EXPECT_EQ(Dispatch(Stream("A", "")), uint32_t(kNodeRawStream));
    EXPECT_EQ(Dispatch(Stream("A", Case("", "x"))), uint32_t(kNodeRawStream));
    EXPECT_EQ(Dispatch(Stream("A", Case(NumberMember("B"), "B"))), uint32_t(kNodeDetailedStream));
    EXPECT_EQ(Dispatch(Stream("A", Case(Signal("B", "3"), "B"))), uint32_t(kNodeDetailedStream));
    EXPECT_EQ(Dispatch(Stream("A", Case("", "") + Case("", ""))), uint32_t(kNodeDetailedStream));
    EXPECT_EQ(Dispatch(Param("A", "<TShortStream/>")), uint32_t(kNodeRawShortStream));
    EXPECT_EQ(
        Dispatch(Param("A", "<TShortStream>" + Case(NumberMember("B"), "B") + "</TShortStream>")),
        uint32_t(kNodeDetailedShortStream));
    // BitField is the function-identifier list only in the function FktIDs.
    EXPECT_EQ(Dispatch(Stream("BitField", ""), false, "fktids"), uint32_t(kNodeFktIDBitStream));
    EXPECT_EQ(Dispatch(Stream("BitField", ""), false, "Func"), uint32_t(kNodeRawStream));
    EXPECT_EQ(Dispatch(Stream("Bits", ""), false, "FktIDs"), uint32_t(kNodeRawStream));
}

TEST_F(StreamTest, DispatcherMakesTheBuiltInErrorInfo) {
    XmlDoc doc(Param(" errorINFO ", "<TNumber/>"));
    std::unique_ptr<YMTParam> p(CreateParamFromElement(m_Ctx, doc.Root(), true, "Func"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->NodeType(), uint32_t(kNodeDetailedStream));
    EXPECT_EQ(p->NameRef(), "ErrorInfo");
    EXPECT_EQ(static_cast<YMTParamDetailedStream*>(p.get())->GetSize(), 0u);
    // Without the switch the type element decides.
    EXPECT_EQ(Dispatch(Param("ErrorInfo", "<TString/>"), false), uint32_t(kNodeString));
}

// --- raw, short and classified streams -------------------------------------------------------

TEST_F(StreamTest, RawStreamLength) {
    auto r = ImportQuiet<YMTParamRawStream>(Stream("Data", "", R"( Length="12")"));
    EXPECT_EQ(r->Length(), 12u);
    EXPECT_FALSE(r->HasUnspecifiedLength());
    EXPECT_EQ(r->ParamDispMode(), 2u);
    EXPECT_EQ(IntAttr(*r, 1002), 4u);
    EXPECT_EQ(IntAttr(*r, 1500), 12u);
    for (const char* attrs :
         {"", R"( Length="-3")", R"( Length="zz")", R"( Length="0x1FFFFFFFF")"}) {
        auto open = ImportQuiet<YMTParamRawStream>(Stream("", "", attrs));
        EXPECT_EQ(open->Length(), 0u) << attrs;
        EXPECT_EQ(open->NameRef(), "RawStream");
        EXPECT_TRUE(open->HasUnspecifiedLength());
    }
    Lines log;
    Import<YMTParamRawStream>(Param("Data", "<TString/>"), log, false);
    EXPECT_EQ(log, Err(232, "/Func/Data", "Can not find element <TStream>"));
}

TEST_F(StreamTest, RawShortStreamLimitsAndChildren) {
    Lines log;
    auto s =
        Import<YMTParamRawShortStream>(Param("Name", R"(<TShortStream MaxLength="300"/>)"), log);
    EXPECT_EQ(log, Warn(226, "/Func/Name", "Value 300 out of range [0,256). Using 255 instead."));
    EXPECT_EQ(s->MaxLength(), 255u);
    for (const char* type : {"<TShortStream/>", R"(<TShortStream MaxLength="0"/>)"})
        EXPECT_EQ(ImportQuiet<YMTParamRawShortStream>(Param("N", type))->MaxLength(), 255u);
    s = ImportQuiet<YMTParamRawShortStream>(Param("", R"(<TShortStream MaxLength="100"/>)"));
    EXPECT_EQ(s->NameRef(), "ShortStream");
    EXPECT_EQ(s->MaxLength(), 100u);
    EXPECT_EQ(s->GetSize(), 3u);
    EXPECT_EQ(s->GetAt(0), nullptr);
    auto* length = As<YMTParamNumber>(s->FindChild("length"), kNodeNumber);
    ASSERT_TRUE(length);
    EXPECT_EQ(s->ChildAt(1), length);
    EXPECT_EQ(length->ParamPos(), 1u);
    EXPECT_EQ(length->BytesInMsg(), 1u);
    EXPECT_FALSE(length->IsSigned());
    EXPECT_EQ(length->RangeMin(), 0.0);
    EXPECT_EQ(length->RangeMax(), 100.0);
    EXPECT_EQ(length->ParamMeaning(), 13u);
    EXPECT_EQ(length->ParamDispMode(), 1u);
    EXPECT_TRUE(length->IsSelector());
    EXPECT_EQ(length->Parent(), s.get());
    auto* content = As<YMTParamRawStream>(s->GetAt(2), kNodeRawStream);
    ASSERT_TRUE(content);
    EXPECT_EQ(content->NameRef(), "Content");
    EXPECT_EQ(content->ParamPos(), 2u);
    EXPECT_EQ(content->Length(), 100u);
    EXPECT_EQ(IntAttr(*s, 1002), 7u);
    EXPECT_EQ(IntAttr(*s, 1004), 1u);
    EXPECT_EQ(IntAttr(*s, 1500), 100u);

    Import<YMTParamRawShortStream>(Param("N", "<TStream/>"), log, false);
    EXPECT_EQ(log, Err(224, "/Func/N", "Can not find element <TShortStream>"));
}

TEST_F(StreamTest, ClassifiedStreamChildren) {
    auto c = ImportQuiet<YMTParamCStream>(Param("", "<TCStream/>"));
    EXPECT_EQ(c->NameRef(), "CStream");
    EXPECT_EQ(c->MaxLength(), 65535u);
    auto* length = As<YMTParamNumber>(c->GetAt(1), kNodeNumber);
    auto* media = As<YMTParamString>(c->GetAt(2), kNodeString);
    auto* content = As<YMTParamRawStream>(c->GetAt(3), kNodeRawStream);
    ASSERT_TRUE(length && media && content);
    EXPECT_EQ(length->NameRef(), "Length");
    EXPECT_EQ(length->BytesInMsg(), 2u);
    EXPECT_EQ(length->RangeMin(), 1.0);
    EXPECT_EQ(length->RangeMax(), 65535.0);
    EXPECT_EQ(length->ParamMeaning(), 13u);
    EXPECT_TRUE(length->IsSelector());
    EXPECT_EQ(media->NameRef(), "MediaType");
    EXPECT_EQ(media->ParamPos(), 2u);
    EXPECT_TRUE(media->IsSelector());
    EXPECT_EQ(content->ParamPos(), 3u);
    EXPECT_EQ(content->Length(), 65535u);
    EXPECT_EQ(IntAttr(*c, 1002), 6u);

    Lines log;
    c = Import<YMTParamCStream>(Param("C", R"(<TCStream MaxLength="70000"/>)"), log);
    EXPECT_EQ(log,
              Warn(227, "/Func/C", "Value 70000 out of range [0,65536). Using 65535 instead."));
    EXPECT_EQ(c->MaxLength(), 65535u);
    Import<YMTParamCStream>(Param("C", "<TStream/>"), log, false);
    EXPECT_EQ(log, Err(197, "/Func/C", "Can not find element <TCStream>"));
}

// --- signals ----------------------------------------------------------------------------------

TEST_F(StreamTest, SignalsPackBitsAndDropFailures) {
    Lines log;
    auto s = Import<YMTParamDetailedStream>(
        Stream("Bits", Case(Signal("A", "3", R"( Signedness="Signed")") + Signal("Big", "65") +
                                Signal("B", "5") + Signal("C", "12") +
                                "<StreamSignal><SignalName>D</SignalName></StreamSignal>" +
                                Signal("E", "x1"),
                            "A,B,C", "", R"( ByteOrder="LittleEndian")")),
        log);
    EXPECT_EQ(log, Err(229, "/Func/Bits/StreamCase/Big", "Value '65' out of range [0, 64)") +
                       Err(230, "/Func/Bits/StreamCase/D",
                           "Can not find child element <SignalBitLength>") +
                       Err(228, "/Func/Bits/StreamCase/E", "Failed to analyze value 'x1'"));
    YMTParamStreamCase* c = CaseOf(*s, 1);
    ASSERT_TRUE(c);
    EXPECT_EQ(Layout(*c), "A@1 B@2 C@3");
    auto* a = As<YMTParamSignal>(c->GetAt(1), kNodeSignal);
    auto* b = As<YMTParamSignal>(c->GetAt(2), kNodeSignal);
    auto* c12 = As<YMTParamSignal>(c->GetAt(3), kNodeSignal);
    ASSERT_TRUE(a && b && c12);
    EXPECT_EQ(a->BitPos(), 0u);
    EXPECT_EQ(b->BitPos(), 3u); // the failed 65-bit signal does not move the position
    EXPECT_EQ(c12->BitPos(), 8u);
    EXPECT_EQ(c12->BytesInMsg(), 2u);
    EXPECT_EQ(b->BytesInMsg(), 1u);
    EXPECT_TRUE(a->IsSigned());
    EXPECT_FALSE(b->IsSigned());
    EXPECT_FALSE(a->IsBigEndian());
    EXPECT_EQ(IntAttr(*b, 1002), 18u);
    EXPECT_EQ(IntAttr(*b, 1004), 0u);
    EXPECT_EQ(IntAttr(*b, 1005), 3u);
    EXPECT_EQ(IntAttr(*b, 1006), 5u);
    EXPECT_EQ(IntAttr(*b, 1014), 0u);
    EXPECT_EQ(IntAttr(*a, 1015), 1u);
}

TEST_F(StreamTest, SignalDetails) {
    auto s = ImportQuiet<YMTParamDetailedStream>(Stream(
        "Bits",
        Case("<StreamSignal><SignalName> Flag </SignalName><SignalBitLength>0</SignalBitLength>"
             "<SignalDescription>a flag</SignalDescription></StreamSignal>" +
                 Signal("Wide", "64"),
             "Flag,Wide")));
    YMTParamStreamCase* c = CaseOf(*s, 1);
    ASSERT_TRUE(c);
    auto* flag = As<YMTParamSignal>(c->GetAt(1), kNodeSignal);
    auto* wide = As<YMTParamSignal>(c->GetAt(2), kNodeSignal);
    ASSERT_TRUE(flag && wide);
    EXPECT_EQ(flag->NameRef(), "Flag");
    EXPECT_EQ(flag->Description(), "a flag");
    EXPECT_TRUE(flag->HasNoBits());
    EXPECT_EQ(IntAttr(*flag, 1004), 1u);
    EXPECT_TRUE(flag->IsBigEndian());
    EXPECT_EQ(IntAttr(*flag, 1014), 1u);
    EXPECT_EQ(wide->BitLength(), 64);
    EXPECT_EQ(wide->BytesInMsg(), 8u);

    // A signal name with a leading digit is adapted like parameter names, so
    // that the rebuilt sequence still finds it.
    Lines log;
    s = Import<YMTParamDetailedStream>(
        Stream("Bits", Case(Signal("2nd", "4", R"( SignalIdx="1")"), "-")), log);
    EXPECT_EQ(log, Warn(221, "/Func/Bits/StreamCase/_2nd",
                        "Adapted parameter name due to leading digit ('_2nd').") +
                       Warn(222, "/Func/Bits/StreamCase",
                            "Adapted parameter name due to leading digit ('_2nd')."));
    ASSERT_TRUE(CaseOf(*s, 1));
    EXPECT_EQ(Layout(*CaseOf(*s, 1)), "_2nd@1");
}

// --- members of a stream case -------------------------------------------------------------------

TEST_F(StreamTest, MembersDroppedRenamedOrKept) {
    std::string array = Member("List", "<TArray><TArrayName>Items</TArrayName></TArray>");
    std::string record = Member("Rec", "<TRecord/>");
    std::string voidMember = Member("Gap", "<TVoid/>");
    std::string unknown = Member("Odd", "<TWhatever/>");
    std::string broken = Member("Broken", "<TNumber><Exponent>0</Exponent></TNumber>");
    Lines log;
    auto s = Import<YMTParamDetailedStream>(
        Stream("Data",
               Case(NumberMember("Mode") + array + voidMember + unknown + record + broken +
                        NumberMember("mode") + NumberMember("Mode") + Member("Text", "<TString/>"),
                    "Mode,Mode_1,Mode_2,Text")),
        log);
    const std::string where = "/Func/Data/StreamCase";
    EXPECT_EQ(log, Warn(157, where, "Parameter type not allowed in this context") +
                       Warn(20, where, "Unknown parameter type in <StreamParam>") +
                       Warn(157, where, "Parameter type not allowed in this context") +
                       Err(71, where + "/Broken", "Can not find element <BasisDataType>") +
                       Warn(21, where, "Failed to import element <StreamParam>") +
                       Warn(165, where,
                            "Double definition of StreamParam/StreamSignal name 'mode'. "
                            "StreamParam/StreamSignal will be renamed to 'mode_1'.") +
                       Warn(165, where,
                            "Double definition of StreamParam/StreamSignal name 'Mode'. "
                            "StreamParam/StreamSignal will be renamed to 'Mode_2'."));
    ASSERT_EQ(s->GetSize(), 2u);
    YMTParamStreamCase* c = CaseOf(*s, 1);
    ASSERT_TRUE(c);
    EXPECT_EQ(Layout(*c), "Mode@1 mode_1@2 Mode_2@3 Text@4");
    EXPECT_EQ(c->NameRef(), "StreamCase");
    EXPECT_EQ(c->Parent(), s.get());
    EXPECT_EQ(c->ParamPos(), 1u);
    EXPECT_EQ(c->PosXString(), "");
    EXPECT_EQ(c->PosYMin(), 0u);
    EXPECT_EQ(c->PosYMax(), 0u);
    EXPECT_EQ(MemberOf(*c, 4)->NodeType(), uint32_t(kNodeString));
}

TEST_F(StreamTest, MissingPosDescriptionOrBadPosYGiveNoCase) {
    Lines log;
    auto s = Import<YMTParamDetailedStream>(
        Stream("Data", "<StreamCase>" + NumberMember("A") + "</StreamCase>" +
                           Case(NumberMember("B"), "B", R"( PosY="1..x")") +
                           Case(NumberMember("C"), "C", R"( PosY="-2")") +
                           Case(NumberMember("D"), "D", R"( PosX="Sel" PosY="7")")),
        log);
    const std::string where = "/Func/Data/StreamCase";
    EXPECT_EQ(log, Err(158, where, "Can not find element <PosDescription>") +
                       Err(17, where, "Failed to analyze value '1..x'") +
                       Err(17, where, "Failed to analyze value '-2'"));
    ASSERT_EQ(s->GetSize(), 2u);
    YMTParamStreamCase* c = CaseOf(*s, 1);
    ASSERT_TRUE(c);
    EXPECT_EQ(Layout(*c), "D@1");
    EXPECT_EQ(c->PosXString(), "Sel");
    EXPECT_EQ(c->PosYMin(), 7u);
    EXPECT_EQ(c->PosYMax(), 7u);

    // No StreamCase at all.
    s = Import<YMTParamDetailedStream>(Stream("", "", R"( Length="4")"), log);
    EXPECT_EQ(log, Warn(31, "/Func/Stream", "Can not find element <StreamCase>"));
    EXPECT_EQ(s->GetSize(), 0u);
    EXPECT_EQ(s->Length(), 4u);
    Import<YMTParamDetailedStream>(Param("D", "<TString/>"), log, false);
    EXPECT_EQ(log, Err(28, "/Func/D", "Can not find element <TStream>"));
}

TEST_F(StreamTest, SeveralCaseElementsTakeSelectorsFromPosXAndPosY) {
    Lines log;
    auto s = Import<YMTParamDetailedStream>(
        Stream("Data", Case(NumberMember("Speed"), "Speed", R"( PosX=" Mode " PosY="1..3")") +
                           Case(NumberMember("Count") + NumberMember("Level"),
                                "X=9..9=Count\nY=7=Level", R"( PosX="2ndSel" PosY="3..5")") +
                           Case("", "", R"( PosX="Mode")") + Case("", "", R"( PosY="0x10..0x1F")")),
        log);
    const std::string where = "/Func/Data/StreamCase";
    EXPECT_EQ(log, Warn(221, where, "Adapted parameter name due to leading digit ('_2ndSel').") +
                       Warn(35, "/Func/Data", "Overlapping streamcase(s)"));
    ASSERT_EQ(s->GetSize(), 5u);
    struct {
        const char* layout;
        const char* selector;
        uint32_t min, max;
    } expected[] = {{"Speed@1", "Mode", 1, 3},
                    {"Count@1", "_2ndSel", 3, 5}, // only the first description counts
                    {"", "Mode", 0, 0},
                    {"", "", 0x10, 0x1F}};
    for (uint32_t i = 0; i < 4; ++i) {
        YMTParamStreamCase* c = CaseOf(*s, i + 1);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->ParamPos(), i + 1);
        EXPECT_EQ(Layout(*c), expected[i].layout) << i;
        EXPECT_EQ(c->PosXString(), expected[i].selector) << i;
        EXPECT_EQ(c->PosYMin(), expected[i].min) << i;
        EXPECT_EQ(c->PosYMax(), expected[i].max) << i;
    }
    EXPECT_EQ(s->FindStreamCase(3), CaseOf(*s, 1));
    EXPECT_EQ(s->FindStreamCase(4), CaseOf(*s, 2));
    EXPECT_EQ(s->FindStreamCase(0x1F), CaseOf(*s, 4));
    EXPECT_EQ(s->FindStreamCase(6), nullptr);

    // Disjoint ranges give no warning.
    ImportQuiet<YMTParamDetailedStream>(
        Stream("Data", Case("", "", R"( PosY="1..2")") + Case("", "", R"( PosY="3..5")")));
}

// --- sequence descriptions
// ------------------------------------------------------------------------

TEST_F(StreamTest, DescriptionLinesGiveOneCaseEach) {
    auto s = ImportQuiet<YMTParamDetailedStream>(Stream(
        "Data",
        Case(NumberMember("Speed") + NumberMember("Count") + NumberMember("Level"),
             "&amp;lt;Mode=1..3=Speed, Count&amp;gt;\n  Mode = 4 = {Level}\n\n Other=0x10;x=Count\n"
             "bad name=5=Level\n===\n")));
    ASSERT_EQ(s->GetSize(), 5u);
    struct {
        const char* layout;
        const char* selector;
        uint32_t min, max;
    } expected[] = {{"Speed@1 Count@2", "Mode", 1, 3},
                    {"Level@1", "Mode", 4, 4},
                    {"Count@1", "Other", 0x10, 0x10},
                    // blanks are removed before the line is read
                    {"Level@1", "badname", 5, 5}};
    for (uint32_t i = 0; i < 4; ++i) {
        YMTParamStreamCase* c = CaseOf(*s, i + 1);
        ASSERT_TRUE(c);
        EXPECT_EQ(Layout(*c), expected[i].layout) << i;
        EXPECT_EQ(c->PosXString(), expected[i].selector) << i;
        EXPECT_EQ(c->PosYMin(), expected[i].min) << i;
        EXPECT_EQ(c->PosYMax(), expected[i].max) << i;
        EXPECT_EQ(c->SeqCnt(), 0u);
    }
}

TEST_F(StreamTest, RepeatedGroups) {
    std::string members = NumberMember("A") + NumberMember("B") + NumberMember("C");
    struct {
        const char* description;
        const char* layout;
        uint16_t seqCnt;
        std::vector<uint16_t> positions;
    } cases[] = {
        {"{A,{B,C}}", "A@1 B@2/2 C@3/2", 2, {2, 3}},
        {"{A,{B,C,B}}", "A@1 B@2/2 C@3/2", 2, {2, 3}}, // a repeated name counts once
        {"A,{A,B}", "A@1/2 B@2/2", 2, {1, 2}},         // a fixed name joins the group
        {"{{C}}", "C@1/1", 1, {1}},
        {"{C}", "C@1", 0, {}}, // only the outer braces
        {"A,B,{}", "A@1 B@2", 0, {}},
        {"{A,B,C}", "A@1 B@2 C@3", 0, {}},
    };
    for (const auto& c : cases) {
        auto s = ImportQuiet<YMTParamDetailedStream>(Stream("Data", Case(members, c.description)));
        YMTParamStreamCase* sc = CaseOf(*s, 1);
        ASSERT_TRUE(sc) << c.description;
        EXPECT_EQ(Layout(*sc), c.layout) << c.description;
        EXPECT_EQ(sc->SeqCnt(), c.seqCnt) << c.description;
        EXPECT_EQ(sc->SeqPositions(), c.positions) << c.description;
        EXPECT_EQ(IntAttr(*sc, 1300), c.seqCnt);
    }
}

TEST_F(StreamTest, DescriptionNamesWithoutMembers) {
    // Several lines are used as they are: an unknown name is reported and
    // the repetition marks of that case are cleared.
    Lines log;
    auto s = Import<YMTParamDetailedStream>(
        Stream("Data", Case(NumberMember("A") + NumberMember("B"),
                            "S=1={A,{B}}\nS=2={A,{B,Ghost}}\nS=3=A,A,B")),
        log);
    EXPECT_EQ(log,
              Warn(160, "/Func/Data/StreamCase", "Definition of parameter Ghost is missing") +
                  Warn(160, "/Func/Data/StreamCase", "Definition of parameter A_1 is missing"));
    ASSERT_EQ(s->GetSize(), 4u);
    EXPECT_EQ(Layout(*CaseOf(*s, 1)), "A@1 B@2/1");
    EXPECT_EQ(CaseOf(*s, 1)->SeqCnt(), 1u);
    EXPECT_EQ(Layout(*CaseOf(*s, 2)), "A@1 B@2");
    EXPECT_EQ(CaseOf(*s, 2)->SeqCnt(), 0u);
    EXPECT_TRUE(CaseOf(*s, 2)->SeqPositions().empty());
    // A second A in the fixed part becomes A_1, which is no member.
    EXPECT_EQ(Layout(*CaseOf(*s, 3)), "A@1 B@3");
}

TEST_F(StreamTest, SequenceRebuiltFromIndexAttributes) {
    // One description naming a non-member makes the importer rebuild the
    // order from the index attributes; gaps close up.
    auto s = ImportQuiet<YMTParamDetailedStream>(
        Stream("Data", Case(NumberMember("C", R"( ParamIdx="7seq2")") +
                                NumberMember("A", R"( ParamIdx=" 2 ")") +
                                NumberMember("B", R"( ParamIdx="5SEQ2")"),
                            "see table")));
    YMTParamStreamCase* c = CaseOf(*s, 1);
    ASSERT_TRUE(c);
    EXPECT_EQ(Layout(*c), "A@1 B@2/2 C@3/2");
    EXPECT_EQ(c->SeqCnt(), 2u);

    // An index 0 shifts all indices of the case.
    Lines log;
    s = Import<YMTParamDetailedStream>(
        Stream("Data",
               Case(NumberMember("B", R"( ParamIdx="1")") + NumberMember("A", R"( ParamIdx="0")") +
                        NumberMember("C", R"( ParamIdx="4095")"),
                    "")),
        log);
    const std::string where = "/Func/Data/StreamCase";
    EXPECT_EQ(log, Warn(231, where,
                        "Attribute 'ParamIdx=\"0\"' is not allowed. Now incrementing all indices "
                        "by one for this stream.") +
                       Err(162, where,
                           "Failed to analyze 'ParamIdx=\"4095\"'. Attribute value is invalid.") +
                       Warn(159, where,
                            "Unable to reconstruct parameter sequence in <StreamCase>. Check "
                            "attribute 'ParamIdx' in <StreamParam> and <PosDescrition>."));
    ASSERT_TRUE(CaseOf(*s, 1));
    EXPECT_EQ(Layout(*CaseOf(*s, 1)), ""); // the members are gone

    s = Import<YMTParamDetailedStream>(
        Stream("Data",
               Case(NumberMember("B", R"( ParamIdx="1")") + NumberMember("A", R"( ParamIdx="0")") +
                        NumberMember("C", R"( ParamIdx="3")"),
                    "")),
        log);
    EXPECT_EQ(log, Warn(231, where,
                        "Attribute 'ParamIdx=\"0\"' is not allowed. Now incrementing all indices "
                        "by one for this stream."));
    ASSERT_TRUE(CaseOf(*s, 1));
    EXPECT_EQ(Layout(*CaseOf(*s, 1)), "A@1 B@2 C@3");
}

TEST_F(StreamTest, RebuildFailures) {
    const std::string where = "/Func/Data/StreamCase";
    const Lines gaveUp =
        Warn(159, where,
             "Unable to reconstruct parameter sequence in <StreamCase>. Check attribute "
             "'ParamIdx' in <StreamParam> and <PosDescrition>.");
    const std::string cant =
        "Can't reconstruct sequence of parameters (check attribute 'ParamIdx' of StreamParams)";
    struct {
        std::string members;
        Lines log;
    } cases[] = {
        {NumberMember("A", R"( ParamIdx="1")") + NumberMember("B"),
         Err(161, where, "Missing required attribute ParamIdx")},
        {NumberMember("A", R"( ParamIdx="1")") + NumberMember("B", R"( ParamIdx="1")"),
         Err(166, where, cant)},
        {NumberMember("A", R"( ParamIdx="1seq2")") + NumberMember("B", R"( ParamIdx="2seq3")"),
         Err(166, where, cant)},
        {NumberMember("A", R"( ParamIdx="1seq3")") + NumberMember("B", R"( ParamIdx="2seq3")"),
         Err(167, where, cant)},
        {NumberMember("A", R"( ParamIdx="1seq4096")"),
         Err(162, where, "Failed to analyze 'ParamIdx=\"1seq4096\"'. Attribute value is invalid.")},
        {NumberMember("A", R"( ParamIdx="1seq")"),
         Err(162, where, "Failed to analyze 'ParamIdx=\"1seq\"'. Attribute value is invalid.")},
    };
    for (const auto& c : cases) {
        Lines log;
        auto s = Import<YMTParamDetailedStream>(Stream("Data", Case(c.members, "?")), log);
        EXPECT_EQ(log, c.log + gaveUp) << c.members;
        ASSERT_TRUE(CaseOf(*s, 1));
        EXPECT_EQ(CaseOf(*s, 1)->GetCount(), 0u);
    }

    // Signals use their own attribute and name element. The rebuild reads
    // every member element, also one whose member failed to import.
    Lines log;
    auto s = Import<YMTParamDetailedStream>(
        Stream("Data", Case(Signal("A", "4", R"( SignalIdx="2")") +
                                "<StreamSignal SignalIdx=\"1\"><SignalBitLength>2</SignalBitLength>"
                                "</StreamSignal>",
                            "")),
        log);
    EXPECT_EQ(log, Err(10, where + "/", "Can not find element <SignalName>") +
                       Err(163, where, "Can not find element <SignalName>") + gaveUp);
    ASSERT_TRUE(CaseOf(*s, 1));
    EXPECT_EQ(Layout(*CaseOf(*s, 1)), "");
    s = Import<YMTParamDetailedStream>(
        Stream("Data",
               Case(Signal("A", "4", R"( SignalIdx="2")") + Signal(" ", "4", R"( SignalIdx="1")"),
                    "")),
        log);
    EXPECT_EQ(log, Err(164, where, "Invalid parameter name in tag <ParamName>") + gaveUp);

    // A single StreamCase without members tries the rebuild as well, which
    // finds nothing: one empty case.
    s = Import<YMTParamDetailedStream>(Stream("Data", Case("", "")), log);
    EXPECT_EQ(log, gaveUp);
    EXPECT_EQ(s->GetSize(), 2u);
    EXPECT_EQ(CaseOf(*s, 1)->GetCount(), 0u);
}

// --- short detailed stream -----------------------------------------------------------------------

TEST_F(StreamTest, DetailedShortStreamHasItsLengthFirst) {
    Lines log;
    auto s = Import<YMTParamDetailedShortStream>(
        Param("Msg", R"(<TShortStream MaxLength="300">)" +
                         Case(NumberMember("A"), "A", R"( PosX="Sel" PosY="1")") +
                         Case(NumberMember("B"), "B", R"( PosX="Sel" PosY="2")") +
                         "</TShortStream>"),
        log);
    EXPECT_EQ(log, Warn(226, "/Func/Msg", "Value 300 out of range [0,256). Using 255 instead."));
    EXPECT_EQ(s->Length(), 255u);
    ASSERT_EQ(s->GetSize(), 3u);
    auto* length = As<YMTParamNumber>(s->GetAt(0), kNodeNumber);
    ASSERT_TRUE(length);
    EXPECT_EQ(length->NameRef(), "Length");
    EXPECT_EQ(length->ParamPos(), 0u);
    EXPECT_EQ(length->RangeMax(), 255.0);
    EXPECT_EQ(length->ParamMeaning(), 13u);
    EXPECT_TRUE(length->IsSelector());
    EXPECT_EQ(s->FindStreamCase(0), nullptr); // the length is no case
    EXPECT_EQ(s->FindStreamCase(2), CaseOf(*s, 2));
    EXPECT_FALSE(s->HasUnspecifiedLength());
    EXPECT_EQ(IntAttr(*s, 1002), 19u);
    EXPECT_EQ(IntAttr(*s, 1004), 1u);
    Import<YMTParamDetailedShortStream>(Param("Msg", "<TStream/>"), log, false);
    EXPECT_EQ(log, Err(233, "/Func/Msg", "Can not find element <TShortStream>"));
}

// --- size limits --------------------------------------------------------------------------------

TEST_F(StreamTest, DescriptionLinesAreLimited) {
    std::string lines;
    for (int i = 1; i <= 5000; ++i)
        lines += StrFormat("S=%d=A\n", i);
    Lines log;
    auto s = Import<YMTParamDetailedStream>(Stream("Data", Case(NumberMember("A"), lines)), log);
    EXPECT_EQ(log, Warn(240, "/Func/Data",
                        "Stream exceeds the supported size; further stream cases and members are "
                        "dropped."));
    EXPECT_EQ(s->GetCount(), kMaxStreamCases);
    EXPECT_EQ(CaseOf(*s, 4095)->PosYMin(), 4095u);
}

TEST_F(StreamTest, MembersNamedOnManyLinesCannotMultiplyWithoutBound) {
    // The member Inner holds a stream with an enumeration of 200 values; 100
    // description lines name it. Copying it 100 times would take far more
    // nodes than the catalog text describes.
    std::string values;
    for (int i = 0; i < 200; ++i)
        values += StrFormat(R"(<TEnumValue Code="%d">V%d</TEnumValue>)", i, i);
    std::string inner =
        Member("Inner", "<TStream>" + Case(Member("E", "<TEnum>" + values + "</TEnum>"), "E") +
                            "</TStream>");
    std::string lines;
    for (int i = 1; i <= 100; ++i)
        lines += StrFormat("S=%d=Inner\n", i);
    Lines log;
    auto s = Import<YMTParamDetailedStream>(Stream("Data", Case(inner, lines)), log);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "Warning #0240 in '/Func/Data':");
    EXPECT_GT(s->GetCount(), 10u);
    EXPECT_LT(s->GetCount(), 100u);
    auto* copy = As<YMTParamDetailedStream>(CaseOf(*s, 1)->GetAt(1), kNodeDetailedStream);
    ASSERT_TRUE(copy);
    EXPECT_EQ(CaseOf(*copy, 1)->GetCount(), 1u);
}

TEST_F(StreamTest, NestingDepthIsLimited) {
    // Streams nested in stream cases of streams, 40 levels deep.
    std::string xml = Member("Leaf", TNumber(1));
    std::string name = "Leaf";
    for (int i = 0; i < 40; ++i) {
        std::string next = StrFormat("S%d", i);
        xml = Member(next, "<TStream>" + Case(xml, name) + "</TStream>");
        name = next;
    }
    xml = Stream("Top", Case(xml, name));
    Lines log;
    auto s = Import<YMTParamDetailedStream>(xml, log);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "  Streams nested more than 32 levels deep are not supported"),
              log.end());
    // The stream that was too deep is dropped as a failed member: 32 levels
    // of streams stay.
    YMTNode* n = s.get();
    int depth = 0;
    while (n && n->NodeType() == kNodeDetailedStream) {
        auto* c = static_cast<YMTParamDetailedStream*>(n)->CaseAt(1);
        n = c ? c->GetAt(1) : nullptr;
        ++depth;
    }
    EXPECT_EQ(depth, 32);
}

// --- checks in an operation ------------------------------------------------------------------

class StreamCheckTest : public StreamTest {
protected:
    void SetUp() override {
        StreamTest::SetUp();
        m_Op = new YMTOperation();
        m_Op->SetName("Status");
        m_Op->OpType = 12;
        m_Op->SetParent(&m_Function);
        m_Function.SetAt(m_Op, 12);
    }
    template <class T> T* Put(std::unique_ptr<T> p, uint32_t pos, YMTOperation* op = nullptr) {
        op = op ? op : m_Op;
        p->SetParent(op);
        p->SetParamPos(static_cast<uint16_t>(pos));
        T* raw = p.get();
        op->SetAt(p.release(), pos);
        return raw;
    }
    YMTParamNumber* PutNumber(const char* name, uint32_t pos, uint16_t width = 1,
                              YMTOperation* op = nullptr) {
        auto n = std::make_unique<YMTParamNumber>();
        n->SetName(name);
        n->SetBytesInMsg(width);
        return Put(std::move(n), pos, op);
    }
    YMTParamDetailedStream* PutStream(const std::string& xml, uint32_t pos) {
        return Put(ImportQuiet<YMTParamDetailedStream>(xml), pos);
    }
    // Checks the parameters of the operation (without the operation's own
    // layout steps).
    Lines Check(bool expectOk = true, YMTOperation* op = nullptr) {
        test::LogCapture capture;
        EXPECT_EQ((op ? op : m_Op)->CheckAll(m_Ctx, capture.Log()), expectOk);
        return capture.Lines();
    }

    YMTOperation* m_Op = nullptr;
};

TEST_F(StreamCheckTest, SelectorAndSymbolicIdentifiers) {
    YMTParamNumber* sel = PutNumber("Sel", 1);
    YMTParamDetailedStream* s =
        PutStream(Stream("Data", Case(Signal("Mode", "3"), "Mode", R"( PosX="Sel" PosY="3")") +
                                     Case(NumberMember("Level") + NumberMember("Item"),
                                          "{Level,{Item}}", R"( PosX="sel" PosY="4..6")")),
                  2);
    EXPECT_EQ(Check(), Lines{});
    EXPECT_EQ(s->SelectorParam(), sel);
    EXPECT_TRUE(sel->IsSelector());
    YMTParamStreamCase* c1 = CaseOf(*s, 1);
    YMTParamStreamCase* c2 = CaseOf(*s, 2);
    ASSERT_TRUE(c1 && c2);
    EXPECT_EQ(s->SymID(), "Data");
    EXPECT_EQ(c1->SymID(), "Data(3)");
    EXPECT_EQ(MemberOf(*c1, 1)->SymID(), "Data(3).Mode");
    EXPECT_EQ(c2->SymID(), "Data(4)");
    EXPECT_EQ(MemberOf(*c2, 1)->SymID(), "Data(4).Level");
    EXPECT_EQ(MemberOf(*c2, 2)->SymID(), "Data(4).Item[1]");
    // A case counts as its stream's level.
    EXPECT_EQ(s->CheckedLevel(), 2u);
    EXPECT_EQ(c1->CheckedLevel(), 2u);
    EXPECT_EQ(MemberOf(*c1, 1)->CheckedLevel(), 3u);
    // The repeated group has no count and no list size: open length.
    EXPECT_FALSE(c1->HasUnspecifiedLength());
    EXPECT_TRUE(c2->HasUnspecifiedLength());
    EXPECT_TRUE(s->HasUnspecifiedLength());
    EXPECT_EQ(s->FindParamByName("item", false), MemberOf(*c2, 2));
    EXPECT_EQ(s->FindParamByName("item", true), nullptr);
    EXPECT_EQ(s->FindParamByName("Mode", true), MemberOf(*c1, 1));
    EXPECT_EQ(IntAttr(*c2, 1002), 13u);
    EXPECT_EQ(IntAttr(*c2, 1304), 4u);
    EXPECT_EQ(IntAttr(*c2, 1305), 6u);
    EXPECT_EQ(IntAttr(*s, 1002), 12u);
}

TEST_F(StreamCheckTest, SelectorNotFoundOrOfAnotherKind) {
    Put(ImportQuiet<YMTParamString>(Param("Txt", "<TString/>")), 1);
    YMTParamDetailedStream* s =
        PutStream(Stream("Data", Case(Signal("Mode", "3"), "Mode", R"( PosX="Txt" PosY="3")")), 2);
    EXPECT_EQ(Check(), Lines{});
    EXPECT_EQ(s->SelectorParam(), nullptr);
    EXPECT_FALSE(static_cast<YMTParam*>(m_Op->GetAt(1))->IsSelector());
    EXPECT_EQ(CaseOf(*s, 1)->SymID(), "Data");
    EXPECT_EQ(MemberOf(*CaseOf(*s, 1), 1)->SymID(), "Data.Mode");

    // The selector must stand before the stream; with several cases the
    // last case checked decides.
    m_Op->RemoveAll();
    YMTParamDetailedStream* t =
        PutStream(Stream("Data", Case("", "", R"( PosX="Sel" PosY="1")") +
                                     Case("", "", R"( PosX="Later" PosY="2")")),
                  1);
    PutNumber("Sel", 0);
    PutNumber("Later", 2);
    EXPECT_EQ(Check(), Lines{});
    EXPECT_EQ(t->SelectorParam(), nullptr);
}

TEST_F(StreamCheckTest, OnlyOneSelectorPerStream) {
    PutNumber("A", 1);
    PutNumber("B", 2);
    YMTParamDetailedStream* s = PutStream(Stream("Data", Case("", "", R"( PosX="A" PosY="1")") +
                                                             Case("", "", R"( PosX="B" PosY="2")")),
                                          3);
    EXPECT_EQ(Check(false), Err(27, "/Func/Status/Data/StreamCase",
                                "Only one selector parameter per stream supported yet"));
    EXPECT_EQ(s->SelectorParam(), m_Op->GetAt(1));
}

TEST_F(StreamCheckTest, RepetitionCountFromTheStreamLength) {
    struct {
        const char* length;
        std::string members;
        const char* description;
        uint32_t seqIndexMax;
        bool warns;
    } cases[] = {
        {"10", NumberMember("Head") + NumberMember("Lo") + NumberMember("Hi", "", 2),
         "{Head,{Lo,Hi}}", 3, false},
        {"3", NumberMember("Head") + NumberMember("Lo") + NumberMember("Hi", "", 2),
         "{Head,{Lo,Hi}}", 0, true},
        {"8", Member("Blob", R"(<TStream Length="2"/>)") + NumberMember("Lo"), "{Blob,{Lo}}", 6,
         false},
        {"4000000000", NumberMember("Lo"), "{{Lo}}", kMaxSeqIndex, false},
        // a member without width ends the sums: nothing repeated counted
        {"8", Member("Text", "<TString/>") + NumberMember("Lo"), "{Text,{Lo}}", 0, false},
    };
    for (const auto& c : cases) {
        m_Op->RemoveAll();
        YMTParamDetailedStream* s = PutStream(
            Stream("Data", Case(c.members, c.description), StrFormat(" Length=\"%s\"", c.length)),
            1);
        Lines expected;
        if (c.warns)
            expected = Warn(209, "/Func/Status/Data/StreamCase",
                            StrFormat("Attribute Length (=%s bytes) of TStream conflicts with the "
                                      "total width of the stream parameters.",
                                      c.length));
        EXPECT_EQ(Check(), expected) << c.description;
        EXPECT_EQ(CaseOf(*s, 1)->SeqIndexMax(), c.seqIndexMax) << c.description;
        EXPECT_EQ(IntAttr(*CaseOf(*s, 1), 1301), c.seqIndexMax);
        EXPECT_EQ(CaseOf(*s, 1)->HasUnspecifiedLength(), c.seqIndexMax == 0) << c.description;
    }
}

TEST_F(StreamCheckTest, MemberAfterOpenLengthWarnsOnce) {
    PutStream(Stream("Data", Case(Member("Blob", "<TStream/>") + NumberMember("Tail") +
                                      NumberMember("More"),
                                  "Blob,Tail,More")),
              1);
    EXPECT_EQ(Check(), Warn(207, "/Func/Status/Data/StreamCase",
                            "Parameter 'Tail' follows a parameter with unspecified length "
                            "('Blob'). Message may not disassemble properly."));
}

TEST_F(StreamCheckTest, ListElementsFindTheirListSize) {
    YMTParamNumber* size = PutNumber("ListSize", 1, 2);
    YMTParamDetailedStream* s =
        PutStream(Stream("ListElements", Case(NumberMember("Item"), "{{Item}}")), 2);
    EXPECT_EQ(Check(), Lines{});
    EXPECT_EQ(s->ListSizeParam(), size);
    EXPECT_FALSE(CaseOf(*s, 1)->HasUnspecifiedLength());
    EXPECT_NE(DumpText(*s).find("\t\t.ListSizeParam: ListSize\n"), std::string::npos);

    // After the stream, or under another name: no list size.
    m_Op->RemoveAll();
    s = PutStream(Stream("ListElements", Case(NumberMember("Item"), "{{Item}}")), 1);
    PutNumber("ListSize", 2, 2);
    EXPECT_EQ(Check(), Lines{});
    EXPECT_EQ(s->ListSizeParam(), nullptr);
    EXPECT_TRUE(CaseOf(*s, 1)->HasUnspecifiedLength());
    m_Op->RemoveAll();
    PutNumber("ListSize", 1, 2);
    s = PutStream(Stream("Elements", Case(NumberMember("Item"), "{{Item}}")), 2);
    EXPECT_EQ(Check(), Lines{});
    EXPECT_EQ(s->ListSizeParam(), nullptr);
}

TEST_F(StreamCheckTest, CaseOutsideADetailedStreamFailsItsCheck) {
    auto c = std::make_unique<YMTParamStreamCase>();
    c->SetName("StreamCase");
    test::LogCapture capture;
    EXPECT_FALSE(c->Check(m_Ctx, capture.Log()));
    c->SetParent(m_Op);
    EXPECT_FALSE(c->Check(m_Ctx, capture.Log()));
    EXPECT_EQ(capture.Lines(), Lines{});
}

// --- copies --------------------------------------------------------------------------------------

TEST_F(StreamCheckTest, CopiesAreDeepAndResolveTheirOwnSelector) {
    YMTParamNumber* sel = PutNumber("Sel", 1);
    YMTParamDetailedStream* s =
        PutStream(Stream("Data",
                         Case(NumberMember("Head") + NumberMember("Lo"), "{Head,{Lo}}",
                              R"( PosX="Sel" PosY="1..2")") +
                             Case(Signal("Flag", "1"), "Flag", R"( PosX="Sel" PosY="3")"),
                         R"( Length="6")"),
                  2);
    ASSERT_EQ(Check(), Lines{});

    std::unique_ptr<YMTNode> clone(s->Clone());
    auto* copy = As<YMTParamDetailedStream>(clone.get(), kNodeDetailedStream);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->NameRef(), "Data");
    EXPECT_EQ(copy->Length(), 6u);
    EXPECT_EQ(copy->ParamPos(), 2u);
    EXPECT_EQ(copy->SymID(), "Data");
    // References are not carried over: they would point into the original.
    EXPECT_EQ(copy->SelectorParam(), nullptr);
    ASSERT_EQ(copy->GetSize(), 3u);
    for (uint32_t i = 1; i <= 2; ++i) {
        YMTParamStreamCase* a = CaseOf(*s, i);
        YMTParamStreamCase* b = CaseOf(*copy, i);
        ASSERT_TRUE(a && b);
        EXPECT_NE(a, b);
        EXPECT_EQ(b->Parent(), copy);
        EXPECT_EQ(Layout(*b), Layout(*a));
        EXPECT_EQ(b->PosXString(), "Sel");
        EXPECT_EQ(b->PosYMin(), a->PosYMin());
        EXPECT_EQ(b->PosYMax(), a->PosYMax());
        EXPECT_EQ(b->SeqCnt(), a->SeqCnt());
        EXPECT_EQ(b->SeqPositions(), a->SeqPositions());
        EXPECT_EQ(b->SeqIndexMax(), a->SeqIndexMax());
        for (uint32_t p = 1; p < a->GetSize(); ++p)
            EXPECT_NE(a->GetAt(p), b->GetAt(p));
    }
    EXPECT_EQ(CaseOf(*copy, 1)->SeqIndexMax(), 5u);
    auto* flag = As<YMTParamSignal>(CaseOf(*copy, 2)->GetAt(1), kNodeSignal);
    ASSERT_TRUE(flag);
    EXPECT_EQ(flag->BitLength(), 1);

    // In another operation the copy finds that operation's selector; the
    // original keeps its own.
    auto* other = new YMTOperation();
    other->SetName("Result");
    other->OpType = 0;
    other->SetParent(&m_Function);
    m_Function.SetAt(other, 0);
    YMTParamNumber* otherSel = PutNumber("Sel", 1, 1, other);
    Put(std::unique_ptr<YMTParamDetailedStream>(
            static_cast<YMTParamDetailedStream*>(clone.release())),
        2, other);
    EXPECT_EQ(Check(true, other), Lines{});
    EXPECT_EQ(copy->SelectorParam(), otherSel);
    EXPECT_EQ(s->SelectorParam(), sel);

    // A copy from another class fails.
    YMTParamDetailedShortStream shortStream;
    EXPECT_FALSE(shortStream.CopyFrom(s));
    EXPECT_FALSE(s->CopyFrom(nullptr));
}

TEST_F(StreamTest, SimpleClassesCopyTheirFields) {
    auto str = ImportQuiet<YMTParamString>(Param("Title", R"(<TString MaxSize="7"/>)"));
    str->SetHasEncodingByte(false);
    std::unique_ptr<YMTNode> strCopy(str->Clone());
    auto* s2 = As<YMTParamString>(strCopy.get(), kNodeString);
    ASSERT_TRUE(s2);
    EXPECT_EQ(s2->MaxSize(), 7);
    EXPECT_FALSE(s2->HasEncodingByte());
    EXPECT_EQ(s2->Parent(), &m_Function);

    auto raw = ImportQuiet<YMTParamRawStream>(Stream("Blob", "", R"( Length="9")"));
    std::unique_ptr<YMTNode> rawCopy(raw->Clone());
    EXPECT_EQ(As<YMTParamRawStream>(rawCopy.get(), kNodeRawStream)->Length(), 9u);

    auto cs = ImportQuiet<YMTParamCStream>(Param("Media", R"(<TCStream MaxLength="512"/>)"));
    std::unique_ptr<YMTNode> csCopy(cs->Clone());
    auto* c2 = As<YMTParamCStream>(csCopy.get(), kNodeCStream);
    ASSERT_TRUE(c2);
    EXPECT_EQ(c2->MaxLength(), 512u);
    for (uint32_t i = 1; i <= 3; ++i) {
        ASSERT_TRUE(c2->GetAt(i));
        EXPECT_NE(c2->GetAt(i), cs->GetAt(i));
        EXPECT_EQ(c2->GetAt(i)->Parent(), c2);
        EXPECT_EQ(c2->GetAt(i)->NameRef(), cs->GetAt(i)->NameRef());
    }
    auto rs =
        ImportQuiet<YMTParamRawShortStream>(Param("Short", R"(<TShortStream MaxLength="9"/>)"));
    std::unique_ptr<YMTNode> rsCopy(rs->Clone());
    auto* r2 = As<YMTParamRawShortStream>(rsCopy.get(), kNodeRawShortStream);
    ASSERT_TRUE(r2);
    EXPECT_EQ(r2->MaxLength(), 9u);
    EXPECT_EQ(static_cast<YMTParamRawStream*>(r2->GetAt(2))->Length(), 9u);
    EXPECT_EQ(r2->GetAt(2)->Parent(), r2);

    std::unique_ptr<YMTNode> voidCopy(ImportQuiet<YMTParamVoid>(Param("V", "<TVoid/>"))->Clone());
    EXPECT_EQ(As<YMTParamVoid>(voidCopy.get(), kNodeVoid)->NameRef(), "V");
}

// --- archive order and dump
// ------------------------------------------------------------------------

TEST_F(StreamTest, ArchiveOrder) {
    const std::string param = "str str ref0 u16 u8 u16 u16 u8 u32 str ";
    auto kinds = [](YMTNode& n) {
        KindArchive ar;
        n.Serialize(ar);
        return ar.kinds;
    };
    YMTParamString str;
    YMTParamVoid v;
    YMTParamFktIDBitStream f;
    YMTParamRawStream raw;
    YMTParamRawShortStream rs;
    YMTParamCStream cs;
    YMTParamDetailedStream ds;
    YMTParamDetailedShortStream dss;
    YMTParamStreamCase sc;
    YMTParamSignal sig;
    EXPECT_EQ(kinds(str), param + "i32 b ");
    EXPECT_EQ(kinds(v), param);
    EXPECT_EQ(kinds(f), param);
    EXPECT_EQ(kinds(raw), param + "u32 ");
    EXPECT_EQ(kinds(rs), param + "u32 list8 ");
    EXPECT_EQ(kinds(cs), param + "u32 list8 ");
    EXPECT_EQ(kinds(ds), param + "u32 u8 ref2 ref3 list5 ");
    EXPECT_EQ(kinds(dss), param + "u32 u8 ref2 ref3 list5 ");
    EXPECT_EQ(kinds(sc), param + "u32 u32 str u16 words u32 list4 ");
    EXPECT_EQ(kinds(sig), param + "u8 u8 i32 u32 ");
}

TEST_F(StreamCheckTest, DumpLines) {
    PutNumber("Sel", 1);
    YMTParamDetailedStream* s =
        PutStream(Stream("Data",
                         Case(Signal("Hdr", "4") + Signal("A", "12", R"( Signedness="Signed")"),
                              "Sel=1..2={Hdr,{A}}", "", R"( ByteOrder="LittleEndian")"),
                         R"( Length="5")"),
                  2);
    ASSERT_EQ(Check(), Lines{});
    EXPECT_EQ(DumpText(*s), "\t\tPARAMDETAILEDSTREAM: Data\n"
                            "\t\t.Parent: /Func/Status\n"
                            "\t\t.BytesInMsg: 0\n"
                            "\t\t.IsSelector: 0\n"
                            "\t\t.ParamPos: 2\n"
                            "\t\t.SymID: Data\n"
                            "\t\t.SelectorParam: Sel\n"
                            "\t\t.ListSizeParam: -\n"
                            "\t\t.Length: 5\n"
                            "\t\t\tPARAMSTREAMCASE: StreamCase\n"
                            "\t\t\t.Parent: /Func/Status/Data\n"
                            "\t\t\t.BytesInMsg: 0\n"
                            "\t\t\t.IsSelector: 0\n"
                            "\t\t\t.ParamPos: 1\n"
                            "\t\t\t.SymID: Data(1)\n"
                            "\t\t\t.PosXString: Sel\n"
                            "\t\t\t.PosYMin: 1\n"
                            "\t\t\t.PosYMax: 2\n"
                            "\t\t\t.SeqCnt: 1\n"
                            "\t\t\t.SeqIndexMax: 0\n"
                            "\t\t\t\tPARAMSIGNAL: Hdr\n"
                            "\t\t\t\t.Parent: /Func/Status/Data/StreamCase\n"
                            "\t\t\t\t.BytesInMsg: 1\n"
                            "\t\t\t\t.IsSelector: 0\n"
                            "\t\t\t\t.ParamPos: 1\n"
                            "\t\t\t\t.SymID: Data(1).Hdr\n"
                            "\t\t\t\t.BitLength: 4  .Signedness: 0  .ByteOrder: 1\n"
                            "\t\t\t\tPARAMSIGNAL: A\n"
                            "\t\t\t\t.Parent: /Func/Status/Data/StreamCase\n"
                            "\t\t\t\t.BytesInMsg: 2\n"
                            "\t\t\t\t.IsSelector: 0\n"
                            "\t\t\t\t.ParamPos: 2 seq 1\n"
                            "\t\t\t\t.SymID: Data(1).A[1]\n"
                            "\t\t\t\t.BitLength: 12  .Signedness: 1  .ByteOrder: 1\n");

    auto str = ImportQuiet<YMTParamString>(Param("Title", R"(<TString MaxSize="16"/>)"));
    str->SetParent(nullptr);
    EXPECT_EQ(DumpText(*str), "PARAMSTRING: Title\n.Parent: -\n.BytesInMsg: 0\n.IsSelector: 0\n"
                              ".ParamPos: 0\n.SymID: \n.MaxSize: 16  HasEncodingByte: 1\n");
    auto raw = ImportQuiet<YMTParamRawStream>(Stream("Blob", "", R"( Length="3")"));
    raw->SetParent(nullptr);
    EXPECT_EQ(DumpText(*raw), "PARAMRAWSTREAM: Blob\n.Parent: -\n.BytesInMsg: 0\n.IsSelector: 0\n"
                              ".ParamPos: 0\n.SymID: \n.Length: 3\n");
    auto v = ImportQuiet<YMTParamVoid>(Param("", "<TVoid/>"));
    v->SetParent(nullptr);
    EXPECT_EQ(DumpText(*v), "PARAMVOID: Void\n.Parent: -\n.BytesInMsg: 0\n.IsSelector: 0\n"
                            ".ParamPos: 0\n.SymID: \n");
    auto cs = ImportQuiet<YMTParamCStream>(Param("Media", "<TCStream/>"));
    cs->SetParent(nullptr);
    std::string dump = DumpText(*cs);
    EXPECT_EQ(dump.rfind("PARAMCSTREAM: Media\n.Parent: -\n.BytesInMsg: 0\n.IsSelector: 0\n"
                         ".ParamPos: 0\n.SymID: \n.MaxLength: 65535\n\t",
                         0),
              0u)
        << dump;
    EXPECT_NE(dump.find("\tPARAMSTRING: MediaType\n"), std::string::npos);
}

} // namespace
} // namespace mostfcat
