// Saves a picture of each kind of message dialog as a BMP file, for review by
// eye: dlg_<name>.bmp in the folder given as the first argument (default: the
// current folder).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../../tools/ReviewTool.h"
#include "classlib/Forms.h"
#include "foundation/VxText.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;

namespace {

struct TShot {
    const char *name;
    const char *textUtf8;
    unsigned char kind;
    int buttons, defaultBit, cancelBit;
};

} // namespace

int main(int argc, char **argv)
{
    const std::string folder = argc > 1 ? std::string(argv[1]) + "\\" : std::string();
    Application->Initialize();
    Application->SetTitle("Setup");
    std::string many;
    for (int i = 1; i <= 40; ++i)
        many += "Строка номер " + std::to_string(i) + "\n";
    const std::string manyUtf8 = many;
    const std::string longLine = "Очень длинная строка: " + std::string(400, 'W');
    const TShot shots[] = {
        {"plain", "Простое сообщение без значка.", mkPlain, 0, 0, 0},
        {"information", "Установка завершена.", mkInformation, mbOk, mbOk, mbOk},
        {"question", "Прервать установку?", mkQuestion, mbYes | mbNo | mbCancel, mbYes, mbCancel},
        {"warning", "Файл занят другой программой.\nПовторить попытку?", mkWarning, mbAbort | mbIgnore, mbIgnore,
         mbAbort},
        {"error", "Ошибка установки (не удалось создать папку)", mkError, mbOk, mbOk, mbOk},
        {"all_buttons", "Все кнопки.", mkQuestion, 0x7F, mbOk, mbCancel},
        {"many_lines", manyUtf8.c_str(), mkInformation, mbOk, mbOk, mbOk},
        {"long_line", longLine.c_str(), mkWarning, mbOk | mbCancel, mbOk, mbCancel},
    };
    int failures = 0;
    for (const TShot &shot : shots) {
        TDlgMessageBox dialog(nullptr, Utf8ToAnsi(shot.textUtf8), shot.kind, shot.buttons, shot.defaultBit,
                              shot.cancelBit);
        dialog.Show();
        PumpFor(300);
        const std::string path = folder + "dlg_" + shot.name + ".bmp";
        if (SaveWindowBitmap(dialog.Handle(), path)) {
            std::printf("%s\n", path.c_str());
        } else {
            std::printf("failed: %s\n", path.c_str());
            ++failures;
        }
        dialog.Hide();
    }
    return failures ? 1 : 0;
}
