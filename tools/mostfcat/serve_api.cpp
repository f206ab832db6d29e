// The JSON API of "mostfcat serve": the outline, the encoder form, decode
// and encode, over catalogs opened into one catalog manager.
#include "serve_api.h"

#include <memory>
#include <utility>

#include "mostfcat/open_report.h"
#include "mostfcat/telegrams.h"
#include "tool_command.h"
#include "tool_outline.h"

namespace mostfcat::cli {

namespace {

// Texts from a request or the library may hold bytes that are not UTF-8;
// they are shown with a replacement character instead of failing the reply.
std::string Dump(const Json& j) {
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Reads a request body that must be a JSON object; false with the reason.
bool ParseObject(const std::string& body, Json& out, std::string& why) {
    try {
        out = Json::parse(body);
    } catch (const Json::exception& e) {
        // "[json.exception.parse_error.101] parse error at ..." without the tag.
        std::string text = e.what();
        size_t tag = text.find("] ");
        why = "malformed JSON: " + (tag == std::string::npos ? text : text.substr(tag + 2));
        return false;
    }
    if (!out.is_object()) {
        why = "the request must be a JSON object";
        return false;
    }
    return true;
}

// An optional boolean member; false with the reason when it is something else.
bool OptionalFlag(const Json& request, const char* key, bool& value, std::string& why) {
    value = false;
    auto it = request.find(key);
    if (it == request.end()) return true;
    if (!it->is_boolean()) {
        why = std::string("\"") + key + "\" must be true or false";
        return false;
    }
    value = it->get<bool>();
    return true;
}

std::string CoordinatesText(const MessageCoordinates& at) {
    return Format("%02X.%02X.%03X.%X", at.fblock, at.instance, at.function, at.operation);
}

// The operation a message instance stands for, named as decode names it.
Json MessageHead(YFciMessage& m, const MessageCoordinates& at) {
    Json j;
    j["message"] = CoordinatesText(at);
    j["fblock"] = YFciUserInput::Latin1ToUtf8(m.FBlockName());
    j["device"] = YFciUserInput::Latin1ToUtf8(m.DeviceName());
    j["function"] = YFciUserInput::Latin1ToUtf8(m.FunctionName());
    j["operation"] = YFciUserInput::Latin1ToUtf8(m.OperationName());
    return j;
}

bool HoldsValue(YFciParamType type) {
    switch (type) {
    case eFciParamBool:
    case eFciParamBoolfield:
    case eFciParamNumber:
    case eFciParamEnum:
    case eFciParamString:
    case eFciParamBitfield:
    case eFciParamFktIDBitStream:
    case eFciParamRawStream:
    case eFciParamRemain:
    case eFciParamCStream:
    case eFciParamRawShortStream:
    case eFciParamSignal:
        return true;
    default:
        return false;
    }
}

// One form entry per parameter that takes a value, in payload order; a
// structure (array, record, stream, a bool field set) becomes a heading
// above its members. A bool with bit fields is set bit by bit.
void AddFields(YFciParam& p, int level, Json& fields) {
    if (!p.IsActive() || p.IsDescriptionParam()) return;
    const YFciParamType type = p.ParamType();
    const auto& members = p.SubParamList();
    Json f;
    f["name"] = YFciUserInput::Latin1ToUtf8(p.SymID());
    f["label"] = YFciUserInput::Latin1ToUtf8(p.Name());
    f["type"] = gFctParamKindName(type);
    f["level"] = level;
    if (!HoldsValue(type) ||
        ((type == eFciParamBool || type == eFciParamBitfield) && !members.empty())) {
        if (type == eFciParamDiagnostic || type == eFciParamVoid) return;
        f["group"] = true;
        fields.push_back(std::move(f));
        for (YFciParam* m : members)
            if (m) AddFields(*m, level + 1, fields);
        return;
    }
    if (!p.Unit().empty()) f["unit"] = YFciUserInput::Latin1ToUtf8(p.Unit());
    f["accepts"] = YFciUserInput::Accepts(p, false);
    std::vector<std::string> choices;
    if (type == eFciParamEnum) choices = static_cast<YFciParamEnum&>(p).ValueList(0x2);
    if (type == eFciParamBoolfield) choices = static_cast<YFciParamBoolfield&>(p).ValueList(0x2);
    if (!choices.empty()) {
        Json list = Json::array();
        for (const std::string& c : choices)
            list.push_back(YFciUserInput::Latin1ToUtf8(c));
        f["choices"] = std::move(list);
    }
    fields.push_back(std::move(f));
}

} // namespace

ApiReply ApiError(int status, const std::string& text, const std::string& param) {
    Json j{{"error", text}};
    if (!param.empty()) j["param"] = param;
    return ApiReply{status, Dump(j)};
}

ServeCatalogs::~ServeCatalogs() {
    std::lock_guard<std::mutex> hold(m_Lock);
    if (m_Manager) gFctDestroyFCatManager(m_Manager);
}

int ServeCatalogs::Open(const std::vector<std::string>& paths, uint16_t channel) {
    for (const std::string& path : paths) {
        std::string why = UnreadableReason(path);
        if (!why.empty()) {
            PrintError("cannot read " + path + ": " + why);
            return kExitUsage;
        }
    }
    std::lock_guard<std::mutex> hold(m_Lock);
    if (gFctCreateFCatManager(&m_Manager, "mostfcat serve") != MOSTFCAT_OK || !m_Manager) {
        PrintError("cannot create a catalog manager");
        return kExitFailed;
    }
    YFciFCatManager* manager = gFciFCatManager(m_Manager);
    manager->SetChannelCount(16);
    for (const std::string& path : paths) {
        // Validation mode 4: the profile decides; no import log is written.
        uint32_t status = manager->OpenFCat(path, channel, "", 4, "");
        YFciOpenReport report;
        gFciGetLastOpenReport(0, &report);
        if (status == 2) {
            PrintError("cannot read " + path);
            return kExitUsage;
        }
        if (status != 0) {
            std::string text = "import of " + path + " failed";
            if (!report.failureReason.empty()) text += ": " + report.failureReason;
            if (status > 2) text += Format(" (cache error %u)", status);
            PrintError(text);
            return kExitFailed;
        }
        if (!report.cacheFailurePath.empty())
            PrintWarning("cache file " + report.cacheFailurePath + " not written (" +
                         report.cacheFailureReason + "); the catalog is used without it");
    }
    m_Channel = channel == kAllChannels ? 0 : channel;

    uint64_t* items = nullptr;
    uint32_t count = 0;
    Json catalogs = Json::array();
    if (gFctGetFCatItemList(m_Manager, &items, &count) == MOSTFCAT_OK)
        for (uint32_t i = 0; i < count; ++i) {
            Json one;
            ListCatalogJson(TreeNode(items[i]), ListOptions{}, one);
            catalogs.push_back(std::move(one));
        }
    // The page offers telegram lines where the library decodes them.
    m_Outline = Dump(Json{{"catalogs", std::move(catalogs)}, {"telegrams", true}});
    return kExitOk;
}

ApiReply ServeCatalogs::Form(const std::string& coordinates) {
    MessageCoordinates at;
    std::string why;
    if (!ParseCoordinates(coordinates, at, why)) return ApiError(422, why, "message");
    std::lock_guard<std::mutex> hold(m_Lock);
    YFciFCatManager* manager = gFciFCatManager(m_Manager);
    std::unique_ptr<YFciMessage> message(manager->CreateMessage(
        m_Channel, "", at.fblock, at.instance, 1, at.function, at.operation, 1));
    if (!message || !message->IsOperationValid())
        return ApiError(422, "no operation " + CoordinatesText(at) + " in the catalogs", "message");
    Json reply = MessageHead(*message, at);
    Json fields = Json::array();
    for (YFciParam* p : message->ParamList())
        if (p) AddFields(*p, 0, fields);
    reply["fields"] = std::move(fields);
    return ApiReply{200, Dump(reply)};
}

ApiReply ServeCatalogs::Decode(const std::string& body) {
    Json request;
    std::string why;
    if (!ParseObject(body, request, why)) return ApiError(400, why);
    bool telegrams = false, most150 = false;
    if (!OptionalFlag(request, "telegrams", telegrams, why) ||
        !OptionalFlag(request, "most150", most150, why))
        return ApiError(400, why);
    if (most150 && !telegrams) return ApiError(400, "\"most150\" goes with \"telegrams\"");

    // The lines as sent: one text split at its line ends, or a list.
    std::vector<std::string> lines;
    auto text = request.find("text");
    auto list = request.find("lines");
    if ((text == request.end()) == (list == request.end()))
        return ApiError(400, "give either \"text\" (lines) or \"lines\" (a list of lines)");
    if (text != request.end()) {
        if (!text->is_string()) return ApiError(400, "\"text\" must be a string");
        const std::string& all = text->get_ref<const std::string&>();
        size_t start = 0;
        while (start < all.size()) {
            size_t end = all.find('\n', start);
            if (end == std::string::npos) end = all.size();
            lines.push_back(all.substr(start, end - start));
            start = end + 1;
        }
    } else {
        if (!list->is_array()) return ApiError(400, "\"lines\" must be a list of strings");
        for (const Json& line : *list) {
            if (!line.is_string()) return ApiError(400, "\"lines\" must be a list of strings");
            lines.push_back(line.get<std::string>());
        }
    }
    std::string out;
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        YFciFCatManager* manager = gFciFCatManager(m_Manager);
        if (telegrams) {
            // Messages carried by several telegrams are put together first.
            YFciTelegramDecoder decoder(manager, m_Channel, MOSTFCAT_DECODE_ALL,
                                        YFciTraceDecoder::eJson,
                                        most150 ? YFciTelegrams::eMost150 : YFciTelegrams::eMost50);
            for (const std::string& line : lines)
                decoder.DecodeLine(line.data(), line.size(), out);
            decoder.Finish(out);
        } else {
            YFciTraceDecoder decoder(manager, m_Channel, MOSTFCAT_DECODE_ALL,
                                     YFciTraceDecoder::eJson);
            for (const std::string& line : lines)
                decoder.DecodeLine(line.data(), line.size(), out);
        }
    }
    // The decoder writes one object a line (line ends inside texts are
    // escaped); the reply is the array of them.
    std::string reply = "[";
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        if (end > start) {
            if (reply.size() > 1) reply += ',';
            reply.append(out, start, end - start);
        }
        start = end + 1;
    }
    reply += "]";
    return ApiReply{200, std::move(reply)};
}

ApiReply ServeCatalogs::Encode(const std::string& body) {
    Json request;
    std::string why;
    if (!ParseObject(body, request, why)) return ApiError(400, why);
    auto coordinates = request.find("message");
    if (coordinates == request.end() || !coordinates->is_string())
        return ApiError(400, "\"message\" must be the coordinates FBLOCK.INST.FKT.OP");
    bool raw = false;
    if (!OptionalFlag(request, "raw", raw, why)) return ApiError(400, why);
    std::vector<std::pair<std::string, std::string>> values;
    auto given = request.find("values");
    if (given != request.end()) {
        if (!given->is_object()) return ApiError(400, "\"values\" must be an object of texts");
        // Values are texts as decode shows them; a JSON number would be
        // reformatted on the way, so only strings are taken.
        for (auto it = given->begin(); it != given->end(); ++it) {
            if (!it.value().is_string())
                return ApiError(400, "the value of " + it.key() + " must be a string", it.key());
            values.emplace_back(it.key(), it.value().get<std::string>());
        }
    }
    MessageCoordinates at;
    if (!ParseCoordinates(coordinates->get<std::string>(), at, why))
        return ApiError(422, why, "message");

    std::lock_guard<std::mutex> hold(m_Lock);
    YFciFCatManager* manager = gFciFCatManager(m_Manager);
    std::unique_ptr<YFciMessage> message(manager->CreateMessage(
        m_Channel, "", at.fblock, at.instance, 1, at.function, at.operation, 1));
    if (!message || !message->IsOperationValid())
        return ApiError(422, "no operation " + CoordinatesText(at) + " in the catalogs", "message");
    std::vector<uint8_t> payload;
    std::vector<std::string> unset;
    std::string param;
    if (!YFciUserInput::EncodeValues(*message, values, raw, payload, unset, param, why))
        return ApiError(422, why, param);

    Json reply = MessageHead(*message, at);
    reply["payload"] = YFciHexdumpHelper::CondensedString(payload);
    Json notSet = Json::array();
    for (const std::string& name : unset)
        notSet.push_back(YFciUserInput::Latin1ToUtf8(name));
    reply["unset"] = std::move(notSet);
    Json warnings = Json::array();
    std::unique_ptr<YFciMesgInfo> info(
        manager->CreateMesgInfo(m_Channel, at.fblock, at.instance, at.function, at.operation));
    if (info) {
        info->SetInstFallback(1);
        std::string fallback = YFciUserInput::InstanceFallbackText(*info);
        size_t verb = fallback.find("decoded with");
        if (verb != std::string::npos) fallback.replace(verb, 12, "encoded with");
        if (!fallback.empty()) warnings.push_back(fallback);
    }
    reply["warnings"] = std::move(warnings);
    // The payload decoded again, as decode shows it.
    YFciTraceDecoder decoder(manager, m_Channel, MOSTFCAT_DECODE_ALL, YFciTraceDecoder::eJson);
    std::string decoded;
    decoder.DecodeMessage(at.fblock, at.instance, at.function, at.operation, payload.data(),
                          payload.size(), "", decoded);
    Json again = Json::parse(decoded, nullptr, false);
    if (!again.is_discarded()) reply["decoded"] = std::move(again);
    return ApiReply{200, Dump(reply)};
}

} // namespace mostfcat::cli
