// Paint manager tests: a host window that owns a manager, a recording control, surfaces.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/controls/mcontrol.h"
#include "ui/core/mdialog.h"
#include "ui/core/mobject.h"
#include "ui/core/mwindow.h"
#include "ui/paint/paint_manager.h"

namespace paint_test {

using Zentu::CPoint;
using Zentu::CRect;

// One finished off-screen surface, copied top-down as 0xAARRGGBB values.
struct Surface {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  static uint8_t Alpha(uint32_t p) { return static_cast<uint8_t>(p >> 24); }
  // A copy of the paint manager's bottom-up surface (its surface hook's arguments).
  static Surface FromBottomUp(const BYTE* bits, int width, int height);
};

// A skinned window stand-in: the manager gets every message first, as in a dialog.
class HostWindow : public Zentu::MWindow, public Zentu::MObject {
 public:
  HostWindow();
  ~HostWindow() override;

  // A visible pop-up of the given client size at (x, y); layered when asked.
  HWND Open(int x, int y, int width, int height, bool layered);
  void Close();
  HWND hwnd() const { return m_hWnd; }

  LRESULT OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;
  int OnInitDialog() override;
  void OnDestroyMessage(HWND hwnd) override;
  long OnControlUpdate(CRect rect, int flag, Zentu::MControl* control) override;

  // Invalidates everything and paints now; returns the surfaces painted meanwhile.
  std::vector<Surface> PaintNow();

  Zentu::PaintManager pm;
  bool layered = false;
  int caption_drags = 0;          // WM_NCLBUTTONDOWN with HTCAPTION seen
  int images_offered = 0;         // STM_SETIMAGE seen (not kept: the sender frees it)
  SIZE last_image{0, 0};          // size of the last image offered
  std::vector<Surface> surfaces;  // filled by the manager's surface hook

  // A surface hook that appends to the vector of surfaces it is given.
  static void OnSurface(void* surfaces, const BYTE* bits, int width, int height);
};

struct Event {
  std::string what;
  CPoint point;
};

// A window message on which RecordingControl runs its `act`.
inline constexpr UINT kActMessage = WM_APP + 7;

// Records what the manager tells it; draws a plain fill through its cache. Its `act` runs
// once, from the first of its handlers called (as a handler that removes controls would).
class RecordingControl : public Zentu::MControl {
 public:
  RecordingControl(Zentu::MObject* parent, unsigned id, CRect rect, COLORREF fill = 0x336699);

  void DrawControl(HDC& dc, CRect clip) override;
  void SetUpdate(int up_to_date, unsigned long background) override;
  int SetControlFocus(int focus) override;
  int OnControlMouseMove(unsigned flags, CPoint point) override;
  int OnControlLButtonDown(unsigned flags, CPoint point) override;
  int OnControlLButtonUp(unsigned flags, CPoint point) override;
  int OnControlScroll(int delta, unsigned flags, CPoint point) override;
  int OnControlKeyDown(unsigned key, unsigned repeat, unsigned flags) override;
  long OnWindowMessage(unsigned msg, unsigned wparam, long lparam) override;
  // A picture of the control made by its manager, for dragging.
  HBITMAP GetControlDropBitmap() override;

  int Count(const std::string& what) const;
  const Event* Last(const std::string& what) const;
  void Clear() { events.clear(); }

  std::vector<Event> events;
  int discarded = 0;  // SetUpdate(0, ...) calls
  int take = 1;       // what OnControlScroll and OnControlKeyDown answer
  COLORREF fill;
  std::vector<unsigned> scroll_flags;
  std::function<void(RecordingControl&)> act;

 private:
  void Act() {
    if (auto run = std::exchange(act, nullptr)) run(*this);
  }
};

// An MDialog that records what reaches it, its surfaces captured as they are presented.
// Window drag is off, so a press on bare area does not start the system's move loop.
class TestDialog : public Zentu::MDialog {
 public:
  TestDialog();
  ~TestDialog() override;
  // A pop-up with a client area of width × height at (x, y).
  HWND Open(int x, int y, int width, int height, DWORD style = WS_POPUP | WS_VISIBLE);
  HWND hwnd() const { return m_hWnd; }
  std::vector<Surface> PaintNow();
  // Mouse input through the window at a client point; the pointer is moved there too.
  void Mouse(UINT msg, int x, int y);

  void InitUI(CRect client) override;
  void UISize(CRect client) override { ui_sizes.push_back(client); }
  long OnMessage(unsigned id, unsigned code, unsigned wparam, long lparam) override;
  int PostNcDestroy() override;

  std::function<void(TestDialog&, CRect)> build;                // runs in InitUI
  std::function<void(TestDialog&, unsigned, unsigned)> handle;  // runs in OnMessage
  std::vector<std::pair<unsigned, unsigned>> events;            // (id, code) reported
  std::vector<CRect> ui_sizes;
  bool delete_self = false;  // delete in PostNcDestroy, as a heap dialog does
  std::vector<Surface> surfaces;
};

// 0x00RRGGBB of a surface pixel.
inline uint32_t Rgb(const Surface& s, int x, int y) { return s.At(x, y) & 0xFFFFFF; }
// Each colour channel within 3.
bool Near(uint32_t rgb, uint32_t expected);

// Pumps this thread's messages until none are left.
void PumpMessages();

// Pumps messages until `condition` holds; false when `timeout_ms` passed first.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms);

// Screen point of a client point of `hwnd`.
POINT ToScreen(HWND hwnd, int x, int y);

// Sets or clears the thread's key state for the keys GetKeyState reports.
void SetKeys(bool shift, bool ctrl, bool alt);

// Live GDI objects of this process: GetGuiResources where it counts (Windows), else the
// entries in use of the process's GDI handle table (Wine, whose GetGuiResources answers 0).
DWORD CountGdiObjects();

// The bytes of one of Zentu.dll's own resources.
std::vector<uint8_t> LibraryResource(UINT id, const wchar_t* type);

// Private bytes of this process (the memory it alone holds).
size_t PrivateBytes();

// A folder of the test's own inside the skin folder, removed with everything in it (and
// the skin folders, once empty) when this goes away. Whatever holds one of its images
// (a paint manager) must be gone by then, or the file stays locked.
class TempSkinFolder {
 public:
  TempSkinFolder();
  ~TempSkinFolder();
  TempSkinFolder(const TempSkinFolder&) = delete;
  TempSkinFolder& operator=(const TempSkinFolder&) = delete;

  // The name the library takes for `file` (relative to the skin folder).
  std::wstring Name(const std::wstring& file) const { return folder_ + L"\\" + file; }
  // Writes `bytes` as `file`; returns its name.
  std::wstring Write(const std::wstring& file, const std::vector<uint8_t>& bytes) const;
  // Writes a PNG whose pixel (x, y) is pixel(x, y) as ARGB; returns its name.
  std::wstring WritePng(const std::wstring& file, int width, int height,
                        const std::function<uint32_t(int x, int y)>& pixel) const;

 private:
  std::wstring Path(const std::wstring& file) const;
  std::wstring folder_;  // the folder's name inside the skin folder
  std::wstring skins_;   // the skin folder
};

// Slot index of a virtual member function from its pointer-to-member (Itanium ABI: the
// vtable offset in bytes plus one), to check the order of a class's virtual operations.
template <class F>
long Slot(F f) {
  struct {
    uintptr_t ptr;
    ptrdiff_t adj;
  } raw;
  static_assert(sizeof(raw) == sizeof(f));
  std::memcpy(&raw, &f, sizeof raw);
  return static_cast<long>((raw.ptr - 1) / sizeof(void*));
}

// Deleting one leaves its memory allocated and filled with 0xDD: a later virtual call
// through a dangling pointer then crashes, and a later write shows in Untouched().
void Bury(void* object, size_t size);
bool Untouched(const void* object);  // deleted, and nothing written to it since

template <class Base>
class Poisoned : public Base {
 public:
  using Base::Base;
  static void operator delete(void* object, size_t size) { Bury(object, size); }
};

}  // namespace paint_test
