// The message instance: coordinates, the payload as a hex-dump text and the
// tree of parameter values decoded from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mostfcat/message.h"
#include "params/param_stream.h"
#include "values/value_impl.h"

namespace mostfcat {

class YFciFCatManagerImpl;
class YMTCatalog;
class YMTFBlock;
class YMTFunction;
class YMTInstance;
class YMTOperation;

class YFciMessageImpl : public YFciMessage, public YFciParamIDEntity, public YValueOwner {
public:
    static constexpr uint32_t kUnset = 0xFFFFFFFF;

    YFciMessageImpl(YFciFCatManagerImpl* manager, uint16_t channel, uint32_t options);
    ~YFciMessageImpl() override;

    // --- the exported slots ---
    void Rebuild() override;
    YFciMessage* Clone() override;
    void SetDecodeOptions(uint32_t options) override { m_DecodeOptions = options; }
    uint32_t DecodeOptions() override { return m_DecodeOptions; }
    uint32_t SetChannel(uint16_t channel) override;
    uint16_t Channel() override { return m_Channel; }
    uint32_t SetCatalogName(const std::string& name) override;
    uint32_t SetFBlock(uint32_t id, const std::string& name) override;
    uint32_t SetInstID(uint32_t id) override;
    void SetInstFallback(uint32_t rule) override;
    uint32_t SetFunction(uint32_t id, const std::string& name) override;
    uint32_t SetOperation(uint32_t id, const std::string& name) override;
    uint32_t FBlockID() override { return m_FBlockID; }
    uint32_t InstID() override { return m_InstID; }
    uint32_t InstFallback() override { return m_InstFallback; }
    uint32_t FktID() override { return m_FktID; }
    uint32_t OpType() override { return m_OpType; }
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
    bool IsFBlockValid() override;
    bool IsInstanceValid() override;
    bool IsFunctionValid() override;
    bool IsOperationValid() override;
    void SetData(const uint8_t* bytes, uint32_t length) override;
    void SetData(const std::vector<uint8_t>& bytes) override;
    std::vector<uint8_t> Data() override;
    void SetHexdumpStr(const std::string& text) override;
    std::string HexdumpStr() override;
    const std::vector<YFciParam*>& ParamList() override;
    const std::vector<YFciParam*>& AllParams(bool activeOnly) override;
    void ExpandAll() override;
    YFciParam* GetParamByShortID(const std::string& id) override;
    YFciParam* GetParamBySymID(const std::string& id) override;
    std::string CatalogDescription() override;
    std::string FBlockDescription() override;
    std::string DeviceName() override;
    std::string DeviceDescription() override;
    std::string FunctionDescription() override;
    uint32_t FunctionType() override;
    uint32_t FunctionClass() override;

    // --- the identifier base: top-level ids start with their own tail ---
    std::string ShortIDTail() override { return std::string(); }
    std::string SymIDTail() override { return std::string(); }
    YFciParam* FindByPath(const YParamPath& path) override;
    void ExpandPath(const YParamPath& path) override;
    bool IsActiveSelf() const override { return true; }

    // --- what the values report ---
    void ValuesChanged(bool relayout) override;
    uint32_t ValueDecodeOptions() const override { return m_DecodeOptions; }
    bool DefinitionsAlive() const override;

    // --- internal (the manager's factories) ---
    void SetCoordinates(const std::string& catalogName, uint32_t fblockId, uint32_t instId,
                        uint32_t instFallback, uint32_t fktId, uint32_t opType);

private:
    struct Nodes {
        YMTCatalog* catalog = nullptr;
        YMTFBlock* fblock = nullptr;
        YMTInstance* instance = nullptr;
        YMTFunction* function = nullptr;
        YMTOperation* operation = nullptr;
    };
    Nodes Resolve() const;
    // A relayout asked for by a value, or catalogs deleted since the tree was
    // decoded: decode again before anything reads the tree.
    void Settle();
    void Decode(YValueContext& ctx);
    void Render();
    void ClearValues();
    void CollectLeaves(const std::vector<YFciParam*>& list, bool activeOnly);
    const std::string& Keep(std::string& slot, const std::string& text) {
        slot = text;
        return slot;
    }

    uint16_t m_Channel;
    std::string m_CatalogName;
    uint32_t m_FBlockID = kUnset;
    uint32_t m_InstID = kUnset;
    uint32_t m_InstFallback = 0;
    uint32_t m_FktID = kUnset;
    uint32_t m_OpType = kUnset;
    std::string m_HexText;
    std::string m_RenderedBefore;
    std::vector<YFciParam*> m_Params;
    std::vector<YFciParam*> m_Retired; // the values being deleted
    std::vector<YFciParam*> m_Flat;
    // Every decode of the tree runs through this context, whose buffers are
    // kept from payload to payload.
    YValueContext m_Context{0};
    uint32_t m_DecodeOptions;
    YFciFCatManagerImpl* m_Manager;

    // The internal definition of the remaining bytes.
    YMTParamVoid m_RemainDefinition;
    uint64_t m_DecodedAt = 0;
    bool m_RelayoutPending = false;
    // Texts handed out by reference.
    std::string m_NameOut[5];
};

} // namespace mostfcat
