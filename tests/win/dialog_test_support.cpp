// Dialog tests: an MDialog that records what reaches it, driven through real window messages.
#include "tests/win/dialog_test_support.h"

namespace paint_test {

TestDialog::TestDialog() { m_PaintManager.SetSurfaceHook(&TestDialog::OnSurface, this); }

TestDialog::~TestDialog() { Close(); }

HWND TestDialog::Open(int x, int y, int width, int height, bool layered_window, DWORD style) {
  layered = layered_window;
  EnableWndDrag(0);
  SetLayeredWindow(layered ? 1 : 0);
  return Create(nullptr, L"dialog test", style, 0, CRect(x, y, x + width, y + height));
}

void TestDialog::Close() {
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

std::vector<Surface> TestDialog::PaintNow() {
  surfaces.clear();
  ::InvalidateRect(m_hWnd, nullptr, FALSE);
  ::UpdateWindow(m_hWnd);
  return surfaces;
}

void TestDialog::MoveTo(int x, int y) {
  const POINT screen = ToScreen(m_hWnd, x, y);
  ::SetCursorPos(screen.x, screen.y);
  ::SendMessageW(m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

void TestDialog::Press(int x, int y) {
  ::SendMessageW(m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

void TestDialog::Release(int x, int y) {
  ::SendMessageW(m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void TestDialog::InitUI(CRect client) {
  if (build) build(*this, client);
}

void TestDialog::UISize(CRect client) { ui_sizes.push_back(client); }

long TestDialog::OnMessage(unsigned id, unsigned code, unsigned, long) {
  events.emplace_back(id, code);
  if (handle) handle(*this, id, code);
  return 0;
}

long TestDialog::OnControlUpdate(CRect rect, int flag, Zentu::MControl* control) {
  ++update_requests;
  return MDialog::OnControlUpdate(rect, flag, control);
}

int TestDialog::PostNcDestroy() {
  ++post_nc_destroys;
  if (delete_self) delete this;
  return 0;
}

void TestDialog::OnSurface(void* self, const BYTE* bits, int width, int height) {
  static_cast<TestDialog*>(self)->surfaces.push_back(Surface::FromBottomUp(bits, width, height));
}

}  // namespace paint_test
