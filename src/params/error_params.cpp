#include "params/error_params.h"

#include <memory>
#include <new>

#include "params/param_number.h"
#include "params/param_stream.h"
#include "tree/catalog.h"

namespace mostfcat {

namespace {

// The error codes of the MOST standard, in the order of the error-information
// cases; code 32 (function specific) carries its text separately.
constexpr uint16_t kErrorCodes[17] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 32, 64, 65, 66, 67};
constexpr char kErrorTexts[16][30] = {
    "FBlockID not available",
    "InstID not available",
    "FktID not available",
    "OpType not available",
    "Invalid length",
    "Parameter wrong/out of range",
    "Parameter not available",
    "Parameter missing",
    "Too many parameters",
    "Secondary node",
    "Device malfunction",
    "Segmentation error",
    "Busy",
    "Not available",
    "Processing error",
    "Method aborted",
};
constexpr const char* kFunctionSpecific = "Function specific";

const char* ErrorText(uint16_t code) {
    if (code == 32) return kFunctionSpecific;
    if (code >= 1 && code <= 12) return kErrorTexts[code - 1];
    return kErrorTexts[12 + (code - 64)];
}

// Sub-codes of the segmentation error (code 12).
constexpr const char* kSegmentationTexts[8] = {
    "First segment missing",
    "Target device does not provide enough buffers",
    "Unexpected segment number",
    "Too many unfinished segmentation messages pending",
    "Timeout while waiting for next segment",
    "Device not capable to handle segmented messages",
    "Segmented messages has not been finished before the arrival of another message",
    "Reserved",
};

std::unique_ptr<YMTParamNumber> MakeNumber(YMTNode* parent, const char* name, uint16_t width,
                                           double max, uint8_t meaning, uint8_t dispMode) {
    auto n = std::make_unique<YMTParamNumber>();
    n->SetName(name);
    n->SetParent(parent);
    n->SetParamPos(1);
    n->SetBytesInMsg(width);
    n->SetSigned(false);
    n->SetRange(0, max);
    n->SetParamMeaning(meaning);
    n->SetParamDispMode(dispMode);
    return n;
}

// The members of the case for one error code.
void AddCaseMembers(YMTParamStreamCase& c, uint16_t code) {
    switch (code) {
    case 4:
        c.SetAt(MakeNumber(&c, "OpType", 1, 15, kMeaningOpType, kDispHex).release(), 1);
        break;
    case 6:
    case 7: {
        c.SetAt(MakeNumber(&c, "ParamNo", 1, 255, kMeaningNone, kDispDecimal).release(), 1);
        auto data = std::make_unique<YMTParamRawStream>();
        data->SetName("ParamData");
        data->SetParent(&c);
        data->SetParamPos(2);
        data->SetLength(0);
        c.SetAt(data.release(), 2);
        break;
    }
    case 10:
        c.SetAt(MakeNumber(&c, "PrimaryAddress", 2, 65535, kMeaningNodeAddress, kDispHex).release(),
                1);
        break;
    case 12: {
        auto sub = std::make_unique<YMTParamEnum>();
        sub->SetName("Code");
        sub->SetParent(&c);
        sub->SetParamPos(1);
        sub->SetEnumMax(8);
        for (uint16_t i = 0; i < 8; ++i)
            sub->AddValue(kSegmentationTexts[i], static_cast<uint16_t>(i + 1),
                          static_cast<uint16_t>(i + 1));
        c.SetAt(sub.release(), 1);
        break;
    }
    case 32:
        c.SetAt(MakeNumber(&c, "Code", 1, 255, kMeaningNone, kDispDecimal).release(), 1);
        break;
    default:
        break; // no further information
    }
}

} // namespace

bool BuildDefaultErrorCode(YMTParamEnum& target, YImportContext&, YImportLog&) {
    target.RemoveAll();
    target.SetName("ErrorCode");
    target.SetEnumMax(67);
    for (uint16_t code : kErrorCodes)
        target.AddValue(ErrorText(code), code, code);
    return true;
}

bool BuildDefaultErrorInfo(YMTParamDetailedStream& target, YImportContext&, YImportLog&) {
    target.RemoveAll();
    target.SetName("ErrorInfo");
    target.SetLength(0);
    target.SetBytesInMsg(0);
    target.Reserve(18);
    for (uint32_t i = 0; i < 17; ++i) {
        uint16_t code = kErrorCodes[i];
        auto c = std::make_unique<YMTParamStreamCase>();
        c->SetName("StreamCase");
        c->SetParent(&target);
        c->SetParamPos(static_cast<uint16_t>(i + 1));
        c->SetPosXString("ErrorCode");
        c->SetPosY(code, code);
        AddCaseMembers(*c, code);
        target.SetAt(c.release(), i + 1);
    }
    return true;
}

namespace {

// Creates the catalog's built-in on first use (remembering a failure) and
// copies it into param.
template <class T, class Build>
bool UseDefault(YMTNode*& slot, uint8_t& failed, YMTParam& param, YImportContext& ctx,
                YImportLog& log, Build build) {
    if (failed) return false;
    if (!slot) {
        try {
            auto builtIn = std::make_unique<T>();
            if (!build(*builtIn, ctx, log)) {
                failed = 1;
                return false;
            }
            slot = builtIn.release();
        } catch (const std::bad_alloc&) {
            failed = 1;
            return false;
        }
    }
    // The built-in has no parent; the parameter keeps the one it was given.
    YMTNode* parent = param.Parent();
    bool ok = param.CopyFrom(slot);
    param.SetParent(parent);
    return ok;
}

} // namespace

bool UseDefaultErrorCode(YMTCatalog& catalog, YMTParam& param, YImportContext& ctx,
                         YImportLog& log) {
    return UseDefault<YMTParamEnum>(catalog.DefaultErrorCode, catalog.ErrorCodeFailed, param, ctx,
                                    log, BuildDefaultErrorCode);
}

bool UseDefaultErrorInfo(YMTCatalog& catalog, YMTParam& param, YImportContext& ctx,
                         YImportLog& log) {
    return UseDefault<YMTParamDetailedStream>(catalog.DefaultErrorInfo, catalog.ErrorInfoFailed,
                                              param, ctx, log, BuildDefaultErrorInfo);
}

} // namespace mostfcat
