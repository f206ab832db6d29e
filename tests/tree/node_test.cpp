// Identifier rules of the node base (paths, levels, dumps and the upward name
// look-up are checked with every node family and the parameters' selectors).
#include <gtest/gtest.h>

#include "tree/identifiers.h"

namespace mostfcat {
namespace {

template <class F> std::string Applied(F f, std::string s) {
    f(s);
    return s;
}

TEST(IdentifierTest, IdentifierRules) {
    // The ends lose everything that is no identifier character; inside,
    // blanks and "()+,-.:;[]{}" become "_" and all else is dropped; at most
    // 255 characters.
    const std::pair<std::string, std::string> kIdentifiers[] = {
        {"  Audio Amp (2)  ", "Audio_Amp__2"},
        {"x-y.z:w;[1]{2}+,", "x_y_z_w__1__2"},
        {"a/b#c*d\"e'f|g~h", "abcdefgh"},
        {std::string("a\tb\001c\351d\0e", 9), "abcde"},
        {"***", ""},
        {std::string(300, 'a'), std::string(255, 'a')}};
    for (const auto& [in, out] : kIdentifiers)
        EXPECT_EQ(Applied(MakeIdentifier, in), out) << in;
    EXPECT_EQ(Applied(MakeIdentifierOrNA, "***"), "_NA_");

    EXPECT_EQ(Applied(FixLeadingDigit, "2ndZone"), "_2ndZone");
    EXPECT_EQ(Applied(FixLeadingDigit, "Zone2"), "Zone2");
    EXPECT_EQ(Applied(FixLeadingDigit, std::string(255, '7')), "_" + std::string(254, '7'));
    EXPECT_TRUE(IsIdentifier("2ndZone")); // a leading digit is allowed here
    EXPECT_FALSE(IsIdentifier("") || IsIdentifier("_x_ "));
    EXPECT_EQ(Applied(MakeCatalogName, "My Catalog.xml"), "My_Catalog_xml");
    EXPECT_EQ(Applied(MakeCatalogName, std::string(40, 'c')), std::string(32, 'c'));
    EXPECT_EQ(Applied(MakeCatalogName, "###"), "FunctionCatalog");
}

} // namespace
} // namespace mostfcat
