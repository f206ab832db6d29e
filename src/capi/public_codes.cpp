// The codes of the public headers are copies of internal ones: hosts compile
// against the copies, the library works with the originals. Each copy is
// checked here, so that the two cannot drift apart unnoticed.
#include "decoding/disasm_context.h"
#include "manager/pool.h"
#include "mostfcat/fct.h"
#include "mostfcat/open_report.h"
#include "mostfcat/param_values.h"
#include "params/param.h"
#include "params/param_struct.h"
#include "tree/function.h"
#include "tree/node.h"

namespace mostfcat {
namespace {

// Item kinds.
static_assert(MOSTFCAT_ITEM_CATALOG == kItemCatalog);
static_assert(MOSTFCAT_ITEM_FBLOCK == kItemFBlock);
static_assert(MOSTFCAT_ITEM_INSTANCE == kItemInstance);
static_assert(MOSTFCAT_ITEM_FUNCTION == kItemFunction);
static_assert(MOSTFCAT_ITEM_OPERATION == kItemOperation);
static_assert(MOSTFCAT_ITEM_PARAM == kItemParam);
static_assert(MOSTFCAT_ITEM_ENUMVALUE == kItemEnumValue);
static_assert(MOSTFCAT_OK == kAttrOk && MOSTFCAT_NOT_FOUND == kAttrNotAvailable);

// Decode option bits.
static_assert(MOSTFCAT_DECODE_DIAG_LENGTH == kOptDiagLength);
static_assert(MOSTFCAT_DECODE_DIAG_STRING == kOptDiagString);
static_assert(MOSTFCAT_DECODE_DIAG_CASE == kOptDiagCase);
static_assert(MOSTFCAT_DECODE_DIAG_BYTES_LEFT == kOptDiagBytesLeft);
static_assert(MOSTFCAT_DECODE_DIAG_NO_INTERP == kOptDiagNoInterp);
static_assert(MOSTFCAT_DECODE_WHOLE_PAYLOAD == kOptWholePayload);
static_assert(MOSTFCAT_DECODE_NAMES == kOptNames);
static_assert(MOSTFCAT_DECODE_HEX_TEXT == kOptHexText);
static_assert(MOSTFCAT_DECODE_DECIMAL_TEXT == kOptDecimalText);
static_assert(MOSTFCAT_DECODE_VALUE_TEXT == kOptValueText);
static_assert(MOSTFCAT_DECODE_UNIT_TEXT == kOptUnitText);
static_assert(MOSTFCAT_DECODE_SUFFIXES == kOptSuffixes);
static_assert(MOSTFCAT_DECODE_HEADS == kOptHeads);
static_assert(MOSTFCAT_DECODE_WILDCARDS == kOptWildcards);
static_assert(MOSTFCAT_DECODE_NUMERIC == kOptNumeric);
static_assert(MOSTFCAT_DECODE_TEXT_LIMIT == kOptTextLimit);
static_assert(MOSTFCAT_DECODE_RAW_VALUE == kOptRawValue);

// Assemble status codes.
static_assert(MOSTFCAT_ASSEMBLE_OK == kAsmOk);
static_assert(MOSTFCAT_ASSEMBLE_NO_OPERATION == kAsmNoOperation);
static_assert(MOSTFCAT_ASSEMBLE_NOT_CONVERTIBLE == kAsmNotConvertible);
static_assert(MOSTFCAT_ASSEMBLE_WILDCARD_REFUSED == kAsmWildcardRefused);
static_assert(MOSTFCAT_ASSEMBLE_BAD_INPUT == kAsmBadInput);
static_assert(MOSTFCAT_ASSEMBLE_NO_CASE == kAsmNoCase);
static_assert(MOSTFCAT_ASSEMBLE_AMBIGUOUS_NAME == kAsmAmbiguousName);
static_assert(MOSTFCAT_ASSEMBLE_NOT_ASSEMBLABLE == kAsmNotAssemblable);
static_assert(MOSTFCAT_ASSEMBLE_TOO_MANY_INPUTS == kAsmTooManyInputs);

// Parameter kinds: the C macros and the enumeration of the object interface.
static_assert(MOSTFCAT_KIND_DIAGNOSTIC == eFciParamDiagnostic);
static_assert(MOSTFCAT_KIND_DETAILED_STREAM == eFciParamDetailedStream);
static_assert(MOSTFCAT_KIND_STREAM_CASE == eFciParamStreamCase);
static_assert(MOSTFCAT_KIND_ARRAY == eFciParamArray);
static_assert(MOSTFCAT_KIND_RECORD == eFciParamRecord);
static_assert(MOSTFCAT_KIND_BOOL == eFciParamBool);
static_assert(MOSTFCAT_KIND_BOOLFIELD == eFciParamBoolfield);
static_assert(MOSTFCAT_KIND_NUMBER == eFciParamNumber);
static_assert(MOSTFCAT_KIND_ENUM == eFciParamEnum);
static_assert(MOSTFCAT_KIND_STRING == eFciParamString);
static_assert(MOSTFCAT_KIND_BITFIELD == eFciParamBitfield);
static_assert(MOSTFCAT_KIND_VOID == eFciParamVoid);
static_assert(MOSTFCAT_KIND_FKTID_LIST == eFciParamFktIDBitStream);
static_assert(MOSTFCAT_KIND_RAW_STREAM == eFciParamRawStream);
static_assert(MOSTFCAT_KIND_REMAIN == eFciParamRemain);
static_assert(MOSTFCAT_KIND_CSTREAM == eFciParamCStream);
static_assert(MOSTFCAT_KIND_RAW_SHORT_STREAM == eFciParamRawShortStream);
static_assert(MOSTFCAT_KIND_SIGNAL == eFciParamSignal);
static_assert(MOSTFCAT_KIND_DETAILED_SHORT_STREAM == eFciParamDetailedShortStream);

// Meanings and display modes: the parameter definitions' codes.
static_assert(MOSTFCAT_MEANING_NONE == kMeaningNone && uint32_t(eFciMeaningNone) == kMeaningNone);
static_assert(MOSTFCAT_MEANING_NODE_ADDRESS == kMeaningNodeAddress);
static_assert(MOSTFCAT_MEANING_FBLOCK_ID == kMeaningFBlockID);
static_assert(MOSTFCAT_MEANING_NOTIFY_FKTID == kMeaningNotifyFktID);
static_assert(MOSTFCAT_MEANING_OPTYPE == kMeaningOpType);
static_assert(MOSTFCAT_MEANING_ARRAY_POS == kMeaningArrayPos);
static_assert(MOSTFCAT_MEANING_ARRAY_TAG == kMeaningArrayTag);
static_assert(MOSTFCAT_MEANING_ARRAY_POS_Y == kMeaningArrayPosY);
static_assert(MOSTFCAT_MEANING_LENGTH == kMeaningLength);
static_assert(MOSTFCAT_MEANING_LIST_SIZE == kMeaningListSize);
static_assert(MOSTFCAT_MEANING_FKTID_LIST == kMeaningFktIDBitStream);
static_assert(MOSTFCAT_DISP_DECIMAL == kDispDecimal && uint32_t(eFciDispDecimal) == kDispDecimal);
static_assert(MOSTFCAT_DISP_LENGTH == kDispLength && uint32_t(eFciDispLength) == kDispLength);
static_assert(MOSTFCAT_DISP_HEX == kDispHex && uint32_t(eFciDispHex) == kDispHex);

// Functions, bit positions, open arrays.
static_assert(MOSTFCAT_FUNCTION_UNKNOWN == kFunctionUnknown);
static_assert(MOSTFCAT_FUNCTION_PROPERTY == kFunctionProperty);
static_assert(MOSTFCAT_FUNCTION_METHOD == kFunctionMethod);
static_assert(MOSTFCAT_FUNCTION_FLAG_ERRORS == kFunctionErrors);
static_assert(MOSTFCAT_NO_BIT == kNoBitPos && MOSTFCAT_NO_BIT == kNoBitWidth);
static_assert(MOSTFCAT_OPEN_ARRAY == kOpenArray);

// Where an open found its catalog.
static_assert(YFciOpenReport::eNone == uint32_t(YFCatPool::Source::None));
static_assert(YFciOpenReport::eInMemory == uint32_t(YFCatPool::Source::InMemory));
static_assert(YFciOpenReport::eReleased == uint32_t(YFCatPool::Source::Released));
static_assert(YFciOpenReport::eCacheFile == uint32_t(YFCatPool::Source::CacheFile));
static_assert(YFciOpenReport::eXmlImport == uint32_t(YFCatPool::Source::XmlImport));

} // namespace
} // namespace mostfcat
