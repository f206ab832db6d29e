#include "message/mesg_info.h"

#include "import/import_state.h"
#include "manager/manager.h"
#include "mostfcat/hexdump.h"
#include "params/param.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

YFciMesgInfo::~YFciMesgInfo() = default;

namespace mostfcat {

namespace {

uint64_t HandleOf(const void* p) {
    return reinterpret_cast<uint64_t>(p);
}

} // namespace

YFciMesgInfoImpl::YFciMesgInfoImpl(YFciFCatManagerImpl* manager, uint16_t channel,
                                   uint32_t fblockId, uint32_t instId, uint32_t fktId,
                                   uint32_t opType)
    : m_Channel(channel), m_FBlockID(fblockId), m_InstID(instId), m_FktID(fktId), m_OpType(opType),
      m_Manager(manager), m_ValueTextLimit(YImportState::Instance().paramValueStringLimit) {}

// The pool owns every entry.
YFciMesgInfoImpl::~YFciMesgInfoImpl() = default;

YFciMesgInfo* YFciMesgInfoImpl::CloneImpl() {
    auto* c = new YFciMesgInfoImpl(m_Manager, m_Channel, m_FBlockID, m_InstID, m_FktID, m_OpType);
    c->m_MaxParams = m_MaxParams;
    c->m_AuxLimit = m_AuxLimit;
    c->m_Options = m_Options;
    c->m_InstFallback = m_InstFallback;
    c->m_Data = m_Data;
    c->m_ValueTextLimit = m_ValueTextLimit;
    c->m_InputStrings = m_InputStrings;
    c->m_ParamInfos.reserve(m_ParamInfos.size());
    for (YFciParamInfo* e : m_ParamInfos)
        c->m_ParamInfos.push_back(c->m_Pool.TakeCopy(*static_cast<YFciParamInfoImpl*>(e)));
    c->m_DataEntryCount = m_DataEntryCount;
    // A clone of an unbuilt description decodes on demand like its source.
    c->m_Built = m_Built;
    if (m_Tree) c->BuildTree();
    return c;
}

void YFciMesgInfoImpl::ForgetNodes() {
    m_Catalog = 0;
    m_FBlock = m_Instance = m_Function = nullptr;
    m_Operation = nullptr;
    m_CatalogName.clear();
    m_FBlockName.clear();
    m_InstFBlockName.clear();
    m_FunctionName.clear();
    m_OperationName.clear();
    m_ValueLists.Clear();
}

void YFciMesgInfoImpl::Invalidate() {
    ForgetNodes();
    ClearParamInfos();
    m_Resolved = false;
}

void YFciMesgInfoImpl::ClearParamInfos() {
    m_Tree.reset();
    m_Pool.Release();
    m_ParamInfos.clear();
    m_DataEntryCount = 0;
    m_Built = false;
}

void YFciMesgInfoImpl::SetData(const uint8_t* bytes, uint32_t length) {
    if (!bytes) length = 0;
    m_Data.assign(bytes, bytes + length);
}

void YFciMesgInfoImpl::Resolve() {
    // A catalog deleted since the last resolution may have held the nodes:
    // resolve again rather than touch them.
    uint64_t deleted = YMTCatalog::DeletedCount();
    if (!m_Resolved || deleted != m_ResolvedAt) ResolveNow(deleted);
}

void YFciMesgInfoImpl::ResolveNow(uint64_t deleted) {
    ForgetNodes();
    m_Resolved = true;
    m_ResolvedAt = deleted;
    if (!YFciFCatManagerImpl::IsLive(m_Manager)) return;
    auto r = m_Manager->LookupOperation(m_Channel, std::string(), m_FBlockID, m_InstID,
                                        m_InstFallback, m_FktID, m_OpType);
    m_Catalog = HandleOf(r.catalog);
    m_FBlock = r.fblock;
    m_Instance = r.instance;
    m_Function = r.function;
    m_Operation = static_cast<YMTOperation*>(r.operation);
    if (r.catalog) m_CatalogName = m_Manager->NameOfCatalog(r.catalog);
    if (m_FBlock) m_FBlockName = m_FBlock->NameRef();
    if (m_Instance) m_InstFBlockName = static_cast<YMTInstance*>(m_Instance)->InstFBlockName;
    if (m_Function) m_FunctionName = m_Function->NameRef();
    if (m_Operation) m_OperationName = m_Operation->NameRef();
}

const std::string& YFciMesgInfoImpl::CatalogName() {
    Resolve();
    return m_CatalogName;
}
const std::string& YFciMesgInfoImpl::FBlockName() {
    Resolve();
    return m_FBlockName;
}
const std::string& YFciMesgInfoImpl::InstFBlockName() {
    Resolve();
    return m_InstFBlockName;
}
const std::string& YFciMesgInfoImpl::FunctionName() {
    Resolve();
    return m_FunctionName;
}
const std::string& YFciMesgInfoImpl::OperationName() {
    Resolve();
    return m_OperationName;
}
uint64_t YFciMesgInfoImpl::CatalogHandle() {
    Resolve();
    return m_Catalog;
}
uint64_t YFciMesgInfoImpl::FBlockNode() {
    Resolve();
    return HandleOf(m_FBlock);
}
uint64_t YFciMesgInfoImpl::InstanceNode() {
    Resolve();
    return HandleOf(m_Instance);
}
uint64_t YFciMesgInfoImpl::FunctionNode() {
    Resolve();
    return HandleOf(m_Function);
}
uint64_t YFciMesgInfoImpl::OperationNode() {
    Resolve();
    return HandleOf(m_Operation);
}

bool YFciMesgInfoImpl::HasParams() {
    Resolve();
    if (!m_Operation) return false;
    uint32_t pos = 0;
    if (!m_Operation->GetFirstPos(pos)) return false;
    YMTNode* first = m_Operation->GetAt(pos);
    return first && first->NodeType() != kNodeVoid;
}

DisasmContext YFciMesgInfoImpl::MakeContext(const uint8_t* payload, uint32_t size,
                                            const std::vector<std::string>* inputs) {
    YDisasmTarget target;
    target.entries = &m_ParamInfos;
    target.dataEntryCount = &m_DataEntryCount;
    target.valueLists = &m_ValueLists;
    target.pool = &m_Pool;
    uint32_t textLimit = (m_Options & kOptTextLimit) ? m_ValueTextLimit : 65535;
    return DisasmContext(payload, size, target, m_MaxParams, m_Options, textLimit,
                         YImportState::Instance().paramsInLoopLimit, inputs);
}

void YFciMesgInfoImpl::DisassembleImpl() {
    if (m_Built) return;
    if (!m_ParamInfos.empty() || m_Tree) ClearParamInfos();
    m_Built = true;
    Resolve();
    m_DataEntryCount = 0;
    uint32_t size = static_cast<uint32_t>(m_Data.size());
    if (m_Operation) {
        DisasmContext ctx = MakeContext(m_Data.data(), size, nullptr);
        if (m_CompiledLayouts)
            m_Operation->Disassemble(ctx);
        else
            m_Operation->DisassembleEachParam(ctx);
        if ((m_Options & kOptDiagBytesLeft) && ctx.m_Pos != ctx.AvailableLength()) {
            uint32_t pos = ctx.m_Pos;
            uint32_t left = pos < size ? size - pos : 0;
            ctx.Diagnose(4, std::string(), left ? m_Data.data() + pos : nullptr, left, pos, 0);
        }
    } else if (m_Options & kOptWholePayload) {
        DisasmContext ctx = MakeContext(m_Data.data(), size, nullptr);
        ctx.Diagnose(4, std::string(), m_Data.data(), size, 0, 0);
    }
    return;
}

void YFciMesgInfoImpl::AssembleImpl(const std::vector<std::string>& inputs, uint32_t& status,
                                    uint32_t& index) {
    if (m_Built) return;
    if (!m_ParamInfos.empty() || m_Tree) ClearParamInfos();
    m_Built = true;
    Resolve();
    m_DataEntryCount = 0;
    m_InputStrings = inputs;
    status = 0;
    index = 0;
    DisasmContext ctx = MakeContext(nullptr, 0, &m_InputStrings);
    auto isRaw = [](const std::string& s) {
        return s.size() >= 2 && s.front() == '{' && s.back() == '}';
    };
    if (m_InputStrings.size() == 1 && isRaw(m_InputStrings[0])) {
        ctx.RawStep();
    } else if (!m_Operation) {
        if (!m_InputStrings.empty()) ctx.SetStatus(kAsmNoOperation, 0);
    } else {
        m_Operation->Assemble(ctx);
        if (ctx.m_Status == kAsmOk && ctx.InputsLeft())
            ctx.SetStatus(kAsmTooManyInputs, ctx.m_InputIndex);
        if (ctx.m_Status == kAsmTooManyInputs && ctx.m_StatusIndex + 1 == ctx.InputCount() &&
            isRaw(m_InputStrings.back())) {
            bool haveRaw = false;
            for (YFciParamInfo* e : m_ParamInfos)
                haveRaw = haveRaw || e->ParamType() == kKindRawStream;
            if (!haveRaw) {
                ctx.SetStatus(kAsmOk, 0);
                ctx.m_InputIndex = ctx.InputCount() - 1;
                ctx.RawStep();
            }
        }
    }
    status = ctx.m_Status;
    index = ctx.m_StatusIndex;
    RebuildPayload();
    return;
}

void YFciMesgInfoImpl::RebuildPayload() {
    m_Data.clear();
    long last = -1;
    unsigned long bits = 0;
    for (YFciParamInfo* e : m_ParamInfos) {
        if (e->ParamType() != kKindSignal) {
            const std::vector<uint8_t>& d = e->Data();
            m_Data.insert(m_Data.end(), d.begin(), d.end());
            last += static_cast<long>(d.size());
            bits = 0;
        } else if (uint32_t n = e->BitLength()) {
            last = YFciHexdumpHelper::AppendHexDumpBits(e->Data(), m_Data, last, bits % 8, n,
                                                        e->IsBigEndian());
            bits += n;
        }
    }
}

void YFciMesgInfoImpl::BuildTree() {
    m_Tree = std::make_unique<YFciParamInfoNode>();
    uint32_t depth = 0;
    for (YFciParamInfo* e : m_ParamInfos) {
        uint32_t level = e->Level();
        if (level > 100) continue;
        uint32_t target = level < depth + 1 ? level : depth + 1;
        YFciParamInfoNode* node = m_Tree.get();
        bool placed = true;
        for (uint32_t i = 0; i < target; ++i) {
            if (node->m_Children.empty()) {
                placed = false;
                break;
            }
            node = &node->m_Children.back();
        }
        if (placed) node->m_Children.emplace_back(e);
        if (level <= depth + 1) depth = level;
    }
}

YFciParamInfoNode* YFciMesgInfoImpl::ParamInfoTree() {
    try {
        if (!m_Tree) BuildTree();
    } catch (...) {
        m_Tree.reset();
    }
    return m_Tree.get();
}

// The exported operations keep every failure inside the library (only
// memory exhaustion can throw here): what was built so far stays.
YFciMesgInfo* YFciMesgInfoImpl::Clone() {
    try {
        return CloneImpl();
    } catch (...) {
        return nullptr;
    }
}

const std::vector<YFciParamInfo*>& YFciMesgInfoImpl::Disassemble() {
    try {
        DisassembleImpl();
    } catch (...) {
    }
    return m_ParamInfos;
}

const std::vector<YFciParamInfo*>&
YFciMesgInfoImpl::Assemble(const std::vector<std::string>& inputs, uint32_t& status,
                           uint32_t& index) {
    try {
        AssembleImpl(inputs, status, index);
    } catch (...) {
        status = kAsmNotConvertible;
    }
    return m_ParamInfos;
}

bool YFciMesgInfoImpl::Matches(YFciMesgInfo* pattern) {
    try {
        return MatchesImpl(pattern);
    } catch (...) {
        return false;
    }
}

void YFciMesgInfoImpl::SetMaxParams(uint32_t count) {
    if (count == m_MaxParams) return;
    ClearParamInfos();
    m_MaxParams = count;
}

void YFciMesgInfoImpl::SetValueTextLimit(uint32_t limit) {
    if (limit == m_ValueTextLimit) return;
    ClearParamInfos();
    m_ValueTextLimit = limit;
}

void YFciMesgInfoImpl::SetOptions(uint32_t options) {
    if (options == m_Options) return;
    ClearParamInfos();
    m_Options = options;
}

void YFciMesgInfoImpl::SetAuxLimit(uint32_t limit) {
    if (limit == m_AuxLimit) return;
    ClearParamInfos();
    m_AuxLimit = limit;
}

void YFciMesgInfoImpl::SetInstFallback(uint32_t rule) {
    if (rule == m_InstFallback) return;
    Invalidate();
    m_InstFallback = rule;
}

bool YFciMesgInfoImpl::MatchesImpl(YFciMesgInfo* pattern) {
    if (!pattern || pattern == this) return pattern == this;
    uint16_t pc = pattern->Channel();
    if (pc != m_Channel && pc != 0 && pc != 0xFFFF) return false;
    if (pattern->FBlockID() != m_FBlockID || pattern->FktID() != m_FktID ||
        pattern->OpType() != m_OpType)
        return false;
    if (pattern->InstID() != 0xFFFFFFFF && pattern->InstID() != m_InstID) return false;

    if (!m_Built) ClearParamInfos();
    SetOptions(0x48);
    const std::vector<YFciParamInfo*>& mine = Disassemble();
    const std::vector<YFciParamInfo*>& theirs = pattern->Disassemble();

    size_t cursor = 0;
    size_t i = 0;
    for (; i < theirs.size(); ++i) {
        const YFciParamInfo* p = theirs[i];
        if (p->HasNoData()) continue;
        while (cursor < mine.size() && mine[cursor]->HasNoData())
            ++cursor;
        if (cursor >= mine.size()) return false;
        if (!p->Matches(*mine[cursor])) break;
        ++cursor;
    }
    if (i == theirs.size()) return true;

    // The pattern ends in raw bytes: they stand for the rest of the message.
    const YFciParamInfo* raw = theirs[i];
    if (raw->ParamType() != kKindRawStream) return false;
    std::vector<uint8_t> rest;
    for (; cursor < mine.size(); ++cursor) {
        const YFciParamInfo* e = mine[cursor];
        if (e->HasNoData()) continue;
        if (e->IsWildcard()) return false;
        rest.insert(rest.end(), e->Data().begin(), e->Data().end());
    }
    const std::vector<uint8_t>& want = raw->Data();
    if (!raw->IsOpenEnded()) return rest == want;
    return want.size() <= rest.size() && std::equal(want.begin(), want.end(), rest.begin());
}

} // namespace mostfcat
