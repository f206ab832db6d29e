// mostfcat: message instances.
//
// A message instance is an editable MOST message: its coordinates select an
// operation of a catalog, its payload is held as a hex-dump text, and a tree
// of parameter values is decoded from that text. Editing a value re-renders
// the text; changing a coordinate or a value that shapes the layout decodes
// the tree again. The catalog manager creates instances (CreateMessage); the
// host deletes them. The order of the virtual operations is part of the
// binary interface.
#ifndef MOSTFCAT_MESSAGE_H
#define MOSTFCAT_MESSAGE_H

#include <cstdint>
#include <string>
#include <vector>

#include "mostfcat/param_values.h"

class MOSTFCAT_CLASS YFciMessage {
public:
    virtual ~YFciMessage();
    virtual void Rebuild() = 0;
    virtual YFciMessage* Clone() = 0;
    virtual void SetDecodeOptions(uint32_t options) = 0;
    virtual uint32_t DecodeOptions() = 0;
    virtual uint32_t SetChannel(uint16_t channel) = 0;
    virtual uint16_t Channel() = 0;
    virtual uint32_t SetCatalogName(const std::string& name) = 0;
    virtual uint32_t SetFBlock(uint32_t id, const std::string& name) = 0;
    virtual uint32_t SetInstID(uint32_t id) = 0;
    virtual void SetInstFallback(uint32_t rule) = 0;
    virtual uint32_t SetFunction(uint32_t id, const std::string& name) = 0;
    virtual uint32_t SetOperation(uint32_t id, const std::string& name) = 0;
    virtual uint32_t FBlockID() = 0;
    virtual uint32_t InstID() = 0;
    virtual uint32_t InstFallback() = 0;
    virtual uint32_t FktID() = 0;
    virtual uint32_t OpType() = 0;
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
    virtual bool IsFBlockValid() = 0;
    virtual bool IsInstanceValid() = 0;
    virtual bool IsFunctionValid() = 0;
    virtual bool IsOperationValid() = 0;
    virtual void SetData(const uint8_t* bytes, uint32_t length) = 0;
    virtual void SetData(const std::vector<uint8_t>& bytes) = 0;
    virtual std::vector<uint8_t> Data() = 0;
    virtual void SetHexdumpStr(const std::string& text) = 0;
    virtual std::string HexdumpStr() = 0;
    virtual const std::vector<YFciParam*>& ParamList() = 0;
    virtual const std::vector<YFciParam*>& AllParams(bool activeOnly) = 0;
    virtual void ExpandAll() = 0;
    virtual YFciParam* GetParamByShortID(const std::string& id) = 0;
    virtual YFciParam* GetParamBySymID(const std::string& id) = 0;
    virtual std::string CatalogDescription() = 0;
    virtual std::string FBlockDescription() = 0;
    virtual std::string DeviceName() = 0;
    virtual std::string DeviceDescription() = 0;
    virtual std::string FunctionDescription() = 0;
    virtual uint32_t FunctionType() = 0;
    virtual uint32_t FunctionClass() = 0;
};

#endif // MOSTFCAT_MESSAGE_H
