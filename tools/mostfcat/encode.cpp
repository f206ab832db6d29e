// "mostfcat encode": the payload of a message from values set by name, or
// from positional input texts.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "manager/manager.h"
#include "message/message.h"
#include "mostfcat/command.h"
#include "mostfcat/fci.h"
#include "mostfcat/message_commands.h"
#include "platform/strings.h"
#include "values/param_path.h"

namespace mostfcat::cli {

namespace {

std::string Number(double v) {
    return StrFormat("%.0f", v);
}

// What a value of this kind accepts, for the message about a text that does
// not fit.
std::string Rule(YFciParam& p) {
    switch (p.ParamType()) {
    case eFciParamNumber: {
        auto& n = static_cast<YFciParamNumber&>(p);
        return "a whole number from " + Number(n.MinValue()) + " to " + Number(n.MaxValue()) +
               " (raw, before the exponent " + std::to_string(n.Exponent()) + ")";
    }
    case eFciParamEnum:
        return "one of the value names or a code up to " +
               std::to_string(static_cast<YFciParamEnum&>(p).MaxValue());
    case eFciParamBool:
    case eFciParamBitfield:
        return "a number from 0 to " + std::to_string(static_cast<YFciParamBool&>(p).MaxValue()) +
               " (decimal or 0x hexadecimal)";
    case eFciParamBoolfield:
        return "0 or 1";
    case eFciParamSignal: {
        auto& s = static_cast<YFciParamSignal&>(p);
        return s.IsSigned() ? "a number from " + std::to_string(s.MinValue()) + " to " +
                                  std::to_string(static_cast<int64_t>(s.MaxValue()))
                            : "a number from 0 to " + std::to_string(s.MaxValue());
    }
    case eFciParamString: {
        unsigned long most = static_cast<YFciParamString&>(p).MaxSize();
        return most == static_cast<unsigned long>(-1)
                   ? "a text"
                   : "a text of at most " + std::to_string(most) + " bytes";
    }
    case eFciParamRawStream:
    case eFciParamRemain:
        return "hexadecimal bytes, as many as it holds now (" +
               std::to_string(p.ValueHexdump().size()) + ") unless it ends the message";
    default:
        return "no value of its own (it is a structure)";
    }
}

const char* StatusText(uint32_t status) {
    switch (status) {
    case 3:
        return "the catalog has no such operation";
    case 4:
        return "the text cannot be converted into bytes";
    case 5:
        return "the wildcard * is not allowed here";
    case 6:
        return "the input is missing, empty or of the wrong shape for the parameter";
    case 7:
        return "no stream case matches the selector value";
    case 8:
        return "the value name stands for several codes";
    case 9:
        return "this kind of parameter cannot be assembled";
    case 10:
        return "more inputs than parameters";
    default:
        return "assembling failed";
    }
}

void PrintPayload(const std::vector<uint8_t>& payload, YFciFCatManager& manager, uint16_t channel,
                  const MessageCoordinates& at, bool json) {
    std::string hex = YFciHexdumpHelper::CondensedString(payload);
    if (!json) {
        std::printf("%s\n", hex.c_str());
        return;
    }
    std::unique_ptr<YFciMesgInfo> info(manager.CreateMesgInfo(channel, at.fblock, at.instance,
                                                              at.function, at.operation, payload));
    if (!info) return;
    Json o = DescriptionJson(*info);
    o["payload"] = hex;
    PrintJson(o, stdout);
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
    std::string problem = ParseArgs("encode", own, {{"--channel", true}, {"--json", false}}, a);
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
    if (!problem.empty()) return UsageError(problem);

    OpenedCatalog opened;
    int rc = OpenForCommand(request, opened);
    if (rc != kExitOk) return rc;
    YFciFCatManagerImpl* manager = YFciFCatManagerImpl::FromHandle(opened.ManagerHandle());
    if (!manager) return kExitFailed;
    uint16_t channel = request.channel == kAllChannels ? 0 : request.channel;
    const bool json = a.Has("--json");

    if (positional) {
        std::unique_ptr<YFciMesgInfo> info(
            manager->CreateMesgInfo(channel, at.fblock, at.instance, at.function, at.operation));
        uint32_t status = 0, index = 0;
        info->Assemble(inputs, status, index);
        if (status != 0) {
            std::string which = index < inputs.size() ? " '" + inputs[index] + "'" : "";
            PrintError(StrFormat("input %u%s: ", index + 1, which.c_str()) + StatusText(status) +
                       StrFormat(" (status %u)", status));
            return kExitFailed;
        }
        PrintPayload(info->Data(), *manager, channel, at, json);
        return kExitOk;
    }

    // Values by name, starting from the operation's default payload.
    std::unique_ptr<YFciMessage> created(manager->CreateMessage(channel, "", at.fblock, at.instance,
                                                                0, at.function, at.operation, 1));
    auto* message = static_cast<YFciMessageImpl*>(created.get());
    if (!message || !message->IsOperationValid() || !message->OperationNode()) {
        PrintError(
            "no operation " +
            StrFormat("%02X.%02X.%03X.%X", at.fblock, at.instance, at.function, at.operation) +
            " in " + request.catalog);
        return kExitFailed;
    }
    for (const auto& [name, text] : assignments) {
        YParamPath path;
        if (!ParseParamPath(name, YPathKind::Symbolic, path)) {
            PrintError("'" + name + "' is not a parameter name (letters, digits, _ and " +
                       "indexes such as Data.Band[2].Level)");
            return kExitFailed;
        }
        message->ExpandPath(path);
        YFciParam* p = message->GetParamBySymID(name);
        if (!p) {
            PrintError("no parameter " + name + " in " + message->FunctionName() + "." +
                       message->OperationName());
            return kExitFailed;
        }
        bool changed = false;
        if (!p->SetUserInputStr(text, changed)) {
            PrintError(name + ": '" + text + "' does not fit: " + Rule(*p));
            return kExitFailed;
        }
        // Edits that reshape the message (lengths, selectors) take effect here.
        (void)message->HexdumpStr();
        p = message->GetParamBySymID(name);
        if (p && p->IsValueDefined() && !p->IsValueValid()) {
            std::string range;
            if (p->ParamType() == eFciParamNumber) {
                auto* n = static_cast<YFciParamNumber*>(p);
                range = " (" + Number(n->MinValue()) + " to " + Number(n->MaxValue()) + ")";
            }
            PrintError(name + ": '" + text + "' is outside the range the catalog allows" + range);
            return kExitFailed;
        }
    }
    std::vector<std::string> unset;
    for (YFciParam* p : message->AllParams(true))
        if (!p->IsValueDefined()) unset.push_back(p->SymID());
    if (!unset.empty()) {
        std::string list;
        for (const std::string& s : unset)
            list += (list.empty() ? "" : ", ") + s;
        PrintWarning("not set (written as zero bytes): " + list);
    }
    PrintPayload(message->Data(), *manager, channel, at, json);
    return kExitOk;
}

} // namespace mostfcat::cli
