#include "installer/wizard/FrmBackgroundUnit.h"

#include <windows.h>

#include <string>

#include "installer/LoadConfig.h"

using namespace ClassLib;

TFrmBackground *FrmBackground = nullptr;

namespace {

const char kPictureResource[] = "BG_IMG";

// Posted by FormShow: the picture is decoded once the windows shown with the
// backdrop have been painted.
const UINT WM_LOADPICTURE = WM_APP + 1;

} // namespace

TFrmBackground::TFrmBackground(TComponent *owner) : TForm(owner)
{
    SetBorderStyle(bsNone);
    SetColor(clWhite);
    SetWindowState(wsMaximized);
    OnShow = Method<&TFrmBackground::FormShow>(this);

    BGImage = new TImage(this);
    BGImage->SetParent(this);
    BGImage->SetAlign(alClient);
    BGImage->SetCenter(true);

    StartTimer = new TTimer(this);
    StartTimer->SetEnabled(false);
    StartTimer->SetInterval(10);

    Show();
}

void TFrmBackground::FormShow(TObject *)
{
    // The backdrop is shown white at once; the wizard comes on the screen
    // next, and only then is the picture decoded and painted.
    PostMessageW(Handle(), WM_LOADPICTURE, 0, 0);
}

LRESULT TFrmBackground::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_LOADPICTURE)
        return TForm::WndProc(msg, wParam, lParam);
    TForm *wizard = Application->MainForm();
    if (wizard && wizard != this && IsWindowVisible(wizard->Handle()))
        RedrawWindow(wizard->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const std::string bytes = LoadResourceBytes(kPictureResource);
    LoadPicture(bytes.data(), bytes.size());
    return 0;
}

bool TFrmBackground::LoadPicture(const void *data, std::size_t size)
{
    try {
        TJPEGImage jpeg;
        jpeg.LoadFromBytes(data, size);
        BGImage->Picture()->Assign(jpeg);
        return true;
    } catch (const Exception &) {
        // Plain white is what a backdrop without its picture shows.
        BGImage->Picture()->Bitmap()->Clear();
        return false;
    }
}
