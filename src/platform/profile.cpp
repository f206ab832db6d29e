#include "platform/profile.h"

#include <ini.h>

#include <cstdio>
#include <mutex>

#include "platform/strings.h"

namespace mostfcat {

namespace {

// The Debian build of inih exposes its parsing switches as variables. The
// private-profile semantics need long lines, no inline comments and no
// continuation lines, so they are set once before the first parse.
void ConfigureInih() {
    static std::once_flag once;
    std::call_once(once, [] {
        ini_allow_multiline = false;
        ini_allow_inline_comments = false;
        ini_use_stack = false;
        ini_allow_realloc = true;
        ini_max_line = 1 << 16;
    });
}

int Handler(void* user, const char* section, const char* name, const char* value) {
    auto* sections = static_cast<std::map<std::string, std::map<std::string, std::string>>*>(user);
    if (!section || !name) return 1;
    auto& keys = (*sections)[ToLower(section)];
    std::string v = value ? value : "";
    // Like the platform function, a value wrapped in double quotes loses them.
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    keys.emplace(ToLower(name), std::move(v)); // the first occurrence wins
    return 1;
}

} // namespace

bool YIniFile::Load(const std::string& path) {
    m_Sections.clear();
    ConfigureInih();
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return false;
    int rc = ini_parse_file(f, &Handler, &m_Sections);
    std::fclose(f);
    return rc >= 0;
}

bool YIniFile::LoadText(const std::string& text) {
    m_Sections.clear();
    ConfigureInih();
    return ini_parse_string(text.c_str(), &Handler, &m_Sections) >= 0;
}

const std::string* YIniFile::Find(const std::string& section, const std::string& key) const {
    auto s = m_Sections.find(ToLower(section));
    if (s == m_Sections.end()) return nullptr;
    auto k = s->second.find(ToLower(key));
    return k == s->second.end() ? nullptr : &k->second;
}

bool YIniFile::HasKey(const std::string& section, const std::string& key) const {
    return Find(section, key) != nullptr;
}

std::string YIniFile::GetString(const std::string& section, const std::string& key,
                                const std::string& defaultValue, size_t bufferSize) const {
    const std::string* v = Find(section, key);
    std::string out = v ? *v : defaultValue;
    if (bufferSize == 0) return std::string();
    if (out.size() > bufferSize - 1) out.resize(bufferSize - 1);
    return out;
}

long long YIniFile::GetInt(const std::string& section, const std::string& key,
                           long long defaultValue) const {
    const std::string* v = Find(section, key);
    return v ? ParseProfileInt(*v) : defaultValue;
}

long long ParseProfileInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    unsigned long long value = 0;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        for (i += 2; i < text.size(); ++i) {
            char c = LowerAscii(text[i]);
            int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
            if (d < 0) break;
            value = value * 16 + static_cast<unsigned>(d);
        }
    } else {
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    // Unsigned negation keeps huge texts free of signed overflow.
    return static_cast<long long>(negative ? 0ULL - value : value);
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, size_t bufferSize,
                                    const std::string& file) {
    YIniFile ini;
    ini.Load(file);
    return ini.GetString(section, key, defaultValue, bufferSize);
}

long long GetPrivateProfileInt(const std::string& section, const std::string& key,
                               long long defaultValue, const std::string& file) {
    YIniFile ini;
    ini.Load(file);
    return ini.GetInt(section, key, defaultValue);
}

} // namespace mostfcat
