// The message description: coordinates, payload, the entries of the last
// decode or assemble run and their tree view.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decoding/disasm_context.h"
#include "mostfcat/mesg_info.h"

namespace mostfcat {

class YFciFCatManagerImpl;
class YMTCatalog;
class YMTNode;
class YMTOperation;

class YFciMesgInfoImpl : public YFciMesgInfo {
public:
    YFciMesgInfoImpl(YFciFCatManagerImpl* manager, uint16_t channel, uint32_t fblockId,
                     uint32_t instId, uint32_t fktId, uint32_t opType);
    ~YFciMesgInfoImpl() override;

    // --- the exported slots ---
    YFciMesgInfo* Clone() override;
    void Invalidate() override;
    void ClearParamInfos() override;
    void SetChannel(uint16_t channel) override { m_Channel = channel; }
    uint16_t Channel() override { return m_Channel; }
    void SetFBlockID(uint32_t id) override { m_FBlockID = id; }
    void SetInstID(uint32_t id) override { m_InstID = id; }
    void SetFktID(uint32_t id) override { m_FktID = id; }
    void SetOpType(uint32_t opType) override { m_OpType = opType; }
    uint32_t FBlockID() override { return m_FBlockID; }
    uint32_t InstID() override { return m_InstID; }
    uint32_t FktID() override { return m_FktID; }
    uint32_t OpType() override { return m_OpType; }
    void SetData(const uint8_t* bytes, uint32_t length) override;
    void SetData(const std::vector<uint8_t>& bytes) override { m_Data = bytes; }
    const std::vector<uint8_t>& Data() override { return m_Data; }
    const std::string& CatalogName() override;
    const std::string& FBlockName() override;
    const std::string& InstFBlockName() override;
    const std::string& FunctionName() override;
    const std::string& OperationName() override;
    uint64_t CatalogHandle() override;
    uint64_t FBlockNode() override;
    uint64_t InstanceNode() override;
    uint64_t FunctionNode() override;
    uint64_t OperationNode() override;
    bool HasParams() override;
    const std::vector<YFciParamInfo*>& Disassemble() override;
    const std::vector<YFciParamInfo*>& Assemble(const std::vector<std::string>& inputs,
                                                uint32_t& status, uint32_t& index) override;
    YFciParamInfoNode* ParamInfoTree() override;
    void SetMaxParams(uint32_t count) override;
    uint32_t MaxParams() override { return m_MaxParams; }
    uint32_t AuxLimit() override { return m_AuxLimit; }
    void SetValueTextLimit(uint32_t limit) override;
    uint32_t ValueTextLimit() override { return m_ValueTextLimit; }
    void SetOptions(uint32_t options) override;
    uint32_t Options() override { return m_Options; }
    void SetInstFallback(uint32_t rule) override;
    uint32_t InstFallback() override { return m_InstFallback; }
    bool Matches(YFciMesgInfo* pattern) override;

    // --- slots of the implementation ---
    virtual std::vector<std::string>& InputStrings() { return m_InputStrings; }
    virtual void SetAuxLimit(uint32_t limit);
    virtual uint32_t DataEntryCount() { return m_DataEntryCount; }

    // --- internal ---
    const std::vector<YFciParamInfo*>& Entries() const { return m_ParamInfos; }
    YMTOperation* Operation() {
        Resolve();
        return m_Operation;
    }
    // Off: decode over the parameter list instead of the operation's compiled
    // layout (the two give the same entries; tests and benchmarks compare).
    void SetCompiledLayouts(bool on) {
        m_CompiledLayouts = on;
        m_Built = false;
    }

private:
    YFciMesgInfo* CloneImpl();
    void DisassembleImpl();
    void AssembleImpl(const std::vector<std::string>& inputs, uint32_t& status, uint32_t& index);
    bool MatchesImpl(YFciMesgInfo* pattern);
    void Resolve();
    // Looks the nodes up again (deleted: the catalogs deleted so far).
    void ResolveNow(uint64_t deleted);
    void ForgetNodes();
    DisasmContext MakeContext(const uint8_t* payload, uint32_t size,
                              const std::vector<std::string>* inputs);
    void RebuildPayload();
    void BuildTree();

    uint16_t m_Channel;
    uint32_t m_FBlockID;
    uint32_t m_InstID;
    uint32_t m_FktID;
    uint32_t m_OpType;
    std::vector<uint8_t> m_Data;
    std::vector<std::string> m_InputStrings;
    YFciFCatManagerImpl* m_Manager;
    uint64_t m_Catalog = 0;
    YMTNode* m_FBlock = nullptr;
    YMTNode* m_Instance = nullptr;
    YMTNode* m_Function = nullptr;
    YMTOperation* m_Operation = nullptr;
    std::vector<YFciParamInfo*> m_ParamInfos;
    std::unique_ptr<YFciParamInfoNode> m_Tree;
    bool m_Resolved = false;
    bool m_Built = false;
    bool m_CompiledLayouts = true;
    uint32_t m_MaxParams = 65535;
    uint32_t m_AuxLimit = 65535;
    uint32_t m_Options = 0xFFFFFFFF;
    uint32_t m_ValueTextLimit;
    uint32_t m_DataEntryCount = 0;
    uint32_t m_InstFallback = 0;

    // The catalog deletions seen at the last resolution.
    uint64_t m_ResolvedAt = 0;
    // Names of the resolved nodes (the accessors hand out references).
    std::string m_CatalogName;
    std::string m_FBlockName;
    std::string m_InstFBlockName;
    std::string m_FunctionName;
    std::string m_OperationName;
    // Value lists of the resolved catalog's enumerations.
    YValueListCache m_ValueLists;
    // The entries of every run (a host decoding a trace with one description
    // per message kind allocates nothing per message).
    YEntryPool m_Pool;
};

} // namespace mostfcat
