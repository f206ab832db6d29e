// The process-wide import settings: the profile values that the importers,
// the log, the cache file and the message layer read, and the per-open
// validation mode and log path. The profile is read once, at the first
// catalog load.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace mostfcat {

class YIniFile;

class YImportState {
public:
    static constexpr uint32_t kDefaultOptions = 0x50005;

    YImportState();

    // The one process-wide instance.
    static YImportState& Instance();

    // Profile values (their initial values apply until the profile is read).
    std::string profilePath;
    uint32_t options = kDefaultOptions;
    std::set<uint32_t> logExclusions;
    uint32_t warningLevel = 0;
    bool useDefaultErrorParameters = true;
    bool importOptim = true;
    uint32_t fcatCacheSize = 0;
    std::set<std::string> hexPreferredNames; // lower case
    uint32_t paramValueStringLimit = 36;
    uint32_t paramsInLoopLimit = 5000;
    bool profileLoaded = false;

    // Set by each open for the import that follows.
    uint32_t validationMode = 1;
    std::string logPath;

    // The folder that holds the profile: the module's folder, or the folder
    // named by the customisation file one folder above it, or the folder set
    // with SetSettingsFolder. False when no folder can be found.
    bool FindSettingsFolder(std::string& folder) const;
    // Reads every profile value; does nothing when no settings folder is found.
    void ReadProfile();
    bool IsHexPreferred(const std::string& paramName) const;
    // The profile's [MOSTImport] Validate key (0 without a profile file).
    long long ReadValidateKey() const;

    // Internal (not exported): the CLI's --settings and the tests set the
    // folder directly; an empty text restores the module-based search.
    void SetSettingsFolder(const std::string& folder) { m_SettingsFolder = folder; }
    const std::string& SettingsFolderOverride() const { return m_SettingsFolder; }
    // Internal: puts every setting back to its initial value (tests).
    void ResetSettings();
    // Internal: the module path that FindSettingsFolder starts from (tests).
    void SetModulePathForTests(const std::string& path) { m_ModulePathForTests = path; }

private:
    void ReadFrom(const YIniFile& ini);

    std::string m_SettingsFolder;
    std::string m_ModulePathForTests;
};

// Splits a profile list value at the characters ",;:. \t".
void SplitProfileList(const std::string& value, std::set<std::string>& tokens);

} // namespace mostfcat
