// "mostfcat encode": the payload of a message from values set by name, or
// from positional input texts.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "mostfcat/command.h"
#include "mostfcat/fci.h"
#include "mostfcat/message_commands.h"
#include "platform/strings.h"

namespace mostfcat::cli {

namespace {

void PrintPayload(const std::vector<uint8_t>& payload, YFciFCatManager& manager, uint16_t channel,
                  const MessageCoordinates& at, bool json) {
    if (!json) {
        std::printf("%s\n", YFciHexdumpHelper::CondensedString(payload).c_str());
        return;
    }
    YFciTraceDecoder decoder(&manager, channel, 0xFFFFFFFF, YFciTraceDecoder::eJson);
    std::string out;
    decoder.DecodeMessage(at.fblock, at.instance, at.function, at.operation, payload.data(),
                          payload.size(), "", out);
    std::fwrite(out.data(), 1, out.size(), stdout);
}

// Warns when the FBlock lacks the addressed instance (the layout of another
// instance is used).
void WarnInstanceFallback(YFciFCatManager& manager, uint16_t channel,
                          const MessageCoordinates& at) {
    std::unique_ptr<YFciMesgInfo> info(
        manager.CreateMesgInfo(channel, at.fblock, at.instance, at.function, at.operation));
    if (!info) return;
    info->SetInstFallback(1);
    std::string text = YFciUserInput::InstanceFallbackText(*info);
    if (!text.empty()) {
        size_t at_ = text.find("decoded with");
        if (at_ != std::string::npos) text.replace(at_, 12, "encoded with");
        PrintWarning(text);
    }
}

} // namespace

int CmdEncode(const std::vector<std::string>& args) {
    CommandArgs a;
    // --inputs takes the rest of the plain arguments as input texts.
    std::vector<std::string> own, inputs;
    bool positional = false;
    for (const std::string& arg : args) {
        if (positional)
            inputs.push_back(arg);
        else if (arg == "--inputs")
            positional = true;
        else
            own.push_back(arg);
    }
    std::string problem =
        ParseArgs("encode", own, {{"--channel", true}, {"--json", false}, {"--raw", false}}, a);
    OpenRequest request;
    MessageCoordinates at;
    if (problem.empty() && a.plain.size() < 2)
        problem = "encode needs a catalog file and the coordinates FBLOCK.INST.FKT.OP";
    if (problem.empty()) {
        request.catalog = a.plain[0];
        std::string why;
        if (!ParseCoordinates(a.plain[1], at, why)) problem = "encode: " + why;
    }
    if (problem.empty() && a.Has("--channel")) {
        std::string p = ParseChannel(a.Get("--channel"), request.channel);
        if (!p.empty()) problem = "encode: " + p;
    }
    std::vector<std::pair<std::string, std::string>> assignments;
    for (size_t i = 2; problem.empty() && i < a.plain.size(); ++i) {
        size_t eq = a.plain[i].find('=');
        if (eq == std::string::npos || eq == 0) {
            problem = "encode: expected NAME=TEXT, not '" + a.plain[i] + "'";
            break;
        }
        assignments.emplace_back(a.plain[i].substr(0, eq), a.plain[i].substr(eq + 1));
    }
    if (problem.empty() && positional && !assignments.empty())
        problem = "encode: NAME=TEXT and --inputs exclude each other";
    if (problem.empty() && positional && inputs.empty())
        problem = "encode: --inputs needs at least one input text";
    if (problem.empty() && positional && a.Has("--raw"))
        problem = "encode: --raw goes with NAME=VALUE (--inputs are raw already)";
    if (!problem.empty()) return UsageError(problem);

    OpenedCatalog opened;
    int rc = OpenForCommand(request, opened);
    if (rc != kExitOk) return rc;
    YFciFCatManager* manager = gFciFCatManager(opened.ManagerHandle());
    if (!manager) return kExitFailed;
    uint16_t channel = request.channel == kAllChannels ? 0 : request.channel;
    const bool json = a.Has("--json");
    WarnInstanceFallback(*manager, channel, at);

    if (positional) {
        uint32_t index = 0;
        std::string why;
        if (!YFciUserInput::CheckInputs(inputs, index, why)) {
            PrintError(StrFormat("input %u '", index + 1) + inputs[index] + "': " + why);
            return kExitFailed;
        }
        std::unique_ptr<YFciMesgInfo> info(
            manager->CreateMesgInfo(channel, at.fblock, at.instance, at.function, at.operation));
        uint32_t status = 0;
        info->SetInstFallback(1);
        info->Assemble(inputs, status, index);
        if (status != 0) {
            std::string which = index < inputs.size() ? " '" + inputs[index] + "'" : "";
            PrintError(StrFormat("input %u%s: ", index + 1, which.c_str()) +
                       YFciUserInput::AssembleStatusText(status) +
                       StrFormat(" (status %u)", status));
            return kExitFailed;
        }
        PrintPayload(info->Data(), *manager, channel, at, json);
        return kExitOk;
    }

    // Values by name, starting from the operation's default payload.
    std::unique_ptr<YFciMessage> message(manager->CreateMessage(channel, "", at.fblock, at.instance,
                                                                1, at.function, at.operation, 1));
    if (!message) {
        PrintError(
            "no operation " +
            StrFormat("%02X.%02X.%03X.%X", at.fblock, at.instance, at.function, at.operation) +
            " in " + request.catalog);
        return kExitFailed;
    }
    std::vector<uint8_t> payload;
    std::vector<std::string> unset;
    std::string param, why;
    if (!YFciUserInput::EncodeValues(*message, assignments, a.Has("--raw"), payload, unset, param,
                                     why)) {
        if (param.empty() && why.rfind("no operation", 0) == 0) why += " in " + request.catalog;
        PrintError(why);
        return kExitFailed;
    }
    if (!unset.empty()) {
        std::string list;
        for (const std::string& s : unset)
            list += (list.empty() ? "" : ", ") + s;
        PrintWarning("not set (written as zero bytes): " + list);
    }
    PrintPayload(payload, *manager, channel, at, json);
    return kExitOk;
}

} // namespace mostfcat::cli
