// The cache file: the header and its checks, the file, memory and
// caller-image transports, and failed writes.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "cache/fcat_file.h"
#include "platform/md5.h"
#include "support/catalog_builder.h"

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
    void SetUp() override { test::WriteFileAt(m_Xml, std::string(300, 'x'), kTime); }
    Bytes WriteCache(const Bytes& body, uint32_t mode = F::kModeFile) {
        F f(m_Xml, false, nullptr, 0);
        f.SetMode(mode);
        EXPECT_TRUE(f.OpenWrite(1, kOpt));
        EXPECT_EQ(body.size(), f.Write(body.data(), 1, body.size()));
        EXPECT_TRUE(f.Close());
        return FileBytes(f.CachePath());
    }
    uint32_t ReadError(bool verify) {
        F f(m_Xml, false, nullptr, 0);
        bool ok = f.OpenRead(verify, 1, kOpt);
        EXPECT_EQ(ok, f.Error() == 0);
        return f.Error();
    }
    test::TempDir m_Dir;
    std::string m_Xml = m_Dir.File("amp.xml");
};

TEST_F(FCatFileTest, HeaderBytesAreExact) {
    std::string sum = YMD5(m_Xml.c_str()).CheckSum();
    Bytes want = {'Y',  'M',  'O',  'S',  'T',  'F',  'C',  'A',  'T', 'C', 0, 0, // magic
                  0x00, 0x09, 0x00, 0x03, 0x05, 0x00, 0x05, 0x00, 0x01}; // version, options, flag
    want.insert(want.end(), sum.begin(), sum.end());
    want.insert(want.end(), {0, 0, 0, 0x2C, 0x01, 0, 0, 0, 0, 0, 0}); // end of text, size
    want.insert(want.end(), {0x89, 0x67, 0x45, 0x23, 0x01, 0, 0, 0, 0xAA});
    ASSERT_EQ(73u, want.size());
    EXPECT_EQ(want, WriteCache({0xAA}));
    EXPECT_EQ(want, WriteCache({0xAA}, F::kModeMemory));
}

TEST_F(FCatFileTest, HeaderChecksInOrder) {
    const Bytes good = WriteCache(Body(8));
    std::string sum = YMD5(m_Xml.c_str()).CheckSum();
    Bytes upper(sum.begin(), sum.end());
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    Bytes other = upper, open = upper;
    other[5] ^= 1;
    open.insert(open.end(), {'a', 'b', 'c'}); // 35 bytes, no terminator
    // Bytes put at an offset; the error with and without the source check.
    const struct {
        size_t at;
        Bytes put;
        uint32_t verified, plain;
    } cases[] = {
        {11, {0xEE}, 0, 0}, // padding ignored
        {10, {'X', 0}, 7, 7}, {12, {0, 0, 0, 0, 0}, 8, 8}, {16, {7}, 9, 9},   {20, {0}, 10, 10},
        {21, upper, 0, 0},    {21, other, 11, 0},          {21, open, 11, 0}, {54, {0, 'z'}, 0, 0},
        {56, {0x2D}, 12, 0},  {64, {0x8A}, 13, 0},
    };
    for (const auto& c : cases) {
        Bytes b = good;
        std::copy(c.put.begin(), c.put.end(), b.begin() + long(c.at));
        test::WriteFile(m_Dir.File("amp.vfc"), std::string(b.begin(), b.end()));
        EXPECT_EQ(c.verified, ReadError(true)) << "offset " << c.at;
        EXPECT_EQ(c.plain, ReadError(false)) << "offset " << c.at;
    }
    test::WriteFile(m_Dir.File("amp.vfc"), std::string(71, 'Y'));
    EXPECT_EQ(F::kErrFileShort, ReadError(false));
    test::WriteFile(m_Dir.File("amp.vfc"), "");
    EXPECT_EQ(F::kErrOpening, ReadError(false));
}

TEST_F(FCatFileTest, RoundTripsInFileAndMemoryMode) {
    Bytes body = Body(3 * 4069 + 18); // several load chunks and a partial one
    Bytes file = WriteCache(body, F::kModeMemory);
    EXPECT_EQ(file, WriteCache(body, F::kModeFile));
    for (uint32_t mode : {F::kModeFile, F::kModeMemory}) {
        F r(m_Xml, false, nullptr, 0);
        r.SetMode(mode);
        ASSERT_TRUE(r.OpenRead(true, 1, kOpt));
        Bytes back(body.size() + 1);
        EXPECT_EQ(body.size() / 4, r.Read(back.data(), 4, body.size() / 4));
        EXPECT_EQ(body.size() % 4, r.Read(&back[body.size() / 4 * 4], 1, 2));
        EXPECT_EQ(body, Bytes(back.begin(), back.end() - 1));
        EXPECT_EQ(mode == F::kModeFile ? F::kErrFileShort : F::kErrImageShort, r.Error());
        EXPECT_TRUE(r.Close());
        const uint8_t* image = r.DetachImage();
        EXPECT_EQ(mode == F::kModeFile ? Bytes{} : file,
                  image ? Bytes(image, image + r.CacheSize()) : Bytes{});
    }
}

// The archive reader takes the body in one piece: everything after the
// header (and after what Read already took), from each transport.
// An image gives the rest whole; a file gives it through a window that moves
// on with the bytes kept in front, also for a need larger than the window,
// and that stops short with an error when the file shrinks while read.
TEST_F(FCatFileTest, RestOfTheBodyWholeOrThroughTheWindow) {
    for (size_t n : {size_t(0), size_t(10), size_t(3 * 1024 * 1024 + 5)}) {
        Bytes body = Body(n);
        Bytes file = WriteCache(body);
        for (uint32_t mode : {F::kModeFile, F::kModeMemory, F::kModeImage}) {
            for (bool shrink : {false, true}) {
                if (shrink && (mode != F::kModeFile || n < 1024 * 1024)) continue;
                SCOPED_TRACE(::testing::Message() << n << " bytes, mode " << mode << shrink);
                F f(m_Xml, false, mode == F::kModeImage ? file.data() : nullptr,
                    mode == F::kModeImage ? uint32_t(file.size()) : 0);
                if (mode != F::kModeImage) f.SetMode(mode);
                const uint8_t* data = nullptr;
                size_t size = 1;
                EXPECT_FALSE(f.ReadRest(data, size)); // nothing open yet
                ASSERT_TRUE(f.OpenRead(true, 1, kOpt));
                uint8_t first[3] = {};
                size_t skip = n >= 3 ? f.Read(first, 1, 3) : 0;
                ASSERT_TRUE(f.ReadRest(data, size));
                EXPECT_TRUE(mode != F::kModeImage || n == 0 || data == file.data() + 72 + skip);
                EXPECT_TRUE(mode == F::kModeFile || body.size() - skip == size);
                if (shrink) std::filesystem::resize_file(f.CachePath(), 72 + 1000000);
                const uint8_t* end = data + size;
                Bytes got;
                for (size_t step = 1;; ++step) {
                    size_t keep = std::min<size_t>(size_t(end - data), 7);
                    got.insert(got.end(), data, end - keep);
                    data = end - keep;
                    size_t need = keep + (step % 3 == 0 ? 300 * 1024 : 1);
                    if (!f.MoreRest(data, end, need)) break;
                    EXPECT_GE(size_t(end - data), need);
                }
                got.insert(got.end(), data, end);
                Bytes want(body.begin() + ptrdiff_t(skip), body.end());
                if (shrink) {
                    EXPECT_EQ(F::kErrFileShort, f.Error());
                    EXPECT_LT(got.size(), want.size());
                    want.resize(got.size());
                }
                EXPECT_EQ(want, got);
                EXPECT_EQ(0u, f.RestUnread());
                f.Close();
                if (shrink) WriteCache(body);
            }
        }
    }
}

TEST_F(FCatFileTest, CallerImageIsReadInPlace) {
    Bytes image = WriteCache(Body(20));
    test::WriteFileAt(m_Xml, std::string(999, 'x'), kTime); // size is not compared for images
    image[64] = 0x77; // nor is the time, which is taken from the image
    F f(m_Xml, false, image.data(), uint32_t(image.size()));
    EXPECT_EQ(kTime - 0x89 + 0x77, f.XmlTime());
    EXPECT_EQ(image.data(), f.DetachImage());
    ASSERT_TRUE(f.OpenRead(true, 1, kOpt));
    uint8_t b[21];
    EXPECT_EQ(20u, f.Read(b, 1, 21));
    EXPECT_TRUE(std::equal(b, b + 20, image.begin() + 72));
    image[30] ^= 1;
    EXPECT_FALSE(f.OpenRead(true, 1, kOpt));
    EXPECT_EQ(F::kErrChecksum, f.Error());

    // Shorter than a header, sized exactly so that the address sanitizer
    // catches a read past it.
    auto shortImage = std::make_unique<uint8_t[]>(40);
    std::copy(image.begin(), image.begin() + 40, shortImage.get());
    F s(m_Xml, true, shortImage.get(), 40);
    EXPECT_FALSE(s.OpenRead(false, 1, kOpt));
    EXPECT_EQ(F::kErrImageShort, s.Error());
}

TEST_F(FCatFileTest, WriteFailuresLeaveNoCache) {
    F f(m_Xml, false, nullptr, 0);
    ASSERT_TRUE(f.OpenWrite(1, kOpt));
    EXPECT_EQ(0u, f.Write(nullptr, 1, 3));
    EXPECT_EQ(2u, f.Write("de", 1, 2));
    EXPECT_FALSE(f.Close());
    EXPECT_EQ(F::kErrWriteShort, f.Error());
    EXPECT_EQ(0u, FileBytes(f.CachePath()).size());

    // A full device: stdio takes the bytes and fails only when it flushes.
    std::filesystem::remove(f.CachePath());
    std::filesystem::create_symlink("/dev/full", f.CachePath());
    for (uint32_t mode : {F::kModeFile, F::kModeMemory}) {
        F g(m_Xml, false, nullptr, 0);
        g.SetMode(mode);
        ASSERT_TRUE(g.OpenWrite(1, kOpt));
        EXPECT_EQ(10u, g.Write("0123456789", 1, 10));
        EXPECT_FALSE(g.Close());
        EXPECT_EQ(mode == F::kModeFile ? F::kErrWriteShort : F::kErrFlushShort, g.Error());
    }
}

} // namespace
} // namespace mostfcat
