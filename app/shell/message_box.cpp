// The message box's controls, the answers of its buttons and its modal run.
#include "app/shell/message_box.h"

#include <cwchar>
#include <memory>

#include "ui/controls/mbutton.h"
#include "ui/controls/mtext.h"

namespace calorix {
namespace {

using Zentu::CRect;

constexpr Gdiplus::ARGB kWhite = 0xFFFFFFFF;
// Pop-up, visible, clip siblings and children (0x96000000); a tool window has no task-bar
// button.
constexpr DWORD kBoxStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr int kBoxWidth = 380;
constexpr int kBoxHeight = 200;
constexpr int kFrameBorder = 30;
constexpr wchar_t kBoxName[] = L"MessageBox";

Zentu::MText* CreateText(Zentu::MDialog& box, unsigned id, CRect rect, const wchar_t* text) {
  auto* control = static_cast<Zentu::MText*>(box.CreateArea(L"MText", id, rect, text, 1, 1));
  if (control) {
    control->SetAlignment(1);
    control->SetTextColor(Gdiplus::Color(kWhite));
  }
  return control;
}

// Posted, as a close request from outside: the box's loop takes its result (0) from it.
BOOL CALLBACK CloseIfBox(HWND window, LPARAM) {
  wchar_t name[16] = {};
  ::GetWindowTextW(window, name, 16);
  if (std::wcscmp(name, kBoxName) == 0) ::PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

int CUIMessageBox::OnInitDialog() {
  MDialog::OnInitDialog();
  SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return 1;
}

void CUIMessageBox::InitUI(CRect r) {
  SetLayeredWindow(1);
  const int half_height = (r.bottom - r.top) / 2;
  const int centre = (r.right - r.left) / 2;
  CreateText(*this, kMessageTitleId, CRect(20, 15, r.right - 20, 40), m_strTitle);
  if (Zentu::MText* text =
          CreateText(*this, kMessageTextId,
                     CRect(20, half_height - 30, r.right - 20, half_height + 30), m_strMessage)) {
    text->SetVAlignment(4);
    text->EnableMultiLine(1);
    text->EnableVCenter(1);
  }
  const int top = r.bottom - 40, bottom = r.bottom - 10;
  if (m_nButtonStyle == kBoxOk) {
    CreateButton(kMessageOkId, CRect(60, top, r.right - 60, bottom), L"OK");
  } else if (m_nButtonStyle == kBoxYesNo) {
    CreateButton(kMessageOkId, CRect(centre - 120, top, centre - 20, bottom), L"YES");
    CreateButton(kMessageNoId, CRect(centre + 20, top, centre + 120, bottom), L"NO");
  }
}

void CUIMessageBox::CreateButton(unsigned id, CRect rect, const wchar_t* caption) {
  auto* button = static_cast<Zentu::MButton*>(CreateControl(L"MButton", id, rect, caption, 1, 1));
  if (!button) return;
  button->SetImage(L"img_button.png", 4);
  button->SetTextColor(Gdiplus::Color(kWhite));
}

void CUIMessageBox::UISize(CRect) {}

long CUIMessageBox::OnMessage(unsigned id, unsigned code, unsigned, long) {
  if (code != Zentu::kButtonEventClicked) return 0;
  if (id == kMessageOkId) {
    DoOK();
    return 1;
  }
  if (id == kMessageNoId) {
    DoCancel();
    return 1;
  }
  return 0;
}

int CUIMessageBox::OnDestroy() { return 0; }

void CloseMessageBoxes() { ::EnumThreadWindows(::GetCurrentThreadId(), CloseIfBox, 0); }

unsigned ShowMessageBox(const wchar_t* message, const wchar_t* title, int style) {
  auto box = std::make_unique<CUIMessageBox>();
  box->SetTitle(title);
  box->SetMessageText(message);
  box->SetButtonStyle(style);
  box->SetBackMode(Zentu::BackModeFrame, kFrameBorder);
  if (!box->Create(nullptr, kBoxName, kBoxStyle, WS_EX_TOOLWINDOW,
                   CRect(0, 0, kBoxWidth, kBoxHeight))) {
    return kBoxClosed;
  }
  box->CenterWindow();
  const UINT result = box->ShowModal(SW_SHOWNORMAL);
  // A quit message ends the loop with the box still open: it must not outlive its object.
  box->DestroyWindow();
  return result;
}

}  // namespace calorix
