// Path and file-status functions standing in for the platform's full-path,
// split/make-path, file-exists, file-status and module-location functions.
// Paths use "/" as separator; there is no drive on this platform.
#pragma once

#include <cstdint>
#include <string>

namespace mostfcat {

// Longest full path that FullPath produces; longer results fail.
constexpr size_t kMaxFullPath = 4096;

// The absolute, lexically normal form of path; empty when it cannot be made
// (empty input, or a result longer than kMaxFullPath).
std::string FullPath(const std::string& path);

struct YPathParts {
    std::string drive;     // always empty here
    std::string directory; // with its trailing "/", empty when there is none
    std::string name;      // base name without extension
    std::string extension; // with the leading ".", empty when there is none
};
YPathParts SplitPath(const std::string& path);
std::string MakePath(const std::string& drive, const std::string& directory,
                     const std::string& name, const std::string& extension);

bool PathExists(const std::string& path);

struct YFileStatus {
    uint64_t size = 0;
    uint64_t modTime = 0; // seconds since 1970
};
// Size and modification time of a regular file; false when it cannot be read.
bool GetFileStatus(const std::string& path, YFileStatus& status);
// True when the file can be opened for reading.
bool IsFileReadable(const std::string& path);

// Full path of the loaded module (shared library or executable) that holds
// this code.
std::string ModuleFilePath();

} // namespace mostfcat
