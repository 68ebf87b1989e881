// Dialog tests: an MDialog that records what reaches it, driven through real window messages.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

#include "tests/win/paint_test_support.h"
#include "ui/core/mdialog.h"

namespace paint_test {

// A plain pop-up dialog; its surfaces are captured as the paint manager presents them.
// Window drag is off, so a press on bare area does not start the system's move loop.
class TestDialog : public Zentu::MDialog {
 public:
  TestDialog();
  ~TestDialog() override;

  // A visible pop-up with a client area of width × height at (x, y).
  HWND Open(int x, int y, int width, int height, bool layered = false,
            DWORD style = WS_POPUP | WS_VISIBLE);
  void Close();
  HWND hwnd() const { return m_hWnd; }
  std::vector<Surface> PaintNow();

  // Mouse input through the window, at client points; the pointer is moved there too.
  void MoveTo(int x, int y);
  void Press(int x, int y);
  void Release(int x, int y);

  void InitUI(CRect client) override;
  void UISize(CRect client) override;
  long OnMessage(unsigned id, unsigned code, unsigned wparam, long lparam) override;
  long OnControlUpdate(CRect rect, int flag, Zentu::MControl* control) override;
  int PostNcDestroy() override;

  std::function<void(TestDialog&, CRect)> build;                // runs in InitUI
  std::function<void(TestDialog&, unsigned, unsigned)> handle;  // runs in OnMessage
  std::vector<std::pair<unsigned, unsigned>> events;            // (id, code) reported
  std::vector<CRect> ui_sizes;
  int update_requests = 0;
  int post_nc_destroys = 0;
  bool delete_self = false;  // delete in PostNcDestroy, as a heap dialog does
  bool layered = false;
  std::vector<Surface> surfaces;

 private:
  static void OnSurface(void* self, const BYTE* bits, int width, int height);
};

// 0x00RRGGBB of a surface pixel (the alpha byte dropped).
inline uint32_t Rgb(const Surface& s, int x, int y) { return s.At(x, y) & 0xFFFFFF; }

}  // namespace paint_test
