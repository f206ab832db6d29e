// Empty nodes of every class the cache can hold, created by the reader from
// the type code of a node header.
#include "cache/archive_io.h"
#include "params/param_bool.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {

YMTNode* CreateArchiveNode(uint32_t nodeType) {
    switch (nodeType) {
    case kNodeCatalog:
        return new YMTCatalog();
    case kNodeFBlock:
        return new YMTFBlock();
    case kNodeFunction:
        return new YMTFunction();
    case kNodeOperation:
        return new YMTOperation();
    case kNodeDetailedStream:
        return new YMTParamDetailedStream();
    case kNodeStreamCase:
        return new YMTParamStreamCase();
    case kNodeArray:
        return new YMTParamArray();
    case kNodeRecord:
        return new YMTParamRecord();
    case kNodeBool:
        return new YMTParamBool();
    case kNodeBoolField:
        return new YMTParamBoolField();
    case kNodeNumber:
        return new YMTParamNumber();
    case kNodeEnum:
        return new YMTParamEnum();
    case kNodeEnumValue:
        return new YMTEnumValue();
    case kNodeString:
        return new YMTParamString();
    case kNodeBitField:
        return new YMTParamBitField();
    case kNodeVoid:
        return new YMTParamVoid();
    case kNodeDetailedShortStream:
        return new YMTParamDetailedShortStream();
    case kNodeFktIDBitStream:
        return new YMTParamFktIDBitStream();
    case kNodeRawStream:
        return new YMTParamRawStream();
    case kNodeCStream:
        return new YMTParamCStream();
    case kNodeRawShortStream:
        return new YMTParamRawShortStream();
    case kNodeSignal:
        return new YMTParamSignal();
    case kNodeInstance:
        return new YMTInstance();
    default:
        return nullptr;
    }
}

} // namespace mostfcat
