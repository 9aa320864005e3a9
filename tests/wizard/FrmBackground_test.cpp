// The backdrop: a maximised borderless white form with the "BG_IMG" picture
// (the sample's progressive JPEG, linked into this test program) centred, and
// plain white when the picture cannot be decoded.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "installer/LoadConfig.h"
#include "installer/wizard/FrmBackgroundUnit.h"

using namespace ClassLib;

namespace {

const int kPictureWidth = 1070;
const int kPictureHeight = 800;

std::string ResourceBytes(const char *name)
{
    VTVxStream stream = LoadResourceStream(name, MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!stream)
        return std::string();
    std::string bytes(stream->getSize(), '\0');
    stream->Read(&bytes[0], static_cast<unsigned>(bytes.size()));
    return bytes;
}

void Pump(unsigned ms)
{
    const DWORD start = GetTickCount();
    do {
        Application->ProcessMessages();
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

// The colour shown on screen at a point of the window's client area.
COLORREF ShownPixel(HWND window, int x, int y)
{
    HDC dc = GetDC(window);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
}

COLORREF BitmapPixel(const TBitmap &bitmap, int x, int y)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap.Handle());
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

bool Near(COLORREF a, COLORREF b)
{
    return std::abs(GetRValue(a) - GetRValue(b)) < 12 && std::abs(GetGValue(a) - GetGValue(b)) < 12 &&
           std::abs(GetBValue(a) - GetBValue(b)) < 12;
}

class FrmBackgroundTest : public testing::Test {
protected:
    void SetUp() override
    {
        Application->CreateForm(FrmBackground);
        Pump(200);
    }
    void TearDown() override
    {
        delete FrmBackground;
        FrmBackground = nullptr;
    }
};

} // namespace

TEST(FrmBackgroundPicture, TheSamplePictureIsAProgressiveJpeg)
{
    const std::string bytes = ResourceBytes("BG_IMG");
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(std::string("\xFF\xD8", 2), bytes.substr(0, 2));
    // A start-of-frame marker of the progressive kind, and none of the baseline kind.
    EXPECT_NE(std::string::npos, bytes.find("\xFF\xC2"));
    EXPECT_EQ(std::string::npos, bytes.find("\xFF\xC0"));
}

TEST_F(FrmBackgroundTest, ShowingCoversTheScreenInWhiteWithThePictureCentred)
{
    HWND window = FrmBackground->Handle();
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_EQ(0, GetWindowLongW(window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME));
    EXPECT_EQ(bsNone, FrmBackground->BorderStyle());

    TPicture *picture = FrmBackground->BGImage->Picture();
    ASSERT_EQ(kPictureWidth, picture->Width());
    ASSERT_EQ(kPictureHeight, picture->Height());

    RECT client{};
    GetClientRect(window, &client);
    EXPECT_GE(client.right, GetSystemMetrics(SM_CXSCREEN) * 3 / 4);
    const RECT dest = FrmBackground->BGImage->DestRect();
    EXPECT_EQ((client.right - kPictureWidth) / 2, dest.left);
    EXPECT_EQ((client.bottom - kPictureHeight) / 2, dest.top);

    // The corner is the form's white; the picture's own pixels are shown where it lies.
    EXPECT_EQ(RGB(255, 255, 255), ShownPixel(window, 2, 2));
    const TBitmap &bitmap = *picture->Bitmap();
    for (POINT p : {POINT{300, 330}, POINT{240, 260}, POINT{1000, 790}})
        EXPECT_TRUE(Near(BitmapPixel(bitmap, p.x, p.y), ShownPixel(window, dest.left + p.x, dest.top + p.y)))
            << p.x << "," << p.y;
}

TEST_F(FrmBackgroundTest, ABrokenPictureLeavesTheBackdropPlainWhite)
{
    const std::string bytes = ResourceBytes("BG_IMG");
    ASSERT_FALSE(FrmBackground->BGImage->Picture()->Empty());

    EXPECT_FALSE(FrmBackground->LoadPicture(bytes.data(), 120)); // cut before the frame header
    EXPECT_TRUE(FrmBackground->BGImage->Picture()->Empty());
    std::string garbled = bytes;
    garbled.replace(2, 200, 200, '\x5A');
    EXPECT_FALSE(FrmBackground->LoadPicture(garbled.data(), garbled.size()));
    EXPECT_FALSE(FrmBackground->LoadPicture(nullptr, 0));
    // A frame header claiming 65500 x 65500 pixels is refused before decoding.
    std::string huge = bytes;
    const size_t sof = huge.find("\xFF\xC2");
    ASSERT_NE(std::string::npos, sof);
    huge.replace(sof + 5, 4, "\xFF\xDC\xFF\xDC");
    EXPECT_FALSE(FrmBackground->LoadPicture(huge.data(), huge.size()));
    EXPECT_TRUE(FrmBackground->BGImage->Picture()->Empty());
    Pump(100);

    HWND window = FrmBackground->Handle();
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(RGB(255, 255, 255), ShownPixel(window, client.right / 2, client.bottom / 2));
    EXPECT_EQ(RGB(255, 255, 255), ShownPixel(window, client.right / 2 - 200, client.bottom / 2 - 50));

    // A good picture afterwards is shown again.
    EXPECT_TRUE(FrmBackground->LoadPicture(bytes.data(), bytes.size()));
    EXPECT_EQ(kPictureWidth, FrmBackground->BGImage->Picture()->Width());
}
