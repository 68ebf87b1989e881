// Paint manager tests: a host window that owns a manager, a recording control, surfaces.
#include "tests/win/paint_test_support.h"

#include <psapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

#include "ui/core/manager.h"

namespace paint_test {
namespace {

// GDI+, COM and OLE for the whole test program, as the tray program's entry does.
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { Zentu::Manager::InitGdiplus(); }
  void TearDown() override { Zentu::Manager::UnInitGdiplus(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

}  // namespace

HostWindow::HostWindow() { pm.SetSurfaceHook(&HostWindow::OnSurface, &surfaces); }

HostWindow::~HostWindow() { Close(); }

HWND HostWindow::Open(int x, int y, int width, int height, bool layered_window) {
  layered = layered_window;
  return Create(nullptr, L"paint test", WS_POPUP | WS_VISIBLE, 0,
                CRect(x, y, x + width, y + height));
}

void HostWindow::Close() {
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
  PumpMessages();
}

LRESULT HostWindow::OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  // The system's move loop would wait for a real button release; only count the request.
  if (msg == WM_NCLBUTTONDOWN && wparam == HTCAPTION) {
    ++caption_drags;
    return 0;
  }
  if (msg == STM_SETIMAGE) {
    ++images_offered;
    BITMAP info{};
    if (::GetObjectW(reinterpret_cast<HGDIOBJ>(lparam), sizeof(info), &info))
      last_image = {info.bmWidth, info.bmHeight};
    return 0;
  }
  if (LRESULT result = pm.OnWindowMessage(msg, wparam, lparam)) return result;
  return MWindow::OnWindowMessage(msg, wparam, lparam);
}

int HostWindow::OnInitDialog() {
  pm.Init(m_hWnd, this);
  pm.SetLayeredWindow(layered ? 1 : 0);
  return 1;
}

void HostWindow::OnDestroyMessage(HWND) { pm.DestroyData(); }

long HostWindow::OnControlUpdate(CRect rect, int flag, Zentu::MControl* control) {
  return pm.OnControlUpdate(rect, flag, control);
}

std::vector<Surface> HostWindow::PaintNow() {
  surfaces.clear();
  ::InvalidateRect(m_hWnd, nullptr, FALSE);
  ::UpdateWindow(m_hWnd);
  return surfaces;
}

Surface Surface::FromBottomUp(const BYTE* bits, int width, int height) {
  Surface surface;
  surface.width = width;
  surface.height = height;
  surface.pixels.resize(static_cast<size_t>(width) * height);
  const auto* rows = reinterpret_cast<const uint32_t*>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      surface.pixels[static_cast<size_t>(y) * width + x] =
          rows[static_cast<size_t>(height - 1 - y) * width + x];
  return surface;
}

void HostWindow::OnSurface(void* surfaces, const BYTE* bits, int width, int height) {
  static_cast<std::vector<Surface>*>(surfaces)->push_back(
      Surface::FromBottomUp(bits, width, height));
}

RecordingControl::RecordingControl(Zentu::MObject* parent, unsigned id, CRect rect,
                                   COLORREF fill_colour)
    : MControl(parent, id, rect, 1, 1, 1), fill(fill_colour) {}

void RecordingControl::DrawControl(HDC& dc, CRect) {
  const CRect rect = GetRect();
  if (!GetUpdate()) {
    UpdateMemDC(dc, rect.Width(), rect.Height());
    HBRUSH brush = ::CreateSolidBrush(fill);
    RECT area{0, 0, rect.Width(), rect.Height()};
    ::FillRect(GetMemDC(), &area, brush);
    ::DeleteObject(brush);
    events.push_back({"render", CPoint()});
  }
  ::BitBlt(dc, rect.left, rect.top, rect.Width(), rect.Height(), GetMemDC(), 0, 0, SRCCOPY);
  Act();
}

void RecordingControl::SetUpdate(int up_to_date, unsigned long background) {
  if (!up_to_date) ++discarded;
  MControl::SetUpdate(up_to_date, background);
}

int RecordingControl::SetControlFocus(int focus) {
  events.push_back({focus ? "focus" : "blur", CPoint()});
  return MControl::SetControlFocus(focus);
}

int RecordingControl::OnControlMouseMove(unsigned, CPoint point) {
  events.push_back({"move", point});
  Act();
  return 1;
}

int RecordingControl::OnControlLButtonDown(unsigned, CPoint point) {
  events.push_back({"down", point});
  return 1;
}

int RecordingControl::OnControlLButtonUp(unsigned, CPoint point) {
  events.push_back({"up", point});
  return 1;
}

int RecordingControl::OnControlScroll(int, unsigned flags, CPoint point) {
  events.push_back({"scroll", point});
  scroll_flags.push_back(flags);
  Act();
  return take;
}

int RecordingControl::OnControlKeyDown(unsigned, unsigned, unsigned) {
  events.push_back({"key", CPoint()});
  Act();
  return take;
}

long RecordingControl::OnWindowMessage(unsigned msg, unsigned, long) {
  if (msg == kActMessage) Act();
  return 0;
}

HBITMAP RecordingControl::GetControlDropBitmap() {
  return GetManager() ? GetManager()->GenerateBitmap(this, GetRect(), 0) : nullptr;
}

int RecordingControl::Count(const std::string& what) const {
  int n = 0;
  for (const Event& e : events) n += e.what == what;
  return n;
}

const Event* RecordingControl::Last(const std::string& what) const {
  for (auto it = events.rbegin(); it != events.rend(); ++it)
    if (it->what == what) return &*it;
  return nullptr;
}

void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms) {
  const DWORD start = ::GetTickCount();
  while (!condition()) {
    if (::GetTickCount() - start > timeout_ms) return false;
    PumpMessages();
    ::Sleep(2);
  }
  return true;
}

POINT ToScreen(HWND hwnd, int x, int y) {
  POINT p{x, y};
  ::ClientToScreen(hwnd, &p);
  return p;
}

void SetKeys(bool shift, bool ctrl, bool alt) {
  BYTE state[256] = {};
  ::GetKeyboardState(state);
  auto set = [&](int key, bool down) { state[key] = down ? 0x80 : 0; };
  set(VK_SHIFT, shift), set(VK_LSHIFT, shift);
  set(VK_CONTROL, ctrl), set(VK_LCONTROL, ctrl);
  set(VK_MENU, alt), set(VK_LMENU, alt);
  ::SetKeyboardState(state);
}

DWORD CountGdiObjects() {
  if (const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return counted;
    // Wine keeps its GDI handle table where Windows does, at PEB offset 0x94 (32-bit): 65536
    // entries of 24 bytes, the object type at byte 14, 0 for a free entry.
    // The TEB holds the PEB's address at offset 0x30 (32-bit). GCC takes the segment read
    // for an access to address 0x30 and warns about it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  const auto* peb = reinterpret_cast<const BYTE*>(__readfsdword(0x30));
#pragma GCC diagnostic pop
  const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + 0x94);
  if (table == nullptr) return 0;
  DWORD used = 0;
  for (size_t i = 0; i < 0x10000; ++i) used += table[i * 24 + 14] != 0;
  return used;
}

std::vector<uint8_t> LibraryResource(UINT id, const wchar_t* type) {
  HMODULE library = ::GetModuleHandleW(L"Zentu.dll");
  HRSRC found = library ? ::FindResourceW(library, MAKEINTRESOURCEW(id), type) : nullptr;
  if (!found) return {};
  const auto* data = static_cast<const uint8_t*>(::LockResource(::LoadResource(library, found)));
  const DWORD size = ::SizeofResource(library, found);
  return data ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>();
}

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(::GetCurrentProcess(),
                         reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
  if (counters.PrivateUsage) return counters.PrivateUsage;
  // Wine answers 0 there: add up the committed private regions of the address space.
  size_t committed = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const BYTE* at = nullptr; ::VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
       at = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += region.RegionSize;
  }
  return committed;
}

bool Near(uint32_t rgb, uint32_t expected) {
  for (int shift : {0, 8, 16}) {
    const int a = (rgb >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
    if (a - e > 3 || e - a > 3) return false;
  }
  return true;
}

// ---- dialog ----

TestDialog::TestDialog() { m_PaintManager.SetSurfaceHook(&HostWindow::OnSurface, &surfaces); }

TestDialog::~TestDialog() {
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

HWND TestDialog::Open(int x, int y, int width, int height, DWORD style) {
  EnableWndDrag(0);
  return Create(nullptr, L"dialog test", style, 0, CRect(x, y, x + width, y + height));
}

std::vector<Surface> TestDialog::PaintNow() {
  surfaces.clear();
  ::InvalidateRect(m_hWnd, nullptr, FALSE);
  ::UpdateWindow(m_hWnd);
  return surfaces;
}

void TestDialog::Mouse(UINT msg, int x, int y) {
  const POINT screen = ToScreen(m_hWnd, x, y);
  ::SetCursorPos(screen.x, screen.y);
  ::SendMessageW(m_hWnd, msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, y));
}

void TestDialog::InitUI(CRect client) {
  if (build) build(*this, client);
}

long TestDialog::OnMessage(unsigned id, unsigned code, unsigned, long) {
  events.emplace_back(id, code);
  if (handle) handle(*this, id, code);
  return 0;
}

int TestDialog::PostNcDestroy() {
  if (delete_self) delete this;
  return 0;
}

// ---- temporary skin folder ----

TempSkinFolder::TempSkinFolder() {
  static int made = 0;
  folder_ = L"zentu_test_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
            std::to_wstring(::GetTickCount64()) + L"_" + std::to_wstring(++made);
  // Wine reuses process ids: the tick count and the counter keep runs apart.
  skins_ = Zentu::GetSkinFolder().GetString();
  // Another test program may remove the empty skin folders meanwhile: then again.
  for (int tries = 0; tries < 5; ++tries) {
    ::CreateDirectoryW(skins_.substr(0, skins_.size() - 7).c_str(), nullptr);
    ::CreateDirectoryW(skins_.c_str(), nullptr);
    if (::CreateDirectoryW(Path(L"").c_str(), nullptr)) break;
  }
}

TempSkinFolder::~TempSkinFolder() {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(Path(L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      ::DeleteFileW(Path(found.cFileName).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  EXPECT_TRUE(::RemoveDirectoryW(Path(L"").c_str())) << "an image is still in use";
  // Only when empty: other test programs may be using them meanwhile.
  ::RemoveDirectoryW(skins_.c_str());
  ::RemoveDirectoryW(skins_.substr(0, skins_.size() - 7).c_str());
}

std::wstring TempSkinFolder::Path(const std::wstring& file) const {
  std::wstring path = Zentu::GetSkinPath(folder_.c_str()).GetString();
  return file.empty() ? path : path + L"\\" + file;
}

std::wstring TempSkinFolder::Write(const std::wstring& file,
                                   const std::vector<uint8_t>& bytes) const {
  std::ofstream out(Path(file).c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return Name(file);
}

std::wstring TempSkinFolder::WritePng(const std::wstring& file, int width, int height,
                                      const std::function<uint32_t(int, int)>& pixel) const {
  Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, Gdiplus::Color(pixel(x, y)));
  CLSID png{};
  ::CLSIDFromString(L"{557CF406-1A04-11D3-9A73-0000F81EF32E}", &png);
  EXPECT_EQ(bitmap.Save(Path(file).c_str(), &png, nullptr), Gdiplus::Ok);
  return Name(file);
}

// ---- poisoned deletion ----

namespace {
std::map<const void*, size_t>& Graveyard() {
  static std::map<const void*, size_t> graves;
  return graves;
}
}  // namespace

void Bury(void* object, size_t size) {
  std::memset(object, 0xDD, size);
  Graveyard()[object] = size;
}

bool Untouched(const void* object) {
  const auto grave = Graveyard().find(object);
  if (grave == Graveyard().end()) return false;
  const auto* bytes = static_cast<const uint8_t*>(object);
  for (size_t i = 0; i < grave->second; ++i)
    if (bytes[i] != 0xDD) return false;
  return true;
}

}  // namespace paint_test
