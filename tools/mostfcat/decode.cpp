// "mostfcat decode": payloads of messages (from the command line or, one a
// line, from standard input) decoded into their parameters.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "manager/manager.h"
#include "mostfcat/command.h"
#include "mostfcat/fci.h"
#include "mostfcat/message_commands.h"
#include "platform/strings.h"
#include "tree/node.h"

namespace mostfcat::cli {

namespace {

bool ReadHexNumber(const std::string& text, uint32_t max, uint32_t& out) {
    std::string t = Trim(text);
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.erase(0, 2);
    if (t.empty() || t.size() > 8 ||
        t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    unsigned long v = std::strtoul(t.c_str(), nullptr, 16);
    if (v > max) return false;
    out = static_cast<uint32_t>(v);
    return true;
}

// One message of the input: "FBLOCK.INST.FKT.OP:HEX".
struct MessageLine {
    MessageCoordinates at;
    std::vector<uint8_t> payload;
};

bool ParseMessage(const std::string& text, MessageLine& out, std::string& problem) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) {
        problem = "expected FBLOCK.INST.FKT.OP:HEX";
        return false;
    }
    if (!ParseCoordinates(text.substr(0, colon), out.at, problem)) return false;
    std::string hex = text.substr(colon + 1);
    for (char& c : hex)
        if (c == '\t' || c == '\r') c = ' ';
    if (!YFciHexdumpHelper::StringToBytes(out.payload, hex)) {
        problem = "the payload is not hexadecimal";
        return false;
    }
    return true;
}

std::string NodeName(uint64_t handle) {
    return handle ? reinterpret_cast<YMTNode*>(handle)->NameRef() : std::string();
}

// Why a message has no operation, or empty when it has one.
std::string UnknownReason(YFciMesgInfo& info) {
    char buf[96];
    if (!info.FBlockNode())
        std::snprintf(buf, sizeof buf, "unknown message: no FBlock %02X", info.FBlockID());
    else if (!info.InstanceNode())
        std::snprintf(buf, sizeof buf, "unknown message: no instance %02X of FBlock %02X",
                      info.InstID(), info.FBlockID());
    else if (!info.FunctionNode())
        std::snprintf(buf, sizeof buf, "unknown message: no function %03X", info.FktID());
    else if (!info.OperationNode())
        std::snprintf(buf, sizeof buf, "unknown message: no operation %X of function %03X",
                      info.OpType(), info.FktID());
    else
        return std::string();
    return buf;
}

std::string CoordinatesText(const MessageCoordinates& c) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02X.%02X.%03X.%X", c.fblock, c.instance, c.function,
                  c.operation);
    return buf;
}

void PrintPlain(YFciMesgInfo& info, const std::string& where) {
    std::string names = info.FBlockName() + "." + NodeName(info.InstanceNode()) + "." +
                        info.FunctionName() + "." + info.OperationName();
    std::string reason = UnknownReason(info);
    std::string out = where + "  " + JsonText(reason.empty() ? names : reason) + "\n";
    for (const YFciParamInfo* e : info.Disassemble()) {
        out.append(2 + 2 * size_t(e->Level() < 50 ? e->Level() : 50), ' ');
        out += JsonText(e->FullName());
        std::string value = e->ValueText().empty() ? e->DecimalText() : e->ValueText();
        if (!value.empty()) out += ": " + JsonText(value);
        if (!e->UnitText().empty()) out += " " + JsonText(e->UnitText());
        if (!e->HexText().empty()) out += " [" + e->HexText() + "]";
        out += "\n";
    }
    std::fputs(out.c_str(), stdout);
}

} // namespace

bool ParseCoordinates(const std::string& text, MessageCoordinates& out, std::string& problem) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t dot = text.find('.', start);
        parts.push_back(
            text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    if (parts.size() != 4) {
        problem = "expected four hexadecimal coordinates FBLOCK.INST.FKT.OP, not '" + text + "'";
        return false;
    }
    static const char* const kWhat[] = {"FBlock ID", "instance ID", "function ID", "OpType"};
    static const uint32_t kMax[] = {0xFF, 0xFF, 0xFFF, 0xF};
    uint32_t* fields[] = {&out.fblock, &out.instance, &out.function, &out.operation};
    for (int i = 0; i < 4; ++i)
        if (!ReadHexNumber(parts[i], kMax[i], *fields[i])) {
            problem = std::string(kWhat[i]) + " '" + parts[i] +
                      "' is not a hexadecimal number up to " + StrFormat("%X", kMax[i]);
            return false;
        }
    return true;
}

Json DescriptionJson(YFciMesgInfo& info) {
    Json o;
    auto put = [&o](const char* key, const std::string& text) {
        if (!text.empty()) o[key] = JsonText(text);
    };
    put("fblock", info.FBlockName());
    put("instance", NodeName(info.InstanceNode()));
    put("function", info.FunctionName());
    put("operation", info.OperationName());
    put("error", UnknownReason(info));
    Json params = Json::array();
    for (const YFciParamInfo* e : info.Disassemble()) {
        Json p;
        if (!e->FullName().empty()) p["name"] = JsonText(e->FullName());
        p["kind"] = e->ParamType();
        p["level"] = e->Level();
        p["position"] = e->Position();
        if (!e->HexText().empty()) p["hex"] = JsonText(e->HexText());
        if (!e->DecimalText().empty()) p["decimal"] = JsonText(e->DecimalText());
        if (!e->ValueText().empty()) p["value"] = JsonText(e->ValueText());
        if (!e->UnitText().empty()) p["unit"] = JsonText(e->UnitText());
        double numeric = 0;
        if (e->NumericValue(numeric)) p["numeric"] = numeric;
        params.push_back(std::move(p));
    }
    o["params"] = std::move(params);
    return o;
}

int CmdDecode(const std::vector<std::string>& args) {
    CommandArgs a;
    std::string problem =
        ParseArgs("decode", args, {{"--channel", true}, {"--options", true}, {"--json", false}}, a);
    OpenRequest request;
    uint32_t options = 0xFFFFFFFF;
    if (problem.empty() && a.plain.empty()) problem = "decode needs a catalog file";
    if (problem.empty()) request.catalog = a.plain[0];
    if (problem.empty() && a.Has("--channel")) {
        std::string p = ParseChannel(a.Get("--channel"), request.channel);
        if (!p.empty()) problem = "decode: " + p;
    }
    if (problem.empty() && a.Has("--options")) {
        std::string text = a.Get("--options");
        char* end = nullptr;
        unsigned long long v = std::strtoull(text.c_str(), &end, 0);
        if (text.empty() || !end || *end || v > 0xFFFFFFFFull || text[0] == '-')
            problem = "decode: --options takes a 32-bit number (for example 0xFFFFFFFF), not '" +
                      text + "'";
        options = static_cast<uint32_t>(v);
    }
    // The messages given as arguments are checked before anything is opened.
    std::vector<MessageLine> given;
    for (size_t i = 1; problem.empty() && i < a.plain.size(); ++i) {
        MessageLine m;
        std::string why;
        if (!ParseMessage(a.plain[i], m, why)) problem = "decode: '" + a.plain[i] + "': " + why;
        given.push_back(std::move(m));
    }
    if (!problem.empty()) return UsageError(problem);

    OpenedCatalog opened;
    int rc = OpenForCommand(request, opened);
    if (rc != kExitOk) return rc;
    YFciFCatManager* manager = gFciFCatManager(opened.ManagerHandle());
    if (!manager) return kExitFailed;
    uint16_t channel = request.channel == kAllChannels ? 0 : request.channel;
    const bool json = a.Has("--json");

    // One description per message kind: its coordinates resolve once.
    std::map<uint64_t, std::unique_ptr<YFciMesgInfo>> infos;
    auto decode = [&](const MessageLine& m) {
        uint64_t key = uint64_t(m.at.fblock) << 24 | uint64_t(m.at.instance) << 16 |
                       uint64_t(m.at.function) << 4 | m.at.operation;
        std::unique_ptr<YFciMesgInfo>& info = infos[key];
        if (!info) {
            info.reset(manager->CreateMesgInfo(channel, m.at.fblock, m.at.instance, m.at.function,
                                               m.at.operation));
            if (!info) return;
            info->SetOptions(options);
        }
        info->ClearParamInfos();
        info->SetData(m.payload);
        if (json)
            PrintJson(DescriptionJson(*info), stdout);
        else
            PrintPlain(*info, CoordinatesText(m.at));
    };
    auto malformed = [&](const std::string& line, const std::string& why) {
        if (json) {
            Json o;
            o["input"] = JsonText(line);
            o["error"] = "malformed message: " + why;
            PrintJson(o, stdout);
        } else {
            std::printf("%s  malformed message: %s\n", JsonText(line).c_str(), why.c_str());
        }
    };

    if (a.plain.size() > 1) {
        for (const MessageLine& m : given)
            decode(m);
    } else {
        std::string line;
        char buf[65536];
        while (std::fgets(buf, sizeof buf, stdin)) {
            line += buf;
            if (!line.empty() && line.back() != '\n' && !std::feof(stdin)) continue;
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.pop_back();
            std::string t = Trim(line);
            if (!t.empty() && t[0] != '#') {
                MessageLine m;
                std::string why;
                if (ParseMessage(t, m, why))
                    decode(m);
                else
                    malformed(t, why);
            }
            line.clear();
        }
    }
    std::fflush(stdout);
    return kExitOk;
}

} // namespace mostfcat::cli
