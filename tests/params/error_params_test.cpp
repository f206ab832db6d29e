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

// A value per code, and a case per code with the members of a few.
TEST_F(ErrorParamsTest, BuiltInContents) {
    YImportLog log;
    YMTParamEnum code;
    ASSERT_TRUE(BuildDefaultErrorCode(code, m_Ctx, log));
    EXPECT_EQ(code.NameRef(), "ErrorCode");
    EXPECT_EQ(std::pair(code.GetCount(), uint32_t(code.EnumMax())), std::pair(17u, 67u));
    EXPECT_EQ(code.CodeText(0x01, false), "FBlockID not available");
    EXPECT_EQ(code.CodeText(0x43, false), "Method aborted");

    YMTParamDetailedStream info;
    ASSERT_TRUE(BuildDefaultErrorInfo(info, m_Ctx, log));
    EXPECT_EQ(info.NameRef(), "ErrorInfo");
    ASSERT_EQ(info.GetSize(), 18u);
    YMTParamStreamCase* last = info.CaseAt(17);
    EXPECT_EQ(std::tuple(last->PosXString(), last->PosYMin(), last->PosYMax()),
              std::tuple("ErrorCode", 0x43u, 0x43u));
    EXPECT_EQ(Members(*info.CaseAt(4)), "OpType@1:1:15:6:2");
    EXPECT_EQ(Members(*info.CaseAt(6)), "ParamNo@1:1:255:0:0 ParamData@2");
    EXPECT_EQ(Members(*info.CaseAt(10)), "PrimaryAddress@1:2:65535:1:2");
    EXPECT_TRUE(static_cast<YMTParam*>(info.CaseAt(6)->GetAt(2))->HasUnspecifiedLength());
    auto* segmentation = dynamic_cast<YMTParamEnum*>(info.CaseAt(12)->GetAt(1));
    ASSERT_TRUE(segmentation);
    EXPECT_EQ(segmentation->EnumMax(), 8u);
    EXPECT_EQ(segmentation->CodeText(1, false), "First segment missing");
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
    EXPECT_EQ(second.GetAt(0)->NameRef(), builtInCode->GetAt(0)->NameRef());
    for (uint32_t i = 1; i <= builtInCode->GetCount(); ++i) {
        EXPECT_NE(info->CaseAt(i), builtInInfo->CaseAt(i));
        EXPECT_EQ(info->CaseAt(i)->Parent(), info);
        EXPECT_EQ(Members(*info->CaseAt(i)), Members(*builtInInfo->CaseAt(i)));
    }
    EXPECT_NE(info->CaseAt(12)->GetAt(1), builtInInfo->CaseAt(12)->GetAt(1));

    EXPECT_EQ(CheckMsgs(*op), Msgs{});
    EXPECT_EQ(info->SelectorParam(), code);
    EXPECT_TRUE(code->IsSelector());
    EXPECT_TRUE(!builtInInfo->SelectorParam() && !builtInCode->IsSelector()); // untouched
    EXPECT_EQ(static_cast<YMTParam*>(info->CaseAt(12)->GetAt(1))->SymID(), "ErrorInfo(12).Code");

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
    EXPECT_TRUE(!failed.DefaultErrorCode && !failed.DefaultErrorInfo);
}

} // namespace
} // namespace mostfcat
