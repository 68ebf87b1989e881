// Paint manager factory, image records, background image, fonts and embedded resources.
#include <gtest/gtest.h>

#include <string>

#include "tests/win/paint_test_support.h"
#include "ui/core/manager.h"

namespace paint_test {
namespace {

using Zentu::ImgResInfo;
using Zentu::PaintManager;

// ---- factory ----

class PaintFactory : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(host_.Open(100, 100, 200, 150, false), nullptr); }
  size_t Listed() { return host_.pm.GetControls().size() + host_.pm.GetAreaControls().size(); }
  HostWindow host_;
};

TEST_F(PaintFactory, NamesItCannotBuildGiveNullAndListNothing) {
  for (const wchar_t* name :
       {L"NoSuchControl", L"", L"carea", L"CAREA", L"MSlider", L"CImageButton2", L"CArea "}) {
    EXPECT_EQ(host_.pm.CreateControl(&host_, name, 1, CRect(0, 0, 10, 10), L"", 1, 1), nullptr);
    EXPECT_EQ(host_.pm.CreateArea(&host_, name, 1, CRect(0, 0, 10, 10), L"", 1, 1), nullptr);
  }
  EXPECT_EQ(host_.pm.CreateControl(&host_, nullptr, 1, CRect(), L"", 1, 1), nullptr);
  // A small integer is a string resource id of the library; there is none such.
  EXPECT_EQ(host_.pm.CreateControl(&host_, MAKEINTRESOURCEW(4242), 1, CRect(), L"", 1, 1), nullptr);
  EXPECT_EQ(Listed(), 0u);
}

TEST_F(PaintFactory, CAreaIsBuiltListedAndBoundToTheManager) {
  Zentu::MControl* area = host_.pm.CreateArea(&host_, L"CArea", 5, CRect(0, 0, 50, 20), L"", 0, 0);
  ASSERT_NE(area, nullptr);
  EXPECT_STREQ(area->GetClassNameW(), L"CArea");
  EXPECT_EQ(area->GetManager(), &host_.pm);
  EXPECT_EQ(area->IsVisible(), 0);  // the first integer
  EXPECT_EQ(area->IsEnabled(), 1);  // always 1 for CArea
  EXPECT_EQ(area->GetRresponse(), 1);
  EXPECT_EQ(host_.pm.GetAreaControls().size(), 1u);
  Zentu::MControl* control =
      host_.pm.CreateControl(&host_, L"CArea", 6, CRect(0, 0, 50, 20), L"", 1, 0);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(host_.pm.GetControls().size(), 1u);
  // Any other kind builds the control but lists it nowhere: the caller owns it.
  Zentu::MControl* loose =
      host_.pm.CreateControl(2, &host_, L"CArea", 7, CRect(0, 0, 5, 5), L"", 1, 1);
  ASSERT_NE(loose, nullptr);
  EXPECT_EQ(Listed(), 2u);
  delete loose;
}

TEST_F(PaintFactory, GetControlPrefersTheControlListThenAreasThenChildren) {
  Zentu::MControl* area = host_.pm.CreateArea(&host_, L"CArea", 5, CRect(0, 0, 50, 20), L"", 1, 1);
  EXPECT_EQ(host_.pm.GetControl(5), area);
  Zentu::MControl* control =
      host_.pm.CreateControl(&host_, L"CArea", 5, CRect(0, 0, 50, 20), L"", 1, 1);
  EXPECT_EQ(host_.pm.GetControl(5), control);
  auto* child = new RecordingControl(control, 9, CRect(1, 1, 5, 5));
  control->AddControl(child);
  EXPECT_EQ(host_.pm.GetControl(9), child);
  EXPECT_EQ(host_.pm.GetControl(77), nullptr);
}

TEST_F(PaintFactory, RemovingTheHoverAndFocusControlForgetsIt) {
  auto* c = new RecordingControl(&host_, 3, CRect(10, 10, 50, 50));
  c->SetManager(&host_.pm);
  host_.pm.GetControls().push_back(c);
  const POINT over = ToScreen(host_.hwnd(), 20, 20);
  ::SetCursorPos(over.x, over.y);
  ::SendMessageW(host_.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  host_.pm.SetFocusControl(c);
  ASSERT_EQ(host_.pm.GetHoverControl(), c);
  host_.pm.RemoveControl(c);
  EXPECT_EQ(host_.pm.GetHoverControl(), nullptr);
  EXPECT_EQ(host_.pm.GetFocusControl(), nullptr);
  EXPECT_TRUE(host_.pm.GetControls().empty());
  ::SendMessageW(host_.hwnd(), WM_MOUSELEAVE, 0, 0);  // must not reach the deleted control
}

// ---- image records ----

TEST(PaintImages, OneRecordPerFileWhateverFrameCountComesLater) {
  TempSkinFolder skins;  // not the program's skin folder: its images live there too
  const std::wstring name = skins.Write(L"img_button.png", LibraryResource(101, L"PNG"));
  PaintManager pm;
  ImgResInfo* first = pm.AddImgResInfo(name.c_str(), 4);
  ASSERT_NE(first, nullptr);
  ImgResInfo* second = pm.AddImgResInfo(name.c_str(), 4);
  EXPECT_EQ(second, first);
  EXPECT_EQ(second->image, first->image);
  ImgResInfo* two_frames = pm.AddImgResInfo(name.c_str(), 2);
  EXPECT_EQ(two_frames, first);
  EXPECT_EQ(two_frames->frame_count, 4);
  EXPECT_EQ(two_frames->frame_width, 22 / 4);
  EXPECT_EQ(two_frames->frame_height, 20);
  EXPECT_EQ(pm.GetImgResInfoCount(), 1u);
}

TEST(PaintImages, MissingFileGivesNullUntilTheFileExists) {
  TempSkinFolder skins;  // outlives the manager, which holds the image open
  const std::wstring name = skins.Name(L"paint_late.png");
  PaintManager pm;
  EXPECT_EQ(pm.AddImgResInfo(name.c_str(), 1), nullptr);
  EXPECT_EQ(pm.GetImgResInfoCount(), 0u);
  skins.Write(L"paint_late.png", LibraryResource(102, L"PNG"));
  ImgResInfo* record = pm.AddImgResInfo(name.c_str(), 3);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->frame_width, 4);
  EXPECT_EQ(record->frame_height, 72);
  EXPECT_EQ(record->name, Zentu::CString(name.c_str()));
}

TEST(PaintImages, ApplicationAndLibraryResourcesAreSeparateRecords) {
  // The test program carries its own PNG 101 (the 12 x 72 picture, see paint.cmake).
  const HINSTANCE saved = Zentu::Manager::GetInstance();
  Zentu::Manager::SetInstance(::GetModuleHandleW(nullptr));
  PaintManager pm;
  ImgResInfo* application = pm.AddImgResInfo(101, L"PNG", 1, 1);
  ImgResInfo* library = pm.AddImgResInfo(101, L"PNG", 1, 0);
  Zentu::Manager::SetInstance(saved);
  ASSERT_NE(application, nullptr);
  ASSERT_NE(library, nullptr);
  EXPECT_NE(application, library);
  EXPECT_EQ(application->frame_height, 72);
  EXPECT_EQ(library->frame_height, 20);
  EXPECT_EQ(application->resource_id, 101u);
  EXPECT_EQ(pm.AddImgResInfo(101, L"PNG", 5, 0), library);
  EXPECT_EQ(pm.AddImgResInfo(999, L"PNG", 1, 0), nullptr);
  pm.ClearImgResInfo();
  EXPECT_EQ(pm.GetImgResInfoCount(), 0u);
}

// ---- embedded resources ----

TEST(PaintEmbedded, ScrollImagesLoadWithTheirSizes) {
  PaintManager pm;
  ImgResInfo* horizontal = pm.AddImgResInfo(Zentu::kScrollImageHorizontal, L"PNG", 1, 0);
  ImgResInfo* vertical = pm.AddImgResInfo(Zentu::kScrollImageVertical, L"png", 1, 0);
  ASSERT_NE(horizontal, nullptr);
  ASSERT_NE(vertical, nullptr);
  EXPECT_EQ(horizontal->image->GetWidth(), 22u);
  EXPECT_EQ(horizontal->image->GetHeight(), 20u);
  EXPECT_EQ(vertical->image->GetWidth(), 12u);
  EXPECT_EQ(vertical->image->GetHeight(), 72u);
}

TEST(PaintEmbedded, FontResourceIsOpenSansSemiboldAndInitRegistersIt) {
  EXPECT_EQ(LibraryResource(106, L"TTF").size(), 221328u);
  PaintManager pm;
  Gdiplus::FontFamily* family = pm.AddTempFont(L"embedded", 106u);
  ASSERT_NE(family, nullptr);
  wchar_t name[LF_FACESIZE] = {};
  family->GetFamilyName(name);
  EXPECT_STREQ(name, L"Open Sans Semibold");
  EXPECT_EQ(pm.AddTempFont(L"none", 4242u), nullptr);

  HostWindow host;
  ASSERT_NE(host.Open(100, 100, 100, 100, false), nullptr);
  EXPECT_EQ(host.pm.GetGDITempFontCount(), 1u);
  EXPECT_EQ(host.pm.GetScrollVID(), 102u);
  EXPECT_EQ(host.pm.GetScrollHID(), 101u);
  host.Close();
  EXPECT_EQ(host.pm.GetGDITempFontCount(), 0u);  // removed again at teardown
}

// ---- fonts ----

class PaintFonts : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = Zentu::Manager::GetFontName(); }
  void TearDown() override { Zentu::Manager::SetFontName(saved_); }
  Zentu::CString saved_;
};

TEST_F(PaintFonts, FindTempFontKeepsOneFamilyOfTheCurrentFontName) {
  Zentu::Manager::SetFontName(L"Arial");
  PaintManager pm;
  Gdiplus::FontFamily* first = pm.FindTempFont(L"Arial");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(pm.FindTempFont(L"anything else"), first);  // the argument is not consulted
  EXPECT_EQ(pm.FindTempFont(nullptr), first);
  Zentu::Manager::SetFontName(L"No Such Family At All");
  EXPECT_EQ(pm.FindTempFont(L"Arial"), nullptr);
  pm.ClearTempFont();
  Zentu::Manager::SetFontName(L"Arial");
  EXPECT_NE(pm.FindTempFont(L"Arial"), nullptr);
}

TEST_F(PaintFonts, AddTempFontFromAFileServesFindTempFont) {
  TempSkinFolder skins;
  const std::wstring path =
      Zentu::GetSkinPath(skins.Write(L"font.ttf", LibraryResource(106, L"TTF")).c_str())
          .GetString();
  {
    PaintManager pm;
    Gdiplus::FontFamily* added = pm.AddTempFont(L"Private Face", path.c_str());
    ASSERT_NE(added, nullptr);
    Zentu::Manager::SetFontName(L"Private Face");
    EXPECT_EQ(pm.FindTempFont(nullptr), added);
    EXPECT_EQ(pm.AddTempFont(L"x", (path + L".missing").c_str()), nullptr);
  }
}

// ---- background image ----

TEST(PaintBackground, FailedLoadDropsTheImageAndKeepsTheColours) {
  TempSkinFolder skins;
  const std::wstring name = skins.Write(L"paint_bk.png", LibraryResource(102, L"PNG"));
  HostWindow host;
  ASSERT_NE(host.Open(100, 100, 120, 90, true), nullptr);
  host.pm.SetBackColor(0x102030, 0x0000FF);
  ASSERT_EQ(host.pm.LoadBKImage(name.c_str()), 1);
  EXPECT_EQ(host.pm.GetBKImageWidth(), 12);
  EXPECT_EQ(host.pm.GetBKImageHeight(), 72);
  EXPECT_EQ(host.pm.LoadBKImage(L"no_such_background.png"), 0);
  EXPECT_EQ(host.pm.GetBKImage(), nullptr);
  EXPECT_EQ(host.pm.GetBackColor(), 0x102030u);
  EXPECT_EQ(host.pm.GetBorderColor(), 0x0000FFu);
  const auto surfaces = host.PaintNow();
  ASSERT_EQ(surfaces.size(), 1u);
  // Premultiplied at alpha 254: a channel of c becomes c or c - 1.
  auto close_to = [](uint32_t pixel, uint32_t argb) {
    bool ok = (pixel >> 24) == (argb >> 24);
    for (int shift : {0, 8, 16}) {
      const int p = (pixel >> shift) & 0xFF, c = (argb >> shift) & 0xFF;
      ok = ok && p <= c && p >= c - 2;
    }
    return ok;
  };
  EXPECT_TRUE(close_to(surfaces[0].At(0, 0), 0xFEFF0000)) << std::hex << surfaces[0].At(0, 0);
  EXPECT_TRUE(close_to(surfaces[0].At(60, 45), 0xFE302010)) << std::hex << surfaces[0].At(60, 45);
}

}  // namespace
}  // namespace paint_test
