// The built-in error parameters: their contents, the copies catalogs hand
// out and their check in an error operation. (The switch between built-ins
// and a catalog's own types is exercised by the operation suite.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "param_test_util.h"
#include "params/error_params.h"
#include "params/param_number.h"
#include "params/param_stream.h"

namespace mostfcat {
namespace {

using test::Msgs;

const std::vector<std::pair<uint16_t, const char*>> kCodes = {
    {0x01, "FBlockID not available"},  {0x02, "InstID not available"},
    {0x03, "FktID not available"},     {0x04, "OpType not available"},
    {0x05, "Invalid length"},          {0x06, "Parameter wrong/out of range"},
    {0x07, "Parameter not available"}, {0x08, "Parameter missing"},
    {0x09, "Too many parameters"},     {0x0A, "Secondary node"},
    {0x0B, "Device malfunction"},      {0x0C, "Segmentation error"},
    {0x20, "Function specific"},       {0x40, "Busy"},
    {0x41, "Not available"},           {0x42, "Processing error"},
    {0x43, "Method aborted"}};

// "name:width:max:meaning:display" of the members of a case.
std::string Members(const YMTParamStreamCase& c) {
    std::string out;
    ForEachChild(c, [&](uint32_t pos, YMTNode* n) {
        auto* p = static_cast<YMTParam*>(n);
        out += StrFormat("%s%s@%u", out.empty() ? "" : " ", p->NameRef().c_str(), pos);
        if (auto* num = dynamic_cast<YMTParamNumber*>(p))
            out += StrFormat(":%u:%g:%u:%u", num->BytesInMsg(), num->RangeMax(),
                             num->ParamMeaning(), num->ParamDispMode());
        if (p->ParamPos() != pos || p->Parent() != &c) out += "!";
    });
    return out;
}

using ErrorParamsTest = test::ParamTest;

TEST_F(ErrorParamsTest, BuiltInContents) {
    YImportLog log;
    YMTParamEnum code;
    ASSERT_TRUE(BuildDefaultErrorCode(code, m_Ctx, log));
    EXPECT_EQ(code.NameRef(), "ErrorCode");
    EXPECT_EQ(code.EnumMax(), 67u);
    ASSERT_EQ(code.GetCount(), kCodes.size());
    for (uint32_t i = 0; i < kCodes.size(); ++i) {
        YMTEnumValue* v = code.ValueAt(i);
        EXPECT_EQ(v->NameRef(), kCodes[i].second);
        EXPECT_EQ(std::pair(v->CodeMin(), v->CodeMax()),
                  std::pair(kCodes[i].first, kCodes[i].first));
    }

    YMTParamDetailedStream info;
    ASSERT_TRUE(BuildDefaultErrorInfo(info, m_Ctx, log));
    EXPECT_EQ(info.NameRef(), "ErrorInfo");
    ASSERT_EQ(info.GetSize(), kCodes.size() + 1);
    for (uint32_t i = 0; i < kCodes.size(); ++i) {
        YMTParamStreamCase* c = info.CaseAt(i + 1);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->PosXString(), "ErrorCode");
        EXPECT_EQ(std::pair(c->PosYMin(), c->PosYMax()),
                  std::pair(uint32_t(kCodes[i].first), uint32_t(kCodes[i].first)));
    }
    EXPECT_EQ(Members(*info.CaseAt(4)), "OpType@1:1:15:6:2");
    EXPECT_EQ(Members(*info.CaseAt(6)), "ParamNo@1:1:255:0:0 ParamData@2");
    EXPECT_EQ(Members(*info.CaseAt(7)), Members(*info.CaseAt(6)));
    EXPECT_EQ(Members(*info.CaseAt(10)), "PrimaryAddress@1:2:65535:1:2");
    EXPECT_EQ(Members(*info.CaseAt(13)), "Code@1:1:255:0:0");
    EXPECT_EQ(Members(*info.CaseAt(1)), "");
    EXPECT_TRUE(static_cast<YMTParam*>(info.CaseAt(6)->GetAt(2))->HasUnspecifiedLength());
    auto* segmentation = dynamic_cast<YMTParamEnum*>(info.CaseAt(12)->GetAt(1));
    ASSERT_TRUE(segmentation);
    EXPECT_EQ(segmentation->EnumMax(), 8u);
    EXPECT_EQ(segmentation->CodeText(1, false), "First segment missing");
    EXPECT_EQ(segmentation->CodeText(7, false),
              "Segmented messages has not been finished before the arrival of another message");
    EXPECT_EQ(segmentation->CodeText(9, false), "");
}

TEST_F(ErrorParamsTest, CatalogsHandOutIndependentCopiesThatCheckInAnErrorOperation) {
    YImportLog log;
    YMTCatalog catalog;
    YMTOperation* op = AddOperation(m_Fn, "Error", 15);
    auto* code = new YMTParamEnum();
    code->SetParent(op);
    ASSERT_TRUE(UseDefaultErrorCode(catalog, *code, m_Ctx, log));
    EXPECT_EQ(code->Parent(), op); // the copy keeps its place
    Put(code, 1, op);
    auto* info = new YMTParamDetailedStream();
    ASSERT_TRUE(UseDefaultErrorInfo(catalog, *info, m_Ctx, log));
    Put(info, 2, op);
    auto* builtInCode = dynamic_cast<YMTParamEnum*>(catalog.DefaultErrorCode);
    auto* builtInInfo = dynamic_cast<YMTParamDetailedStream*>(catalog.DefaultErrorInfo);
    ASSERT_TRUE(builtInCode && builtInInfo);
    YMTParamEnum second;
    ASSERT_TRUE(UseDefaultErrorCode(catalog, second, m_Ctx, log));
    EXPECT_EQ(catalog.DefaultErrorCode, builtInCode); // made once

    // Values, cases and members are copies owned by each parameter.
    code->GetAt(0)->SetName("changed");
    EXPECT_EQ(second.GetAt(0)->NameRef(), "FBlockID not available");
    EXPECT_EQ(builtInCode->GetAt(0)->NameRef(), "FBlockID not available");
    for (uint32_t i = 1; i <= kCodes.size(); ++i) {
        EXPECT_NE(info->CaseAt(i), builtInInfo->CaseAt(i));
        EXPECT_EQ(info->CaseAt(i)->Parent(), info);
        EXPECT_EQ(Members(*info->CaseAt(i)), Members(*builtInInfo->CaseAt(i)));
    }
    EXPECT_NE(info->CaseAt(12)->GetAt(1), builtInInfo->CaseAt(12)->GetAt(1));

    EXPECT_EQ(CheckMsgs(*op), Msgs{});
    EXPECT_EQ(info->SelectorParam(), code);
    EXPECT_TRUE(code->IsSelector());
    EXPECT_EQ(builtInInfo->SelectorParam(), nullptr); // the built-ins are untouched
    EXPECT_FALSE(builtInCode->IsSelector());
    EXPECT_EQ(static_cast<YMTParam*>(info->FindStreamCase(0x0C)->GetAt(1))->SymID(),
              "ErrorInfo(12).Code");
    EXPECT_EQ(info->FindStreamCase(0x21), nullptr);

    // Another class cannot take the copy, and the built-in stays usable.
    YMTParamNumber wrong;
    EXPECT_FALSE(UseDefaultErrorCode(catalog, wrong, m_Ctx, log));
    EXPECT_FALSE(UseDefaultErrorInfo(catalog, wrong, m_Ctx, log));
    EXPECT_EQ(catalog.ErrorCodeFailed + catalog.ErrorInfoFailed, 0u);
    // A built-in that failed once stays failed.
    YMTCatalog failed;
    failed.ErrorCodeFailed = failed.ErrorInfoFailed = 1;
    EXPECT_FALSE(UseDefaultErrorCode(failed, second, m_Ctx, log));
    EXPECT_FALSE(UseDefaultErrorInfo(failed, *info, m_Ctx, log));
    EXPECT_EQ(failed.DefaultErrorCode, nullptr);
    EXPECT_EQ(failed.DefaultErrorInfo, nullptr);
}

} // namespace
} // namespace mostfcat
