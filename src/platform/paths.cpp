#include "platform/paths.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace mostfcat {

namespace fs = std::filesystem;

std::string FullPath(const std::string& path) {
    if (path.empty()) return std::string();
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec);
    if (ec) return std::string();
    std::string out = p.lexically_normal().string();
    if (out.size() > kMaxFullPath) return std::string();
    return out;
}

YPathParts SplitPath(const std::string& path) {
    YPathParts parts;
    size_t slash = path.find_last_of('/');
    std::string file;
    if (slash == std::string::npos) {
        file = path;
    } else {
        parts.directory = path.substr(0, slash + 1);
        file = path.substr(slash + 1);
    }
    size_t dot = file.find_last_of('.');
    if (dot == std::string::npos) {
        parts.name = file;
    } else {
        parts.name = file.substr(0, dot);
        parts.extension = file.substr(dot);
    }
    return parts;
}

std::string MakePath(const std::string& drive, const std::string& directory,
                     const std::string& name, const std::string& extension) {
    std::string out = drive + directory;
    if (!out.empty() && out.back() != '/') out.push_back('/');
    out += name;
    if (!extension.empty()) {
        if (extension.front() != '.') out.push_back('.');
        out += extension;
    }
    return out;
}

bool PathExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(fs::path(path), ec);
}

bool GetFileStatus(const std::string& path, YFileStatus& status) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    status.size = static_cast<uint64_t>(st.st_size);
    status.modTime = static_cast<uint64_t>(st.st_mtime);
    return true;
}

bool IsFileReadable(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

namespace {
void ModuleAnchor() {}
} // namespace

std::string ModuleFilePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModuleAnchor), &info) == 0 || !info.dli_fname) return {};
    std::string p = info.dli_fname;
    // For code linked into the executable the loader may report the name it
    // was started with; the kernel knows the real file.
    std::error_code ec;
    if (fs::equivalent(fs::path(p), fs::path("/proc/self/exe"), ec)) {
        fs::path exe = fs::read_symlink("/proc/self/exe", ec);
        if (!ec) return exe.string();
    }
    std::string full = FullPath(p);
    return full.empty() ? p : full;
}

} // namespace mostfcat
