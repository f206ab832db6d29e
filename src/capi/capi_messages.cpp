// The handle-based functions for messages: lookup keys, default payload
// lengths, parameters by name and the byte conversions of parameter nodes.
#include <memory>
#include <mutex>
#include <string>

#include "capi/api_lock.h"
#include "import/text_read.h"
#include "manager/manager.h"
#include "message/message.h"
#include "mostfcat/fct.h"
#include "params/param_number.h"
#include "params/param_queries.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"
#include "tree/queries.h"

using namespace mostfcat;

namespace {

bool ValidChannel(uint16_t channel) {
    return channel <= 16 || channel == 0xFFFF;
}

// A text that reads as a number (truncated to 32 bits); false for a name.
bool NumberText(const char* text, uint32_t& value) {
    int64_t v = 0;
    if (!ReadNumber(text, v)) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

YMTFBlock* FirstFBlockById(YFciFCatManagerImpl& m, uint16_t channel, uint32_t id) {
    for (YMTCatalog* c : m.ChannelCatalogs(channel))
        if (YMTFBlock* f = FBlockById(*c, id)) return f;
    return nullptr;
}

// The FBlock's first instance, when it has one.
YMTInstance* FirstInstanceOf(const YMTFBlock* fblock) {
    if (!fblock || fblock->GetCount() == 0) return nullptr;
    return fblock->FirstInstance();
}

YMTFunction* FunctionAt(const YMTInstance* instance, uint32_t id) {
    YMTNode* n = instance ? instance->GetAt(id) : nullptr;
    return (n && n->NodeType() == kNodeFunction) ? static_cast<YMTFunction*>(n) : nullptr;
}

YMTOperation* OperationAt(const YMTFunction* function, uint32_t code) {
    YMTNode* n = function ? function->GetAt(code) : nullptr;
    return (n && n->NodeType() == kNodeOperation) ? static_cast<YMTOperation*>(n) : nullptr;
}

// The shared "PosX" and "PosY" parameters: one byte each, at the first and
// the second byte of the payload.
YMTParamNumber* SharedPosition(bool posY) {
    // Made once, on first use, under the language's guarantee for local
    // statics (two threads asking at once get the same object).
    auto make = [](bool y) {
        auto p = std::make_unique<YMTParamNumber>();
        p->SetName(y ? "PosY" : "PosX");
        p->SetBytesInMsg(1);
        p->SetMsgBitPos(y ? 8 : 0);
        return p;
    };
    static const std::unique_ptr<YMTParamNumber> posX = make(false), posYParam = make(true);
    return posY ? posYParam.get() : posX.get();
}

} // namespace

extern "C" {

MOSTFCAT_API uint32_t gFctGetMessageLookupKey(uint64_t manager, uint16_t channel,
                                              const char* fblock, const char* function,
                                              const char* operation, uint32_t* key) {
    if (!fblock || !function || !operation || !key) return MOSTFCAT_INVALID;
    if (!ValidChannel(channel)) return MOSTFCAT_BAD_CHANNEL;
    return Guarded([&]() -> uint32_t {
        YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(manager);
        if (!m) return MOSTFCAT_INVALID;
        uint32_t fblockId = 0;
        YMTFBlock* fb = nullptr;
        if (!NumberText(fblock, fblockId)) {
            for (YMTCatalog* c : m->ChannelCatalogs(channel))
                if ((fb = FBlockByName(*c, fblock))) break;
            if (!fb) return MOSTFCAT_NO_FBLOCK;
            fblockId = fb->FBlockID;
        }
        if (fblockId > 255) return MOSTFCAT_NO_FBLOCK;
        if (!fb) fb = FirstFBlockById(*m, channel, fblockId);

        uint32_t fktId = 0;
        YMTFunction* fn = nullptr;
        if (!NumberText(function, fktId)) {
            YMTInstance* inst = FirstInstanceOf(fb);
            YMTNode* n = inst ? inst->FindChild(function) : nullptr;
            if (!n || n->NodeType() != kNodeFunction) return MOSTFCAT_NO_FUNCTION;
            fn = static_cast<YMTFunction*>(n);
            fktId = fn->ID();
        }
        if (fktId > 4095) return MOSTFCAT_NO_FUNCTION;
        if (!fn) fn = FunctionAt(FirstInstanceOf(fb), fktId);

        uint32_t opType = 0;
        if (!NumberText(operation, opType)) {
            YMTNode* n = fn ? fn->FindChild(operation) : nullptr;
            if (!n || n->NodeType() != kNodeOperation) return MOSTFCAT_NO_OPERATION;
            opType = n->ID();
        }
        if (opType > 15) return MOSTFCAT_NO_OPERATION;
        *key = fblockId << 16 | fktId << 4 | opType;
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API uint32_t gFctGetMessageDefaultLength(uint64_t manager, uint16_t channel, uint32_t key,
                                                  uint32_t* length) {
    if (key > 0xFFFFFF || !length) return MOSTFCAT_INVALID;
    if (!ValidChannel(channel)) return MOSTFCAT_BAD_CHANNEL;
    return Guarded([&]() -> uint32_t {
        YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(manager);
        if (!m) return MOSTFCAT_INVALID;
        uint32_t fblockId = key >> 16, fktId = (key >> 4) & 0xFFF, opType = key & 0xF;
        std::string catalogName;
        uint32_t instId = 0xFFFFFFFF;
        for (YMTCatalog* c : m->ChannelCatalogs(channel)) {
            YMTFBlock* fb = FBlockById(*c, fblockId);
            if (!fb) continue;
            catalogName = m->NameOfCatalog(c);
            YMTInstance* inst = FirstInstanceOf(fb);
            if (FunctionAt(inst, fktId)) instId = inst->InstanceID;
            break;
        }
        std::unique_ptr<YFciMessage> msg(
            m->CreateMessage(channel, catalogName, fblockId, instId, 0, fktId, opType, 3));
        if (!msg) return MOSTFCAT_INVALID;
        *length = static_cast<uint32_t>(msg->HexdumpStr().size() / 2);
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API uint32_t gFctGetParamByName(uint64_t manager, uint16_t channel, uint32_t key,
                                         const char* paramName, uint64_t* param) {
    if (key > 0xFFFFFF || !paramName || !param) return MOSTFCAT_INVALID;
    if (!ValidChannel(channel)) return MOSTFCAT_BAD_CHANNEL;
    return Guarded([&]() -> uint32_t {
        YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(manager);
        if (!m) return MOSTFCAT_INVALID;
        YMTFBlock* fb = FirstFBlockById(*m, channel, key >> 16);
        if (!fb) return MOSTFCAT_NO_FBLOCK;
        YMTFunction* fn = FunctionAt(FirstInstanceOf(fb), (key >> 4) & 0xFFF);
        if (!fn) return MOSTFCAT_NO_FUNCTION;
        YMTOperation* op = OperationAt(fn, key & 0xF);
        if (!op) return MOSTFCAT_NO_OPERATION;
        std::string name = paramName;
        bool posX = EqualsNoCase(name, "PosX"), posY = EqualsNoCase(name, "PosY");
        if ((posX || posY) && !FindParamByName(*op, name, false)) {
            YMTParam* pos = FindParamByName(*op, "Pos", false);
            if (!pos) pos = FindParamByName(*op, "Position", false);
            if (!pos || pos->ParamMeaning() != kMeaningArrayPos || pos->MsgBitPos() != 0)
                return MOSTFCAT_NO_PARAM;
            std::lock_guard<std::recursive_mutex> lock(ApiMutex());
            *param = reinterpret_cast<uint64_t>(SharedPosition(posY));
            return MOSTFCAT_OK;
        }
        YMTParam* p = FindParamByName(*op, name, false);
        if (!p) return MOSTFCAT_NO_PARAM;
        *param = reinterpret_cast<uint64_t>(p);
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API uint32_t gFctCompileLayouts(uint64_t manager, uint16_t channel, uint32_t* count) {
    if (count) *count = 0;
    if (!ValidChannel(channel)) return MOSTFCAT_BAD_CHANNEL;
    return Guarded([&]() -> uint32_t {
        YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(manager);
        if (!m) return MOSTFCAT_INVALID;
        uint32_t ready = m->CompileLayouts(channel);
        if (count) *count = ready;
        return MOSTFCAT_OK;
    });
}

MOSTFCAT_API uint32_t gFctConvertBytesToStr(uint64_t param, const uint8_t* bytes, uint32_t length,
                                            char* text, int32_t textSize) {
    if (!param) return MOSTFCAT_NOT_FOUND;
    return Guarded([&] {
        return reinterpret_cast<YMTNode*>(param)->ConvertBytesToStr(bytes, length, text, textSize);
    });
}

MOSTFCAT_API uint32_t gFctConvertBytesToInt(uint64_t param, const uint8_t* bytes, uint32_t length,
                                            uint32_t* value) {
    if (!param) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded(
        [&] { return reinterpret_cast<YMTNode*>(param)->ConvertBytesToInt(bytes, length, value); });
}

MOSTFCAT_API uint32_t gFctConvertBytesToUInt64(uint64_t param, const uint8_t* bytes,
                                               uint32_t length, uint64_t* value) {
    if (!param) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&] {
        return reinterpret_cast<YMTNode*>(param)->ConvertBytesToUInt64(bytes, length, value);
    });
}

MOSTFCAT_API uint32_t gFctConvertBytesToDouble(uint64_t param, const uint8_t* bytes,
                                               uint32_t length, double* value) {
    if (!param) return MOSTFCAT_NOT_FOUND;
    if (!value) return MOSTFCAT_INVALID;
    return Guarded([&] {
        return reinterpret_cast<YMTNode*>(param)->ConvertBytesToDouble(bytes, length, value);
    });
}

} // extern "C"
