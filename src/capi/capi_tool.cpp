// Exported helpers for hosts that show a catalog in full (the command-line
// tool is one): the attributes the node queries do not answer, the names of
// the code tables, the settings folder and cache switch, the tree dump and
// the report of the last open. Every function is an exception barrier.
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "capi/api_lock.h"
#include "import/import_context.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "manager/pool.h"
#include "mostfcat/fct.h"
#include "mostfcat/open_report.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/xml_import.h"

using namespace mostfcat;

namespace {

// The parameter kind of a parameter node (0 for any other node). The kinds
// and the node types name the same classes under other numbers.
uint32_t KindOf(const YMTNode& n) {
    switch (n.NodeType()) {
    case kNodeDetailedStream:
        return MOSTFCAT_KIND_DETAILED_STREAM;
    case kNodeStreamCase:
        return MOSTFCAT_KIND_STREAM_CASE;
    case kNodeArray:
        return MOSTFCAT_KIND_ARRAY;
    case kNodeRecord:
        return MOSTFCAT_KIND_RECORD;
    case kNodeBool:
        return MOSTFCAT_KIND_BOOL;
    case kNodeBoolField:
        return MOSTFCAT_KIND_BOOLFIELD;
    case kNodeNumber:
        return MOSTFCAT_KIND_NUMBER;
    case kNodeEnum:
        return MOSTFCAT_KIND_ENUM;
    case kNodeString:
        return MOSTFCAT_KIND_STRING;
    case kNodeBitField:
        return MOSTFCAT_KIND_BITFIELD;
    case kNodeVoid:
        return MOSTFCAT_KIND_VOID;
    case kNodeDetailedShortStream:
        return MOSTFCAT_KIND_DETAILED_SHORT_STREAM;
    case kNodeFktIDBitStream:
        return MOSTFCAT_KIND_FKTID_LIST;
    case kNodeRawStream:
        return MOSTFCAT_KIND_RAW_STREAM;
    case kNodeCStream:
        return MOSTFCAT_KIND_CSTREAM;
    case kNodeRawShortStream:
        return MOSTFCAT_KIND_RAW_SHORT_STREAM;
    case kNodeSignal:
        return MOSTFCAT_KIND_SIGNAL;
    default:
        return 0;
    }
}

const YMTParam* ParamOf(const YMTNode* n) {
    return KindOf(*n) != 0 ? static_cast<const YMTParam*>(n) : nullptr;
}

const YMTParamDetailedStreamBase* DetailedStreamOf(const YMTNode* n) {
    uint32_t t = n->NodeType();
    return t == kNodeDetailedStream || t == kNodeDetailedShortStream
               ? static_cast<const YMTParamDetailedStreamBase*>(n)
               : nullptr;
}

uint32_t ExInt(YMTNode* n, uint32_t attribute, uint32_t* value) {
    const YMTParam* p = ParamOf(n);
    switch (attribute) {
    case MOSTFCAT_ATTR_PARAM_KIND:
        if (!p) return MOSTFCAT_NOT_FOUND;
        *value = KindOf(*n);
        return MOSTFCAT_OK;
    case MOSTFCAT_ATTR_PARAM_POSITION:
        if (!p) return MOSTFCAT_NOT_FOUND;
        *value = p->ParamPos();
        return MOSTFCAT_OK;
    case MOSTFCAT_ATTR_PARAM_REPEAT:
        if (!p) return MOSTFCAT_NOT_FOUND;
        *value = p->SeqIndex();
        return MOSTFCAT_OK;
    case MOSTFCAT_ATTR_BYTES_IN_MESSAGE:
        *value = n->BytesInMsg();
        return MOSTFCAT_OK;
    case MOSTFCAT_ATTR_MESSAGE_BIT_POS:
        if (!p) return MOSTFCAT_NOT_FOUND;
        *value = p->MsgBitPos();
        return MOSTFCAT_OK;
    case MOSTFCAT_ATTR_MESSAGE_BIT_WIDTH:
        if (!p) return MOSTFCAT_NOT_FOUND;
        *value = p->BitWidth();
        return MOSTFCAT_OK;
    case MOSTFCAT_ATTR_DISP_MODE:
        if (!p) return MOSTFCAT_NOT_FOUND;
        *value = p->ParamDispMode();
        return MOSTFCAT_OK;
    case MOSTFCAT_ATTR_STREAM_LENGTH:
        if (const YMTParamDetailedStreamBase* s = DetailedStreamOf(n)) {
            *value = s->Length();
            return MOSTFCAT_OK;
        }
        return MOSTFCAT_NOT_FOUND;
    case MOSTFCAT_ATTR_RECORD_FIELDS:
        if (n->NodeType() != kNodeRecord) return MOSTFCAT_NOT_FOUND;
        *value = static_cast<const YMTParamRecord*>(n)->NElements();
        return MOSTFCAT_OK;
    default:
        return n->GetAttrInt(attribute, value);
    }
}

uint32_t ExFloat(YMTNode* n, uint32_t attribute, double* value) {
    if (attribute == MOSTFCAT_ATTR_NUMBER_STEP) {
        if (n->NodeType() != kNodeNumber) return MOSTFCAT_NOT_FOUND;
        *value = static_cast<const YMTParamNumber*>(n)->Step();
        return MOSTFCAT_OK;
    }
    return n->GetAttrFloat(attribute, value);
}

uint32_t ExStr(YMTNode* n, uint32_t attribute, const char** value) {
    switch (attribute) {
    case MOSTFCAT_ATTR_CASE_SELECTOR_NAME:
        if (n->NodeType() != kNodeStreamCase) return MOSTFCAT_NOT_FOUND;
        *value = static_cast<const YMTParamStreamCase*>(n)->PosXString().c_str();
        return MOSTFCAT_OK;
    case MOSTFCAT_ATTR_ANY_DESCRIPTION:
        *value = n->Description().c_str();
        return MOSTFCAT_OK;
    case MOSTFCAT_ATTR_DEVICE_DESCRIPTION:
        if (n->NodeType() != kNodeInstance) return MOSTFCAT_NOT_FOUND;
        *value = static_cast<const YMTInstance*>(n)->DeviceDescription.c_str();
        return MOSTFCAT_OK;
    default:
        return n->GetAttrStr(attribute, value);
    }
}

uint32_t ExNode(YMTNode* n, uint32_t attribute, uint64_t* value) {
    const YMTNode* out = nullptr;
    switch (attribute) {
    case MOSTFCAT_ATTR_SELECTOR:
        if (const YMTParamDetailedStreamBase* s = DetailedStreamOf(n))
            out = s->SelectorParam();
        else if (n->NodeType() == kNodeArray)
            out = static_cast<const YMTParamArray*>(n)->SelectorParam();
        else if (n->NodeType() == kNodeRecord)
            out = static_cast<const YMTParamRecord*>(n)->SelectorParam();
        else
            return MOSTFCAT_NOT_FOUND;
        break;
    case MOSTFCAT_ATTR_LIST_SIZE:
        if (const YMTParamDetailedStreamBase* s = DetailedStreamOf(n))
            out = s->ListSizeParam();
        else
            return MOSTFCAT_NOT_FOUND;
        break;
    default: {
        YMTNode* got = nullptr;
        uint32_t r = n->GetAttrNode(attribute, &got);
        if (r == kAttrOk) *value = reinterpret_cast<uint64_t>(got);
        return r;
    }
    }
    *value = reinterpret_cast<uint64_t>(out);
    return MOSTFCAT_OK;
}

std::string Count(uint32_t n, const char* one, const char* many) {
    return StrFormat("%u %s", n, n == 1 ? one : many);
}

// What an import with errors dropped or repaired, from the numbers of the
// messages it logged and the functions the catalog kept with errors.
std::string ImportDamage(const YImportReport& report, const YMTCatalog* catalog) {
    auto errors = [&](std::initializer_list<uint32_t> numbers) {
        uint32_t n = 0;
        for (uint32_t number : numbers) {
            auto it = report.errorNumbers.find(number);
            if (it != report.errorNumbers.end()) n += it->second;
        }
        return n;
    };
    // The messages that report an element left out of the tree.
    std::vector<std::string> dropped;
    auto drop = [&](uint32_t n, const char* one, const char* many) {
        if (n) dropped.push_back(Count(n, one, many));
    };
    drop(errors({149}), "FBlock", "FBlocks");
    drop(errors({169, 218, 219}), "instance", "instances");
    drop(errors({145}), "function", "functions");
    drop(errors({129, 130}), "parameter", "parameters");
    drop(errors({81}), "enumeration value", "enumeration values");
    drop(errors({148}), "error-parameter template", "error-parameter templates");

    std::vector<std::string> parts;
    if (!dropped.empty()) {
        std::string text = "dropped ";
        for (size_t i = 0; i < dropped.size(); ++i)
            text += (i ? ", " : "") + dropped[i];
        parts.push_back(text);
    }
    if (uint32_t n = errors({122}))
        parts.push_back("parameters removed from " + Count(n, "operation", "operations"));
    auto emptied = report.warningNumbers.find(138);
    if (emptied != report.warningNumbers.end())
        parts.push_back("parameters removed from every operation of " +
                        Count(emptied->second, "function", "functions"));

    // Functions kept although their import logged errors (instances of one
    // FBlock element share them: each counts once).
    if (catalog) {
        std::set<const YMTFunction*> repaired;
        ForEachChild(*catalog, [&](uint32_t, YMTNode* fb) {
            if (fb->NodeType() != kNodeFBlock) return;
            ForEachChild(*static_cast<YMTFBlock*>(fb), [&](uint32_t, YMTNode* inst) {
                if (inst->NodeType() != kNodeInstance) return;
                ForEachChild(*static_cast<YMTInstance*>(inst), [&](uint32_t, YMTNode* f) {
                    if (f->NodeType() == kNodeFunction &&
                        (static_cast<YMTFunction*>(f)->Flags & kFunctionErrors))
                        repaired.insert(static_cast<YMTFunction*>(f));
                });
            });
        });
        if (!repaired.empty())
            parts.push_back(Count(static_cast<uint32_t>(repaired.size()), "function", "functions") +
                            " kept with repairs");
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i ? "; " : "") + parts[i];
    return out;
}

YImportState& ProfiledState() {
    YImportState& state = YImportState::Instance();
    if (!state.profileLoaded) state.ReadProfile();
    return state;
}

} // namespace

extern "C" {

MOSTFCAT_API uint32_t gFctGetAttrIntEx(uint64_t node, uint32_t attribute, uint32_t* value) {
    if (node == 0) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&] { return ExInt(NodeOf(node), attribute, value); });
}

MOSTFCAT_API uint32_t gFctGetAttrFloatEx(uint64_t node, uint32_t attribute, double* value) {
    if (node == 0) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&] { return ExFloat(NodeOf(node), attribute, value); });
}

MOSTFCAT_API uint32_t gFctGetAttrStrEx(uint64_t node, uint32_t attribute, const char** value) {
    if (node == 0) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&] { return ExStr(NodeOf(node), attribute, value); });
}

MOSTFCAT_API uint32_t gFctGetAttrNodeEx(uint64_t node, uint32_t attribute, uint64_t* value) {
    if (node == 0) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&] { return ExNode(NodeOf(node), attribute, value); });
}

MOSTFCAT_API const char* gFctParamKindName(uint32_t kind) {
    static const char* const kNames[] = {
        "unknown",
        "diagnostic",
        "stream",
        "stream_case",
        "array",
        "record",
        "bool",
        "bool_field",
        "number",
        "enum",
        "string",
        "bit_field",
        "void",
        "function_id_list",
        "raw_stream",
        "remain",
        "classified_stream",
        "short_stream",
        "signal",
        "detailed_short_stream",
    };
    return kind < sizeof kNames / sizeof kNames[0] ? kNames[kind] : "unknown";
}

MOSTFCAT_API const char* gFctParamMeaningName(uint32_t meaning) {
    switch (meaning) {
    case MOSTFCAT_MEANING_NONE:
        return "none";
    case MOSTFCAT_MEANING_NODE_ADDRESS:
        return "node address";
    case MOSTFCAT_MEANING_FBLOCK_ID:
        return "FBlock ID";
    case MOSTFCAT_MEANING_NOTIFY_FKTID:
        return "function ID of a notification";
    case MOSTFCAT_MEANING_OPTYPE:
        return "OpType";
    case MOSTFCAT_MEANING_ARRAY_POS:
        return "array position";
    case MOSTFCAT_MEANING_ARRAY_TAG:
        return "array tag";
    case MOSTFCAT_MEANING_ARRAY_POS_Y:
        return "array position Y";
    case MOSTFCAT_MEANING_LENGTH:
        return "length";
    case MOSTFCAT_MEANING_LIST_SIZE:
        return "list size";
    case MOSTFCAT_MEANING_FKTID_LIST:
        return "function-identifier list";
    default:
        return "unknown";
    }
}

MOSTFCAT_API const char* gFctDispModeName(uint32_t mode) {
    switch (mode) {
    case MOSTFCAT_DISP_DECIMAL:
        return "decimal";
    case MOSTFCAT_DISP_LENGTH:
        return "length";
    case MOSTFCAT_DISP_HEX:
        return "hex";
    default:
        return "unknown";
    }
}

MOSTFCAT_API const char* gFctFunctionClassName(uint32_t code) {
    switch (code) {
    case 0:
        return "unclassified method";
    case 1:
        return "trigger";
    case 2:
        return "sequence method";
    case 16:
        return "unclassified property";
    case 17:
        return "switch";
    case 18:
        return "number";
    case 19:
        return "text";
    case 20:
        return "enumeration";
    case 21:
        return "array";
    case 22:
        return "record";
    case 23:
        return "dynamic array";
    case 24:
        return "long array";
    case 25:
        return "bool field";
    case 26:
        return "bit set";
    case 27:
        return "container";
    case 28:
        return "sequence property";
    case 29:
        return "map";
    case 255:
        return "not read";
    default:
        return "unknown";
    }
}

MOSTFCAT_API const char* gFctFunctionClassSubName(uint32_t functionClass, uint32_t sub) {
    static const char* const kWidths[] = {"8 bits", "16 bits", "32 bits"};
    static const char* const kNumbers[] = {"unsigned byte", "unsigned word", "unsigned long",
                                           "signed byte",   "signed word",   "signed long"};
    static const char* const kElements[] = {
        "elements of unsigned byte size", "elements of unsigned word size",
        "elements of unsigned long size", "elements of signed byte size",
        "elements of signed word size",   "elements of signed long size"};
    switch (functionClass) {
    case 17:
    case 20:
    case 25:
    case 26: // switch, enumeration, bool field, bit set: the width of the value
        if (sub <= 2) return kWidths[sub];
        if (sub == 13) return "64 bits";
        break;
    case 18: // number: its basis type
        if (sub <= 5) return kNumbers[sub];
        break;
    case 21:
    case 23:
    case 24: // arrays: the kind of element
        if (sub <= 5) return kElements[sub];
        switch (sub) {
        case 7:
            return "strings";
        case 9:
            return "classified streams";
        case 10:
            return "short streams";
        case 11:
            return "arrays";
        case 12:
            return "records";
        case 13:
            return "64-bit elements";
        default:
            break;
        }
        break;
    default:
        break;
    }
    return sub == 255 ? "" : "unknown";
}

MOSTFCAT_API uint32_t gFctSetSettingsFolder(const char* folder) {
    if (!folder) return MOSTFCAT_INVALID;
    return Guarded([&] {
        std::lock_guard<std::recursive_mutex> lock(ApiMutex());
        YImportState::Instance().SetSettingsFolder(folder);
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API uint32_t gFctSetCacheUse(uint32_t on) {
    return Guarded([&] {
        std::lock_guard<std::recursive_mutex> lock(ApiMutex());
        YImportState& state = ProfiledState();
        state.importOptim = on != 0;
        if (!on) {
            // Catalogs no manager uses go, with the ones kept for reuse.
            uint32_t keep = state.fcatCacheSize;
            state.fcatCacheSize = 0;
            YFCatPool::Instance().Purge();
            state.fcatCacheSize = keep;
        }
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API uint32_t gFctGetCacheUse(uint32_t* on) {
    if (!on) return MOSTFCAT_INVALID;
    return Guarded([&] {
        std::lock_guard<std::recursive_mutex> lock(ApiMutex());
        *on = YImportState::Instance().importOptim ? 1 : 0;
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API uint32_t gFctDumpCatalog(uint64_t catalog, const char* file) {
    if (catalog == 0) return MOSTFCAT_NOT_FOUND;
    return Guarded([&]() -> uint32_t {
        std::lock_guard<std::recursive_mutex> lock(ApiMutex());
        YMTNode* n = NodeOf(catalog);
        if (n->NodeType() != kNodeCatalog) return MOSTFCAT_NOT_FOUND;
        YImportLog log;
        if (!file || !*file) {
            log.AttachDumpStream(stdout);
        } else if (!log.OpenDumpFile(file)) {
            int why = errno;
            errno = why;
            return MOSTFCAT_FILE_MISSING;
        }
        YImportContext ctx;
        n->Dump(ctx, log);
        std::fflush(stdout);
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API const char* gFctImporterVersion(void) {
    return kImporterVersion;
}

MOSTFCAT_API uint32_t gFciGetLastOpenReport(uint64_t catalog, YFciOpenReport* report) {
    if (!report) return MOSTFCAT_INVALID;
    return Guarded([&]() -> uint32_t {
        std::lock_guard<std::recursive_mutex> lock(ApiMutex());
        const YFCatPool& pool = YFCatPool::Instance();
        const YImportReport& r = pool.LastImport();
        const YCacheWriteFailure& f = pool.LastCacheFailure();
        const YMTNode* n = catalog ? NodeOf(catalog) : nullptr;
        const YMTCatalog* c =
            n && n->NodeType() == kNodeCatalog ? static_cast<const YMTCatalog*>(n) : nullptr;
        YFciOpenReport out;
        out.source = static_cast<uint32_t>(pool.LastSource());
        if (c) {
            out.xmlPath = FullPath(c->FilePath);
            YPathParts p = SplitPath(out.xmlPath);
            out.cachePath = MakePath(p.drive, p.directory, p.name, ".vfc");
        }
        out.cacheInUse = YImportState::Instance().importOptim;
        out.importRan = r.ran;
        out.logPath = r.logPath;
        out.logWritten = r.logWritten;
        out.logProblem = r.logProblem;
        out.summaryWritten = r.summaryWritten;
        out.fatalCount = r.fatalCount;
        out.errorCount = r.errorCount;
        out.warningCount = r.warningCount;
        out.loggedErrorCount = r.loggedErrorCount;
        out.loggedWarningCount = r.loggedWarningCount;
        out.counterLine = r.CounterLine();
        out.failureReason = r.FailureReason();
        out.damage = ImportDamage(r, c);
        out.cacheFailurePath = f.path;
        out.cacheFailureReason = f.reason;
        out.cacheFailureError = f.error;
        *report = std::move(out);
        return MOSTFCAT_OK;
    });
}

} // extern "C"
