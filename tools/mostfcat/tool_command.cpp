#include "tool_command.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace mostfcat::cli {

int UsageError(const std::string& text) {
    std::fprintf(stderr, "mostfcat: %s (see mostfcat help)\n", text.c_str());
    return kExitUsage;
}

void PrintError(const std::string& text) {
    std::fprintf(stderr, "mostfcat: %s\n", text.c_str());
}

void PrintWarning(const std::string& text) {
    std::fprintf(stderr, "mostfcat: warning: %s\n", text.c_str());
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}

std::string Trim(const std::string& text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b]))
        ++b;
    while (e > b && blank(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string FullPath(const std::string& path) {
    if (path.empty()) return std::string();
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(path), ec);
    if (ec) return std::string();
    std::string out = p.lexically_normal().string();
    return out.size() > kMaxFullPath ? std::string() : out;
}

namespace {

// Folder (with its '/'), base name and extension (with its '.') of a path.
struct PathParts {
    std::string folder, name, extension;
};

PathParts Split(const std::string& path) {
    PathParts parts;
    size_t slash = path.find_last_of('/');
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    if (slash != std::string::npos) parts.folder = path.substr(0, slash + 1);
    size_t dot = file.find_last_of('.');
    parts.name = file.substr(0, dot);
    if (dot != std::string::npos) parts.extension = file.substr(dot);
    return parts;
}

} // namespace

std::string WithExtension(const std::string& path, const std::string& extension) {
    PathParts parts = Split(path);
    return parts.folder + parts.name + extension;
}

std::string ExtensionOf(const std::string& path) {
    return Split(path).extension;
}

bool CommandArgs::Has(const std::string& name) const {
    for (const auto& o : options)
        if (o.first == name) return true;
    return false;
}

std::string CommandArgs::Get(const std::string& name, const std::string& fallback) const {
    std::string value = fallback;
    for (const auto& o : options)
        if (o.first == name) value = o.second;
    return value;
}

std::string ParseArgs(const ToolCommand& command, const std::vector<std::string>& all,
                      CommandArgs& out) {
    // The rest option takes every argument after it, whatever it looks like.
    std::vector<std::string> args;
    for (const std::string& arg : all) {
        if (out.restGiven)
            out.rest.push_back(arg);
        else if (command.restOption && arg == command.restOption)
            out.restGiven = true;
        else
            args.push_back(arg);
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-') {
            out.plain.push_back(a);
            continue;
        }
        // "--name=value" and "--name value" both work.
        std::string name = a, value;
        size_t eq = a.find('=');
        bool inlineValue = a.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        const OptionDef* found = nullptr;
        for (const OptionDef& s : command.options)
            if (name == s.name) found = &s;
        if (!found) return std::string(command.name) + ": unknown option '" + name + "'";
        if (found->takesValue && !inlineValue) {
            if (i + 1 >= args.size())
                return std::string(command.name) + ": " + name + " needs a value";
            value = args[++i];
        } else if (!found->takesValue && inlineValue) {
            return std::string(command.name) + ": " + name + " takes no value";
        }
        out.options.emplace_back(name, value);
    }
    return std::string();
}

std::string ParseChannel(const std::string& text, uint16_t& channel) {
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || !end || *end || errno != 0 || n < 0 || n > 16)
        return "--channel takes 1 to 16 (a bus channel) or 0 (every channel), not '" + text + "'";
    channel = n == 0 ? kAllChannels : static_cast<uint16_t>(n);
    return std::string();
}

std::string ReadOpenArgs(const std::string& command, const CommandArgs& a, OpenRequest& request) {
    if (a.plain.empty()) return command + " needs a catalog file";
    if (a.plain.size() > 1) return command + ": unexpected argument '" + a.plain[1] + "'";
    request.catalog = a.plain[0];
    if (a.Has("--channel")) {
        std::string problem = ParseChannel(a.Get("--channel"), request.channel);
        if (!problem.empty()) return command + ": " + problem;
    }
    return std::string();
}

std::string UnreadableReason(const std::string& path) {
    if (path.empty()) return "no file name given";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        switch (errno) {
        case ENOENT:
            return "no such file";
        case ENOTDIR:
            return "a part of the path is not a folder";
        case ENAMETOOLONG:
            return "the path or one of its names is too long";
        case EACCES:
            return "permission denied (a folder on the way cannot be searched)";
        default:
            return std::strerror(errno);
        }
    }
    if (S_ISDIR(st.st_mode)) return "it is a folder, not a file";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return errno == EACCES ? "permission denied" : std::strerror(errno);
    std::fclose(f);
    const std::string extension = ExtensionOf(path);
    if (EqualsNoCase(extension, ".vfc")) {
        // A cache names its catalog: the XML file beside it.
        std::string xml = WithExtension(path, ".xml");
        std::string why = UnreadableReason(xml);
        return why.empty() ? why : "its catalog " + xml + ": " + why;
    }
    if (!EqualsNoCase(extension, ".xml")) return "a catalog file name must end in .xml";
    if (FullPath(path).empty())
        return Format("its absolute path is longer than %zu characters", kMaxFullPath);
    return std::string();
}

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
                      "' is not a hexadecimal number up to " + Format("%X", kMax[i]);
            return false;
        }
        *fields[i] = static_cast<uint32_t>(v);
    }
    return true;
}

std::string DefaultLogPath(const std::string& catalog) {
    return WithExtension(catalog, ".log");
}

OpenedCatalog::~OpenedCatalog() {
    Close();
}

void OpenedCatalog::Close() {
    if (m_Handle) gFctDestroyFCatManager(m_Handle);
    m_Handle = 0;
}

uint32_t OpenedCatalog::Open(const OpenRequest& request) {
    Close();
    m_Request = request;
    if (gFctCreateFCatManager(&m_Handle, "mostfcat") != MOSTFCAT_OK) return 1;
    YFciFCatManager* m = Manager();
    m->SetChannelCount(16);
    // Validation mode 4: the profile decides, as for every host open.
    uint32_t status = m->OpenFCat(request.catalog, request.channel, "", 4, request.logPath);
    gFciGetLastOpenReport(Catalog(), &m_Report);
    return status;
}

uint64_t OpenedCatalog::Catalog() const {
    uint64_t* items = nullptr;
    uint32_t count = 0;
    if (!m_Handle || gFctGetFCatItemList(m_Handle, &items, &count) != MOSTFCAT_OK || count == 0)
        return 0;
    return items[0];
}

namespace {

// A parser diagnostic ("Fatal error at file '...': Line: 4, Char: 3
// Message: ...") shortened to "fatal error at line 4, column 3: ..."; other
// reasons stay as they are.
std::string ShortReason(const std::string& reason) {
    for (const char* kind : {"Fatal error", "Error", "Warning"}) {
        const std::string head = std::string(kind) + " at file '";
        if (reason.rfind(head, 0) != 0) continue;
        size_t line = reason.find("': Line: ", head.size());
        size_t chr = line == std::string::npos ? line : reason.find(", Char: ", line);
        size_t msg = chr == std::string::npos ? chr : reason.find(" Message: ", chr);
        if (msg == std::string::npos) break;
        std::string lineNo = reason.substr(line + 9, chr - line - 9);
        std::string column = reason.substr(chr + 8, msg - chr - 8);
        std::string text = std::string(kind);
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
        return "XML " + text + " at line " + lineNo + ", column " + column + ": " +
               reason.substr(msg + 10);
    }
    return reason;
}

} // namespace

int OpenForCommand(const OpenRequest& request, OpenedCatalog& opened) {
    std::string why = UnreadableReason(request.catalog);
    if (!why.empty()) {
        PrintError("cannot read " + request.catalog + ": " + why);
        return kExitUsage;
    }
    uint32_t status = opened.Open(request);
    const YFciOpenReport& report = opened.Report();
    if (status == 2) {
        PrintError("cannot read " + request.catalog);
        return kExitUsage;
    }
    if (status != 0 || !opened.Catalog()) {
        std::string text = "import of " + request.catalog + " failed";
        std::string reason = ShortReason(report.failureReason);
        if (!reason.empty()) text += ": " + reason;
        if (status > 2) text += Format(" (cache error %u)", status);
        if (report.logWritten) text += " (log: " + report.logPath + ")";
        PrintError(text);
        return kExitFailed;
    }
    if (!report.cacheFailurePath.empty())
        PrintWarning("cache file " + report.cacheFailurePath + " not written (" +
                     report.cacheFailureReason +
                     "); the catalog is used without it and imported again next time");
    if (report.importRan && !report.logPath.empty() && !report.logWritten)
        PrintWarning("cannot write the log " + report.logPath + " (" + report.logProblem + ")");
    return kExitOk;
}

} // namespace mostfcat::cli
