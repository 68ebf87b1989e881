// MDialog under Wine: dispatch, modal results, controls by class name, safe endings, leaks.
#include <gtest/gtest.h>

#include "tests/win/paint_test_support.h"
#include "ui/controls/mbutton.h"
#include "ui/controls/mpicture.h"

namespace paint_test {
namespace {

using Zentu::MDialog;

auto Solid(uint32_t argb) {
  return [argb](int, int) { return argb; };
}

TEST(Dialog, VirtualOperationsKeepTheInterfaceOrder) {
#define SLOT(f) Slot(&MDialog::f)
  const long slots[] = {Slot(&Zentu::MWindow::OnDestroyMessage),
                        SLOT(GetAirBladderPoint),
                        SLOT(OnMinimize),
                        SLOT(OnMaximize),
                        SLOT(InitUI),
                        SLOT(UISize),
                        SLOT(OnMessage),
                        SLOT(OnUserCloseWindow),
                        SLOT(OnCreate),
                        SLOT(OnSize),
                        SLOT(OnMouseMove),
                        SLOT(OnMouseLeave),
                        SLOT(OnMouseHover),
                        SLOT(OnMouseWheel),
                        SLOT(OnLButtonDown),
                        SLOT(OnLButtonUp),
                        SLOT(OnLButtonDblClk),
                        SLOT(OnRButtonDown),
                        SLOT(OnRButtonUp),
                        SLOT(OnRButtonDblClk),
                        SLOT(OnKeyDown),
                        SLOT(OnNcHitTest),
                        SLOT(OnGetMinMaxInfo),
                        SLOT(OnNcCalcSize),
                        SLOT(OnNcActivate),
                        SLOT(OnWindowPosChanging),
                        SLOT(OnWindowPosChanged),
                        SLOT(OnPaint),
                        SLOT(OnTimer),
                        SLOT(OnNcPaint),
                        SLOT(OnClose),
                        SLOT(OnDestroy),
                        SLOT(PostNcDestroy)};
#undef SLOT
  for (size_t i = 1; i < std::size(slots); ++i) EXPECT_EQ(slots[i], slots[0] + long(i)) << i;
}

// Whole-window alpha and a colour key, as a subclass sets them.
class TranslucentDialog : public TestDialog {
 public:
  TranslucentDialog(UINT alpha, COLORREF key) { m_nAlpha = alpha, m_crKey = key; }
};

TEST(Dialog, HandlesStyleEraseSizeAndTranslucency) {
  TranslucentDialog d(128, 0x00FF00);
  CRect built;
  d.build = [&](TestDialog&, CRect client) { built = client; };
  const HWND hwnd = d.Open(100, 100, 160, 90, WS_POPUP | WS_VISIBLE | WS_CAPTION);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(built, d.GetPaintManager().GetClientRect());  // InitUI got the client rect
  EXPECT_EQ(d.GetStyle() & (WS_CAPTION | 0x06000008u), 0x06000008u);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(::GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags));  // the alpha wins
  EXPECT_EQ(alpha, 128);
  EXPECT_EQ(flags, DWORD(LWA_ALPHA));
  EXPECT_EQ(::SendMessageW(hwnd, WM_ERASEBKGND, 0, 0), 1);
  d.SetMessage(L"saved", CRect(), Zentu::MsgLevelInfo);  // 200 wide, centred, at the bottom
  const CRect c = d.GetPaintManager().GetClientRect();
  EXPECT_EQ(d.GetPaintManager().GetMessageRect(),
            CRect(c.right / 2 - 100, c.bottom - 60, c.right / 2 + 100, c.bottom - 2));
  EXPECT_EQ(d.SetAirBladderMsg(L"tip", POINT{0, 5}, Zentu::AirBladderTypeTimed), 0);
  EXPECT_EQ(d.SetSize(36), 0);

  // One pixel wide: no layout, but still repainted.
  ::SetWindowPos(hwnd, nullptr, 0, 0, 1, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::ValidateRect(hwnd, nullptr);
  d.ui_sizes.clear();
  ::SendMessageW(hwnd, WM_SIZE, 0, MAKELPARAM(1, 40));
  EXPECT_TRUE(d.ui_sizes.empty());
  EXPECT_TRUE(::GetUpdateRect(hwnd, nullptr, FALSE));
  ::SetWindowPos(hwnd, nullptr, 0, 0, 2, 2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_FALSE(d.ui_sizes.empty());
  EXPECT_EQ(d.ui_sizes.back(), CRect(0, 0, 2, 2));
}

TEST(Dialog, ControlsByClassNameAreasBeneathAndLookup) {
  TempSkinFolder skins;
  TestDialog d;
  ASSERT_NE(d.Open(100, 100, 200, 120), nullptr);
  EXPECT_EQ(d.CreateControl(L"mbutton", 1, CRect(0, 0, 10, 10), L"", 1, 1), nullptr);
  EXPECT_EQ(d.CreateArea(L"", 1, CRect(0, 0, 10, 10), L"", 1, 1), nullptr);
  EXPECT_TRUE(d.GetControls().empty());

  auto* picture = static_cast<Zentu::MPicture*>(
      d.CreateControl(L"MPicture", 6, CRect(40, 10, 90, 60), L"", 1, 1));
  picture->SetImage(skins.WritePng(L"blue.png", 10, 10, Solid(0xFF0000FF)).c_str(), 1);
  picture->SetShowMode(Zentu::ShowModeStretch);
  // Made later, but an area: drawn beneath every control.
  auto* area =
      static_cast<Zentu::MButton*>(d.CreateArea(L"MButton", 5, CRect(10, 10, 60, 60), L"", 1, 1));
  area->SetImage(skins.WritePng(L"red.png", 120, 30, Solid(0xFFFF0000)).c_str(), 4);
  const auto surfaces = d.PaintNow();
  ASSERT_EQ(surfaces.size(), 1u);
  EXPECT_TRUE(Near(Rgb(surfaces[0], 50, 35), 0x0000FF));
  EXPECT_TRUE(Near(Rgb(surfaces[0], 25, 35), 0xFF0000));

  EXPECT_EQ(d.GetControl(5), area);
  Zentu::MControl* text = d.CreateControl(L"MText", 5, CRect(10, 20, 50, 40), L"x", 1, 0);
  EXPECT_EQ(d.GetControl(5), text);  // the control list is searched first

  EXPECT_EQ(CPoint(d.GetAirBladderPoint(text, 1)), CPoint(ToScreen(d.hwnd(), 30, 40)));
  EXPECT_EQ(CPoint(d.GetAirBladderPoint(text, 2)), CPoint(ToScreen(d.hwnd(), 50, 40)));
  EXPECT_EQ(CPoint(d.GetAirBladderPoint(nullptr, 1)), CPoint(0, 0));
}

TEST(Dialog, ClickedDialogsEndWithTheirResultAndLeaveNothingBehind) {
  // Each cycle: a dialog with a picture, a text and a button, painted, then clicked in its
  // modal loop; the click handler ends it with one of the DoOK family.
  TempSkinFolder skins;
  const std::wstring strip = skins.WritePng(L"strip.png", 400, 30, Solid(0xFF336699));
  const std::wstring photo = skins.WritePng(L"photo.png", 16, 16, Solid(0xFF993366));
  const struct {
    void (MDialog::*end)();
    UINT result;
  } endings[] = {{&MDialog::DoOK, 1},
                 {&MDialog::DoYes, 6},
                 {&MDialog::DoNo, 7},
                 {&MDialog::DoCancel, 2},
                 {&MDialog::DoClose, 2}};
  auto cycle = [&](int i) {
    auto* d = new TestDialog;
    d->build = [&](TestDialog& dialog, CRect) {
      static_cast<Zentu::MPicture*>(
          dialog.CreateControl(L"MPicture", 1, CRect(0, 0, 40, 40), L"", 1, 1))
          ->SetImage(photo.c_str(), 1);
      dialog.CreateControl(L"MText", 2, CRect(50, 0, 200, 30), L"Hello", 1, 0);
      static_cast<Zentu::MControlFont*>(
          dialog.CreateControl(L"MButton", 3, CRect(50, 40, 150, 70), L"OK", 1, 1))
          ->SetImage(strip.c_str(), 4);
    };
    d->handle = [&](TestDialog& dialog, unsigned id, unsigned code) {
      if (id == 3 && code == Zentu::kButtonEventClicked) (dialog.*endings[i % 5].end)();
    };
    const HWND hwnd = d->Open(100, 100, 220, 90);
    d->PaintNow();
    const POINT over = ToScreen(hwnd, 100, 55);
    ::SetCursorPos(over.x, over.y);
    for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP})
      ::PostMessageW(hwnd, msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(100, 55));
    const UINT result = d->ShowModal(SW_SHOW);
    EXPECT_FALSE(::IsWindow(hwnd));
    delete d;
    return result;
  };
  for (int i = 0; i < 5; ++i) ASSERT_EQ(cycle(i), endings[i].result);  // caches settle here
  const DWORD gdi = CountGdiObjects();
  const size_t bytes = PrivateBytes();
  {
    // Both counters must see a change, or the comparisons below prove nothing.
    const std::vector<char> probe(8 << 20, 1);
    HGDIOBJ brush = ::CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_EQ(CountGdiObjects(), gdi + 1) << "GDI objects cannot be counted here";
    ASSERT_GE(PrivateBytes(), bytes + (8 << 20) - 65536) << "private bytes cannot be read here";
    ::DeleteObject(brush);
  }
  for (int i = 0; i < 200; ++i) ASSERT_EQ(cycle(i), endings[i % 5].result) << i;
  EXPECT_LE(CountGdiObjects(), gdi + 2);
  EXPECT_LE(PrivateBytes(), bytes + (512 << 10)) << bytes << " -> " << PrivateBytes();

  // A close from the system menu is sent, not posted: no result.
  TestDialog d;
  ::PostMessageW(d.Open(100, 100, 200, 120), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(d.ShowModal(SW_SHOW), 0u);
}

// Refuses its own creation, as a WM_CREATE handler that fails does.
class RefusingDialog : public TestDialog {
 public:
  LRESULT OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) override {
    return msg == WM_CREATE ? -1 : TestDialog::OnWindowMessage(msg, wparam, lparam);
  }
};

TEST(Dialog, DialogsThatDeleteThemselvesAreNotTouchedAfterwards) {
  // Creation fails after the window existed: the dialog deletes itself at its final destroy.
  auto* refused = new Poisoned<RefusingDialog>;
  refused->delete_self = true;
  EXPECT_EQ(refused->Create(nullptr, L"refused", WS_POPUP, 0, CRect(0, 0, 50, 50)), nullptr);
  EXPECT_TRUE(Untouched(refused));

  // A click handler destroys the window at once: the button and the dialog go only after
  // every handler has returned.
  auto* d = new Poisoned<TestDialog>;
  d->delete_self = true;
  d->build = [](TestDialog& dialog, CRect) {
    dialog.CreateControl(L"MButton", 3, CRect(10, 10, 110, 40), L"Close", 1, 1);
  };
  d->handle = [](TestDialog& dialog, unsigned id, unsigned code) {
    if (id == 3 && code == Zentu::kButtonEventClicked) ::DestroyWindow(dialog.hwnd());
  };
  const HWND hwnd = d->Open(100, 100, 200, 60);
  d->PaintNow();
  d->Mouse(WM_MOUSEMOVE, 50, 25);
  d->Mouse(WM_LBUTTONDOWN, 50, 25);
  ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(50, 25));
  EXPECT_FALSE(::IsWindow(hwnd));
  EXPECT_TRUE(Untouched(d));
}

TEST(Dialog, ChangingTheBackgroundRedrawsTheControlsOverIt) {
  TempSkinFolder skins;
  TestDialog d;
  ASSERT_NE(d.Open(100, 100, 120, 80), nullptr);
  // A picture without an image shows only its copy of what lies beneath it.
  ASSERT_NE(d.CreateControl(L"MPicture", 1, CRect(20, 20, 60, 60), L"", 1, 1), nullptr);
  auto beneath = [&] {
    const auto surfaces = d.PaintNow();
    return surfaces.size() == 1 ? Rgb(surfaces[0], 40, 40) : 0xBADu;
  };
  d.GetPaintManager().SetBackColor(0x0000FF, 0);
  EXPECT_TRUE(Near(beneath(), 0xFF0000));
  d.GetPaintManager().SetBackColor(0xFF0000, 0);
  EXPECT_TRUE(Near(beneath(), 0x0000FF));
  ASSERT_EQ(d.LoadBKImage(skins.WritePng(L"red.png", 8, 8, Solid(0xFFFF0000)).c_str()), 1);
  EXPECT_TRUE(Near(beneath(), 0xFF0000));
  ASSERT_EQ(d.LoadBKImage(skins.WritePng(L"blue.png", 8, 8, Solid(0xFF0000FF)).c_str()), 1);
  EXPECT_TRUE(Near(beneath(), 0x0000FF));
  d.GetPaintManager().SetBackMode(2);  // draws no background image at all
  EXPECT_EQ(beneath(), 0u);
}

}  // namespace
}  // namespace paint_test
