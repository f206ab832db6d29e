#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "cache/fcat_file.h"
#include "platform/md5.h"
#include "support/test_support.h"

namespace mostfcat {
namespace {

using Bytes = std::vector<uint8_t>;
using F = YFCatFile;
constexpr uint32_t kOpt = 0x50005;
constexpr uint64_t kTime = 0x123456789ull; // needs all 8 bytes of the field

Bytes FileBytes(const std::string& path) {
    std::string s = test::ReadFile(path);
    return Bytes(s.begin(), s.end());
}

Bytes Body(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(i * 7 + 3);
    return b;
}

class FCatFileTest : public ::testing::Test {
protected:
    // An XML file of 300 bytes with a fixed modification time.
    std::string MakeXml(const std::string& name, size_t size = 300) {
        std::string path = m_Dir.File(name);
        test::WriteFile(path, std::string(size, 'x'));
        timespec ts[2] = {{time_t(kTime), 0}, {time_t(kTime), 0}};
        EXPECT_EQ(0, utimensat(AT_FDCWD, path.c_str(), ts, 0));
        return path;
    }
    Bytes WriteCache(const std::string& xml, const Bytes& body, uint32_t mode = F::kModeFile) {
        F f(xml, false, nullptr, 0);
        f.SetMode(mode);
        EXPECT_TRUE(f.OpenWrite(1, kOpt));
        EXPECT_EQ(body.size(), f.Write(body.data(), 1, body.size()));
        EXPECT_TRUE(f.Close());
        return FileBytes(f.CachePath());
    }
    uint32_t ReadError(const std::string& xml, bool verify, uint8_t udep = 1, uint32_t opt = kOpt) {
        F f(xml, false, nullptr, 0);
        bool ok = f.OpenRead(verify, udep, opt);
        EXPECT_EQ(ok, f.Error() == 0);
        return f.Error();
    }
    test::TempDir m_Dir;
};

TEST_F(FCatFileTest, PathsAndModes) {
    std::string xml = MakeXml("amp.XML");
    F f(m_Dir.File("sub/../amp.XML"), false, nullptr, 0);
    EXPECT_EQ(xml, f.XmlPath());
    EXPECT_EQ(m_Dir.File("amp.vfc"), f.CachePath());
    EXPECT_EQ("amp.vfc", f.CacheName());
    EXPECT_TRUE(f.IsUpToDate(kTime));
    EXPECT_FALSE(f.IsUpToDate(kTime + 1));

    F v(m_Dir.File("amp.VFC"), false, nullptr, 0);
    EXPECT_EQ(m_Dir.File("amp.xml"), v.XmlPath());
    F other(m_Dir.File("amp.txt"), false, nullptr, 0);
    EXPECT_EQ("", other.XmlPath() + other.CachePath());

    // No cache: always up to date, and an existing cache is left untouched.
    Bytes cache = WriteCache(xml, Body(10));
    F n(xml, true, nullptr, 100); // a null image is no image
    EXPECT_EQ(F::kModeNoCache, n.Mode());
    EXPECT_TRUE(n.IsUpToDate(12345));
    EXPECT_FALSE(n.OpenRead(false, 1, kOpt));
    EXPECT_FALSE(n.OpenWrite(1, kOpt));
    EXPECT_EQ(cache, FileBytes(n.CachePath()));
    n.SetMode(F::kModeImage);
    EXPECT_FALSE(n.OpenRead(false, 1, kOpt));
    EXPECT_EQ(F::kErrNoSource, n.Error());
}

TEST_F(FCatFileTest, HeaderBytesAreExact) {
    std::string xml = MakeXml("amp.xml");
    std::string sum = YMD5(xml.c_str()).CheckSum();
    Bytes want = {'Y',  'M',  'O',  'S',  'T',  'F',  'C',  'A',  'T', 'C', 0, 0, // magic, padding
                  0x00, 0x09, 0x00, 0x03, 0x05, 0x00, 0x05, 0x00, 0x01}; // version, options, flag
    want.insert(want.end(), sum.begin(), sum.end());
    want.insert(want.end(), {0, 0, 0, 0x2C, 0x01, 0, 0, 0, 0, 0, 0}); // end of text, size, padding
    want.insert(want.end(), {0x89, 0x67, 0x45, 0x23, 0x01, 0, 0, 0, 0xAA});
    ASSERT_EQ(73u, want.size());
    EXPECT_EQ(want, WriteCache(xml, {0xAA}));
    EXPECT_EQ(want, WriteCache(xml, {0xAA}, F::kModeMemory));
}

TEST_F(FCatFileTest, HeaderChecksInOrder) {
    std::string xml = MakeXml("amp.xml");
    const Bytes good = WriteCache(xml, Body(8));
    std::string sum = YMD5(xml.c_str()).CheckSum();
    Bytes upper(sum.begin(), sum.end());
    for (uint8_t& c : upper)
        c = uint8_t(std::toupper(c));
    Bytes other = upper;
    other[5] ^= 1;
    Bytes open = upper;
    open.insert(open.end(), {'a', 'b', 'c'}); // 35 bytes, no terminator
    struct {
        size_t at;
        Bytes put;
        uint32_t verified, plain;
    } const cases[] = {
        {11, {0xEE}, 0, 0},   {60, {1, 2, 3, 4}, 0, 0}, // padding ignored
        {10, {'X', 0}, 7, 7}, {9, {'c'}, 7, 7},         {12, {0, 0, 0, 0, 0}, 8, 8},
        {20, {0}, 10, 10},    {21, upper, 0, 0},        {21, other, 11, 0},
        {21, open, 11, 0},    {54, {0, 'z'}, 0, 0},     {56, {0x2D}, 12, 0},
        {64, {0x8A}, 13, 0},
    };
    for (const auto& c : cases) {
        Bytes b = good;
        std::copy(c.put.begin(), c.put.end(), b.begin() + long(c.at));
        test::WriteFile(m_Dir.File("amp.vfc"), std::string(b.begin(), b.end()));
        EXPECT_EQ(c.verified, ReadError(xml, true)) << "offset " << c.at;
        EXPECT_EQ(c.plain, ReadError(xml, false)) << "offset " << c.at;
    }
    WriteCache(xml, {});
    EXPECT_EQ(F::kErrOptions, ReadError(xml, false, 1, 0x50007)); // profile changed
    EXPECT_EQ(F::kErrDefaultErrorParams, ReadError(xml, false, 0));
    test::WriteFile(m_Dir.File("amp.vfc"), std::string(71, 'Y'));
    EXPECT_EQ(F::kErrFileShort, ReadError(xml, false));
    test::WriteFile(m_Dir.File("amp.vfc"), "");
    EXPECT_EQ(F::kErrOpening, ReadError(xml, false));
}

TEST_F(FCatFileTest, RoundTripsInFileAndMemoryMode) {
    std::string xml = MakeXml("amp.xml");
    Bytes body = Body(3 * 4069 + 18); // several load chunks and a partial one
    Bytes file = WriteCache(xml, body, F::kModeMemory);
    EXPECT_EQ(file, WriteCache(xml, body, F::kModeFile));
    for (uint32_t mode : {F::kModeFile, F::kModeMemory}) {
        F r(xml, false, nullptr, 0);
        r.SetMode(mode);
        ASSERT_TRUE(r.OpenRead(true, 1, kOpt));
        Bytes back(body.size() + 1);
        EXPECT_EQ(body.size() / 4, r.Read(back.data(), 4, body.size() / 4));
        EXPECT_EQ(body.size() % 4, r.Read(&back[body.size() / 4 * 4], 1, 2));
        EXPECT_EQ(body, Bytes(back.begin(), back.end() - 1));
        EXPECT_EQ(mode == F::kModeFile ? F::kErrFileShort : F::kErrImageShort, r.Error());
        EXPECT_TRUE(r.Close());
        if (mode == F::kModeFile) {
            EXPECT_EQ(nullptr, r.DetachImage());
        } else {
            ASSERT_NE(nullptr, r.DetachImage());
            EXPECT_EQ(file, Bytes(r.DetachImage(), r.DetachImage() + r.CacheSize()));
        }
    }

    // The cache shrinks after construction: the loaded length is reported,
    // and a refused load leaves no image.
    F r(xml, false, nullptr, 0);
    r.SetMode(F::kModeMemory);
    Bytes small = WriteCache(xml, Body(5));
    ASSERT_TRUE(r.OpenRead(true, 1, kOpt) && r.Close());
    EXPECT_EQ(small, Bytes(r.DetachImage(), r.DetachImage() + r.CacheSize()));
    EXPECT_FALSE(r.OpenRead(true, 0, kOpt));
    EXPECT_EQ(nullptr, r.DetachImage());
}

TEST_F(FCatFileTest, CallerImageIsReadInPlace) {
    std::string xml = MakeXml("amp.xml");
    Bytes image = WriteCache(xml, Body(20));
    MakeXml("amp.xml", 999); // size no longer matches; not compared for images
    image[64] = 0x77;        // nor is the time, which is taken from the image
    F f(xml, false, image.data(), uint32_t(image.size()));
    EXPECT_EQ(F::kModeImage, f.Mode());
    EXPECT_EQ(kTime - 0x89 + 0x77, f.XmlTime());
    EXPECT_EQ(image.data(), f.DetachImage());
    ASSERT_TRUE(f.OpenRead(true, 1, kOpt));
    ASSERT_TRUE(f.OpenRead(true, 1, kOpt)); // reads the header from the start again
    uint8_t b[21];
    EXPECT_EQ(20u, f.Read(b, 1, 21));
    EXPECT_TRUE(std::equal(b, b + 20, image.begin() + 72));
    image[30] ^= 1;
    EXPECT_FALSE(f.OpenRead(true, 1, kOpt));
    EXPECT_EQ(F::kErrChecksum, f.Error());

    // Written back verbatim; data written into it is lost and Close says so.
    image[30] ^= 1;
    std::filesystem::remove(f.CachePath());
    ASSERT_TRUE(f.OpenWrite(1, kOpt) && f.Close());
    EXPECT_EQ(image, FileBytes(f.CachePath()));
    ASSERT_TRUE(f.OpenWrite(1, kOpt));
    EXPECT_EQ(0u, f.Write(b, 1, 4));
    EXPECT_FALSE(f.Close());
    EXPECT_EQ(F::kErrFlushShort, f.Error());
    EXPECT_EQ(0u, FileBytes(f.CachePath()).size());

    // Shorter than a header, and sized exactly so that reading past it is
    // caught by the address sanitizer.
    auto shortImage = std::make_unique<uint8_t[]>(40);
    std::copy(image.begin(), image.begin() + 40, shortImage.get());
    F s(xml, true, shortImage.get(), 40);
    EXPECT_EQ(0u, s.XmlTime());
    EXPECT_FALSE(s.OpenRead(false, 1, kOpt));
    EXPECT_EQ(F::kErrImageShort, s.Error());
}

TEST_F(FCatFileTest, WriteFailuresAreReported) {
    std::string xml = MakeXml("amp.xml");
    F f(xml, false, nullptr, 0);
    ASSERT_TRUE(f.OpenWrite(1, kOpt));
    EXPECT_EQ(0u, f.Write(nullptr, 1, 3));
    EXPECT_EQ(2u, f.Write("de", 1, 2));
    EXPECT_FALSE(f.Close());
    EXPECT_EQ(F::kErrWriteShort, f.Error());
    EXPECT_EQ(0u, FileBytes(f.CachePath()).size()) << "no half-valid cache is left";

    // A full device: stdio takes the bytes and fails only when it flushes.
    std::filesystem::remove(f.CachePath());
    std::filesystem::create_symlink("/dev/full", f.CachePath());
    for (uint32_t mode : {F::kModeFile, F::kModeMemory}) {
        F g(xml, false, nullptr, 0);
        g.SetMode(mode);
        ASSERT_TRUE(g.OpenWrite(1, kOpt));
        EXPECT_EQ(10u, g.Write("0123456789", 1, 10));
        EXPECT_FALSE(g.Close());
        EXPECT_EQ(mode == F::kModeFile ? F::kErrWriteShort : F::kErrFlushShort, g.Error());
    }

    // A cache that cannot be created: a folder in its place (binds even
    // root), or a read-only folder.
    std::filesystem::remove(f.CachePath());
    std::filesystem::create_directory(f.CachePath());
    std::filesystem::create_directory(m_Dir.File("ro"));
    chmod(m_Dir.File("ro").c_str(), 0555);
    for (std::string path : {xml, m_Dir.File("ro/amp.xml")}) {
        for (uint32_t mode : {F::kModeFile, F::kModeMemory}) {
            F g(path, false, nullptr, 0);
            g.SetMode(mode);
            if (path != xml && access(m_Dir.File("ro").c_str(), W_OK) == 0) continue; // root
            EXPECT_FALSE(g.OpenWrite(1, kOpt)) << path;
            EXPECT_EQ(F::kErrOpening, g.Error());
            EXPECT_FALSE(g.Close());
            EXPECT_EQ(F::kErrOpening, g.Error());
        }
    }
}

} // namespace
} // namespace mostfcat
