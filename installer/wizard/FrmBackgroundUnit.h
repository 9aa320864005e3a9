// The backdrop: an optional full-screen white form behind the wizard with the
// program's "BG_IMG" picture (a JPEG, progressive ones included) in its
// centre. The main routine creates it after the wizard, so the wizard stays
// the main form, and registers it with the window z-order manager one level
// below the wizard. Like every backdrop it is visible from its creation on,
// white at first: the picture is decoded and painted right after the windows
// shown with it (the wizard) have been painted. A picture that is missing or cannot be
// decoded leaves the backdrop plain white. It has no close logic of its own
// and ends with the application.
#pragma once

#include <cstddef>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"

class TFrmBackground : public ClassLib::TForm {
public:
    explicit TFrmBackground(ClassLib::TComponent *owner);

    ClassLib::TImage *BGImage;
    ClassLib::TTimer *StartTimer; // part of the layout; never enabled

    void FormShow(ClassLib::TObject *sender);

    // Shows the JPEG data centred; false, with the picture cleared, when the
    // data cannot be decoded.
    bool LoadPicture(const void *data, std::size_t size);

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

extern TFrmBackground *FrmBackground;
