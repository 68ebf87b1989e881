// Paint manager tests: a host window that owns a manager, a recording control, surfaces.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ui/controls/mcontrol.h"
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

 private:
  static void OnSurface(void* self, const BYTE* bits, int width, int height);
};

struct Event {
  std::string what;
  CPoint point;
};

// Records what the manager tells it; draws a plain fill through its cache.
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
  // A picture of the control made by its manager, for dragging.
  HBITMAP GetControlDropBitmap() override;

  int Count(const std::string& what) const;
  const Event* Last(const std::string& what) const;
  void Clear() { events.clear(); }

  std::vector<Event> events;
  int discarded = 0;      // SetUpdate(0, ...) calls
  int scroll_result = 1;  // what OnControlScroll answers
  COLORREF fill;
  std::vector<unsigned> scroll_flags;
};

// Pumps this thread's messages until none are left.
void PumpMessages();

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
// the skin folders it had to make) when this goes away. Whatever holds one of its images
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
                        uint32_t (*pixel)(int x, int y, const void* context),
                        const void* context = nullptr) const;
  std::wstring WriteSolidPng(const std::wstring& file, int width, int height, uint32_t argb) const;

 private:
  std::wstring Path(const std::wstring& file) const;
  std::wstring folder_;                // the folder's name inside the skin folder
  std::vector<std::wstring> created_;  // skin folders this made, innermost last
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
bool IsBuried(const void* object);
bool Untouched(const void* object);  // buried, and still 0xDD throughout

template <class Base>
class Poisoned : public Base {
 public:
  using Base::Base;
  static void operator delete(void* object, size_t size) { Bury(object, size); }
};

}  // namespace paint_test
