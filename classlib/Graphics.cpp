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

// The largest picture either loader accepts: a side of 16384 pixels and 32
// megapixels in all (128 MB as 32-bit pixels), beyond any screen of today.
const long long kMaxPictureSide = 16384;
const long long kMaxPicturePixels = 1LL << 25;

bool SizeCanBeShown(long long width, long long height)
{
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

unsigned BigEndian16(const unsigned char *p)
{
    return (static_cast<unsigned>(p[0]) << 8) | p[1];
}

// The size a JPEG's frame header (its SOFn marker) declares, found by walking
// the marker segments before it. False when the data end, or a scan starts,
// before a frame header, or a segment runs past the data.
bool ReadJpegFrameSize(const unsigned char *bytes, size_t size, unsigned &width, unsigned &height)
{
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return false;
    size_t pos = 2;
    while (pos + 1 < size) {
        if (bytes[pos] != 0xFF)
            return false;
        const unsigned char marker = bytes[pos + 1];
        if (marker == 0xFF) { // a fill byte before the marker
            ++pos;
            continue;
        }
        pos += 2;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) // markers without a segment
            continue;
        if (marker == 0xD9 || marker == 0xDA || pos + 2 > size)
            return false;
        const size_t length = BigEndian16(bytes + pos);
        if (length < 2 || pos + length > size)
            return false;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7)
                return false;
            height = BigEndian16(bytes + pos + 3);
            width = BigEndian16(bytes + pos + 5);
            return true;
        }
        pos += length;
    }
    return false;
}

// The bytes of an RLE-compressed bitmap's pixel data up to its end-of-bitmap
// code (or its last line), or 0 when the codes run past the data or draw
// outside the image. rle4: two pixels to a byte.
size_t RleDataLength(const unsigned char *data, size_t size, long long width, long long height, bool rle4)
{
    long long x = 0, y = 0;
    size_t pos = 0;
    for (;;) {
        if (pos + 2 > size)
            return y >= height ? pos : 0; // no end code after the last line is still whole
        const unsigned count = data[pos], code = data[pos + 1];
        pos += 2;
        if (count > 0) { // a run of one value
            if (y >= height || x + count > width)
                return 0;
            x += count;
            continue;
        }
        switch (code) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return pos;
        case 2: // move right and up
            if (pos + 2 > size)
                return 0;
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
            if (x > width || y > height)
                return 0;
            break;
        default: { // code pixels given one by one, padded to a 16-bit boundary
            size_t length = rle4 ? (code + 1) / 2 : code;
            length += length & 1;
            if (y >= height || x + code > width || pos + length > size)
                return 0;
            pos += length;
            x += code;
            break;
        }
        }
    }
}

// Checks a BMP file's header, colour table and pixel data against the bytes
// there are, and returns the header for the system: a plain header whose
// biSizeImage is the length of the pixel data, the masks and the colour
// table. Throws Exception for a bitmap that cannot be loaded safely:
// truncated, compressed in a way not handled here, or too large to show.
std::vector<unsigned char> CheckedDibHeader(const unsigned char *bytes, size_t size, size_t dataOffset)
{
    const size_t headerOffset = sizeof(BITMAPFILEHEADER);
    BITMAPINFOHEADER h;
    std::memcpy(&h, bytes + headerOffset, sizeof(h));
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > size - headerOffset)
        throw Exception("Bitmap image is not valid");
    const long long width = h.biWidth;
    const long long height = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    if (!SizeCanBeShown(width, height))
        throw Exception("Bitmap image has an unsupported size");
    const unsigned bits = h.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        throw Exception("Bitmap image is not valid");

    size_t masks = 0;
    switch (h.biCompression) {
    case BI_RGB:
        break;
    case BI_BITFIELDS:
        if (bits != 16 && bits != 32)
            throw Exception("Bitmap image is not valid");
        // Behind a plain header come the three masks; longer headers hold them.
        if (h.biSize == sizeof(BITMAPINFOHEADER))
            masks = 3 * sizeof(DWORD);
        else if (h.biSize < sizeof(BITMAPINFOHEADER) + 3 * sizeof(DWORD))
            throw Exception("Bitmap image is not valid");
        break;
    case BI_RLE8:
    case BI_RLE4:
        if (bits != (h.biCompression == BI_RLE8 ? 8u : 4u) || h.biHeight < 0)
            throw Exception("Bitmap image is not valid");
        break;
    default:
        throw Exception("Bitmap image compression is not supported");
    }

    const size_t maxColors = bits <= 8 ? (size_t{1} << bits) : 256;
    const size_t colors = h.biClrUsed != 0 ? h.biClrUsed : (bits <= 8 ? maxColors : 0);
    if (colors > maxColors)
        throw Exception("Bitmap image is not valid");
    const size_t headerEnd = headerOffset + h.biSize + masks + colors * sizeof(RGBQUAD);
    if (headerEnd > size || dataOffset < headerOffset + h.biSize || dataOffset >= size)
        throw Exception("Bitmap image is truncated");

    const size_t available = size - dataOffset;
    size_t dataLength = 0;
    if (h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4) {
        const size_t limit = h.biSizeImage != 0 && h.biSizeImage < available ? h.biSizeImage : available;
        dataLength = RleDataLength(bytes + dataOffset, limit, width, height, h.biCompression == BI_RLE4);
        if (dataLength == 0)
            throw Exception("Bitmap image is truncated");
    } else {
        const long long stride = ((width * bits + 31) / 32) * 4;
        if (stride * height > static_cast<long long>(available))
            throw Exception("Bitmap image is truncated");
        dataLength = static_cast<size_t>(stride * height);
    }

    // The system gets a plain header (a longer one may point at more data, a
    // colour profile), the masks behind it and the colour table.
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biSizeImage = static_cast<DWORD>(dataLength);
    std::vector<unsigned char> info(sizeof(h));
    std::memcpy(info.data(), &h, sizeof(h));
    if (h.biCompression == BI_BITFIELDS) {
        const unsigned char *m = bytes + headerOffset + sizeof(BITMAPINFOHEADER);
        info.insert(info.end(), m, m + 3 * sizeof(DWORD));
    }
    const unsigned char *table = bytes + headerEnd - colors * sizeof(RGBQUAD);
    info.insert(info.end(), table, bytes + headerEnd);
    return info;
}

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
    if (!bytes || size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) || bytes[0] != 'B' ||
        bytes[1] != 'M')
        throw Exception("Bitmap image is not valid");
    BITMAPFILEHEADER file;
    std::memcpy(&file, bytes, sizeof(file));
    // The system reads the header, the colour table and the pixels as the
    // header describes them: all of it is checked against the bytes here
    // first, and the system gets a copy of the header that says how many
    // bytes of pixel data there are.
    const std::vector<unsigned char> info = CheckedDibHeader(bytes, size, file.bfOffBits);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, reinterpret_cast<const BITMAPINFOHEADER *>(info.data()), CBM_INIT,
                                    bytes + file.bfOffBits, reinterpret_cast<const BITMAPINFO *>(info.data()),
                                    DIB_RGB_COLORS);
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
    // The decoder allocates what the frame header claims before it reads a
    // pixel: a size that cannot be shown is refused before it starts.
    unsigned frameWidth = 0, frameHeight = 0;
    if (!ReadJpegFrameSize(static_cast<const unsigned char *>(data), size, frameWidth, frameHeight))
        throw Exception("JPEG image: no frame header");
    if (!SizeCanBeShown(frameWidth, frameHeight))
        throw Exception("JPEG image: unsupported size");
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
    if (!SizeCanBeShown(width, height))
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
