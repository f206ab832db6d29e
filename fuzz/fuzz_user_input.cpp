// Fuzz target: what users type and capture. The input is split into lines;
// each is decoded as a trace line (text and JSON), and read as NAME=VALUE
// settings for an operation of the fuzz catalogs, physical and raw. Every
// output must be valid UTF-8 and every JSON line a single object.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_catalogs.h"
#include "mostfcat/fci.h"

using namespace mostfcat;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    fuzz::FuzzCatalogs& cats = fuzz::FuzzCatalogs::Get();
    fuzz::Coordinates c = cats.Pick(data[0], uint32_t(data[1]) << 8 | data[2]);
    std::string text(reinterpret_cast<const char*>(data + 3), size - 3);

    YFciTraceDecoder json(&cats.Manager(), c.channel, 0xFFFFFFFF, YFciTraceDecoder::eJson);
    YFciTraceDecoder plain(&cats.Manager(), c.channel, 0xFFFFFFFF, YFciTraceDecoder::eText);
    std::vector<std::pair<std::string, std::string>> values;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        std::string out;
        json.DecodeLine(line.data(), line.size(), out);
        Check(ValidUtf8(out));
        Check(out.empty() ||
              (out.front() == '{' && out.back() == '\n' && out.find('\n') == out.size() - 1));
        out.clear();
        plain.DecodeLine(line.data(), line.size(), out);
        Check(ValidUtf8(out));
        size_t eq = line.find('=');
        if (eq != std::string::npos) values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        start = end + 1;
    }
    for (bool raw : {false, true}) {
        std::unique_ptr<YFciMessage> message(
            cats.Manager().CreateMessage(c.channel, "", c.fblock, c.inst, 1, c.fkt, c.op, 1));
        if (!message) continue;
        YFciUserInput::Bytes payload;
        std::vector<std::string> unset;
        std::string param, error;
        if (!YFciUserInput::EncodeValues(*message, values, raw, payload, unset, param, error))
            Check(!error.empty());
    }
    YFciUserInput::Bytes bytes;
    std::string error;
    if (!YFciUserInput::ParseHex(text, bytes, error)) Check(!error.empty());
    std::string utf8;
    uint32_t code = 0;
    YFciUserInput::StringToUtf8(YFciUserInput::Bytes(text.begin(), text.end()), true, utf8, code);
    Check(ValidUtf8(utf8));
    for (uint32_t enc : {0u, 1u, 2u})
        if (!YFciUserInput::Utf8ToString(text, enc, bytes, error)) Check(!error.empty());
    return 0;
}
