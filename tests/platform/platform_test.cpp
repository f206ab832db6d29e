// Paths, file status, MD5 and the memory file of the platform layer.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cstring>
#include <filesystem>

#include "platform/md5.h"
#include "platform/memfile.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace mostfcat {
namespace {

namespace fs = std::filesystem;

TEST(PathsTest, SplitAndMakePath) {
    YPathParts p = SplitPath("/data/cat.v2/catalog.tar.xml");
    EXPECT_EQ(p.drive, "");
    EXPECT_EQ(p.directory, "/data/cat.v2/");
    EXPECT_EQ(p.name, "catalog.tar");
    EXPECT_EQ(p.extension, ".xml");

    p = SplitPath("/data/cat.v2/README");
    EXPECT_EQ(p.directory, "/data/cat.v2/");
    EXPECT_EQ(p.name, "README");
    EXPECT_EQ(p.extension, "");

    p = SplitPath("plain.xml");
    EXPECT_EQ(p.directory, "");
    EXPECT_EQ(p.name, "plain");
    EXPECT_EQ(p.extension, ".xml");

    EXPECT_EQ(MakePath("", "/data/", "catalog", ".log"), "/data/catalog.log");
    EXPECT_EQ(MakePath("", "/data", "catalog", "vfc"), "/data/catalog.vfc");
    EXPECT_EQ(MakePath("", "", "catalog", ""), "catalog");
    YPathParts q = SplitPath("/a/b/c.xml");
    EXPECT_EQ(MakePath(q.drive, q.directory, q.name, ".log"), "/a/b/c.log");
}

TEST(PathsTest, FullPathFileStatusAndModuleLocation) {
    EXPECT_EQ(FullPath("/a/b/../c/./d.xml"), "/a/c/d.xml");
    EXPECT_EQ(FullPath("rel.xml"), (fs::current_path() / "rel.xml").string());
    EXPECT_EQ(FullPath(""), "");
    EXPECT_EQ(FullPath(std::string(kMaxFullPath + 10, 'a')), "");

    test::TempDir dir;
    std::string file = dir.File("c.xml");
    test::WriteFile(file, "12345");
    struct utimbuf times {};
    times.actime = times.modtime = 1700000000;
    ASSERT_EQ(::utime(file.c_str(), &times), 0);

    YFileStatus st;
    ASSERT_TRUE(GetFileStatus(file, st));
    EXPECT_EQ(st.size, 5u);
    EXPECT_EQ(st.modTime, 1700000000u);
    EXPECT_FALSE(GetFileStatus(dir.File("missing.xml"), st));
    EXPECT_FALSE(GetFileStatus(dir.Path(), st));

    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(dir.Path()));
    EXPECT_FALSE(PathExists(dir.File("missing.xml")));
    EXPECT_FALSE(PathExists(""));

    EXPECT_TRUE(IsFileReadable(file));
    EXPECT_FALSE(IsFileReadable(dir.Path()));
    EXPECT_FALSE(IsFileReadable(dir.File("missing.xml")));

    std::string module = ModuleFilePath();
    ASSERT_FALSE(module.empty());
    EXPECT_EQ(module.front(), '/');
    EXPECT_TRUE(fs::is_regular_file(module)) << module;
}

TEST(MD5Test, StandardDigestsOfKnownTexts) {
    EXPECT_EQ(YMD5("").CheckSum(), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(YMD5("abc").CheckSum(), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(YMD5("The quick brown fox jumps over the lazy dog").CheckSum(),
              "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(YMD5(nullptr).CheckSum(), YMD5("").CheckSum());
}

TEST(MemFileTest, OwnedBufferGrowsAndAttachedBufferIsReadOnly) {
    YMemFile mem(4);
    ASSERT_TRUE(mem.Write("0123456789", 10));
    ASSERT_TRUE(mem.Seek(8)); // overwrite inside, then append past the end
    ASSERT_TRUE(mem.Write("ABCD", 4));
    EXPECT_EQ(mem.Length(), 12u);
    EXPECT_FALSE(mem.Seek(13));
    mem.SeekToBegin();
    char out[32] = {};
    EXPECT_EQ(mem.Read(out, sizeof out), 12u);
    EXPECT_STREQ(out, "01234567ABCD");
    EXPECT_EQ(mem.Read(out, 1), 0u);
    EXPECT_FALSE(mem.Write(nullptr, 3));

    const uint8_t image[] = {1, 2, 3, 4};
    mem.Attach(image, sizeof image); // the owned data goes
    EXPECT_EQ(mem.Length(), 4u);
    EXPECT_EQ(mem.Position(), 0u);
    EXPECT_EQ(mem.Data(), image);
    uint8_t bytes[8] = {};
    EXPECT_EQ(mem.Read(bytes, 8), 4u);
    EXPECT_EQ(bytes[3], 4);
    mem.Seek(0);
    EXPECT_FALSE(mem.Write("x", 1));
    EXPECT_EQ(image[0], 1);

    mem.Detach();
    EXPECT_FALSE(mem.IsAttached());
    EXPECT_EQ(mem.Length(), 0u);
    ASSERT_TRUE(mem.Write("ab", 2)); // owns a buffer again
    EXPECT_NE(mem.Data(), image);
}

} // namespace
} // namespace mostfcat
