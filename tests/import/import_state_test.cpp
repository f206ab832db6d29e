// The configuration profile: where it is found and what it sets.
#include <gtest/gtest.h>

#include <filesystem>

#include "import/import_state.h"
#include "support/test_support.h"

namespace mostfcat {
namespace {

namespace fs = std::filesystem;

const std::set<std::string> kDefaultHexNames = {
    "fblockid",         "instid",           "oldinstid",   "newinstid",  "nodepositionaddress",
    "nodeaddress",      "groupaddress",     "deviceid",    "fktid",      "rxtxlog",
    "sourcefblock",     "sourceinstid",     "sinkfblock",  "sinkinstid", "fktidarraywindow",
    "fktidmotherarray", "fktidaw",          "fktidma",     "deviceidcontroller"};

class ProfileTest : public test::CatalogTest {};

TEST_F(ProfileTest, InitialValuesBeforeTheProfileIsRead) {
    const YImportState& s = State();
    EXPECT_FALSE(s.profileLoaded);
    EXPECT_EQ(s.options, 0x50005u);
    EXPECT_EQ(s.fcatCacheSize, 0u); // no released catalogs are kept
    EXPECT_FALSE(s.IsHexPreferred("FBlockID"));
    EXPECT_TRUE(s.importOptim && s.useDefaultErrorParameters);
    EXPECT_EQ(s.paramValueStringLimit, 36u);
    EXPECT_EQ(s.paramsInLoopLimit, 5000u);
}

TEST_F(ProfileTest, MissingProfileFileGivesTheKeyDefaults) {
    State().ReadProfile();
    const YImportState& s = State();
    EXPECT_TRUE(s.profileLoaded);
    EXPECT_TRUE(s.profilePath.empty());
    EXPECT_EQ(s.options, 0x50005u);
    EXPECT_TRUE(s.logExclusions.empty());
    EXPECT_EQ(s.fcatCacheSize, 10u);
    EXPECT_EQ(s.hexPreferredNames, kDefaultHexNames);
    EXPECT_TRUE(s.IsHexPreferred("FBlockID"));
    EXPECT_TRUE(s.IsHexPreferred("deviceIDController"));
    EXPECT_FALSE(s.IsHexPreferred("Volume"));
    EXPECT_EQ(s.ReadValidateKey(), 0);
}

TEST_F(ProfileTest, EveryKeyIsReadIgnoringCase) {
    UseProfile("[mostimport]\n"
               "importlogexclude=12, 34;56:abc. 78\tx9\n"
               "WARNINGLEVEL=5\n"
               "Options=0x3\n"
               "UseDefaultErrorParameters=0\n"
               "ImportOptim=2\n"
               "FCatCacheSize=3\n"
               "Validate=1\n"
               "[MOSTDisplay]\n"
               "ParamValueStringLimit=80\n"
               "ParamsInLoopLimit=123\n");
    const YImportState& s = State();
    EXPECT_TRUE(s.profileLoaded);
    EXPECT_EQ(s.profilePath, m_Dir.File("Tarvex.ini"));
    // Numbers separated by any of ",;:. \t"; a token that is not a number is
    // ignored.
    EXPECT_EQ(s.logExclusions, (std::set<uint32_t>{12, 34, 56, 78}));
    EXPECT_EQ(s.warningLevel, 5u);
    EXPECT_EQ(s.options, 0x3u);
    EXPECT_FALSE(s.useDefaultErrorParameters);
    EXPECT_FALSE(s.importOptim); // only 1 turns it on
    EXPECT_EQ(s.fcatCacheSize, 3u);
    EXPECT_EQ(s.paramValueStringLimit, 80u);
    EXPECT_EQ(s.paramsInLoopLimit, 123u);
    EXPECT_EQ(s.ReadValidateKey(), 1);
}

TEST_F(ProfileTest, ExcludeValueMinusOneMeansNone) {
    UseProfile("[MOSTImport]\nImportLogExclude=-1\nUseDefaultErrorParameters=1\nImportOptim=1\n");
    EXPECT_TRUE(State().logExclusions.empty());
    EXPECT_TRUE(State().useDefaultErrorParameters);
    EXPECT_TRUE(State().importOptim);
    // Reading again replaces the earlier set instead of adding to it.
    UseProfile("[MOSTImport]\nImportLogExclude=7\n");
    EXPECT_EQ(State().logExclusions, (std::set<uint32_t>{7}));
    UseProfile("[MOSTImport]\nImportLogExclude=-1\n");
    EXPECT_TRUE(State().logExclusions.empty());
}

TEST_F(ProfileTest, HexPreferredListsStopAtTheFirstMissingList) {
    UseProfile("[MOSTHexPreferred]\nList1=MyAddr, OtherId\nList3=NeverRead\n");
    std::set<std::string> expected = kDefaultHexNames;
    expected.insert("myaddr");
    expected.insert("otherid");
    EXPECT_EQ(State().hexPreferredNames, expected);
    EXPECT_TRUE(State().IsHexPreferred("MYADDR"));
    EXPECT_FALSE(State().IsHexPreferred("NeverRead"));

    UseProfile("[MOSTHexPreferred]\nUseDefaults=0\nList1=FktID\n");
    EXPECT_EQ(State().hexPreferredNames, (std::set<std::string>{"fktid"}));
    EXPECT_FALSE(State().IsHexPreferred("FBlockID"));

    UseProfile("[MOSTHexPreferred]\nList1=A\nList2=B;C\nList3=-1\nList4=D\n");
    EXPECT_TRUE(State().IsHexPreferred("c"));
    EXPECT_FALSE(State().IsHexPreferred("d"));
}

// The settings folder: the module folder, or the folder the customisation
// file one level above it names.
class SettingsFolderTest : public test::CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        State().SetSettingsFolder("");
        fs::create_directories(m_Dir.File("lib"));
        State().SetModulePathForTests(m_Dir.File("lib/libmostfcat.so.3"));
    }
    void TearDown() override {
        State().SetModulePathForTests("");
        CatalogTest::TearDown();
    }
};

TEST_F(SettingsFolderTest, ModuleFolderWithoutCustomisationFile) {
    std::string folder;
    ASSERT_TRUE(State().FindSettingsFolder(folder));
    EXPECT_EQ(folder, m_Dir.File("lib"));

    // The profile beside the library is read.
    test::WriteFile(m_Dir.File("lib/Tarvex.ini"), "[MOSTImport]\nWarningLevel=4\n");
    State().ReadProfile();
    EXPECT_EQ(State().warningLevel, 4u);
    EXPECT_EQ(State().profilePath, m_Dir.File("lib/Tarvex.ini"));
}

TEST_F(SettingsFolderTest, CustomisationFileRedirectsToAnExistingFolder) {
    fs::create_directories(m_Dir.File("settings"));
    test::WriteFile(m_Dir.File("ycustom.ini"),
                    "[userselection]\nsettingsfolder=" + m_Dir.File("settings") + "\n");
    test::WriteFile(m_Dir.File("settings/Tarvex.ini"), "[MOSTImport]\nFCatCacheSize=2\n");
    std::string folder;
    ASSERT_TRUE(State().FindSettingsFolder(folder));
    EXPECT_EQ(folder, m_Dir.File("settings"));
    State().ReadProfile();
    EXPECT_EQ(State().fcatCacheSize, 2u);

    // A folder that does not exist, or an empty value, falls back to the
    // module folder.
    test::WriteFile(m_Dir.File("ycustom.ini"),
                    "[UserSelection]\nSettingsFolder=" + m_Dir.File("gone") + "\n");
    ASSERT_TRUE(State().FindSettingsFolder(folder));
    EXPECT_EQ(folder, m_Dir.File("lib"));
    test::WriteFile(m_Dir.File("ycustom.ini"), "[UserSelection]\nSettingsFolder=\n");
    ASSERT_TRUE(State().FindSettingsFolder(folder));
    EXPECT_EQ(folder, m_Dir.File("lib"));
}

TEST_F(SettingsFolderTest, ModulePathsWithoutEnoughSeparators) {
    std::string folder = "unchanged";
    State().SetModulePathForTests("libmostfcat.so");
    EXPECT_FALSE(State().FindSettingsFolder(folder));
    // Without a folder the profile is not read and the next load tries again.
    State().ReadProfile();
    EXPECT_FALSE(State().profileLoaded);
    EXPECT_EQ(State().fcatCacheSize, 0u);

    // A library in the root: the module folder is the empty text before the
    // only separator, and no customisation file is looked for.
    State().SetModulePathForTests("/libmostfcat.so");
    ASSERT_TRUE(State().FindSettingsFolder(folder));
    EXPECT_EQ(folder, "");
}

} // namespace
} // namespace mostfcat
