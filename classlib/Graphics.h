// Colours, fonts, pictures and the measuring canvas of the class layer.
//
// TColor is an RGB value (red in the low byte) or, with the top byte 0xFF, a
// system colour index (clBtnFace...). TFont builds its GDI font on demand and
// tells its owner of every change. TBitmap, TIcon and TPicture own their GDI
// objects; TJPEGImage decodes JPEG data (baseline and progressive) into a
// bitmap. TCanvas measures text in a font without a window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "classlib/AnsiString.h"
#include "classlib/Classes.h"
#include "foundation/WinHandle.h"

namespace ClassLib {

typedef std::int32_t TColor;
enum : std::int32_t {
    clSystemColor = static_cast<std::int32_t>(0xFF000000),
    clBlack = 0x000000,
    clWhite = 0xFFFFFF,
    clRed = 0x0000FF,
    clNone = 0x1FFFFFFF,
    clDefault = 0x20000000,
    clScrollBar = clSystemColor | COLOR_SCROLLBAR,
    clWindow = clSystemColor | COLOR_WINDOW,
    clWindowText = clSystemColor | COLOR_WINDOWTEXT,
    clBtnFace = clSystemColor | COLOR_BTNFACE,
    clBtnShadow = clSystemColor | COLOR_BTNSHADOW,
    clBtnText = clSystemColor | COLOR_BTNTEXT,
    clHighlight = clSystemColor | COLOR_HIGHLIGHT,
    clGrayText = clSystemColor | COLOR_GRAYTEXT,
};
// The RGB value of a colour, system colours resolved now.
COLORREF ColorToRGB(TColor color);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont : public TObject {
public:
    TFont();
    AnsiString Name() const { return name_; }
    void SetName(const AnsiString &name);
    // Height in pixels: negative for the character height, positive for the cell.
    int Height() const noexcept { return height_; }
    void SetHeight(int height);
    // Size in points at the screen's resolution.
    int Size() const;
    void SetSize(int points);
    unsigned Style() const noexcept { return style_; }
    void SetStyle(unsigned style);
    TColor Color() const noexcept { return color_; }
    void SetColor(TColor color);
    void Assign(const TFont &other);
    bool SameAs(const TFont &other) const noexcept;

    // The GDI font, built on first use after a change; owned by this object.
    HFONT Handle() const;

    // Called after every change.
    std::function<void()> OnChange;

private:
    void Changed();

    AnsiString name_;
    int height_;
    unsigned style_ = 0;
    TColor color_ = clWindowText;
    mutable Mirelta::TGdiObject handle_;
};

// Screen pixels per logical inch (vertical).
int ScreenPixelsPerInch();

class TBitmap : public TObject {
public:
    TBitmap() = default;
    bool Empty() const noexcept { return !handle_.IsValid(); }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    HBITMAP Handle() const noexcept { return static_cast<HBITMAP>(handle_.Get()); }
    // Takes ownership of the bitmap.
    void SetHandle(HBITMAP bitmap);
    // Loads a BMP file image (file header included); throws on malformed data.
    void LoadFromBytes(const void *data, size_t size);
    // Loads a bitmap resource of the module (RT_BITMAP).
    void LoadFromResourceName(HINSTANCE module, const AnsiString &name);
    void Assign(const TBitmap &other);
    void Clear() noexcept;
    // Called after every change of the bitmap.
    std::function<void()> OnChange;

private:
    void Changed();
    Mirelta::TGdiObject handle_;
    int width_ = 0;
    int height_ = 0;
};

class TIcon : public TObject {
public:
    bool Empty() const noexcept { return handle_ == nullptr; }
    HICON Handle() const noexcept { return handle_; }
    // owned: destroy the icon with this object (false for shared system icons).
    void SetHandle(HICON icon, bool owned = false);
    int Width() const;
    int Height() const;
    ~TIcon() override;
    // Called after every change of the icon.
    std::function<void()> OnChange;

private:
    HICON handle_ = nullptr;
    bool owned_ = false;
};

// JPEG data decoded into a bitmap.
class TJPEGImage : public TObject {
public:
    // Decodes the data; throws Exception when it is not a decodable JPEG.
    void LoadFromBytes(const void *data, size_t size);
    const TBitmap &Bitmap() const noexcept { return bitmap_; }
    int Width() const noexcept { return bitmap_.Width(); }
    int Height() const noexcept { return bitmap_.Height(); }

private:
    TBitmap bitmap_;
};

// What an image control shows: a bitmap or an icon (or nothing). Loading a
// new bitmap or icon through the accessors tells OnChange by itself.
class TPicture : public TObject {
public:
    TPicture();
    TBitmap *Bitmap() { return &bitmap_; }
    TIcon *Icon() { return &icon_; }
    bool Empty() const noexcept { return bitmap_.Empty() && icon_.Empty(); }
    int Width() const;
    int Height() const;
    void Assign(const TJPEGImage &jpeg);
    void Assign(const TBitmap &bitmap);
    void Changed();
    // Draws the picture into the rectangle (stretched to it).
    void Draw(HDC dc, const RECT &rect) const;

    std::function<void()> OnChange;

private:
    TBitmap bitmap_;
    TIcon icon_;
};

// Text measurement in a font, on a memory device context of the screen.
class TCanvas : public TObject {
public:
    TCanvas();
    ~TCanvas() override;
    TFont *Font() { return &font_; }
    // The device context with the font selected.
    HDC Handle();
    SIZE TextExtent(const AnsiString &text);
    int TextWidth(const AnsiString &text) { return TextExtent(text).cx; }
    int TextHeight(const AnsiString &text) { return TextExtent(text).cy; }

private:
    TFont font_;
    HDC dc_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
};

} // namespace ClassLib
