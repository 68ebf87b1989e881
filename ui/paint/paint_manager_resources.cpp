// PaintManager: the background image, the shared image records and the temporary fonts.
#include "ui/core/manager.h"
#include "ui/paint/mrender.h"
#include "ui/paint/paint_manager.h"

namespace Zentu {

// ---- background image ----

int PaintManager::LoadBKImage(const wchar_t* name) {
  delete m_pBKImage;
  m_pBKImage = MRender::LoadImageFromFile(GetSkinPath(name));
  return UseBKImage();
}

int PaintManager::LoadBKImage(UINT id, const wchar_t* type) {
  delete m_pBKImage;
  m_pBKImage = MRender::LoadImageFromIDResource(id, type, Manager::GetInstance());
  return UseBKImage();
}

int PaintManager::UseBKImage() {
  m_nBKWidth = m_pBKImage ? static_cast<int>(m_pBKImage->GetWidth()) : 0;
  m_nBKHeight = m_pBKImage ? static_cast<int>(m_pBKImage->GetHeight()) : 0;
  m_painter.DiscardBackground();
  DiscardControlCaches();
  return m_pBKImage ? 1 : 0;
}

// ---- image records, fonts ----

ImgResInfo* PaintManager::AddImgResInfo(const wchar_t* name, int frame_count) {
  return m_resources.AddImage(name, frame_count);
}

ImgResInfo* PaintManager::AddImgResInfo(UINT id, const wchar_t* type, int frame_count,
                                        int application) {
  return m_resources.AddImage(id, type, frame_count, application);
}

void PaintManager::ClearImgResInfo() { m_resources.ClearImages(); }

size_t PaintManager::GetImgResInfoCount() { return m_resources.ImageCount(); }

void PaintManager::AddGDITempFont(UINT id) { m_resources.AddGdiFont(id); }

Gdiplus::FontFamily* PaintManager::AddTempFont(const wchar_t* name, const wchar_t* path) {
  return m_resources.AddFont(name, path);
}

Gdiplus::FontFamily* PaintManager::AddTempFont(const wchar_t* name, UINT id) {
  return m_resources.AddFont(name, id);
}

Gdiplus::FontFamily* PaintManager::FindTempFont(const wchar_t*) { return m_resources.FindFont(); }

void PaintManager::ClearTempFont() { m_resources.ClearFonts(); }

size_t PaintManager::GetGDITempFontCount() { return m_resources.GdiFontCount(); }

}  // namespace Zentu
