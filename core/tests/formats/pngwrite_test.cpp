#include "formats/pngwrite.h"

#include "base/errors.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
std::uint32_t ReadU32(const std::string& s, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3]));
}
} // namespace

TEST(PngWrite, EncodesSignatureHeaderPixelsAndEnd)
{
    // 2 x 2: red, green / blue, half-transparent white.
    const std::uint32_t pixels[] = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0x80FFFFFF};
    const std::string png = EncodePng(2, 2, pixels);
    ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));

    ASSERT_EQ(ReadU32(png, 8), 13u);
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(ReadU32(png, 16), 2u); // width
    EXPECT_EQ(ReadU32(png, 20), 2u); // height
    EXPECT_EQ(png.substr(24, 5), std::string("\x08\x06\x00\x00\x00", 5));

    const std::size_t idat = 8 + 12 + 13;
    const std::uint32_t idatLength = ReadU32(png, idat);
    EXPECT_EQ(png.substr(idat + 4, 4), "IDAT");
    std::vector<unsigned char> raw(2 * (1 + 8));
    uLongf rawLength = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawLength,
                         reinterpret_cast<const Bytef*>(png.data() + idat + 8), idatLength),
              Z_OK);
    const std::vector<unsigned char> expected = {0, 255, 0, 0,   255, 0,   255, 0,   255,
                                                 0, 0,   0, 255, 255, 255, 255, 255, 128};
    EXPECT_EQ(std::vector<unsigned char>(raw.begin(), raw.begin() + rawLength), expected);

    // IEND with its well-known CRC closes the file.
    const std::string end = png.substr(png.size() - 12);
    EXPECT_EQ(end, std::string("\x00\x00\x00\x00IEND\xAE\x42\x60\x82", 12));
}

TEST(PngWrite, WritesTheFileOrFailsWithItsName)
{
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "quillmark_pngwrite_test.png";
    const std::uint32_t pixel = 0xFF000000;
    WritePng(file.string(), 1, 1, &pixel);
    {
        // Closed before the removal: Windows removes no file that is still open.
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes, EncodePng(1, 1, &pixel));
    }
    std::filesystem::remove(file);

    const std::string bad = "/nonexistent-dir/x.png";
    try
    {
        WritePng(bad, 1, 1, &pixel);
        FAIL() << "no error";
    }
    catch (const EInOutError& e)
    {
        EXPECT_EQ(std::string(e.what()), "Cannot write /nonexistent-dir/x.png");
    }
}
