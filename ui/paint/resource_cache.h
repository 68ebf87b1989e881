// ResourceCache: a window's shared image records and temporary fonts.
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "ui/core/cstring.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

class PaintWindow;

// One decoded image shared by every control of a manager that asks for it.
struct ZENTU_API ImgResInfo {
  Gdiplus::Image* image = nullptr;  // owned
  int frame_width = 0;              // image width / frame count
  int frame_height = 0;
  int frame_count = 1;   // the count of the first request
  CString name;          // file name, for records made from files
  UINT resource_id = 0;  // for records made from resources
};

// UI thread only: controls ask for their images and fonts as they are made and drawn.
class ResourceCache {
 public:
  // `fonts_going` runs before a family is replaced or the fonts are cleared: what was made
  // from them must go first.
  ResourceCache(const PaintWindow& window, std::function<void()> fonts_going);
  ResourceCache(const ResourceCache&) = delete;
  ResourceCache& operator=(const ResourceCache&) = delete;
  ~ResourceCache();

  // One record per skin file name or per resource id of a module; null when it won't load.
  ImgResInfo* AddImage(const wchar_t* name, int frame_count);
  ImgResInfo* AddImage(UINT id, const wchar_t* type, int frame_count, int application);
  void ClearImages();
  size_t ImageCount() const;

  // The library's font resource `id`, for GDI.
  void AddGdiFont(UINT id);
  Gdiplus::FontFamily* AddFont(const wchar_t* name, const wchar_t* path);
  Gdiplus::FontFamily* AddFont(const wchar_t* name, UINT id);
  // The family of the library's current text font (Manager::GetFontName).
  Gdiplus::FontFamily* FindFont();
  void ClearFonts();
  size_t GdiFontCount() const;

 private:
  struct ImageRecordDelete {
    void operator()(ImgResInfo* record) const;
  };
  using ImageRecord = std::unique_ptr<ImgResInfo, ImageRecordDelete>;
  ImgResInfo* AddImage(std::map<UINT, ImageRecord>& table, UINT id, const wchar_t* type,
                       int frame_count, HINSTANCE module);
  Gdiplus::FontFamily* KeepFont(const wchar_t* name,
                                std::unique_ptr<Gdiplus::PrivateFontCollection> collection,
                                Gdiplus::Status added);

  const PaintWindow& window_;
  std::function<void()> fonts_going_;
  std::map<CString, ImageRecord> by_name_;
  std::map<UINT, ImageRecord> by_app_id_;
  std::map<UINT, ImageRecord> by_lib_id_;
  // They back the families of fonts_, so they go after them.
  std::vector<std::unique_ptr<Gdiplus::PrivateFontCollection>> collections_;
  std::map<CString, std::unique_ptr<Gdiplus::FontFamily>> fonts_;
  std::vector<HANDLE> gdi_fonts_;  // owned: AddFontMemResourceEx handles
};

}  // namespace Zentu
