#include "classlib/Graphics.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstring>
#include <vector>

#include "foundation/VxText.h"

namespace ClassLib {

namespace {

const char kDefaultFontName[] = "Tahoma";

// Creates a top-down 32-bit DIB section and hands back its pixels.
HBITMAP CreateDib32(int width, int height, void **bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// COM for the decoder: initialised here when the thread has not done it.
class TComScope {
public:
    TComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~TComScope()
    {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }

private:
    HRESULT hr_;
};

void Check(HRESULT hr, const char *what)
{
    if (FAILED(hr))
        throw Exception(AnsiString::Format("JPEG image: %s failed (0x%08lX)", what,
                                           static_cast<unsigned long>(hr)));
}

} // namespace

COLORREF ColorToRGB(TColor color)
{
    if ((color & clSystemColor) == clSystemColor)
        return GetSysColor(color & 0xFF);
    if (color == clNone || color == clDefault)
        return GetSysColor(COLOR_WINDOW);
    return static_cast<COLORREF>(color & 0xFFFFFF);
}

int ScreenPixelsPerInch()
{
    HDC dc = GetDC(nullptr);
    int ppi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc)
        ReleaseDC(nullptr, dc);
    return ppi > 0 ? ppi : 96;
}

TFont::TFont() : name_(kDefaultFontName), height_(-11)
{
}

void TFont::SetName(const AnsiString &name)
{
    if (name == name_)
        return;
    name_ = name;
    Changed();
}

void TFont::SetHeight(int height)
{
    if (height == height_)
        return;
    height_ = height;
    Changed();
}

int TFont::Size() const
{
    return -MulDiv(height_, 72, ScreenPixelsPerInch());
}

void TFont::SetSize(int points)
{
    SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72));
}

void TFont::SetStyle(unsigned style)
{
    if (style == style_)
        return;
    style_ = style;
    Changed();
}

void TFont::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    if (OnChange)
        OnChange();
}

void TFont::Assign(const TFont &other)
{
    if (SameAs(other))
        return;
    name_ = other.name_;
    height_ = other.height_;
    style_ = other.style_;
    color_ = other.color_;
    Changed();
}

bool TFont::SameAs(const TFont &other) const noexcept
{
    return name_ == other.name_ && height_ == other.height_ && style_ == other.style_ &&
           color_ == other.color_;
}

HFONT TFont::Handle() const
{
    if (!handle_.IsValid()) {
        LOGFONTW lf{};
        lf.lfHeight = height_;
        lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style_ & fsItalic) ? TRUE : FALSE;
        lf.lfUnderline = (style_ & fsUnderline) ? TRUE : FALSE;
        lf.lfStrikeOut = (style_ & fsStrikeOut) ? TRUE : FALSE;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = DEFAULT_QUALITY;
        std::wstring face = AnsiToWide(name_);
        wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        handle_.Set(CreateFontIndirectW(&lf));
    }
    return static_cast<HFONT>(handle_.Get());
}

void TFont::Changed()
{
    // The old font stays alive until the owner has switched to the new one.
    Mirelta::TGdiObject old(static_cast<HGDIOBJ>(handle_.Take()));
    if (OnChange)
        OnChange();
}

void TBitmap::SetHandle(HBITMAP bitmap)
{
    handle_.Set(bitmap);
    BITMAP info{};
    if (bitmap && GetObjectW(bitmap, sizeof(info), &info)) {
        width_ = info.bmWidth;
        height_ = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    } else {
        width_ = height_ = 0;
    }
    Changed();
}

void TBitmap::Changed()
{
    if (OnChange)
        OnChange();
}

void TBitmap::LoadFromBytes(const void *data, size_t size)
{
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    if (!bytes || size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) ||
        bytes[0] != 'B' || bytes[1] != 'M')
        throw Exception("Bitmap image is not valid");
    BITMAPFILEHEADER file;
    std::memcpy(&file, bytes, sizeof(file));
    const BITMAPINFO *info = reinterpret_cast<const BITMAPINFO *>(bytes + sizeof(file));
    if (info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || file.bfOffBits >= size ||
        info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0)
        throw Exception("Bitmap image is not valid");
    const BITMAPINFOHEADER &h = info->bmiHeader;
    long long rows = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    long long stride = ((static_cast<long long>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
    if (h.biCompression == BI_RGB && file.bfOffBits + stride * rows > static_cast<long long>(size))
        throw Exception("Bitmap image is truncated");
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, bytes + file.bfOffBits,
                                    info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (!bitmap)
        throw Exception("Bitmap image could not be created");
    SetHandle(bitmap);
}

void TBitmap::LoadFromResourceName(HINSTANCE module, const AnsiString &name)
{
    HRSRC res = FindResourceW(module, AnsiToWide(name).c_str(), reinterpret_cast<LPCWSTR>(RT_BITMAP));
    HGLOBAL global = res ? LoadResource(module, res) : nullptr;
    const void *data = global ? LockResource(global) : nullptr;
    DWORD size = res ? SizeofResource(module, res) : 0;
    if (!data || size < sizeof(BITMAPINFOHEADER))
        throw Exception("Bitmap resource not found: " + name);
    // A bitmap resource is a BMP file without its file header.
    std::vector<unsigned char> file(sizeof(BITMAPFILEHEADER) + size);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfSize = static_cast<DWORD>(file.size());
    const BITMAPINFOHEADER *bih = static_cast<const BITMAPINFOHEADER *>(data);
    DWORD colors = bih->biClrUsed;
    if (colors == 0 && bih->biBitCount <= 8)
        colors = 1u << bih->biBitCount;
    DWORD masks = (bih->biCompression == BI_BITFIELDS && bih->biSize == sizeof(BITMAPINFOHEADER)) ? 12 : 0;
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + bih->biSize + masks + colors * sizeof(RGBQUAD);
    std::memcpy(file.data(), &header, sizeof(header));
    std::memcpy(file.data() + sizeof(header), data, size);
    LoadFromBytes(file.data(), file.size());
}

void TBitmap::Assign(const TBitmap &other)
{
    if (other.Empty()) {
        Clear();
        return;
    }
    HBITMAP copy = static_cast<HBITMAP>(CopyImage(other.Handle(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!copy)
        throw Exception("Bitmap could not be copied");
    SetHandle(copy);
}

void TBitmap::Clear() noexcept
{
    handle_.Close();
    width_ = height_ = 0;
    try {
        Changed();
    } catch (...) {
    }
}

void TIcon::SetHandle(HICON icon, bool owned)
{
    if (handle_ && owned_ && handle_ != icon)
        DestroyIcon(handle_);
    handle_ = icon;
    owned_ = owned;
    if (OnChange)
        OnChange();
}

int TIcon::Width() const
{
    return handle_ ? GetSystemMetrics(SM_CXICON) : 0;
}

int TIcon::Height() const
{
    return handle_ ? GetSystemMetrics(SM_CYICON) : 0;
}

TIcon::~TIcon()
{
    if (handle_ && owned_)
        DestroyIcon(handle_);
}

void TJPEGImage::LoadFromBytes(const void *data, size_t size)
{
    if (!data || size == 0 || size > 0x7FFFFFFF)
        throw Exception("JPEG image: no data");
    TComScope com;
    Mirelta::TComPtr<IWICImagingFactory> factory;
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IWICImagingFactory, reinterpret_cast<void **>(factory.Receive())),
          "creating the imaging factory");
    Mirelta::TComPtr<IWICStream> stream;
    Check(factory->CreateStream(stream.Receive()), "creating a stream");
    Check(stream->InitializeFromMemory(static_cast<BYTE *>(const_cast<void *>(data)),
                                       static_cast<DWORD>(size)),
          "reading the data");
    Mirelta::TComPtr<IWICBitmapDecoder> decoder;
    Check(factory->CreateDecoderFromStream(stream.Get(), &GUID_ContainerFormatJpeg,
                                           WICDecodeMetadataCacheOnDemand, decoder.Receive()),
          "opening the image");
    Mirelta::TComPtr<IWICBitmapFrameDecode> frame;
    Check(decoder->GetFrame(0, frame.Receive()), "decoding the frame");
    Mirelta::TComPtr<IWICFormatConverter> converter;
    Check(factory->CreateFormatConverter(converter.Receive()), "creating a converter");
    Check(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                nullptr, 0.0, WICBitmapPaletteTypeCustom),
          "converting the pixels");
    UINT width = 0, height = 0;
    Check(converter->GetSize(&width, &height), "reading the size");
    if (width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF)
        throw Exception("JPEG image: unsupported size");
    void *bits = nullptr;
    Mirelta::TGdiObject bitmap(CreateDib32(static_cast<int>(width), static_cast<int>(height), &bits));
    if (!bitmap.IsValid() || !bits)
        throw Exception("JPEG image: out of memory");
    Check(converter->CopyPixels(nullptr, width * 4, width * height * 4, static_cast<BYTE *>(bits)),
          "copying the pixels");
    GdiFlush();
    bitmap_.SetHandle(static_cast<HBITMAP>(bitmap.Take()));
}

TPicture::TPicture()
{
    // A picture holds one graphic: a new bitmap drops the icon and back.
    bitmap_.OnChange = [this] {
        if (!bitmap_.Empty() && !icon_.Empty())
            icon_.SetHandle(nullptr);
        Changed();
    };
    icon_.OnChange = [this] {
        if (!icon_.Empty() && !bitmap_.Empty())
            bitmap_.Clear();
        Changed();
    };
}

int TPicture::Width() const
{
    return !bitmap_.Empty() ? bitmap_.Width() : icon_.Width();
}

int TPicture::Height() const
{
    return !bitmap_.Empty() ? bitmap_.Height() : icon_.Height();
}

void TPicture::Assign(const TJPEGImage &jpeg)
{
    icon_.SetHandle(nullptr);
    bitmap_.Assign(jpeg.Bitmap());
}

void TPicture::Assign(const TBitmap &bitmap)
{
    icon_.SetHandle(nullptr);
    bitmap_.Assign(bitmap);
}

void TPicture::Changed()
{
    if (OnChange)
        OnChange();
}

void TPicture::Draw(HDC dc, const RECT &rect) const
{
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0)
        return;
    if (!bitmap_.Empty()) {
        HDC mem = CreateCompatibleDC(dc);
        if (!mem)
            return;
        HGDIOBJ old = SelectObject(mem, bitmap_.Handle());
        int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, rect.left, rect.top, w, h, mem, 0, 0, bitmap_.Width(), bitmap_.Height(), SRCCOPY);
        SetStretchBltMode(dc, oldMode);
        SelectObject(mem, old);
        DeleteDC(mem);
    } else if (!icon_.Empty()) {
        DrawIconEx(dc, rect.left, rect.top, icon_.Handle(), w, h, 0, nullptr, DI_NORMAL);
    }
}

TCanvas::TCanvas()
{
    font_.OnChange = [this] {
        if (dc_)
            SelectObject(dc_, font_.Handle());
    };
}

TCanvas::~TCanvas()
{
    if (dc_) {
        SelectObject(dc_, oldFont_);
        DeleteDC(dc_);
    }
}

HDC TCanvas::Handle()
{
    if (!dc_) {
        dc_ = CreateCompatibleDC(nullptr);
        if (!dc_)
            throw Exception("Canvas does not allow drawing");
        oldFont_ = SelectObject(dc_, font_.Handle());
    }
    return dc_;
}

SIZE TCanvas::TextExtent(const AnsiString &text)
{
    SIZE size{0, 0};
    GetTextExtentPoint32A(Handle(), text.c_str(), text.Length(), &size);
    return size;
}

} // namespace ClassLib
