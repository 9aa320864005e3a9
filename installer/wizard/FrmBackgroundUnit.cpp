#include "installer/wizard/FrmBackgroundUnit.h"

#include <windows.h>

#include <string>

#include "installer/LoadConfig.h"

using namespace ClassLib;

TFrmBackground *FrmBackground = nullptr;

namespace {

const char kPictureResource[] = "BG_IMG";

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
    const std::string bytes = LoadResourceBytes(kPictureResource);
    LoadPicture(bytes.data(), bytes.size());
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
