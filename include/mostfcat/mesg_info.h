// mostfcat: message descriptions.
//
// A message description names one MOST message by its coordinates, decodes
// its payload into a flat list of parameter descriptions (with names, texts,
// values and diagnostics), builds payload bytes from user input texts and
// tests whether a message matches a pattern. The catalog manager creates
// descriptions (CreateMesgInfo); the host deletes them. The order of the
// virtual operations is part of the binary interface.
#ifndef MOSTFCAT_MESG_INFO_H
#define MOSTFCAT_MESG_INFO_H

#include <cstdint>
#include <string>
#include <vector>

#include "mostfcat/hexdump.h"

// One decoded parameter, structure head or diagnostic of a description.
class MOSTFCAT_CLASS YFciParamInfo {
public:
    virtual ~YFciParamInfo();
    virtual uint32_t ParamType() const = 0;
    virtual uint32_t Level() const = 0;
    virtual uint32_t ParamMeaning() const = 0;
    virtual uint32_t ParamDispMode() const = 0;
    virtual const std::string& Name() const = 0;
    virtual const std::vector<uint8_t>& Data() const = 0;
    virtual uint32_t DataSize() const = 0;
    virtual uint32_t Position() const = 0;
    virtual const std::string& HexText() const = 0;
    virtual const std::string& DecimalText() const = 0;
    virtual const std::string& ValueText() const = 0;
    virtual bool NumericValue(double& out) const = 0;
    virtual const std::string& UnitText() const = 0;
    virtual const std::string& NameSuffix() const = 0;
    virtual bool HasNoData() const = 0;
    virtual uint32_t Length() const = 0;
    virtual uint32_t BitLength() const = 0;
    virtual std::string FullName() const = 0;
    virtual std::string DataDec(uint32_t maxBytes) const = 0;
    virtual std::string DataHex(uint32_t maxBytes) const = 0;
    virtual bool IsWildcard() const = 0;
    virtual bool Matches(const YFciParamInfo& other) const = 0;
    virtual const std::vector<std::string>& ValueList() const = 0;
    virtual bool HasEncodingByte() const = 0;
    virtual bool IsOpenEnded() const = 0;
    virtual bool IsBigEndian() const = 0;
    virtual bool UInt64Value(uint64_t& out) const = 0;
    virtual bool ValueFlag() const = 0;
};

// The tree view of a description's entries: a plain node that refers to an
// entry (not owned) and holds its children by value.
class MOSTFCAT_CLASS YFciParamInfoNode {
public:
    YFciParamInfoNode();
    explicit YFciParamInfoNode(const YFciParamInfo* info);
    YFciParamInfoNode(const YFciParamInfoNode& other);
    YFciParamInfoNode& operator=(const YFciParamInfoNode& other);
    ~YFciParamInfoNode();

    const YFciParamInfo* m_Info;
    std::vector<YFciParamInfoNode> m_Children;
};

class MOSTFCAT_CLASS YFciMesgInfo {
public:
    virtual ~YFciMesgInfo();
    virtual YFciMesgInfo* Clone() = 0;
    virtual void Invalidate() = 0;
    virtual void ClearParamInfos() = 0;
    virtual void SetChannel(uint16_t channel) = 0;
    virtual uint16_t Channel() = 0;
    virtual void SetFBlockID(uint32_t id) = 0;
    virtual void SetInstID(uint32_t id) = 0;
    virtual void SetFktID(uint32_t id) = 0;
    virtual void SetOpType(uint32_t opType) = 0;
    virtual uint32_t FBlockID() = 0;
    virtual uint32_t InstID() = 0;
    virtual uint32_t FktID() = 0;
    virtual uint32_t OpType() = 0;
    virtual void SetData(const uint8_t* bytes, uint32_t length) = 0;
    virtual void SetData(const std::vector<uint8_t>& bytes) = 0;
    virtual const std::vector<uint8_t>& Data() = 0;
    virtual const std::string& CatalogName() = 0;
    virtual const std::string& FBlockName() = 0;
    virtual const std::string& InstFBlockName() = 0;
    virtual const std::string& FunctionName() = 0;
    virtual const std::string& OperationName() = 0;
    virtual uint64_t CatalogHandle() = 0;
    virtual uint64_t FBlockNode() = 0;
    virtual uint64_t InstanceNode() = 0;
    virtual uint64_t FunctionNode() = 0;
    virtual uint64_t OperationNode() = 0;
    virtual bool HasParams() = 0;
    virtual const std::vector<YFciParamInfo*>& Disassemble() = 0;
    virtual const std::vector<YFciParamInfo*>& Assemble(const std::vector<std::string>& inputs,
                                                        uint32_t& status, uint32_t& index) = 0;
    virtual YFciParamInfoNode* ParamInfoTree() = 0;
    virtual void SetMaxParams(uint32_t count) = 0;
    virtual uint32_t MaxParams() = 0;
    virtual uint32_t AuxLimit() = 0;
    virtual void SetValueTextLimit(uint32_t limit) = 0;
    virtual uint32_t ValueTextLimit() = 0;
    virtual void SetOptions(uint32_t options) = 0;
    virtual uint32_t Options() = 0;
    virtual void SetInstFallback(uint32_t rule) = 0;
    virtual uint32_t InstFallback() = 0;
    virtual bool Matches(YFciMesgInfo* pattern) = 0;
};

#endif // MOSTFCAT_MESG_INFO_H
