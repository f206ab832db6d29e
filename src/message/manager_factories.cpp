// The catalog manager's factories of message descriptions. They live with
// the message layer so that the manager does not depend on it.
#include <new>

#include "manager/manager.h"
#include "message/mesg_info.h"

namespace mostfcat {

YFciMesgInfo* YFciFCatManagerImpl::CreateMesgInfo(uint16_t channel, uint32_t fblockId,
                                                  uint32_t instId, uint32_t fktId, uint32_t opType,
                                                  const uint8_t* data, uint32_t length) {
    auto* info = new (std::nothrow) YFciMesgInfoImpl(this, channel, fblockId, instId, fktId, opType);
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

} // namespace mostfcat
