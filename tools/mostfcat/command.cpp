#include "mostfcat/command.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "manager/manager.h"
#include "mostfcat/fct.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"

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

std::string ParseArgs(const std::string& command, const std::vector<std::string>& args,
                      const std::vector<OptionDef>& options, CommandArgs& out) {
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
        for (const OptionDef& s : options)
            if (name == s.name) found = &s;
        if (!found) return command + ": unknown option '" + name + "'";
        if (found->takesValue && !inlineValue) {
            if (i + 1 >= args.size()) return command + ": " + name + " needs a value";
            value = args[++i];
        } else if (!found->takesValue && inlineValue) {
            return command + ": " + name + " takes no value";
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
    YPathParts parts = SplitPath(path);
    if (EqualsNoCase(parts.extension, ".vfc")) {
        // A cache names its catalog: the XML file beside it.
        std::string xml = MakePath(parts.drive, parts.directory, parts.name, ".xml");
        std::string why = UnreadableReason(xml);
        return why.empty() ? why : "its catalog " + xml + ": " + why;
    }
    if (!EqualsNoCase(parts.extension, ".xml")) return "a catalog file name must end in .xml";
    if (FullPath(path).empty())
        return StrFormat("its absolute path is longer than %zu characters", kMaxFullPath);
    return std::string();
}

std::string DefaultLogPath(const std::string& catalog) {
    YPathParts p = SplitPath(catalog);
    return MakePath(p.drive, p.directory, p.name, ".log");
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
    YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(m_Handle);
    m->SetChannelCount(16);
    std::string name;
    // Validation mode 4: the profile decides, as for every host open.
    uint32_t status = m->OpenFCatNamed(request.catalog, request.channel, name, 4, request.logPath);
    const YFCatPool& pool = YFCatPool::Instance();
    m_Source = pool.LastSource();
    m_Import = pool.LastImport();
    m_CacheFailure = pool.LastCacheFailure();
    return status;
}

YMTCatalog* OpenedCatalog::Catalog() const {
    YFciFCatManagerImpl* m = YFciFCatManagerImpl::FromHandle(m_Handle);
    if (!m) return nullptr;
    const auto& list = m->ChannelCatalogs(0);
    return list.empty() ? nullptr : list.front();
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
    const YImportReport& report = opened.Import();
    if (status == 2) {
        PrintError("cannot read " + request.catalog);
        return kExitUsage;
    }
    if (status != 0 || !opened.Catalog()) {
        std::string text = "import of " + request.catalog + " failed";
        std::string reason = ShortReason(report.FailureReason());
        if (!reason.empty()) text += ": " + reason;
        if (status > 2) text += StrFormat(" (cache error %u)", status);
        if (report.logWritten) text += " (log: " + report.logPath + ")";
        PrintError(text);
        return kExitFailed;
    }
    if (!opened.CacheFailure().path.empty())
        PrintWarning("cache file " + opened.CacheFailure().path + " not written (" +
                     opened.CacheFailure().reason +
                     "); the catalog is used without it and imported again next time");
    if (report.ran && !report.logPath.empty() && !report.logWritten)
        PrintWarning("cannot write the log " + report.logPath + " (" + report.logProblem + ")");
    return kExitOk;
}

namespace {

std::string Count(uint32_t n, const char* one, const char* many) {
    return StrFormat("%u %s", n, n == 1 ? one : many);
}

} // namespace

std::string ImportDamage(const YImportReport& report, const YMTCatalog* catalog) {
    auto errors = [&](std::initializer_list<uint32_t> numbers) {
        uint32_t n = 0;
        for (uint32_t number : numbers) {
            auto it = report.errorNumbers.find(number);
            if (it != report.errorNumbers.end()) n += it->second;
        }
        return n;
    };
    // The messages that report an element left out of the tree.
    std::vector<std::string> dropped;
    auto drop = [&](uint32_t n, const char* one, const char* many) {
        if (n) dropped.push_back(Count(n, one, many));
    };
    drop(errors({149}), "FBlock", "FBlocks");
    drop(errors({169, 218, 219}), "instance", "instances");
    drop(errors({145}), "function", "functions");
    drop(errors({129, 130}), "parameter", "parameters");
    drop(errors({81}), "enumeration value", "enumeration values");
    drop(errors({148}), "error-parameter template", "error-parameter templates");

    std::vector<std::string> parts;
    if (!dropped.empty()) {
        std::string text = "dropped ";
        for (size_t i = 0; i < dropped.size(); ++i)
            text += (i ? ", " : "") + dropped[i];
        parts.push_back(text);
    }
    if (uint32_t n = errors({122}))
        parts.push_back("parameters removed from " + Count(n, "operation", "operations"));
    auto emptied = report.warningNumbers.find(138);
    if (emptied != report.warningNumbers.end())
        parts.push_back("parameters removed from every operation of " +
                        Count(emptied->second, "function", "functions"));

    // Functions kept although their import logged errors.
    if (catalog) {
        std::set<const YMTFunction*> repaired;
        ForEachChild(*catalog, [&](uint32_t, YMTNode* fb) {
            if (fb->NodeType() != kNodeFBlock) return;
            ForEachChild(*static_cast<YMTFBlock*>(fb), [&](uint32_t, YMTNode* inst) {
                if (inst->NodeType() != kNodeInstance) return;
                ForEachChild(*static_cast<YMTInstance*>(inst), [&](uint32_t, YMTNode* f) {
                    if (f->NodeType() == kNodeFunction &&
                        (static_cast<YMTFunction*>(f)->Flags & kFunctionErrors))
                        repaired.insert(static_cast<YMTFunction*>(f));
                });
            });
        });
        if (!repaired.empty())
            parts.push_back(Count(static_cast<uint32_t>(repaired.size()), "function", "functions") +
                            " kept with repairs");
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i ? "; " : "") + parts[i];
    return out;
}

} // namespace mostfcat::cli
