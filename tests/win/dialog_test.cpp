// MDialog under Wine: dispatch, modal results, controls by class name, safe endings, leaks.
#include <gtest/gtest.h>

#include "tests/win/dialog_test_support.h"
#include "ui/controls/mbutton.h"
#include "ui/controls/mpicture.h"

namespace paint_test {
namespace {

using Zentu::MButton;
using Zentu::MDialog;
using Zentu::MPicture;
using Zentu::MWindow;

bool Near(uint32_t actual, uint32_t expected) {
  for (int shift : {0, 8, 16}) {
    const int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
    if (a - e > 3 || e - a > 3) return false;
  }
  return true;
}

TEST(Dialog, VirtualOperationsKeepTheInterfaceOrder) {
  const long slots[] = {Slot(&MWindow::OnDestroyMessage),
                        Slot(&MDialog::GetAirBladderPoint),
                        Slot(&MDialog::OnMinimize),
                        Slot(&MDialog::OnMaximize),
                        Slot(&MDialog::InitUI),
                        Slot(&MDialog::UISize),
                        Slot(&MDialog::OnMessage),
                        Slot(&MDialog::OnUserCloseWindow),
                        Slot(&MDialog::OnCreate),
                        Slot(&MDialog::OnSize),
                        Slot(&MDialog::OnMouseMove),
                        Slot(&MDialog::OnMouseLeave),
                        Slot(&MDialog::OnMouseHover),
                        Slot(&MDialog::OnMouseWheel),
                        Slot(&MDialog::OnLButtonDown),
                        Slot(&MDialog::OnLButtonUp),
                        Slot(&MDialog::OnLButtonDblClk),
                        Slot(&MDialog::OnRButtonDown),
                        Slot(&MDialog::OnRButtonUp),
                        Slot(&MDialog::OnRButtonDblClk),
                        Slot(&MDialog::OnKeyDown),
                        Slot(&MDialog::OnNcHitTest),
                        Slot(&MDialog::OnGetMinMaxInfo),
                        Slot(&MDialog::OnNcCalcSize),
                        Slot(&MDialog::OnNcActivate),
                        Slot(&MDialog::OnWindowPosChanging),
                        Slot(&MDialog::OnWindowPosChanged),
                        Slot(&MDialog::OnPaint),
                        Slot(&MDialog::OnTimer),
                        Slot(&MDialog::OnNcPaint),
                        Slot(&MDialog::OnClose),
                        Slot(&MDialog::OnDestroy),
                        Slot(&MDialog::PostNcDestroy)};
  for (size_t i = 1; i < std::size(slots); ++i) EXPECT_EQ(slots[i], slots[0] + long(i)) << i;
  TestDialog d;
  EXPECT_STREQ(static_cast<Zentu::MObject&>(d).GetClassNameW(), L"MDialog");
}

TEST(Dialog, ShowModalReturnsTheResultOfTheCloseRequest) {
  const struct {
    void (MDialog::*close)();
    UINT result;
  } cases[] = {{&MDialog::DoOK, 1},
               {&MDialog::DoYes, 6},
               {&MDialog::DoNo, 7},
               {&MDialog::DoCancel, 2},
               {&MDialog::DoClose, 2}};
  for (const auto& c : cases) {
    TestDialog d;
    const HWND hwnd = d.Open(100, 100, 200, 120);
    ASSERT_NE(hwnd, nullptr);
    (d.*c.close)();
    EXPECT_EQ(d.ShowModal(SW_SHOW), c.result);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(d.post_nc_destroys, 1);
  }
  // The system menu's close sends the close message, which carries no result.
  TestDialog d;
  const HWND hwnd = d.Open(100, 100, 200, 120);
  ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(d.ShowModal(SW_SHOW), 0u);
  // Without a window nothing is posted.
  d.DoOK();
  MSG msg;
  EXPECT_FALSE(::PeekMessageW(&msg, nullptr, Zentu::kCloseRequestMessage,
                              Zentu::kCloseRequestMessage, PM_REMOVE));
}

TEST(Dialog, StyleEraseAndSizeMessages) {
  TestDialog d;
  CRect built;
  d.build = [&](TestDialog&, CRect client) { built = client; };
  const HWND hwnd = d.Open(100, 100, 160, 90, false, WS_POPUP | WS_VISIBLE | WS_CAPTION);
  ASSERT_NE(hwnd, nullptr);
  CRect client;
  ::GetClientRect(hwnd, &client);
  EXPECT_EQ(built, client);  // InitUI got the client rect
  EXPECT_EQ(d.GetPaintManager().GetScrollVID(), 102u);
  EXPECT_EQ(d.GetStyle() & WS_CAPTION, 0u);
  EXPECT_EQ(d.GetStyle() & 0x06000008u, 0x06000008u);

  HDC dc = ::GetDC(hwnd);
  EXPECT_EQ(::SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  ::ReleaseDC(hwnd, dc);

  // One pixel wide: no layout, but still repainted.
  ::SetWindowPos(hwnd, nullptr, 0, 0, 1, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::ValidateRect(hwnd, nullptr);
  d.ui_sizes.clear();
  ::SendMessageW(hwnd, WM_SIZE, 0, MAKELPARAM(1, 40));
  EXPECT_TRUE(d.ui_sizes.empty());
  RECT dirty;
  EXPECT_TRUE(::GetUpdateRect(hwnd, &dirty, FALSE));
  ::SetWindowPos(hwnd, nullptr, 0, 0, 2, 2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_FALSE(d.ui_sizes.empty());
  EXPECT_EQ(d.ui_sizes.back(), CRect(0, 0, 2, 2));
}

// Whole-window alpha or a colour key, as a subclass sets them.
class TranslucentDialog : public TestDialog {
 public:
  TranslucentDialog(UINT alpha, COLORREF key) {
    m_nAlpha = alpha;
    m_crKey = key;
  }
};

TEST(Dialog, SizingAppliesTheWindowAlphaOrElseTheColourKey) {
  const struct {
    UINT alpha;
    COLORREF key;
    DWORD flags;
  } cases[] = {{128, 0x00FF00, LWA_ALPHA}, {255, 0x00FF00, LWA_COLORKEY}, {255, 0xFFFFFF, 0}};
  for (const auto& c : cases) {
    TranslucentDialog d(c.alpha, c.key);
    ASSERT_NE(d.Open(100, 100, 80, 60), nullptr);
    const bool layered = (d.GetExStyle() & WS_EX_LAYERED) != 0;
    EXPECT_EQ(layered, c.flags != 0) << c.alpha;
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!layered) continue;
    ASSERT_TRUE(::GetLayeredWindowAttributes(d.hwnd(), &key, &alpha, &flags));
    EXPECT_EQ(flags, c.flags);
    EXPECT_EQ(flags == LWA_ALPHA ? alpha : key, flags == LWA_ALPHA ? c.alpha : c.key);
  }
}

TEST(Dialog, ControlsByClassNameAreasBeneathAndLookup) {
  TempSkinFolder skins;
  const std::wstring red = skins.WriteSolidPng(L"red.png", 120, 30, 0xFFFF0000);
  const std::wstring blue = skins.WriteSolidPng(L"blue.png", 10, 10, 0xFF0000FF);
  TestDialog d;
  ASSERT_NE(d.Open(100, 100, 200, 120), nullptr);
  EXPECT_EQ(d.CreateControl(L"mbutton", 1, CRect(0, 0, 10, 10), L"", 1, 1), nullptr);
  EXPECT_EQ(d.CreateArea(L"", 1, CRect(0, 0, 10, 10), L"", 1, 1), nullptr);
  EXPECT_TRUE(d.GetControls().empty());

  auto* picture =
      static_cast<MPicture*>(d.CreateControl(L"MPicture", 6, CRect(40, 10, 90, 60), L"", 1, 1));
  ASSERT_NE(picture, nullptr);
  EXPECT_STREQ(picture->GetClassNameW(), L"MPicture");
  picture->SetImage(blue.c_str(), 1);
  picture->SetShowMode(Zentu::ShowModeStretch);
  // Made later, but an area: drawn beneath every control.
  auto* area = static_cast<MButton*>(d.CreateArea(L"MButton", 5, CRect(10, 10, 60, 60), L"", 1, 1));
  ASSERT_NE(area, nullptr);
  area->SetImage(red.c_str(), 4);
  const auto surfaces = d.PaintNow();
  ASSERT_EQ(surfaces.size(), 1u);
  EXPECT_TRUE(Near(Rgb(surfaces[0], 50, 35), 0x0000FF));
  EXPECT_TRUE(Near(Rgb(surfaces[0], 25, 35), 0xFF0000));

  EXPECT_EQ(d.GetControl(5), area);
  Zentu::MControl* text = d.CreateControl(L"MText", 5, CRect(10, 20, 50, 40), L"x", 1, 0);
  EXPECT_EQ(d.GetControl(5), text);  // the control list is searched first
  EXPECT_EQ(d.GetControls().size(), 2u);

  const POINT under[] = {d.GetAirBladderPoint(text, 0), d.GetAirBladderPoint(text, 1),
                         d.GetAirBladderPoint(text, 2), d.GetAirBladderPoint(nullptr, 1)};
  const POINT expected[] = {ToScreen(d.hwnd(), 10, 40), ToScreen(d.hwnd(), 30, 40),
                            ToScreen(d.hwnd(), 50, 40), POINT{0, 0}};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(CPoint(under[i]), CPoint(expected[i])) << i;
}

// Refuses its own creation, as a WM_CREATE handler that fails does.
class RefusingDialog : public TestDialog {
 public:
  LRESULT OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) override {
    return msg == WM_CREATE ? -1 : TestDialog::OnWindowMessage(msg, wparam, lparam);
  }
};

TEST(Dialog, FailedCreationLeavesADialogThatDeletedItselfAlone) {
  auto* d = new Poisoned<RefusingDialog>;
  d->delete_self = true;
  EXPECT_EQ(d->Create(nullptr, L"refused", WS_POPUP, 0, CRect(0, 0, 50, 50)), nullptr);
  EXPECT_TRUE(IsBuried(d));
  EXPECT_TRUE(Untouched(d));
}

TEST(Dialog, ButtonWhoseClickDestroysTheDialogRunsClean) {
  // The click handler destroys the window at once; the dialog deletes itself at the end.
  auto* d = new Poisoned<TestDialog>;
  d->delete_self = true;
  d->build = [](TestDialog& dialog, CRect) {
    dialog.CreateControl(L"MButton", 3, CRect(10, 10, 110, 40), L"Close", 1, 1);
  };
  d->handle = [](TestDialog& dialog, unsigned id, unsigned code) {
    if (id == 3 && code == Zentu::kButtonEventClicked) ::DestroyWindow(dialog.hwnd());
  };
  const HWND hwnd = d->Open(100, 100, 200, 60);
  ASSERT_NE(hwnd, nullptr);
  d->PaintNow();
  d->MoveTo(50, 25);
  d->Press(50, 25);
  ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(50, 25));
  EXPECT_FALSE(::IsWindow(hwnd));
  EXPECT_TRUE(IsBuried(d));
  EXPECT_TRUE(Untouched(d));  // deleted last, after every handler had returned
}

TEST(Dialog, TwoHundredCreateClickDestroyCyclesStayFlat) {
  TempSkinFolder skins;
  const std::wstring strip = skins.WriteSolidPng(L"strip.png", 400, 30, 0xFF336699);
  const std::wstring photo = skins.WriteSolidPng(L"photo.png", 16, 16, 0xFF993366);
  auto cycle = [&] {
    auto* d = new TestDialog;
    d->build = [&](TestDialog& dialog, CRect) {
      static_cast<MPicture*>(dialog.CreateControl(L"MPicture", 1, CRect(0, 0, 40, 40), L"", 1, 1))
          ->SetImage(photo.c_str(), 1);
      dialog.CreateControl(L"MText", 2, CRect(50, 0, 200, 30), L"Hello", 1, 0);
      static_cast<MButton*>(
          dialog.CreateControl(L"MButton", 3, CRect(50, 40, 150, 70), L"OK", 1, 1))
          ->SetImage(strip.c_str(), 4);
    };
    d->handle = [](TestDialog& dialog, unsigned id, unsigned code) {
      if (id == 3 && code == Zentu::kButtonEventClicked) dialog.DoOK();
    };
    const HWND hwnd = d->Open(100, 100, 220, 90);
    d->PaintNow();  // the controls' pictures and fonts are made
    const POINT over = ToScreen(hwnd, 100, 55);
    ::SetCursorPos(over.x, over.y);
    for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP})
      ::PostMessageW(hwnd, msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(100, 55));
    const UINT result = d->ShowModal(SW_SHOW);
    delete d;
    return result;
  };
  for (int i = 0; i < 5; ++i) ASSERT_EQ(cycle(), 1u);  // first-use caches settle here
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
  for (int i = 0; i < 200; ++i) ASSERT_EQ(cycle(), 1u) << i;
  EXPECT_LE(CountGdiObjects(), gdi + 2);
  EXPECT_LE(PrivateBytes(), bytes + (512 << 10)) << bytes << " -> " << PrivateBytes();
}

TEST(Dialog, ChangingTheBackgroundRedrawsTheControlsOverIt) {
  TempSkinFolder skins;
  const std::wstring red = skins.WriteSolidPng(L"red.png", 8, 8, 0xFFFF0000);
  const std::wstring blue = skins.WriteSolidPng(L"blue.png", 8, 8, 0xFF0000FF);
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
  ASSERT_EQ(d.LoadBKImage(red.c_str()), 1);
  EXPECT_TRUE(Near(beneath(), 0xFF0000));
  ASSERT_EQ(d.LoadBKImage(blue.c_str()), 1);
  EXPECT_TRUE(Near(beneath(), 0x0000FF));
  d.GetPaintManager().SetBackMode(2);  // draws no background image at all
  EXPECT_EQ(beneath(), 0u);
}

}  // namespace
}  // namespace paint_test
