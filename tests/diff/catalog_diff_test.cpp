// Catalog versions compared: one hand-made pair per class of change, the
// catalog against itself (nothing changed), and both directions of a pair
// (what one way adds, the other way removes).
#include <gtest/gtest.h>

#include <cstdlib>

#include "generator/catalog_generator.h"
#include "mostfcat/catalog_diff.h"
#include "support/message_xml.h"

namespace mostfcat::test {
namespace {

using Diff = YFciCatalogDiff;

// FBlock 0x50 with instance 1 (and 2 when asked) and the functions.
std::string Lab(const std::string& functions, bool second = false) {
    return CatalogXml(
        FBlockXml("Lab", "0x50",
                  DeviceXml("Dev", "0x01") + (second ? DeviceXml("Dev2", "0x02") : "") + functions),
        StandardDefinitions());
}

std::string Level(const std::string& type, const std::string& name = "Level") {
    return Function("Level", 0x200, Param(name, type, 1));
}

class DiffTest : public CatalogTest {
protected:
    // An empty text stands for a catalog with nothing in it.
    std::vector<Diff::Change> Compare(const std::string& a, const std::string& b) {
        Imported x, y;
        if (!a.empty()) x = Import(a, "old.xml");
        if (!b.empty()) y = Import(b, "new.xml");
        EXPECT_TRUE((a.empty() || x.catalog) && (b.empty() || y.catalog));
        std::vector<Diff::Change> out;
        std::string error;
        EXPECT_TRUE(Diff::Compare(reinterpret_cast<uint64_t>(x.catalog.get()),
                                  reinterpret_cast<uint64_t>(y.catalog.get()), out, error))
            << error;
        return out;
    }
    // "change item class [detail]" per change.
    static std::vector<std::string> Keys(const std::vector<Diff::Change>& changes) {
        std::vector<std::string> out;
        for (const Diff::Change& c : changes)
            out.push_back(c.change + " " + c.item + " " +
                          (c.cls == Diff::eBreaking ? "breaking" : "compatible") +
                          (c.detail.empty() ? "" : " " + c.detail));
        return out;
    }
};

TEST_F(DiffTest, EachClassOfChange) {
    // A number of the basis with exponent, unit and range 0..max.
    auto num = [](const char* basis, int exponent, const char* unit, const char* max) {
        return Num(basis, exponent, unit, "0", max);
    };
    const std::string u8 = num("UByte", 0, "unit_none", "100");
    const std::string e3 = Enum({{"0x00", "Off"}, {"0x01", "On"}, {"0x02", "Auto"}});
    struct Row {
        // A type stands for a catalog whose function Level holds one parameter
        // Level of it; a whole catalog stands for itself.
        std::string oldXml, newXml;
        std::string keys; // prefixes of the changes' keys in order, each ending in ";"
    };
    const Row rows[] = {
        {u8, num("UByte", -1, "unit_none", "100"), "changed parameter breaking Level: exponent;"},
        {u8, num("UWord", 0, "unit_none", "100"),
         "changed parameter breaking Level: width in bytes;"},
        {u8, num("SByte", 0, "unit_none", "100"), "changed parameter breaking Level: signedness;"},
        {u8, num("UByte", 0, "unit_none", "50"),
         "changed parameter breaking Level: range narrowed;"},
        {u8, num("UByte", 0, "unit_none", "200"),
         "changed parameter compatible Level: range widened;"},
        {u8, num("UByte", 0, "unit_percent", "100"),
         "changed parameter compatible Level: unit changed;"},
        {u8, e3, "changed parameter breaking Level: another type;"},
        {u8, Lab(Level(u8, "Volume")), "renamed parameter compatible;"},
        {u8, Lab(Function("Level", 0x200, Param("Level", u8, 1) + Param("Extra", u8, 2))),
         "added parameter breaking;"},
        {Lab(Function("Level", 0x200, Param("A", u8, 1) + Param("B", Num("UWord"), 2))),
         Lab(Function("Level", 0x200, Param("B", Num("UWord"), 1) + Param("A", u8, 2))),
         "changed parameter breaking A moved from position 1 to 2;"
         "changed parameter breaking B moved from position 2 to 1;"},
        {e3, Enum({{"0x00", "Off"}, {"0x01", "On"}}), "removed value breaking Level: code 0x2;"},
        {e3, Enum({{"0x00", "Off"}, {"0x01", "On"}, {"0x02", "Auto"}, {"0x03", "Eco"}}),
         "added value compatible;"},
        {e3, Enum({{"0x00", "Off"}, {"0x01", "On"}, {"0x03", "Auto"}}),
         "changed value breaking Level: recoded from 0x2 to 0x3;"},
        {e3, Enum({{"0x00", "Off"}, {"0x01", "Enabled"}, {"0x02", "Auto"}}),
         "renamed value compatible;"},
        {Array("4", "Item", u8), Array("8", "Item", u8),
         "changed parameter breaking Level: array structure;"},
        {Array("4", "Item", u8), Array("4", "Item", num("UWord", 0, "unit_none", "100")),
         "changed parameter breaking Level.Item: width in bytes;"},
        {Lab(Level(u8) + Function("Mode", 0x201, Param("Mode", u8, 1))), u8,
         "removed function breaking;"},
        {u8, Lab(Level(u8) + Function("Mode", 0x201, Param("Mode", u8, 1))),
         "added function compatible;"},
        {Lab(Level(u8), true), u8, "removed instance breaking;"},
        {u8,
         CatalogXml(FBlockXml("Other", "0x51", DeviceXml("D", "0x01") + Level(u8)),
                    StandardDefinitions()),
         "removed fblock breaking;added fblock compatible;"},
    };
    auto catalog = [](const std::string& xml) {
        return xml.starts_with("<?xml") ? xml : Lab(Level(xml));
    };
    for (const Row& row : rows) {
        std::vector<std::string> got = Keys(Compare(catalog(row.oldXml), catalog(row.newXml)));
        SCOPED_TRACE(::testing::PrintToString(got));
        std::vector<std::string> keys;
        for (size_t at = 0, end; (end = row.keys.find(';', at)) != std::string::npos; at = end + 1)
            keys.push_back(row.keys.substr(at, end - at));
        ASSERT_EQ(got.size(), keys.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i].rfind(keys[i], 0), 0u) << keys[i];
    }
}

// A catalog against itself: nothing. Against an empty one and back: every
// FBlock removed (breaking) one way, added (compatible) the other.
TEST_F(DiffTest, SelfAndReverse) {
    for (uint32_t seed : {3u, 11u}) {
        std::string xml = GenerateCatalog(seed, 30000);
        EXPECT_EQ(Keys(Compare(xml, xml)), std::vector<std::string>()) << "seed " << seed;
        std::string empty;
        std::vector<Diff::Change> gone = Compare(xml, empty), came = Compare(empty, xml);
        ASSERT_EQ(gone.size(), came.size());
        ASSERT_FALSE(gone.empty());
        for (size_t i = 0; i < gone.size(); ++i) {
            EXPECT_EQ(gone[i].change + gone[i].item, "removedfblock");
            EXPECT_EQ(came[i].change + came[i].item, "addedfblock");
            EXPECT_EQ(gone[i].fblock, came[i].fblock);
            EXPECT_EQ(gone[i].cls, Diff::eBreaking);
            EXPECT_EQ(came[i].cls, Diff::eCompatible);
        }
        std::string json = Diff::Json(gone);
        EXPECT_NE(json.find(StrFormat("\"breaking\":%zu,\"compatible\":0}", gone.size())),
                  std::string::npos);
    }
}

#ifdef MOSTFCAT_CLI_PATH
// The exit status a build stops on: 0 nothing at the class, 1 a change at
// it, 2 a catalog that cannot be read.
TEST_F(DiffTest, ExitStatus) {
    const std::string u8 = Num("UByte", 0, "unit_none", "0", "100");
    WriteFile(m_Dir.File("a.xml"), Lab(Level(u8)));
    WriteFile(m_Dir.File("b.xml"), Lab(Level(Num("UByte", 0, "unit_none", "0", "200"))));
    WriteFile(m_Dir.File("c.xml"), Lab(Level(Num("UWord"))));
    auto run = [&](const std::string& args) {
        int rc = std::system(
            (std::string(MOSTFCAT_CLI_PATH) + " diff " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
    const std::string d = m_Dir.Path() + "/";
    EXPECT_EQ(run(d + "a.xml " + d + "a.xml"), 0);
    EXPECT_EQ(run(d + "a.xml " + d + "b.xml"), 0);
    EXPECT_EQ(run(d + "a.xml " + d + "b.xml --fail-on any"), 1);
    EXPECT_EQ(run(d + "a.xml " + d + "c.xml"), 1);
    EXPECT_EQ(run(d + "a.xml " + d + "missing.xml"), 2);
    EXPECT_EQ(run(d + "a.xml"), 2);
}
#endif

} // namespace
} // namespace mostfcat::test
