// ResourceCache: a window's shared image records and temporary fonts.
#include "ui/paint/resource_cache.h"

#include "ui/core/manager.h"
#include "ui/paint/mrender.h"
#include "ui/paint/paint_manager.h"
#include "ui/paint/paint_math.h"
#include "ui/paint/paint_window.h"

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

// The first family of a collection, as a new object; null when it holds none.
std::unique_ptr<Gdiplus::FontFamily> FirstFamily(Gdiplus::PrivateFontCollection& collection) {
  if (collection.GetFamilyCount() < 1) return nullptr;
  Gdiplus::FontFamily family;
  INT found = 0;
  if (collection.GetFamilies(1, &family, &found) != Gdiplus::Ok || found < 1) return nullptr;
  std::unique_ptr<Gdiplus::FontFamily> copy(family.Clone());
  if (copy && copy->GetLastStatus() != Gdiplus::Ok) return nullptr;
  return copy;
}

}  // namespace

void ResourceCache::ImageRecordDelete::operator()(ImgResInfo* record) const {
  delete record->image;
  delete record;
}

ResourceCache::ResourceCache(const PaintWindow& window, std::function<void()> fonts_going)
    : window_(window), fonts_going_(std::move(fonts_going)) {}

ResourceCache::~ResourceCache() {
  for (HANDLE font : gdi_fonts_) ::RemoveFontMemResourceEx(font);
}

// ---- image records ----

ImgResInfo* ResourceCache::AddImage(const wchar_t* name, int frame_count) {
  window_.ui_thread().Check();
  if (name == nullptr || *name == L'\0') return nullptr;
  const CString key(name);
  auto found = by_name_.find(key);
  if (found != by_name_.end()) return found->second.get();
  auto* record = new ImgResInfo;
  record->frame_count = frame_count;
  record->name = key;
  record = FinishRecord(record, MRender::LoadImageFromFile(GetSkinPath(name)));
  if (record) by_name_.emplace(key, ImageRecord(record));
  return record;
}

ImgResInfo* ResourceCache::AddImage(UINT id, const wchar_t* type, int frame_count,
                                    int application) {
  if (application) return AddImage(by_app_id_, id, type, frame_count, Manager::GetInstance());
  return AddImage(by_lib_id_, id, type, frame_count, PaintManager::GetLibraryInstance());
}

ImgResInfo* ResourceCache::AddImage(std::map<UINT, ImageRecord>& table, UINT id,
                                    const wchar_t* type, int frame_count, HINSTANCE module) {
  window_.ui_thread().Check();
  if (type == nullptr) return nullptr;
  auto found = table.find(id);
  if (found != table.end()) return found->second.get();
  auto* record = new ImgResInfo;
  record->frame_count = frame_count;
  record->resource_id = id;
  record = FinishRecord(record, MRender::LoadImageFromIDResource(id, type, module));
  if (record) table.emplace(id, ImageRecord(record));
  return record;
}

void ResourceCache::ClearImages() {
  window_.ui_thread().Check();
  by_app_id_.clear();
  by_lib_id_.clear();
  by_name_.clear();
}

size_t ResourceCache::ImageCount() const {
  return by_name_.size() + by_app_id_.size() + by_lib_id_.size();
}

// ---- fonts ----

void ResourceCache::AddGdiFont(UINT id) {
  window_.ui_thread().Check();
  const void* data = nullptr;
  DWORD size = 0;
  if (!LibraryResource(id, L"TTF", &data, &size)) return;
  DWORD installed = 0;
  HANDLE font = ::AddFontMemResourceEx(const_cast<void*>(data), size, nullptr, &installed);
  if (font != nullptr) gdi_fonts_.push_back(font);
}

Gdiplus::FontFamily* ResourceCache::AddFont(const wchar_t* name, const wchar_t* path) {
  if (name == nullptr || path == nullptr) return nullptr;
  auto collection = std::make_unique<Gdiplus::PrivateFontCollection>();
  const Gdiplus::Status added = collection->AddFontFile(path);
  return KeepFont(name, std::move(collection), added);
}

Gdiplus::FontFamily* ResourceCache::AddFont(const wchar_t* name, UINT id) {
  const void* data = nullptr;
  DWORD size = 0;
  if (name == nullptr || !LibraryResource(id, L"TTF", &data, &size)) return nullptr;
  auto collection = std::make_unique<Gdiplus::PrivateFontCollection>();
  const Gdiplus::Status added = collection->AddMemoryFont(data, static_cast<INT>(size));
  return KeepFont(name, std::move(collection), added);
}

// On success files the collection's first family under `name`.
Gdiplus::FontFamily* ResourceCache::KeepFont(
    const wchar_t* name, std::unique_ptr<Gdiplus::PrivateFontCollection> collection,
    Gdiplus::Status added) {
  window_.ui_thread().Check();
  std::unique_ptr<Gdiplus::FontFamily> family =
      added == Gdiplus::Ok ? FirstFamily(*collection) : nullptr;
  if (family == nullptr) return nullptr;
  collections_.push_back(std::move(collection));
  std::unique_ptr<Gdiplus::FontFamily>& slot = fonts_[CString(name)];
  if (slot && fonts_going_) fonts_going_();
  slot = std::move(family);
  return slot.get();
}

Gdiplus::FontFamily* ResourceCache::FindFont() {
  window_.ui_thread().Check();
  const CString current = Manager::GetFontName();
  auto found = fonts_.find(current);
  if (found != fonts_.end()) return found->second.get();
  auto family = std::make_unique<Gdiplus::FontFamily>(current.GetString());
  if (family->GetLastStatus() != Gdiplus::Ok) return nullptr;
  return fonts_.emplace(current, std::move(family)).first->second.get();
}

void ResourceCache::ClearFonts() {
  window_.ui_thread().Check();
  if (fonts_going_) fonts_going_();
  fonts_.clear();
  collections_.clear();
  for (HANDLE font : gdi_fonts_) ::RemoveFontMemResourceEx(font);
  gdi_fonts_.clear();
}

size_t ResourceCache::GdiFontCount() const { return gdi_fonts_.size(); }

}  // namespace Zentu
