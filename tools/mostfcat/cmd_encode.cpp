// "mostfcat encode": the payload of a message from values set by name, or
// from positional input texts.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "mostfcat/fci.h"
#include "tool_command.h"

namespace mostfcat::cli {

namespace {

void PrintPayload(const std::vector<uint8_t>& payload, YFciFCatManager& manager, uint16_t channel,
                  const MessageCoordinates& at, bool json) {
    if (!json) {
        std::printf("%s\n", YFciHexdumpHelper::CondensedString(payload).c_str());
        return;
    }
    YFciTraceDecoder decoder(&manager, channel, MOSTFCAT_DECODE_ALL, YFciTraceDecoder::eJson);
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

int Run(const CommandArgs& a) {
    // --inputs takes the rest of the arguments as input texts.
    const bool positional = a.restGiven;
    const std::vector<std::string>& inputs = a.rest;
    std::string problem;
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
    YFciFCatManager* manager = opened.Manager();
    if (!manager) return kExitFailed;
    uint16_t channel = request.channel == kAllChannels ? 0 : request.channel;
    const bool json = a.Has("--json");
    WarnInstanceFallback(*manager, channel, at);

    if (positional) {
        uint32_t index = 0;
        std::string why;
        if (!YFciUserInput::CheckInputs(inputs, index, why)) {
            PrintError(Format("input %u '", index + 1) + inputs[index] + "': " + why);
            return kExitFailed;
        }
        std::unique_ptr<YFciMesgInfo> info(
            manager->CreateMesgInfo(channel, at.fblock, at.instance, at.function, at.operation));
        uint32_t status = 0;
        info->SetInstFallback(1);
        info->Assemble(inputs, status, index);
        if (status != MOSTFCAT_ASSEMBLE_OK) {
            std::string which = index < inputs.size() ? " '" + inputs[index] + "'" : "";
            PrintError(Format("input %u%s: ", index + 1, which.c_str()) +
                       YFciUserInput::AssembleStatusText(status) + Format(" (status %u)", status));
            return kExitFailed;
        }
        PrintPayload(info->Data(), *manager, channel, at, json);
        return kExitOk;
    }

    // Values by name, starting from the operation's default payload.
    std::unique_ptr<YFciMessage> message(manager->CreateMessage(channel, "", at.fblock, at.instance,
                                                                1, at.function, at.operation, 1));
    if (!message) {
        PrintError("no operation " +
                   Format("%02X.%02X.%03X.%X", at.fblock, at.instance, at.function, at.operation) +
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

} // namespace

const ToolCommand kEncodeCommand = {
    "encode",
    {{"--channel", true}, {"--json", false}, {"--raw", false}},
    "--inputs",
    "  encode CATALOG [--channel N] FBLOCK.INST.FKT.OP [NAME=VALUE ... [--raw] |\n"
    "         --inputs TEXT ...] [--json]\n"
    "        make a payload: NAME=VALUE sets a value by its symbolic identifier\n"
    "        (Data.Band[2].Level=-3) starting from the default payload, written\n"
    "        as decode shows it (numbers physical, on the catalog's step grid and\n"
    "        inside its range; value names or defined codes; texts in UTF-8);\n"
    "        --raw takes raw integers and any enumeration code. --inputs\n"
    "        assembles it from positional input texts. Prints the payload as hex\n"
    "        (--json: decoded, as decode --json shows it, with \"payload\")\n",
    Run,
};

} // namespace mostfcat::cli
