// The catalog manager's factories of message descriptions and message
// instances, its parameter-id converters and value readers. They live with
// the message layer so that the manager does not depend on it.
#include <initializer_list>
#include <memory>
#include <new>

#include "manager/manager.h"
#include "message/mesg_info.h"
#include "message/message.h"
#include "values/param_path.h"

namespace mostfcat {

YFciMesgInfo* YFciFCatManagerImpl::CreateMesgInfo(uint16_t channel, uint32_t fblockId,
                                                  uint32_t instId, uint32_t fktId, uint32_t opType,
                                                  const uint8_t* data, uint32_t length) {
    auto* info =
        new (std::nothrow) YFciMesgInfoImpl(this, channel, fblockId, instId, fktId, opType);
    if (info) {
        try {
            info->SetData(data, length);
        } catch (...) {
            delete info;
            return nullptr;
        }
    }
    return info;
}

YFciMesgInfo* YFciFCatManagerImpl::CreateMesgInfo(uint16_t channel, uint32_t fblockId,
                                                  uint32_t instId, uint32_t fktId, uint32_t opType,
                                                  const std::vector<uint8_t>& data) {
    return CreateMesgInfo(channel, fblockId, instId, fktId, opType, data.data(),
                          static_cast<uint32_t>(data.size()));
}

YFciMesgInfo* YFciFCatManagerImpl::CreateMesgInfo(uint16_t channel, uint32_t fblockId,
                                                  uint32_t instId, uint32_t fktId,
                                                  uint32_t opType) {
    return CreateMesgInfo(channel, fblockId, instId, fktId, opType, nullptr, 0);
}

namespace {

// A message instance bound to a manager with the given coordinates, or null.
YFciMessageImpl* NewMessage(YFciFCatManagerImpl* manager, uint16_t channel,
                            const std::string& fcatName, uint32_t fblockId, uint32_t instId,
                            uint32_t instFallback, uint32_t fktId, uint32_t opType,
                            uint32_t options) {
    auto* m = new (std::nothrow) YFciMessageImpl(manager, channel, options);
    if (m) m->SetCoordinates(fcatName, fblockId, instId, instFallback, fktId, opType);
    return m;
}

// The value a numeric path addresses in a message over the given payload,
// when it has the wanted kind, is defined and active; null otherwise. The
// message is kept in holder so that the value lives while the caller reads it.
YFciParam* ReadValue(YFciFCatManagerImpl* manager, std::unique_ptr<YFciMessageImpl>& holder,
                     uint16_t channel, const std::string& fcatName, uint32_t fblockId,
                     uint32_t instId, uint32_t fktId, uint32_t opType, const uint8_t* data,
                     int32_t length, const std::string& numericPath,
                     std::initializer_list<uint32_t> kinds) {
    if (!data || length <= 0) return nullptr;
    YParamPath path;
    if (!ParseParamPath(numericPath, YPathKind::Numeric, path)) return nullptr;
    holder.reset(NewMessage(manager, channel, fcatName, fblockId, instId, 0, fktId, opType, 1));
    if (!holder) return nullptr;
    holder->SetData(data, static_cast<uint32_t>(length));
    YFciParam* p = holder->FindByPath(path);
    if (!p) return nullptr;
    bool kindOk = false;
    for (uint32_t k : kinds)
        kindOk = kindOk || p->Impl()->ParamType() == k;
    if (!kindOk || !p->Impl()->IsValueDefined() || !p->Impl()->IsActive()) return nullptr;
    return p;
}

// Reads a value with ReadValue and hands it to take; false when there is
// none (or anything failed).
template <class Take>
bool ReadInto(YFciFCatManagerImpl* manager, uint16_t channel, const std::string& fcatName,
              uint32_t fblockId, uint32_t instId, uint32_t fktId, uint32_t opType,
              const uint8_t* data, int32_t length, const std::string& numericPath,
              std::initializer_list<uint32_t> kinds, Take&& take) noexcept {
    try {
        std::unique_ptr<YFciMessageImpl> m;
        YFciParam* p = ReadValue(manager, m, channel, fcatName, fblockId, instId, fktId, opType,
                                 data, length, numericPath, kinds);
        if (!p) return false;
        take(p);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

YFciMessage* YFciFCatManagerImpl::CreateMessage(uint16_t channel, const std::string& fcatName,
                                                uint32_t fblockId, uint32_t instId,
                                                uint32_t instFallback, uint32_t fktId,
                                                uint32_t opType, const uint8_t* data,
                                                uint32_t length, uint32_t options) {
    YFciMessageImpl* m =
        NewMessage(this, channel, fcatName, fblockId, instId, instFallback, fktId, opType, options);
    if (m) m->SetData(data, data ? length : 0);
    return m;
}

YFciMessage* YFciFCatManagerImpl::CreateMessage(uint16_t channel, const std::string& fcatName,
                                                uint32_t fblockId, uint32_t instId,
                                                uint32_t instFallback, uint32_t fktId,
                                                uint32_t opType, uint32_t options) {
    YFciMessageImpl* m =
        NewMessage(this, channel, fcatName, fblockId, instId, instFallback, fktId, opType, options);
    if (m) m->Rebuild();
    return m;
}

YFciMessage* YFciFCatManagerImpl::CreateMessage(uint16_t channel, uint32_t options) {
    auto* m = new (std::nothrow) YFciMessageImpl(this, channel, options);
    if (m) m->Rebuild();
    return m;
}

namespace {

void ConvertId(YFciFCatManagerImpl* manager, std::string& out, uint16_t channel,
               const std::string& fcatName, uint32_t fblockId, uint32_t instId,
               uint32_t instFallback, uint32_t fktId, uint32_t opType, const std::string& path,
               YPathKind from) {
    out.clear();
    try {
        YParamPath elements;
        if (!ParseParamPath(path, from, elements)) return;
        std::unique_ptr<YFciMessageImpl> m(NewMessage(manager, channel, fcatName, fblockId, instId,
                                                      instFallback, fktId, opType, 0));
        if (!m) return;
        m->Rebuild();
        m->ExpandPath(elements);
        if (YFciParam* p = m->FindByPath(elements))
            out = from == YPathKind::Symbolic ? p->Impl()->ShortID() : p->Impl()->SymID();
    } catch (...) {
        out.clear();
    }
}

} // namespace

void YFciFCatManagerImpl::ConvertSymbolicToShortID(std::string& out, uint16_t channel,
                                                   const std::string& fcatName, uint32_t fblockId,
                                                   uint32_t instId, uint32_t instFallback,
                                                   uint32_t fktId, uint32_t opType,
                                                   const std::string& symbolicPath) {
    ConvertId(this, out, channel, fcatName, fblockId, instId, instFallback, fktId, opType,
              symbolicPath, YPathKind::Symbolic);
}

void YFciFCatManagerImpl::ConvertShortToSymbolicID(std::string& out, uint16_t channel,
                                                   const std::string& fcatName, uint32_t fblockId,
                                                   uint32_t instId, uint32_t instFallback,
                                                   uint32_t fktId, uint32_t opType,
                                                   const std::string& numericPath) {
    ConvertId(this, out, channel, fcatName, fblockId, instId, instFallback, fktId, opType,
              numericPath, YPathKind::Numeric);
}

bool YFciFCatManagerImpl::GetParamNumberValue(uint16_t channel, const std::string& fcatName,
                                              uint32_t fblockId, uint32_t instId, uint32_t fktId,
                                              uint32_t opType, const uint8_t* data, int32_t length,
                                              const std::string& numericPath, double& value) {
    return ReadInto(this, channel, fcatName, fblockId, instId, fktId, opType, data, length,
                    numericPath, {eFciParamNumber},
                    [&](YFciParam* p) { value = ImplOf<YNumberImpl>(p)->Value(); });
}

bool YFciFCatManagerImpl::GetParamEnumValue(uint16_t channel, const std::string& fcatName,
                                            uint32_t fblockId, uint32_t instId, uint32_t fktId,
                                            uint32_t opType, const uint8_t* data, int32_t length,
                                            const std::string& numericPath, uint32_t& value) {
    return ReadInto(this, channel, fcatName, fblockId, instId, fktId, opType, data, length,
                    numericPath, {eFciParamEnum}, [&](YFciParam* p) {
                        value = static_cast<uint32_t>(ImplOf<YEnumImpl>(p)->Value());
                    });
}

bool YFciFCatManagerImpl::GetParamBoolFieldValue(uint16_t channel, const std::string& fcatName,
                                                 uint32_t fblockId, uint32_t instId, uint32_t fktId,
                                                 uint32_t opType, const uint8_t* data,
                                                 int32_t length, const std::string& numericPath,
                                                 uint8_t& value) {
    return ReadInto(this, channel, fcatName, fblockId, instId, fktId, opType, data, length,
                    numericPath, {eFciParamBoolfield}, [&](YFciParam* p) {
                        value = static_cast<uint8_t>(ImplOf<YBoolFieldImpl>(p)->Value());
                    });
}

bool YFciFCatManagerImpl::GetParamBoolValue(uint16_t channel, const std::string& fcatName,
                                            uint32_t fblockId, uint32_t instId, uint32_t fktId,
                                            uint32_t opType, const uint8_t* data, int32_t length,
                                            const std::string& numericPath, uint32_t& value) {
    return ReadInto(this, channel, fcatName, fblockId, instId, fktId, opType, data, length,
                    numericPath, {eFciParamBool, eFciParamBitfield}, [&](YFciParam* p) {
                        value = static_cast<uint32_t>(ImplOf<YBoolImpl>(p)->Value());
                    });
}

bool YFciFCatManagerImpl::GetParamStringValue(uint16_t channel, const std::string& fcatName,
                                              uint32_t fblockId, uint32_t instId, uint32_t fktId,
                                              uint32_t opType, const uint8_t* data, int32_t length,
                                              const std::string& numericPath, std::string& text,
                                              uint32_t& encoding) {
    return ReadInto(this, channel, fcatName, fblockId, instId, fktId, opType, data, length,
                    numericPath, {eFciParamString}, [&](YFciParam* p) {
                        text = ImplOf<YStringImpl>(p)->Value();
                        encoding = ImplOf<YStringImpl>(p)->Encoding();
                    });
}

bool YFciFCatManagerImpl::GetParamHexValue(uint16_t channel, const std::string& fcatName,
                                           uint32_t fblockId, uint32_t instId, uint32_t fktId,
                                           uint32_t opType, const uint8_t* data, int32_t length,
                                           const std::string& numericPath,
                                           std::vector<uint8_t>& bytes) {
    return ReadInto(this, channel, fcatName, fblockId, instId, fktId, opType, data, length,
                    numericPath, {eFciParamRawStream, eFciParamString},
                    [&](YFciParam* p) { bytes = p->Impl()->ValueHexdump(); });
}

} // namespace mostfcat
