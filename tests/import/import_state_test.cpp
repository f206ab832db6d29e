// The configuration profile: where it is found and what it sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "import/import_state.h"
#include "support/test_support.h"

namespace mostfcat {
namespace {

namespace fs = std::filesystem;

class ProfileTest : public test::CatalogTest {};

TEST_F(ProfileTest, InitialValuesAndTheDefaultsOfAMissingProfile) {
    const YImportState& s = State();
    EXPECT_FALSE(s.profileLoaded);
    EXPECT_EQ(s.fcatCacheSize, 0u); // no released catalogs are kept
    EXPECT_FALSE(s.IsHexPreferred("FBlockID"));
    State().ReadProfile();
    EXPECT_TRUE(s.profileLoaded);
    EXPECT_TRUE(s.profilePath.empty());
    EXPECT_EQ(s.options, 0x50005u);
    EXPECT_EQ(s.fcatCacheSize, 10u);
    EXPECT_TRUE(s.importOptim && s.useDefaultErrorParameters);
    EXPECT_EQ(s.paramValueStringLimit + s.paramsInLoopLimit, 36u + 5000u);
    EXPECT_EQ(s.hexPreferredNames.size(), 19u);
    EXPECT_TRUE(s.IsHexPreferred("deviceIDController"));
    EXPECT_EQ(s.ReadValidateKey(), 0);
}

TEST_F(ProfileTest, EveryKeyIsReadIgnoringCase) {
    UseProfile("[mostimport]\nimportlogexclude=12, 34;56:abc. 78\tx9\nWARNINGLEVEL=5\n"
               "Options=0x3\nUseDefaultErrorParameters=0\nImportOptim=2\nFCatCacheSize=3\n"
               "Validate=1\n[MOSTDisplay]\nParamValueStringLimit=80\nParamsInLoopLimit=123\n"
               "[MOSTHexPreferred]\nList1=MyAddr, OtherId\nList2=B;C\nList3=-1\nList4=D\n");
    const YImportState& s = State();
    EXPECT_EQ(s.profilePath, m_Dir.File("Tarvex.ini"));
    // Numbers separated by any of ",;:. \t"; other tokens are ignored.
    EXPECT_EQ(s.logExclusions, (std::set<uint32_t>{12, 34, 56, 78}));
    EXPECT_EQ(std::tuple(s.warningLevel, s.options, s.fcatCacheSize, s.paramValueStringLimit,
                         s.paramsInLoopLimit, s.ReadValidateKey()),
              std::tuple(5u, 0x3u, 3u, 80u, 123u, 1));
    EXPECT_FALSE(s.useDefaultErrorParameters || s.importOptim); // only 1 turns ImportOptim on
    // The hex-preferred lists add to the defaults and stop at the first
    // missing list.
    EXPECT_EQ(s.hexPreferredNames.size(), 23u);
    EXPECT_TRUE(s.IsHexPreferred("MYADDR") && s.IsHexPreferred("c"));
    EXPECT_FALSE(s.IsHexPreferred("d"));

    // -1 excludes nothing; reading again replaces the earlier set.
    UseProfile("[MOSTImport]\nImportLogExclude=-1\n");
    EXPECT_TRUE(State().logExclusions.empty());
}

// The settings folder: the module folder, or the folder that the
// customisation file one level above it names.
TEST_F(ProfileTest, SettingsFolderIsTheModuleFolderOrTheCustomisedOne) {
    State().SetSettingsFolder("");
    fs::create_directories(m_Dir.File("lib"));
    fs::create_directories(m_Dir.File("settings"));
    auto folder = [&](const std::string& module) {
        State().SetModulePathForTests(module);
        std::string out = "unchanged";
        return State().FindSettingsFolder(out) ? out : "none";
    };
    std::string module = m_Dir.File("lib/libmostfcat.so.3");
    EXPECT_EQ(folder(module), m_Dir.File("lib"));
    test::WriteFile(m_Dir.File("lib/Tarvex.ini"), "[MOSTImport]\nWarningLevel=4\n");
    State().ReadProfile();
    EXPECT_EQ(State().warningLevel, 4u);

    test::WriteFile(m_Dir.File("settings/Tarvex.ini"), "[MOSTImport]\nFCatCacheSize=2\n");
    test::WriteFile(m_Dir.File("ycustom.ini"),
                    "[userselection]\nsettingsfolder=" + m_Dir.File("settings") + "\n");
    EXPECT_EQ(folder(module), m_Dir.File("settings"));
    State().ReadProfile();
    EXPECT_EQ(State().fcatCacheSize, 2u);
    // A folder that does not exist, or an empty value: the module folder.
    for (std::string value : {m_Dir.File("gone"), std::string()}) {
        test::WriteFile(m_Dir.File("ycustom.ini"),
                        "[UserSelection]\nSettingsFolder=" + value + "\n");
        EXPECT_EQ(folder(module), m_Dir.File("lib")) << value;
    }

    // Without a separator there is no folder: the profile is not read and
    // the next load tries again. A library in the root: the empty folder
    // before the only separator, and no customisation file is looked for.
    EXPECT_EQ(folder("libmostfcat.so"), "none");
    State().ResetSettings();
    State().ReadProfile();
    EXPECT_FALSE(State().profileLoaded);
    EXPECT_EQ(folder("/libmostfcat.so"), "");
}

} // namespace
} // namespace mostfcat
