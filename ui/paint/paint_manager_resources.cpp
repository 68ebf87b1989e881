// PaintManager: the background image, the shared image records and the temporary fonts.
#include "ui/core/manager.h"
#include "ui/paint/critical_section.h"
#include "ui/paint/mrender.h"
#include "ui/paint/paint_cache.h"
#include "ui/paint/paint_manager.h"
#include "ui/paint/paint_math.h"

namespace Zentu {
namespace {

// The bytes of one of the library's own resources; they live as long as the library.
bool LibraryResource(UINT id, const wchar_t* type, const void** data, DWORD* size) {
  HINSTANCE module = PaintManager::GetLibraryInstance();
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!found) return false;
  HGLOBAL loaded = ::LoadResource(module, found);
  *data = loaded ? ::LockResource(loaded) : nullptr;
  *size = ::SizeofResource(module, found);
  return *data != nullptr && *size != 0;
}

}  // namespace

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
  DiscardBackground();
  DiscardControlCaches();
  return m_pBKImage ? 1 : 0;
}

// ---- image records ----

namespace {
ImgResInfo* FinishRecord(ImgResInfo* record, Gdiplus::Image* image) {
  if (image == nullptr) {
    delete record;
    return nullptr;
  }
  record->image = image;
  record->frame_width =
      paint_math::FrameWidth(static_cast<int>(image->GetWidth()), record->frame_count);
  record->frame_height = static_cast<int>(image->GetHeight());
  return record;
}
}  // namespace

ImgResInfo* PaintManager::AddImgResInfo(const wchar_t* name, int frame_count) {
  if (name == nullptr || *name == L'\0') return nullptr;
  ScopedLock lock(m_imgLock);
  const CString key(name);
  auto found = m_imgByName.find(key);
  if (found != m_imgByName.end()) return found->second;
  auto* record = new ImgResInfo;
  record->frame_count = frame_count;
  record->name = key;
  record = FinishRecord(record, MRender::LoadImageFromFile(GetSkinPath(name)));
  if (record) m_imgByName.emplace(key, record);
  return record;
}

ImgResInfo* PaintManager::AddImgResInfo(UINT id, const wchar_t* type, int frame_count,
                                        int application) {
  if (application)
    return AddImgResInfo(m_imgByAppId, id, type, frame_count, Manager::GetInstance());
  return AddImgResInfo(m_imgByLibId, id, type, frame_count, GetLibraryInstance());
}

ImgResInfo* PaintManager::AddImgResInfo(std::map<UINT, ImgResInfo*>& table, UINT id,
                                        const wchar_t* type, int frame_count, HINSTANCE module) {
  if (type == nullptr) return nullptr;
  ScopedLock lock(m_imgLock);
  auto found = table.find(id);
  if (found != table.end()) return found->second;
  auto* record = new ImgResInfo;
  record->frame_count = frame_count;
  record->resource_id = id;
  record = FinishRecord(record, MRender::LoadImageFromIDResource(id, type, module));
  if (record) table.emplace(id, record);
  return record;
}

void PaintManager::ClearImgResInfo() {
  ScopedLock lock(m_imgLock);
  for (auto* table : {&m_imgByAppId, &m_imgByLibId}) {
    for (auto& entry : *table) {
      delete entry.second->image;
      delete entry.second;
    }
    table->clear();
  }
  for (auto& entry : m_imgByName) {
    delete entry.second->image;
    delete entry.second;
  }
  m_imgByName.clear();
}

size_t PaintManager::GetImgResInfoCount() {
  ScopedLock lock(m_imgLock);
  return m_imgByName.size() + m_imgByAppId.size() + m_imgByLibId.size();
}

// ---- fonts ----

void PaintManager::AddGDITempFont(UINT id) {
  const void* data = nullptr;
  DWORD size = 0;
  if (!LibraryResource(id, L"TTF", &data, &size)) return;
  DWORD installed = 0;
  HANDLE font = ::AddFontMemResourceEx(const_cast<void*>(data), size, nullptr, &installed);
  if (font == nullptr) return;
  ScopedLock lock(m_fontLock);
  m_gdiFonts.push_back(font);
}

namespace {
// The first family of a collection, as a new object; null when it holds none.
Gdiplus::FontFamily* FirstFamily(Gdiplus::PrivateFontCollection& collection) {
  if (collection.GetFamilyCount() < 1) return nullptr;
  Gdiplus::FontFamily family;
  INT found = 0;
  if (collection.GetFamilies(1, &family, &found) != Gdiplus::Ok || found < 1) return nullptr;
  Gdiplus::FontFamily* copy = family.Clone();
  if (copy && copy->GetLastStatus() != Gdiplus::Ok) {
    delete copy;
    return nullptr;
  }
  return copy;
}
}  // namespace

Gdiplus::FontFamily* PaintManager::AddTempFont(const wchar_t* name, const wchar_t* path) {
  if (name == nullptr || path == nullptr) return nullptr;
  auto* collection = new Gdiplus::PrivateFontCollection;
  return KeepTempFont(name, collection, collection->AddFontFile(path));
}

Gdiplus::FontFamily* PaintManager::AddTempFont(const wchar_t* name, UINT id) {
  const void* data = nullptr;
  DWORD size = 0;
  if (name == nullptr || !LibraryResource(id, L"TTF", &data, &size)) return nullptr;
  auto* collection = new Gdiplus::PrivateFontCollection;
  return KeepTempFont(name, collection, collection->AddMemoryFont(data, static_cast<INT>(size)));
}

// Takes ownership of `collection`; on success files its first family under `name`.
Gdiplus::FontFamily* PaintManager::KeepTempFont(const wchar_t* name,
                                                Gdiplus::PrivateFontCollection* collection,
                                                Gdiplus::Status added) {
  Gdiplus::FontFamily* family = added == Gdiplus::Ok ? FirstFamily(*collection) : nullptr;
  if (family == nullptr) {
    delete collection;
    return nullptr;
  }
  ScopedLock lock(m_fontLock);
  // The collection backs the family, so it stays until the fonts are cleared.
  m_fontCollections.push_back(collection);
  Gdiplus::FontFamily*& slot = m_tempFonts[CString(name)];
  if (slot && m_pPaintCache) m_pPaintCache->DiscardFonts();  // made from the family going now
  delete slot;
  slot = family;
  return family;
}

Gdiplus::FontFamily* PaintManager::FindTempFont(const wchar_t*) {
  const CString current = Manager::GetFontName();
  ScopedLock lock(m_fontLock);
  auto found = m_tempFonts.find(current);
  if (found != m_tempFonts.end()) return found->second;
  auto* family = new Gdiplus::FontFamily(current.GetString());
  if (family->GetLastStatus() != Gdiplus::Ok) {
    delete family;
    return nullptr;
  }
  m_tempFonts.emplace(current, family);
  return family;
}

void PaintManager::ClearTempFont() {
  ScopedLock lock(m_fontLock);
  // The paint pass's fonts go first: they may refer to the families and collections.
  if (m_pPaintCache) m_pPaintCache->DiscardFonts();
  for (auto& entry : m_tempFonts) delete entry.second;
  m_tempFonts.clear();
  for (Gdiplus::PrivateFontCollection* collection : m_fontCollections) delete collection;
  m_fontCollections.clear();
  for (HANDLE font : m_gdiFonts) ::RemoveFontMemResourceEx(font);
  m_gdiFonts.clear();
}

size_t PaintManager::GetGDITempFontCount() {
  ScopedLock lock(m_fontLock);
  return m_gdiFonts.size();
}

}  // namespace Zentu
