// The built-in MOST error parameters: their contents, how catalogs create
// and hand out copies, how a copy checks in an error operation, and the
// switch that decides between the built-ins and the catalog's own types.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "import/import_context.h"
#include "import/import_log.h"
#include "params/error_params.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "platform/strings.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {
namespace {

using Lines = std::vector<std::string>;

struct CodeText {
    uint16_t code;
    const char* text;
};
const CodeText kCodes[17] = {
    {0x01, "FBlockID not available"},  {0x02, "InstID not available"},
    {0x03, "FktID not available"},     {0x04, "OpType not available"},
    {0x05, "Invalid length"},          {0x06, "Parameter wrong/out of range"},
    {0x07, "Parameter not available"}, {0x08, "Parameter missing"},
    {0x09, "Too many parameters"},     {0x0A, "Secondary node"},
    {0x0B, "Device malfunction"},      {0x0C, "Segmentation error"},
    {0x20, "Function specific"},       {0x40, "Busy"},
    {0x41, "Not available"},           {0x42, "Processing error"},
    {0x43, "Method aborted"},
};

// "name:type@pos" of the members of a case, in position order.
std::string Members(const YMTParamStreamCase& c) {
    std::string out;
    ForEachChild(c, [&](uint32_t pos, YMTNode* n) {
        auto* p = static_cast<YMTParam*>(n);
        if (!out.empty()) out += ' ';
        out += StrFormat("%s:%u@%u", p->NameRef().c_str(), p->NodeType(), pos);
        if (p->ParamPos() != pos || p->SeqIndex() != 0 || p->Parent() != &c) out += "!";
    });
    return out;
}

class ErrorParamsTest : public test::CatalogTest {
protected:
    YImportContext m_Ctx;
    YImportLog m_Log;
};

TEST_F(ErrorParamsTest, BuiltInErrorCode) {
    YMTParamEnum code;
    ASSERT_TRUE(BuildDefaultErrorCode(code, m_Ctx, m_Log));
    EXPECT_EQ(code.NameRef(), "ErrorCode");
    EXPECT_EQ(code.EnumMax(), 67u);
    EXPECT_EQ(code.BytesInMsg(), 1u);
    ASSERT_EQ(code.GetCount(), 17u);
    uint32_t i = 0;
    ForEachChild(code, [&](uint32_t, YMTNode* n) {
        auto* v = static_cast<YMTEnumValue*>(n);
        EXPECT_EQ(v->CodeMin(), kCodes[i].code);
        EXPECT_EQ(v->CodeMax(), kCodes[i].code);
        EXPECT_EQ(v->NameRef(), kCodes[i].text);
        EXPECT_EQ(v->Description(), kCodes[i].text);
        EXPECT_EQ(v->Parent(), &code);
        ++i;
    });
    EXPECT_EQ(code.CodeText(0x0C, true), "Segmentation error");
    EXPECT_EQ(code.FindValueByCode(0x21), nullptr);
    EXPECT_EQ(code.CodeText(0x21, true), "# Unknown code: 33 #");
}

TEST_F(ErrorParamsTest, BuiltInErrorInfo) {
    YMTParamDetailedStream info;
    ASSERT_TRUE(BuildDefaultErrorInfo(info, m_Ctx, m_Log));
    EXPECT_EQ(info.NameRef(), "ErrorInfo");
    EXPECT_EQ(info.Length(), 0u);
    EXPECT_EQ(info.BytesInMsg(), 0u);
    EXPECT_EQ(info.GetSize(), 18u);
    EXPECT_EQ(info.GetAt(0), nullptr);
    const std::string number = StrFormat(":%u@", kNodeNumber);
    for (uint32_t i = 0; i < 17; ++i) {
        YMTParamStreamCase* c = info.CaseAt(i + 1);
        ASSERT_TRUE(c) << i;
        EXPECT_EQ(c->NameRef(), "StreamCase");
        EXPECT_EQ(c->Parent(), &info);
        EXPECT_EQ(c->ParamPos(), i + 1);
        EXPECT_EQ(c->PosXString(), "ErrorCode");
        EXPECT_EQ(c->PosYMin(), kCodes[i].code);
        EXPECT_EQ(c->PosYMax(), kCodes[i].code);
        EXPECT_EQ(c->SeqCnt(), 0u);
        std::string expected;
        switch (kCodes[i].code) {
        case 4:
            expected = "OpType" + number + "1";
            break;
        case 6:
        case 7:
            expected = "ParamNo" + number + "1 ParamData" + StrFormat(":%u@2", kNodeRawStream);
            break;
        case 10:
            expected = "PrimaryAddress" + number + "1";
            break;
        case 12:
            expected = StrFormat("Code:%u@1", kNodeEnum);
            break;
        case 32:
            expected = "Code" + number + "1";
            break;
        default:
            break;
        }
        EXPECT_EQ(Members(*c), expected) << "code " << kCodes[i].code;
    }
    EXPECT_EQ(info.FindStreamCase(0x43), info.CaseAt(17));

    struct {
        uint32_t caseIndex;
        uint16_t width;
        double max;
        uint32_t meaning, dispMode;
    } numbers[] = {{4, 1, 15, 6, 2},
                   {6, 1, 255, 0, 0},
                   {7, 1, 255, 0, 0},
                   {10, 2, 65535, 1, 2},
                   {13, 1, 255, 0, 0}};
    for (const auto& n : numbers) {
        auto* p = static_cast<YMTParamNumber*>(info.CaseAt(n.caseIndex)->GetAt(1));
        EXPECT_EQ(p->BytesInMsg(), n.width) << p->NameRef();
        EXPECT_FALSE(p->IsSigned());
        EXPECT_EQ(p->RangeMin(), 0.0);
        EXPECT_EQ(p->RangeMax(), n.max);
        EXPECT_EQ(p->ParamMeaning(), n.meaning) << p->NameRef();
        EXPECT_EQ(p->ParamDispMode(), n.dispMode) << p->NameRef();
    }
    auto* data = static_cast<YMTParamRawStream*>(info.CaseAt(6)->GetAt(2));
    EXPECT_EQ(data->Length(), 0u);
    EXPECT_TRUE(data->HasUnspecifiedLength());

    auto* segmentation = static_cast<YMTParamEnum*>(info.CaseAt(12)->GetAt(1));
    EXPECT_EQ(segmentation->EnumMax(), 8u);
    EXPECT_EQ(segmentation->BytesInMsg(), 1u);
    EXPECT_EQ(segmentation->GetCount(), 8u);
    EXPECT_EQ(segmentation->CodeText(1, false), "First segment missing");
    EXPECT_EQ(segmentation->CodeText(7, false),
              "Segmented messages has not been finished before the arrival of another message");
    EXPECT_EQ(segmentation->CodeText(8, false), "Reserved");
    EXPECT_EQ(segmentation->CodeText(9, false), "");
}

TEST_F(ErrorParamsTest, CatalogsCreateOnceAndHandOutIndependentCopies) {
    YMTCatalog catalog;
    YMTFunction function;
    function.SetName("Func");
    YMTParamEnum code;
    code.SetParent(&function);
    ASSERT_TRUE(UseDefaultErrorCode(catalog, code, m_Ctx, m_Log));
    YMTNode* builtIn = catalog.DefaultErrorCode;
    ASSERT_TRUE(builtIn);
    EXPECT_EQ(code.Parent(), &function); // the copy keeps its place
    EXPECT_EQ(code.GetCount(), 17u);
    YMTParamEnum second;
    ASSERT_TRUE(UseDefaultErrorCode(catalog, second, m_Ctx, m_Log));
    EXPECT_EQ(catalog.DefaultErrorCode, builtIn);
    // The values are copies owned by each enumeration.
    code.GetAt(0)->SetName("changed");
    code.RemoveRange(1, 1);
    EXPECT_EQ(second.GetAt(0)->NameRef(), "FBlockID not available");
    EXPECT_EQ(static_cast<YMTParamEnum*>(builtIn)->GetAt(0)->NameRef(), "FBlockID not available");
    EXPECT_TRUE(static_cast<YMTParamEnum*>(builtIn)->GetAt(1));
    EXPECT_EQ(second.GetAt(3)->Parent(), &second);

    YMTParamDetailedStream info;
    ASSERT_TRUE(UseDefaultErrorInfo(catalog, info, m_Ctx, m_Log));
    auto* infoBuiltIn = static_cast<YMTParamDetailedStream*>(catalog.DefaultErrorInfo);
    ASSERT_TRUE(infoBuiltIn);
    ASSERT_EQ(info.GetSize(), 18u);
    for (uint32_t i = 1; i <= 17; ++i) {
        EXPECT_NE(info.CaseAt(i), infoBuiltIn->CaseAt(i));
        EXPECT_EQ(info.CaseAt(i)->Parent(), &info);
        EXPECT_EQ(Members(*info.CaseAt(i)), Members(*infoBuiltIn->CaseAt(i)));
        if (YMTNode* m = info.CaseAt(i)->GetAt(1)) {
            EXPECT_NE(m, infoBuiltIn->CaseAt(i)->GetAt(1));
            EXPECT_EQ(m->Parent(), info.CaseAt(i));
        }
    }
    auto* sub = static_cast<YMTParamEnum*>(info.CaseAt(12)->GetAt(1));
    sub->RemoveAll();
    info.RemoveRange(4, 4);
    EXPECT_EQ(static_cast<YMTParamEnum*>(infoBuiltIn->CaseAt(12)->GetAt(1))->GetCount(), 8u);
    EXPECT_TRUE(infoBuiltIn->CaseAt(4));

    // A parameter of another class cannot take the copy; the built-in stays
    // usable.
    YMTParamNumber wrong;
    EXPECT_FALSE(UseDefaultErrorCode(catalog, wrong, m_Ctx, m_Log));
    EXPECT_FALSE(UseDefaultErrorInfo(catalog, wrong, m_Ctx, m_Log));
    EXPECT_EQ(catalog.ErrorCodeFailed, 0u);
    EXPECT_EQ(catalog.ErrorInfoFailed, 0u);
}

TEST_F(ErrorParamsTest, AFailedBuiltInStaysFailed) {
    YMTCatalog catalog;
    catalog.ErrorCodeFailed = 1;
    catalog.ErrorInfoFailed = 1;
    YMTParamEnum code;
    YMTParamDetailedStream info;
    EXPECT_FALSE(UseDefaultErrorCode(catalog, code, m_Ctx, m_Log));
    EXPECT_FALSE(UseDefaultErrorInfo(catalog, info, m_Ctx, m_Log));
    EXPECT_EQ(catalog.DefaultErrorCode, nullptr);
    EXPECT_EQ(catalog.DefaultErrorInfo, nullptr);
    EXPECT_EQ(code.GetCount(), 0u);
    EXPECT_EQ(info.GetSize(), 0u);
}

TEST_F(ErrorParamsTest, ErrorCodeSelectsTheCaseInAnErrorOperation) {
    YMTCatalog catalog;
    YMTFunction function;
    function.SetName("Volume");
    auto* op = new YMTOperation();
    op->SetName("Error");
    op->OpType = 15;
    op->SetParent(&function);
    function.SetAt(op, 15);
    auto* code = new YMTParamEnum();
    auto* info = new YMTParamDetailedStream();
    ASSERT_TRUE(UseDefaultErrorCode(catalog, *code, m_Ctx, m_Log));
    ASSERT_TRUE(UseDefaultErrorInfo(catalog, *info, m_Ctx, m_Log));
    code->SetParent(op);
    code->SetParamPos(1);
    op->SetAt(code, 1);
    info->SetParent(op);
    info->SetParamPos(2);
    op->SetAt(info, 2);

    test::LogCapture capture;
    EXPECT_TRUE(op->CheckAll(m_Ctx, capture.Log()));
    EXPECT_EQ(capture.Lines(), Lines{});
    EXPECT_EQ(info->SelectorParam(), code);
    EXPECT_TRUE(code->IsSelector());
    // The built-ins themselves are untouched.
    auto* infoBuiltIn = static_cast<YMTParamDetailedStream*>(catalog.DefaultErrorInfo);
    EXPECT_EQ(infoBuiltIn->SelectorParam(), nullptr);
    EXPECT_FALSE(static_cast<YMTParam*>(catalog.DefaultErrorCode)->IsSelector());

    YMTParamStreamCase* segmentation = info->FindStreamCase(0x0C);
    ASSERT_TRUE(segmentation);
    EXPECT_EQ(segmentation->SymID(), "ErrorInfo(12)");
    EXPECT_EQ(static_cast<YMTParam*>(segmentation->GetAt(1))->SymID(), "ErrorInfo(12).Code");
    YMTParamStreamCase* wrong = info->FindStreamCase(0x06);
    ASSERT_TRUE(wrong);
    EXPECT_EQ(static_cast<YMTParam*>(wrong->GetAt(2))->SymID(), "ErrorInfo(6).ParamData");
    EXPECT_EQ(info->FindStreamCase(0x21), nullptr);
    EXPECT_EQ(code->CodeText(0x21, true), "# Unknown code: 33 #");
}

// --- the switch in a whole catalog --------------------------------------------------------------

std::string ErrorCatalog() {
    const std::string number =
        R"(<TNumber><Exponent>0</Exponent><BasisDataType><TUByte TypeRef="type_unsigned_byte"/>)"
        R"(</BasisDataType><Unit UnitRef="unit_none"/><Step>1</Step></TNumber>)";
    auto param = [](const std::string& name, const std::string& type, int pos) {
        return "<PUParam><ParamName>" + name +
               "</ParamName><ParamDescription>d</ParamDescription>" + "<PUParamType>" + type +
               "</PUParamType><PUParamOPType><PReportError><ParamPos>" + std::to_string(pos) +
               "</ParamPos></PReportError></PUParamOPType></PUParam>";
    };
    return test::CatalogXml(
        "<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>"
        "<FBlockDescription>a</FBlockDescription>"
        "<Function><FunctionName>Volume</FunctionName><FunctionID>0x400</FunctionID>"
        "<FunctionDescription>v</FunctionDescription><FunctionClass><Property><PUnclassified>" +
        param("ErrorCode", number, 1) + param("errorinfo", "<TStream/>", 2) +
        "</PUnclassified></Property></FunctionClass></Function></FBlock>");
}

YMTOperation* ErrorOperation(const test::Imported& r) {
    if (!r.catalog) return nullptr;
    YMTFBlock* fblock = r.catalog->FBlockAt(0x22);
    YMTInstance* instance = fblock ? fblock->InstanceAt(0) : nullptr;
    auto* function = instance ? static_cast<YMTFunction*>(instance->GetAt(0x400)) : nullptr;
    return function ? function->OperationAt(15) : nullptr;
}

TEST_F(ErrorParamsTest, SwitchOnReplacesTheCatalogsTypes) {
    test::Imported r = Import(ErrorCatalog());
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_EQ(Messages(r.log), Lines{}) << r.log;
    YMTOperation* op = ErrorOperation(r);
    ASSERT_TRUE(op);
    ASSERT_TRUE(op->GetAt(1) && op->GetAt(2));
    ASSERT_EQ(op->GetAt(1)->NodeType(), uint32_t(kNodeEnum));
    ASSERT_EQ(op->GetAt(2)->NodeType(), uint32_t(kNodeDetailedStream));
    auto* code = static_cast<YMTParamEnum*>(op->GetAt(1));
    auto* info = static_cast<YMTParamDetailedStream*>(op->GetAt(2));
    EXPECT_EQ(code->NameRef(), "ErrorCode");
    EXPECT_EQ(code->GetCount(), 17u);
    EXPECT_EQ(info->NameRef(), "ErrorInfo");
    EXPECT_EQ(info->GetCount(), 17u);
    EXPECT_EQ(info->SelectorParam(), code);
    EXPECT_EQ(info->Parent(), op);
    EXPECT_NE(r.catalog->DefaultErrorCode, nullptr);
    EXPECT_NE(r.catalog->DefaultErrorInfo, nullptr);
    EXPECT_NE(static_cast<YMTNode*>(info), r.catalog->DefaultErrorInfo);
}

TEST_F(ErrorParamsTest, SwitchOffImportsTheCatalogsTypes) {
    UseProfile("[MOSTImport]\nUseDefaultErrorParameters=0\n");
    test::Imported r = Import(ErrorCatalog());
    ASSERT_EQ(r.status, 0u) << r.log;
    YMTOperation* op = ErrorOperation(r);
    ASSERT_TRUE(op);
    ASSERT_TRUE(op->GetAt(1) && op->GetAt(2));
    EXPECT_EQ(op->GetAt(1)->NodeType(), uint32_t(kNodeNumber));
    EXPECT_EQ(op->GetAt(2)->NodeType(), uint32_t(kNodeRawStream));
    EXPECT_EQ(op->GetAt(2)->NameRef(), "errorinfo");
    EXPECT_EQ(r.catalog->DefaultErrorCode, nullptr);
    EXPECT_EQ(r.catalog->DefaultErrorInfo, nullptr);
}

} // namespace
} // namespace mostfcat
