// The bitmap button: a push button with a glyph beside (or instead of) its
// caption.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "classlib/Graphics.h"
#include "classlib/StdCtrls.h"

namespace ClassLib {

class TBitBtn : public TButton {
public:
    explicit TBitBtn(TComponent *owner);
    ~TBitBtn() override;
    // The glyph; call GlyphChanged after loading a new one into it. The
    // bottom-left pixel's colour is drawn transparent.
    TBitmap *Glyph() noexcept { return &glyph_; }
    void GlyphChanged();

private:
    TBitmap glyph_;
    HIMAGELIST images_ = nullptr; // owned
};

} // namespace ClassLib
