#include "classlib/Buttons.h"

#include <commctrl.h>

#include "classlib/CommonControls.h"

namespace ClassLib {

namespace {

// The colour of the bottom-left pixel: the glyph's transparent colour.
COLORREF TransparentColor(HBITMAP bitmap, int height)
{
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return CLR_DEFAULT;
    HGDIOBJ old = SelectObject(dc, bitmap);
    COLORREF c = GetPixel(dc, 0, height - 1);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

} // namespace

TBitBtn::TBitBtn(TComponent *owner) : TButton(owner)
{
}

TBitBtn::~TBitBtn()
{
    if (images_)
        ImageListDestroy(images_);
}

void TBitBtn::GlyphChanged()
{
    BUTTON_IMAGELIST list{};
    list.himl = nullptr;
    SendMessageW(Handle(), BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
    if (images_) {
        ImageListDestroy(images_);
        images_ = nullptr;
    }
    if (glyph_.Empty()) {
        Invalidate();
        return;
    }
    images_ = ImageListCreate(glyph_.Width(), glyph_.Height(), ILC_COLOR32 | ILC_MASK, 1, 0);
    if (!images_)
        return;
    // The image list keeps its own copy of the pixels.
    TBitmap copy;
    copy.Assign(glyph_);
    ImageListAddMasked(images_, copy.Handle(), TransparentColor(copy.Handle(), copy.Height()));
    list.himl = images_;
    list.margin = RECT{4, 0, 2, 0};
    list.uAlign = Text().IsEmpty() ? BUTTON_IMAGELIST_ALIGN_CENTER : BUTTON_IMAGELIST_ALIGN_LEFT;
    SendMessageW(Handle(), BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
    Invalidate();
}

} // namespace ClassLib
