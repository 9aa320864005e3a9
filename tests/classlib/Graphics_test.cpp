// Pictures: JPEG decoding (progressive included) and BMP loading, with
// malformed data refused rather than read past its end.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "classlib/Graphics.h"

using namespace ClassLib;

namespace {

// A progressive JPEG of 16 x 8 pixels: the left half red, the right half blue.
const unsigned char kProgressiveJpeg[] = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x02, 0x01, 0x01, 0x01, 0x01, 0x01, 0x02,
    0x01, 0x01, 0x01, 0x02, 0x02, 0x02, 0x02, 0x02, 0x04, 0x03, 0x02, 0x02, 0x02, 0x02, 0x05, 0x04,
    0x04, 0x03, 0x04, 0x06, 0x05, 0x06, 0x06, 0x06, 0x05, 0x06, 0x06, 0x06, 0x07, 0x09, 0x08, 0x06,
    0x07, 0x09, 0x07, 0x06, 0x06, 0x08, 0x0B, 0x08, 0x09, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x06, 0x08,
    0x0B, 0x0C, 0x0B, 0x0A, 0x0C, 0x09, 0x0A, 0x0A, 0x0A, 0xFF, 0xDB, 0x00, 0x43, 0x01, 0x02, 0x02,
    0x02, 0x02, 0x02, 0x02, 0x05, 0x03, 0x03, 0x05, 0x0A, 0x07, 0x06, 0x07, 0x0A, 0x0A, 0x0A, 0x0A,
    0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A,
    0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A,
    0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0xFF, 0xC2,
    0x00, 0x11, 0x08, 0x00, 0x08, 0x00, 0x10, 0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11,
    0x01, 0xFF, 0xC4, 0x00, 0x15, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0xFF, 0xC4, 0x00, 0x14, 0x01, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0xFF, 0xDA,
    0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x10, 0x03, 0x10, 0x00, 0x00, 0x01, 0x8B, 0xC8, 0x45, 0x46,
    0xAF, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x05,
    0x02, 0x3F, 0xFF, 0xC4, 0x00, 0x18, 0x11, 0x00, 0x02, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x45, 0x83, 0xC3, 0xFF, 0xDA, 0x00, 0x08,
    0x01, 0x03, 0x01, 0x01, 0x3F, 0x01, 0x61, 0xA3, 0x2E, 0xC8, 0xFF, 0xC4, 0x00, 0x18, 0x11, 0x00,
    0x02, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x08, 0x45, 0x83, 0xC3, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x02, 0x01, 0x01, 0x3F, 0x01, 0x59, 0x65,
    0x68, 0xD8, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x06,
    0x3F, 0x02, 0x3F, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00,
    0x01, 0x3F, 0x21, 0x3F, 0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00,
    0x00, 0x10, 0x03, 0xFF, 0xC4, 0x00, 0x14, 0x11, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x03, 0x01,
    0x01, 0x3F, 0x10, 0x1F, 0xFF, 0xC4, 0x00, 0x14, 0x11, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x02,
    0x01, 0x01, 0x3F, 0x10, 0x27, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0xFF, 0xDA, 0x00, 0x08, 0x01,
    0x01, 0x00, 0x01, 0x3F, 0x10, 0x3F, 0xFF, 0xD9
};

COLORREF PixelOf(const TBitmap &bitmap, int x, int y)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap.Handle());
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

// A bottom-up 24-bit BMP file of width x height in one colour.
std::vector<unsigned char> MakeBmp(int width, int height, COLORREF color)
{
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + stride * height;
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    std::vector<unsigned char> bytes(file.bfSize);
    std::memcpy(bytes.data(), &file, sizeof(file));
    std::memcpy(bytes.data() + sizeof(file), &info, sizeof(info));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char *p = bytes.data() + file.bfOffBits + y * stride + x * 3;
            p[0] = GetBValue(color);
            p[1] = GetGValue(color);
            p[2] = GetRValue(color);
        }
    return bytes;
}

// A BMP file of the header, what follows it (masks, colour table) and the
// pixel data, as given.
std::vector<unsigned char> MakeBmpFile(BITMAPINFOHEADER info, const std::vector<unsigned char> &between,
                                       const std::vector<unsigned char> &pixels)
{
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = static_cast<DWORD>(sizeof(file) + sizeof(info) + between.size());
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    info.biSize = sizeof(info);
    info.biPlanes = 1;
    std::vector<unsigned char> bytes(reinterpret_cast<unsigned char *>(&file),
                                     reinterpret_cast<unsigned char *>(&file) + sizeof(file));
    bytes.insert(bytes.end(), reinterpret_cast<unsigned char *>(&info),
                 reinterpret_cast<unsigned char *>(&info) + sizeof(info));
    bytes.insert(bytes.end(), between.begin(), between.end());
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    return bytes;
}

BITMAPINFOHEADER DibHeader(int width, int height, int bits, DWORD compression)
{
    BITMAPINFOHEADER info{};
    info.biWidth = width;
    info.biHeight = height;
    info.biBitCount = static_cast<WORD>(bits);
    info.biCompression = compression;
    return info;
}

// The masks of 32-bit pixels as 0x00RRGGBB.
const std::vector<unsigned char> kMasks32 = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};

// A colour table: red, blue, then black up to count entries.
std::vector<unsigned char> RedBluePalette(size_t count)
{
    std::vector<unsigned char> table(count * 4, 0);
    table[2] = 0xFF; // red
    table[4] = 0xFF; // blue
    return table;
}

bool Near(COLORREF c, int r, int g, int b)
{
    return std::abs(GetRValue(c) - r) < 40 && std::abs(GetGValue(c) - g) < 40 && std::abs(GetBValue(c) - b) < 40;
}

} // namespace

TEST(Graphics, ProgressiveJpegIsDecodedIntoABitmap)
{
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(kProgressiveJpeg, sizeof(kProgressiveJpeg));
    EXPECT_EQ(16, jpeg.Width());
    EXPECT_EQ(8, jpeg.Height());
    EXPECT_TRUE(Near(PixelOf(jpeg.Bitmap(), 2, 4), 255, 0, 0));
    EXPECT_TRUE(Near(PixelOf(jpeg.Bitmap(), 13, 4), 0, 0, 255));

    TPicture picture;
    picture.Assign(jpeg);
    EXPECT_EQ(16, picture.Width());
    EXPECT_EQ(8, picture.Height());
}

TEST(Graphics, MalformedJpegIsRefused)
{
    TJPEGImage jpeg;
    EXPECT_THROW(jpeg.LoadFromBytes(kProgressiveJpeg, 40), Exception);
    const unsigned char notJpeg[] = "BM this is not a picture";
    EXPECT_THROW(jpeg.LoadFromBytes(notJpeg, sizeof(notJpeg)), Exception);
    EXPECT_THROW(jpeg.LoadFromBytes(nullptr, 0), Exception);
}

TEST(Graphics, BmpFileIsLoadedAndTruncatedOnesAreRefused)
{
    std::vector<unsigned char> bmp = MakeBmp(5, 3, RGB(0, 128, 255));
    TBitmap bitmap;
    bitmap.LoadFromBytes(bmp.data(), bmp.size());
    EXPECT_EQ(5, bitmap.Width());
    EXPECT_EQ(3, bitmap.Height());
    EXPECT_EQ(RGB(0, 128, 255), PixelOf(bitmap, 4, 2));

    TBitmap other;
    EXPECT_THROW(other.LoadFromBytes(bmp.data(), bmp.size() - 10), Exception);
    EXPECT_THROW(other.LoadFromBytes(bmp.data(), 20), Exception);
    EXPECT_TRUE(other.Empty());
}

TEST(Graphics, JpegLargerThanCanBeShownIsRefusedBeforeDecoding)
{
    // The frame header (SOF2) of the sample picture: height, then width.
    std::vector<unsigned char> jpeg(kProgressiveJpeg, kProgressiveJpeg + sizeof(kProgressiveJpeg));
    size_t sof = 0;
    while (!(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC2))
        ++sof;
    const struct {
        unsigned width, height;
    } sizes[] = {{65500, 65500}, {20000, 8}, {16, 20000}, {8000, 8000}, {0, 8}};
    for (const auto &size : sizes) {
        jpeg[sof + 5] = static_cast<unsigned char>(size.height >> 8);
        jpeg[sof + 6] = static_cast<unsigned char>(size.height);
        jpeg[sof + 7] = static_cast<unsigned char>(size.width >> 8);
        jpeg[sof + 8] = static_cast<unsigned char>(size.width);
        TJPEGImage image;
        EXPECT_THROW(image.LoadFromBytes(jpeg.data(), jpeg.size()), Exception) << size.width << " x " << size.height;
        EXPECT_TRUE(image.Bitmap().Empty());
    }
}

TEST(Graphics, CompressedAndBitfieldBmpIsCheckedAgainstItsBytes)
{
    // Readable: 32-bit pixels with their masks, and 8-bit run-length codes
    // (a line of red, a line of blue, the end).
    TBitmap bitmap;
    const std::vector<unsigned char> pixels32 = {0, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0};
    std::vector<unsigned char> bmp = MakeBmpFile(DibHeader(2, 2, 32, BI_BITFIELDS), kMasks32, pixels32);
    bitmap.LoadFromBytes(bmp.data(), bmp.size());
    EXPECT_EQ(RGB(255, 0, 0), PixelOf(bitmap, 0, 1));
    EXPECT_EQ(RGB(0, 0, 255), PixelOf(bitmap, 1, 1));
    EXPECT_EQ(RGB(255, 255, 255), PixelOf(bitmap, 1, 0));
    const std::vector<unsigned char> rle8 = {4, 0, 0, 0, 4, 1, 0, 1};
    bmp = MakeBmpFile(DibHeader(4, 2, 8, BI_RLE8), RedBluePalette(256), rle8);
    bitmap.LoadFromBytes(bmp.data(), bmp.size());
    EXPECT_EQ(RGB(255, 0, 0), PixelOf(bitmap, 3, 1));
    EXPECT_EQ(RGB(0, 0, 255), PixelOf(bitmap, 0, 0));

    // Refused, whatever the header claims beyond the bytes there are.
    const struct {
        const char *what;
        std::vector<unsigned char> bytes;
    } refused[] = {
        {"bit fields over 4096 x 4096 with 16 bytes of pixels",
         MakeBmpFile(DibHeader(4096, 4096, 32, BI_BITFIELDS), kMasks32, pixels32)},
        {"bit fields without their masks", MakeBmpFile(DibHeader(2, 2, 32, BI_BITFIELDS), {}, {})},
        {"RLE8 of 4096 x 4096 whose codes end early",
         MakeBmpFile(DibHeader(4096, 4096, 8, BI_RLE8), RedBluePalette(256), {255, 0, 255, 1, 0, 0})},
        {"RLE4 of 4096 x 4096 whose codes end early",
         MakeBmpFile(DibHeader(4096, 4096, 4, BI_RLE4), RedBluePalette(16), {255, 0x01, 0, 0})},
        {"RLE8 of 20000 x 20000", MakeBmpFile(DibHeader(20000, 20000, 8, BI_RLE8), RedBluePalette(256), rle8)},
        {"RLE8 running past its line", MakeBmpFile(DibHeader(4, 2, 8, BI_RLE8), RedBluePalette(256),
                                                   {200, 0, 0, 0, 4, 1, 0, 1})},
        {"RLE8 literal pixels past the data",
         MakeBmpFile(DibHeader(64, 2, 8, BI_RLE8), RedBluePalette(256), {0, 40, 1, 1})},
        {"RLE8 moving below the picture", MakeBmpFile(DibHeader(4, 2, 8, BI_RLE8), RedBluePalette(256),
                                                      {0, 2, 0, 9, 4, 1, 0, 1})},
        {"24-bit of 20000 x 20000", MakeBmpFile(DibHeader(20000, 20000, 24, BI_RGB), {}, pixels32)},
        {"embedded PNG", MakeBmpFile(DibHeader(2, 2, 0, BI_PNG), {}, pixels32)},
        {"8-bit without its colour table", MakeBmpFile(DibHeader(2, 2, 8, BI_RGB), {}, {1, 0, 0, 0, 0, 1, 0, 0})},
    };
    for (const auto &bad : refused) {
        TBitmap other;
        EXPECT_THROW(other.LoadFromBytes(bad.bytes.data(), bad.bytes.size()), Exception) << bad.what;
        EXPECT_TRUE(other.Empty()) << bad.what;
    }
}

TEST(Graphics, FontSizeAndHeightConvertAtScreenResolution)
{
    TFont font;
    int changes = 0;
    font.OnChange = [&] { ++changes; };
    font.SetSize(10);
    EXPECT_EQ(-MulDiv(10, ScreenPixelsPerInch(), 72), font.Height());
    EXPECT_EQ(10, font.Size());
    font.SetHeight(font.Height());
    EXPECT_EQ(1, changes);
    font.SetStyle(fsBold);
    LOGFONTW lf{};
    GetObjectW(font.Handle(), sizeof(lf), &lf);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
}

TEST(Graphics, CanvasMeasuresInItsFont)
{
    TCanvas canvas;
    canvas.Font()->SetHeight(-11);
    const int small = canvas.TextWidth("Installation");
    EXPECT_GT(small, 0);
    canvas.Font()->SetHeight(-22);
    EXPECT_GT(canvas.TextWidth("Installation"), small);
    EXPECT_GT(canvas.TextHeight("1"), 11);
}

TEST(Graphics, SystemColoursResolveThroughTheSystem)
{
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), ColorToRGB(clBtnFace));
    EXPECT_EQ(static_cast<COLORREF>(8093051), ColorToRGB(8093051));
}

TEST(Graphics, PictureHoldsOneGraphicAndReportsEveryChange)
{
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&] { ++changes; };
    std::vector<unsigned char> bmp = MakeBmp(4, 4, RGB(1, 2, 3));
    picture.Bitmap()->LoadFromBytes(bmp.data(), bmp.size());
    EXPECT_GE(changes, 1);
    EXPECT_EQ(4, picture.Width());
    const int before = changes;
    picture.Icon()->SetHandle(LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_HAND)), false);
    EXPECT_GT(changes, before);
    EXPECT_TRUE(picture.Bitmap()->Empty());
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), picture.Width());
}
