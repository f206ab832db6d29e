// "mostfcat decode": payloads of messages (from the command line or, one a
// line, from standard input) decoded into their parameters.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mostfcat/command.h"
#include "mostfcat/fci.h"
#include "mostfcat/message_commands.h"
#include "platform/strings.h"

namespace mostfcat::cli {

namespace {

// Output is collected and written in large pieces, not a line at a time.
constexpr size_t kFlushAt = 1 << 16;

void Flush(std::string& out) {
    if (!out.empty()) std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
}

// Reads standard input as bytes and hands over one line per newline,
// whatever the line holds.
template <class Handle> void ForEachLine(FILE* in, Handle handle) {
    std::string pending;
    char buf[1 << 16];
    size_t got = 0;
    while ((got = std::fread(buf, 1, sizeof buf, in)) > 0) {
        size_t start = 0;
        for (size_t i = 0; i < got; ++i) {
            if (buf[i] != '\n') continue;
            if (pending.empty()) {
                handle(buf + start, i - start);
            } else {
                pending.append(buf + start, i - start);
                handle(pending.data(), pending.size());
                pending.clear();
            }
            start = i + 1;
        }
        pending.append(buf + start, got - start);
    }
    if (!pending.empty()) handle(pending.data(), pending.size());
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
    for (int i = 0; i < 4; ++i) {
        std::string t = Trim(parts[i]);
        if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.erase(0, 2);
        bool ok = !t.empty() && t.size() <= 8 &&
                  t.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        unsigned long v = ok ? std::strtoul(t.c_str(), nullptr, 16) : 0;
        if (!ok || v > kMax[i]) {
            problem = std::string(kWhat[i]) + " '" + parts[i] +
                      "' is not a hexadecimal number up to " + StrFormat("%X", kMax[i]);
            return false;
        }
        *fields[i] = static_cast<uint32_t>(v);
    }
    return true;
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
    if (!problem.empty()) return UsageError(problem);

    OpenedCatalog opened;
    int rc = OpenForCommand(request, opened);
    if (rc != kExitOk) return rc;
    YFciFCatManager* manager = gFciFCatManager(opened.ManagerHandle());
    if (!manager) return kExitFailed;
    uint16_t channel = request.channel == kAllChannels ? 0 : request.channel;
    YFciTraceDecoder decoder(manager, channel, options,
                             a.Has("--json") ? YFciTraceDecoder::eJson : YFciTraceDecoder::eText);

    // Messages given as arguments are lines like those of a trace.
    std::string out;
    auto line = [&](const char* text, size_t length) {
        decoder.DecodeLine(text, length, out);
        if (out.size() >= kFlushAt) Flush(out);
    };
    if (a.plain.size() > 1) {
        for (size_t i = 1; i < a.plain.size(); ++i)
            line(a.plain[i].data(), a.plain[i].size());
    } else {
        ForEachLine(stdin, line);
    }
    Flush(out);
    std::fflush(stdout);
    std::string summary = decoder.Summary();
    if (summary.empty()) return kExitOk;
    PrintError(summary);
    return kExitFailed;
}

} // namespace mostfcat::cli
