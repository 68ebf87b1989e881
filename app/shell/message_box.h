// CUIMessageBox: the tray program's own skinned, modal message box.
#pragma once

#include "app/update/update_plan.h"
#include "ui/core/cstring.h"
#include "ui/core/mdialog.h"

namespace calorix {

// Styles are kBoxOk (one OK button) and kBoxYesNo; any other style has no button. The
// answers are kBoxYes after OK or YES, and these:
inline constexpr unsigned kBoxNo = 2;
inline constexpr unsigned kBoxClosed = 0;  // closed another way

// The ids of the box's controls.
inline constexpr unsigned kMessageTitleId = 31;
inline constexpr unsigned kMessageTextId = 32;
inline constexpr unsigned kMessageOkId = 33;  // OK, or YES
inline constexpr unsigned kMessageNoId = 34;

// A 380 x 200 top-most tool window with a title line, a centred message and the buttons of
// its style. Closes only through its buttons or a close request from outside.
class CUIMessageBox : public Zentu::MDialog {
 public:
  CUIMessageBox() = default;
  ~CUIMessageBox() override = default;

  int OnInitDialog() override;
  void InitUI(Zentu::CRect client) override;
  void UISize(Zentu::CRect client) override;
  long OnMessage(unsigned id, unsigned code, unsigned wparam, long lparam) override;
  int OnDestroy() override;

  void SetTitle(const wchar_t* title) { m_strTitle = title; }
  void SetMessageText(const wchar_t* message) { m_strMessage = message; }
  void SetButtonStyle(int style) { m_nButtonStyle = style; }

 private:
  void CreateButton(unsigned id, Zentu::CRect rect, const wchar_t* caption);

  Zentu::CString m_strTitle;
  Zentu::CString m_strMessage;
  int m_nButtonStyle = 0;
};

// Closes every box open on the calling thread as a close request from outside would (each
// answers kBoxClosed once its loop sees the request).
void CloseMessageBoxes();

// Shows the box modally on the calling thread (whose other windows keep being served) and
// returns kBoxYes after OK or YES, kBoxNo after NO, kBoxClosed otherwise.
unsigned ShowMessageBox(const wchar_t* message, const wchar_t* title, int style);

}  // namespace calorix
