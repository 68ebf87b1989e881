// hello_dialog: a dialog with a picture, a text and a button, made with the Zentu library.
// It ends when the button is clicked; the exit code is the dialog's result (1 for OK).
#include <windows.h>

#include "ui/controls/mbutton.h"
#include "ui/controls/mpicture.h"
#include "ui/controls/mtext.h"
#include "ui/core/manager.h"
#include "ui/core/mdialog.h"

namespace {

enum : unsigned { kPicture = 1, kText = 2, kOkButton = 3 };

class HelloDialog : public Zentu::MDialog {
 public:
  // Controls are made by class name; the dialog's paint manager owns them.
  void InitUI(Zentu::CRect client) override {
    auto* picture = static_cast<Zentu::MPicture*>(
        CreateControl(L"MPicture", kPicture, Zentu::CRect(16, 16, 64, 64), L"", 1, 1));
    picture->SetImage(L"hello_picture.png", 1);  // from skins\theme1\ beside the program

    auto* text = static_cast<Zentu::MText*>(CreateControl(
        L"MText", kText, Zentu::CRect(80, 16, client.right - 16, 64), L"Hello from Zentu", 1, 1));
    text->SetTextColor(Gdiplus::Color(0xFFFFFFFF));

    auto* ok = static_cast<Zentu::MButton*>(CreateControl(
        L"MButton", kOkButton,
        Zentu::CRect(client.right - 136, client.bottom - 44, client.right - 16, client.bottom - 16),
        L"OK", 1, 1));
    ok->SetImage(L"hello_button.png", 4);  // normal, hover, pressed, disabled
  }

  // Controls report to their dialog here; a click is code 2.
  long OnMessage(unsigned id, unsigned code, unsigned, long) override {
    if (id == kOkButton && code == Zentu::kButtonEventClicked) DoOK();
    return 0;
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  Zentu::Manager::SetInstance(instance);
  Zentu::Manager::InitGdiplus();
  UINT result = 0;
  {
    HelloDialog dialog;
    if (dialog.Create(nullptr, L"Zentu example", WS_POPUP | WS_VISIBLE, 0,
                      Zentu::CRect(0, 0, 320, 140))) {
      dialog.CenterWindow();
      result = dialog.ShowModal(SW_SHOW);  // until the window is destroyed
    }
  }  // the dialog, its paint manager and its controls go here
  Zentu::Manager::UnInitGdiplus();
  return static_cast<int>(result);
}
