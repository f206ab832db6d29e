// "mostfcat decode": payloads of messages (from the command line or, one a
// line, from standard input) decoded into their parameters.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mostfcat/fci.h"
#include "mostfcat/user_input.h"
#include "tool_command.h"

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
        while (const void* end = std::memchr(buf + start, '\n', got - start)) {
            const size_t i = static_cast<size_t>(static_cast<const char*>(end) - buf);
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

int Run(const CommandArgs& a) {
    std::string problem;
    OpenRequest request;
    uint32_t options = MOSTFCAT_DECODE_ALL;
    if (a.plain.empty()) problem = "decode needs a catalog file";
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
    if (problem.empty() && a.Has("--most150") && !a.Has("--telegrams"))
        problem = "decode: --most150 goes with --telegrams";
    if (!problem.empty()) return UsageError(problem);

    OpenedCatalog opened;
    int rc = OpenForCommand(request, opened);
    if (rc != kExitOk) return rc;
    YFciFCatManager* manager = opened.Manager();
    if (!manager) return kExitFailed;
    uint16_t channel = request.channel == kAllChannels ? 0 : request.channel;
    if (a.Has("--compile-layouts")) YFciUserInput::CompileLayouts(*manager, channel);
    const YFciTraceDecoder::Format format =
        a.Has("--json") ? YFciTraceDecoder::eJson : YFciTraceDecoder::eText;
    YFciTraceDecoder decoder(manager, channel, options, format);
    // With --telegrams the lines are control telegrams, put together first.
    std::unique_ptr<YFciTelegramDecoder> telegrams;
    if (a.Has("--telegrams"))
        telegrams = std::make_unique<YFciTelegramDecoder>(
            manager, channel, options, format,
            a.Has("--most150") ? YFciTelegrams::eMost150 : YFciTelegrams::eMost50);

    // Messages given as arguments are lines like those of a trace.
    std::string out;
    auto line = [&](const char* text, size_t length) {
        if (telegrams)
            telegrams->DecodeLine(text, length, out);
        else
            decoder.DecodeLine(text, length, out);
        if (out.size() >= kFlushAt) Flush(out);
    };
    if (a.plain.size() > 1) {
        for (size_t i = 1; i < a.plain.size(); ++i)
            line(a.plain[i].data(), a.plain[i].size());
    } else {
        ForEachLine(stdin, line);
    }
    if (telegrams) telegrams->Finish(out);
    Flush(out);
    std::fflush(stdout);
    std::string summary = telegrams ? telegrams->Summary() : decoder.Summary();
    if (summary.empty()) return kExitOk;
    PrintError(summary);
    return kExitFailed;
}

} // namespace

const ToolCommand kDecodeCommand = {
    "decode",
    {{"--channel", true},
     {"--options", true},
     {"--json", false},
     {"--telegrams", false},
     {"--most150", false},
     {"--compile-layouts", false}},
    nullptr,
    "  decode CATALOG [--channel N] [--options WORD] [--json]\n"
    "         [--telegrams [--most150]] [--compile-layouts] [MESSAGE ...]\n"
    "        decode message payloads; MESSAGE is [TIME] FBLOCK.INST.FKT.OP:HEX\n"
    "        with the coordinates in hexadecimal (22.01.400.C:3C) and an optional\n"
    "        time stamp in seconds. Without MESSAGE the messages are read from\n"
    "        standard input, one a line (blank lines and lines starting with #\n"
    "        are skipped). Every line is decoded or reported on its own; exit 1\n"
    "        with a count on standard error when any could not be decoded.\n"
    "        --json: one object per message and line; an unknown or malformed\n"
    "        message gets an \"error\" field.\n"
    "        WORD is the option word of the decode (default 0xFFFFFFFF).\n"
    "        --telegrams: each line is a control telegram, [TIME] [SRC:] BYTES\n"
    "        (12.500134 0180: 22 01 40 0C 01 2A) or a JSON capture line;\n"
    "        segmented messages are put together and decoded whole, faults\n"
    "        (count gaps, missing segments, bad lengths) reported. --most150:\n"
    "        the MOST150 layout (12-bit TelLen, up to 45 data bytes).\n"
    "        --compile-layouts: compile every operation's layout before the\n"
    "        first message instead of at its first use (an even time per\n"
    "        message for live input; the output is the same)\n",
    Run,
};

} // namespace mostfcat::cli
