#include "import/import_state.h"

#include <cstdio>
#include <cstring>

#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/strings.h"

namespace mostfcat {

namespace {

const char* const kDefaultHexNames[] = {
    "fblockid",
    "instid",
    "oldinstid",
    "newinstid",
    "nodepositionaddress",
    "nodeaddress",
    "groupaddress",
    "deviceid",
    "fktid",
    "rxtxlog",
    "sourcefblock",
    "sourceinstid",
    "sinkfblock",
    "sinkinstid",
    "fktidarraywindow",
    "fktidmotherarray",
    "fktidaw",
    "fktidma",
    "deviceidcontroller",
};

const size_t kStringBuffer = 3000;
const size_t kFolderBuffer = 260;

} // namespace

YImportState::YImportState() = default;

YImportState& YImportState::Instance() {
    static YImportState state;
    return state;
}

void YImportState::ResetSettings() {
    std::string folder = m_SettingsFolder;
    std::string modulePath = m_ModulePathForTests;
    *this = YImportState();
    m_SettingsFolder = folder;
    m_ModulePathForTests = modulePath;
}

bool YImportState::FindSettingsFolder(std::string& folder) const {
    if (!m_SettingsFolder.empty()) {
        folder = m_SettingsFolder;
        return true;
    }
    std::string module = m_ModulePathForTests.empty() ? ModuleFilePath() : m_ModulePathForTests;
    size_t last = module.rfind('/');
    if (last == std::string::npos) return false;
    std::string moduleFolder = module.substr(0, last);
    size_t before = last == 0 ? std::string::npos : module.rfind('/', last - 1);
    if (before == std::string::npos) {
        folder = moduleFolder;
        return true;
    }
    std::string custom = module.substr(0, before + 1) + "ycustom.ini";
    std::string configured =
        GetPrivateProfileString("UserSelection", "SettingsFolder", "", kFolderBuffer, custom);
    folder = (!configured.empty() && PathExists(configured)) ? configured : moduleFolder;
    return true;
}

void SplitProfileList(const std::string& value, std::set<std::string>& tokens) {
    size_t i = 0;
    while (i <= value.size()) {
        size_t j = value.find_first_of(",;:. \t", i);
        if (j == std::string::npos) j = value.size();
        if (j > i) tokens.insert(value.substr(i, j - i));
        i = j + 1;
    }
}

void YImportState::ReadProfile() {
    std::string folder;
    if (!FindSettingsFolder(folder)) return;
    std::string path = folder + "/" + "Tarvex.ini";
    YIniFile ini;
    if (PathExists(path)) {
        profilePath = path;
        ini.Load(path);
    }
    ReadFrom(ini);
    profileLoaded = true;
}

void YImportState::ReadFrom(const YIniFile& ini) {
    logExclusions.clear();
    std::string exclude = ini.GetString("MOSTImport", "ImportLogExclude", "-1", kStringBuffer);
    if (exclude != "-1") {
        std::set<std::string> tokens;
        SplitProfileList(exclude, tokens);
        for (const std::string& t : tokens) {
            int n = 0;
            if (std::sscanf(t.c_str(), "%d", &n) == 1)
                logExclusions.insert(static_cast<uint32_t>(n));
        }
    }
    warningLevel = static_cast<uint32_t>(ini.GetInt("MOSTImport", "WarningLevel", 0));
    options = static_cast<uint32_t>(ini.GetInt("MOSTImport", "Options", kDefaultOptions));

    hexPreferredNames.clear();
    if (ini.GetInt("MOSTHexPreferred", "UseDefaults", 1) != 0)
        for (const char* name : kDefaultHexNames)
            hexPreferredNames.insert(name);
    for (int n = 1;; ++n) {
        std::string value =
            ini.GetString("MOSTHexPreferred", StrFormat("List%d", n), "-1", kStringBuffer);
        if (value == "-1") break;
        std::set<std::string> tokens;
        SplitProfileList(value, tokens);
        for (const std::string& t : tokens)
            hexPreferredNames.insert(ToLower(t));
    }

    useDefaultErrorParameters = ini.GetInt("MOSTImport", "UseDefaultErrorParameters", 1) == 1;
    importOptim = ini.GetInt("MOSTImport", "ImportOptim", 1) == 1;
    fcatCacheSize = static_cast<uint32_t>(ini.GetInt("MOSTImport", "FCatCacheSize", 10));
    paramValueStringLimit =
        static_cast<uint32_t>(ini.GetInt("MOSTDisplay", "ParamValueStringLimit", 36));
    paramsInLoopLimit = static_cast<uint32_t>(ini.GetInt("MOSTDisplay", "ParamsInLoopLimit", 5000));
}

bool YImportState::IsHexPreferred(const std::string& paramName) const {
    return hexPreferredNames.count(ToLower(paramName)) != 0;
}

long long YImportState::ReadValidateKey() const {
    if (profilePath.empty()) return 0;
    return GetPrivateProfileInt("MOSTImport", "Validate", 0, profilePath);
}

} // namespace mostfcat
