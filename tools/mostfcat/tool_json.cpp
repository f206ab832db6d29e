#include "tool_json.h"

namespace mostfcat::cli {

std::string JsonText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

void PrintJson(const Json& value, FILE* out, int indent) {
    // Texts are made valid UTF-8 by JsonText; anything that slipped through
    // is replaced rather than aborting the output.
    std::string text = value.dump(indent, ' ', false, Json::error_handler_t::replace);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), out);
}

} // namespace mostfcat::cli
