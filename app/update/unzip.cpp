// Unpacking one archive entry by entry: header, cleaned name, attributes, times, data.
#include "app/update/unzip.h"

#include <windows.h>

// iowin32.h needs the declarations of unzip.h first.
// clang-format off
#include <unzip.h>
#include <iowin32.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/base/handles.h"
#include "app/system/log.h"
#include "app/update/http_fetch.h"
#include "app/update/zip_entry.h"

namespace calorix {
namespace {

struct ZipTraits {
  using type = unzFile;
  static type invalid() { return nullptr; }
  void close(type h) const { ::unzClose(h); }
};
using UniqueZip = UniqueHandle<ZipTraits>;

constexpr unsigned kInflateChunk = 16384;

// minizip's file functions over a handle the caller opened and keeps: the archive is read
// through the very handle it was downloaded through. The "file name" minizip passes to the
// open function is that handle.
voidpf ZCALLBACK OpenHeld(voidpf, const void* handle, int) { return const_cast<void*>(handle); }
uLong ZCALLBACK ReadHeld(voidpf, voidpf stream, void* buffer, uLong size) {
  DWORD read = 0;
  return ::ReadFile(stream, buffer, size, &read, nullptr) ? read : 0;
}
uLong ZCALLBACK WriteHeld(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK TellHeld(voidpf, voidpf stream) {
  LARGE_INTEGER at{};
  return ::SetFilePointerEx(stream, LARGE_INTEGER{}, &at, FILE_CURRENT)
             ? static_cast<ZPOS64_T>(at.QuadPart)
             : static_cast<ZPOS64_T>(-1);
}
long ZCALLBACK SeekHeld(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  const DWORD method = origin == ZLIB_FILEFUNC_SEEK_SET   ? FILE_BEGIN
                       : origin == ZLIB_FILEFUNC_SEEK_CUR ? FILE_CURRENT
                                                          : FILE_END;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(stream, to, nullptr, method) ? 0 : -1;
}
int ZCALLBACK CloseHeld(voidpf, voidpf) { return 0; }
int ZCALLBACK ErrorHeld(voidpf, voidpf) { return 0; }

zlib_filefunc64_def HeldFileFunctions() {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenHeld;
  functions.zread_file = ReadHeld;
  functions.zwrite_file = WriteHeld;
  functions.ztell64_file = TellHeld;
  functions.zseek64_file = SeekHeld;
  functions.zclose_file = CloseHeld;
  functions.zerror_file = ErrorHeld;
  return functions;
}

struct EntryHeader {
  std::wstring name;  // cleaned, relative
  std::uint32_t attributes = 0;
  std::optional<FILETIME> creation, access, last_write;
  ZPOS64_T size = 0;
};

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FILETIME ToFileTime(std::uint64_t value) {
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

std::wstring FromAnsi(const char* text, std::size_t size) {
  if (size == 0) return {};
  const int chars = ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(chars), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), out.data(), chars);
  return out;
}

// The DOS time is local time; FILETIMEs are UTC.
std::optional<FILETIME> DosTimeToUtc(std::uint32_t dos_date_time) {
  const auto t = DecodeDosDateTime(dos_date_time);
  if (!t) return std::nullopt;
  SYSTEMTIME system{};
  system.wYear = static_cast<WORD>(t->year);
  system.wMonth = static_cast<WORD>(t->month);
  system.wDay = static_cast<WORD>(t->day);
  system.wHour = static_cast<WORD>(t->hour);
  system.wMinute = static_cast<WORD>(t->minute);
  system.wSecond = static_cast<WORD>(t->second);
  FILETIME local{}, utc{};
  if (!::SystemTimeToFileTime(&system, &local) || !::LocalFileTimeToFileTime(&local, &utc))
    return std::nullopt;
  return utc;
}

std::optional<EntryHeader> ReadEntryHeader(unzFile zip) {
  unz_file_info64 info{};
  char stored[kMaxEntryNameBytes] = {};
  if (::unzGetCurrentFileInfo64(zip, &info, stored, sizeof stored, nullptr, 0, nullptr, 0) !=
      UNZ_OK)
    return std::nullopt;
  // minizip cuts a longer name to the buffer; a cut name would be another file's.
  if (info.size_filename >= kMaxEntryNameBytes) {
    LogPrint(Warn, "unzip: skipped an entry with a %lu-byte name", info.size_filename);
    return std::nullopt;
  }
  const std::wstring raw = FromAnsi(stored, info.size_filename);
  auto cleaned = CleanEntryName(raw);
  if (!cleaned) {
    LogPrint(Warn, "unzip: skipped entry \"%s\": not a safe name", LogText(raw).c_str());
    return std::nullopt;
  }
  EntryHeader header;
  header.name = std::move(*cleaned);
  header.attributes = DecodeAttributes(static_cast<unsigned>(info.version >> 8), info.external_fa);
  header.creation = header.access = header.last_write = DosTimeToUtc(info.dosDate);
  header.size = info.uncompressed_size;
  return header;
}

// The local header's "UT" block, read once the entry is open, replaces the times it carries.
void ApplyExtendedTimes(unzFile zip, EntryHeader& header) {
  std::vector<std::uint8_t> extra(0xFFFF);  // the field's size is a 16-bit count
  const int size = ::unzGetLocalExtrafield(zip, extra.data(), static_cast<unsigned>(extra.size()));
  if (size <= 0) return;
  const ExtendedTimes times = ParseExtendedTimestamp(extra.data(), static_cast<std::size_t>(size));
  if (times.modification) header.last_write = ToFileTime(*times.modification);
  if (times.access) header.access = ToFileTime(*times.access);
  if (times.creation) header.creation = ToFileTime(*times.creation);
}

const FILETIME* OrNull(const std::optional<FILETIME>& time) { return time ? &*time : nullptr; }

// Writes the open entry's data to `file`; true when every announced byte arrived intact.
bool InflateInto(unzFile zip, HANDLE file, const EntryHeader& header) {
  std::vector<char> chunk(kInflateChunk);
  ZPOS64_T total = 0;
  for (;;) {
    const int read = ::unzReadCurrentFile(zip, chunk.data(), kInflateChunk);
    if (read < 0) return false;
    if (read == 0) break;
    // More data than the header announced: a lying size, which the caps were checked against.
    if (total + static_cast<ZPOS64_T>(read) > header.size) return false;
    DWORD written = 0;
    if (!::WriteFile(file, chunk.data(), static_cast<DWORD>(read), &written, nullptr) ||
        written != static_cast<DWORD>(read))
      return false;
    total += static_cast<ZPOS64_T>(read);
  }
  ::SetFileTime(file, OrNull(header.creation), OrNull(header.access), OrNull(header.last_write));
  // The checksum is only compared when the announced size was read; a short stream is caught
  // by the count.
  return total == header.size;
}

bool IsReadOnlyFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// Writes one file entry. When `held` is given, a complete file is reopened for reading into it.
bool UnpackFile(unzFile zip, const std::wstring& path, EntryHeader& header,
                UniqueFileHandle* held) {
  // Windows refuses to replace a read-only file; Wine running as root would replace it.
  if (IsReadOnlyFile(path)) {
    LogPrint(Warn, "unzip: \"%s\" is read-only; kept", LogText(path).c_str());
    return false;
  }
  if (::unzOpenCurrentFile(zip) != UNZ_OK) return false;
  ApplyExtendedTimes(zip, header);
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      header.attributes & ~kAttributeFolder, nullptr));
  bool complete = false;
  if (file) {
    complete = InflateInto(zip, file.get(), header);
  } else {
    LogPrint(Warn, "unzip: cannot write \"%s\" (error %lu)", LogText(path).c_str(),
             ::GetLastError());
  }
  const bool checksum_ok = ::unzCloseCurrentFile(zip) == UNZ_OK;
  if (!complete || !checksum_ok) return false;
  if (!held) return true;
  // Writing needs a handle that no program may be started through; only administrators can
  // reach the file between the two opens, and whatever is checked is read through `held`.
  file.reset();
  held->reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(*held);
}

bool IsFolderEntry(const EntryHeader& header) {
  return (header.attributes & kAttributeFolder) || header.name.back() == L'\\';
}

// One entry under `base` (which ends with a separator). True when a file was written whole.
bool UnpackEntry(unzFile zip, const std::wstring& base, EntryHeader& header,
                 UniqueFileHandle* held) {
  const std::wstring path = base + header.name;
  if (path.size() >= MAX_PATH) {
    LogPrint(Warn, "unzip: skipped \"%s\": the path is too long", LogText(header.name).c_str());
    return false;
  }
  if (IsFolderEntry(header)) return CreateFolderChain(path);
  const std::size_t split = header.name.find_last_of(L'\\');
  if (split != std::wstring::npos) CreateFolderChain(base + header.name.substr(0, split));
  if (UnpackFile(zip, path, header, held)) return true;
  LogPrint(Warn, "unzip: \"%s\" is incomplete", LogText(header.name).c_str());
  return false;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The caps an archive's directory goes over, or empty; nothing is unpacked in that case.
std::string OverCap(unzFile zip, ZPOS64_T entries) {
  char text[80];
  if (entries > kMaxArchiveEntries) {
    std::snprintf(text, sizeof text, "more than %llu entries", kMaxArchiveEntries);
    return text;
  }
  unsigned long long total = 0;
  int step = ::unzGoToFirstFile(zip);
  for (ZPOS64_T i = 0; i < entries && step == UNZ_OK; ++i, step = ::unzGoToNextFile(zip)) {
    unz_file_info64 info{};
    if (::unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
      continue;
    if (info.uncompressed_size > kMaxEntryBytes) {
      std::snprintf(text, sizeof text, "an entry of more than %llu MiB", kMaxEntryBytes >> 20);
      return text;
    }
    total += info.uncompressed_size;
    if (total > kMaxUnpackedBytes) {
      std::snprintf(text, sizeof text, "more than %llu MiB unpacked", kMaxUnpackedBytes >> 20);
      return text;
    }
  }
  return {};
}

bool Listed(const std::vector<std::wstring>& names, std::wstring_view name) {
  return std::any_of(names.begin(), names.end(),
                     [name](const std::wstring& listed) { return SameName(listed, name); });
}

// A later entry of the same name replaces the file, so whatever it leaves is what counts.
void Forget(UnzipReport& report, std::wstring_view name) {
  std::erase_if(report.complete, [&](const std::wstring& done) { return SameName(done, name); });
  std::erase_if(report.held, [&](const auto& held) { return SameName(held.first, name); });
}

void UnpackAll(unzFile zip, ZPOS64_T entries, const std::wstring& base,
               const std::vector<std::wstring>& hold, UnzipReport& report) {
  int step = ::unzGoToFirstFile(zip);
  for (ZPOS64_T i = 0; i < entries && step == UNZ_OK; ++i, step = ::unzGoToNextFile(zip)) {
    std::optional<EntryHeader> header = ReadEntryHeader(zip);
    if (header) Forget(report, header->name);
    UniqueFileHandle held;
    const bool holds = header && Listed(hold, header->name);
    if (!header || !UnpackEntry(zip, base, *header, holds ? &held : nullptr)) {
      ++report.skipped;
    } else if (!IsFolderEntry(*header)) {
      report.complete.push_back(header->name);
      if (holds) report.held.emplace_back(header->name, std::move(held));
    }
  }
}

}  // namespace

bool UnzipReport::Contains(std::wstring_view name) const { return Listed(complete, name); }

HANDLE UnzipReport::Held(std::wstring_view name) const {
  for (const auto& [held_name, handle] : held)
    if (SameName(held_name, name)) return handle.get();
  return INVALID_HANDLE_VALUE;
}

bool CreateFolderChain(const std::wstring& path) {
  if (IsFolder(path)) return true;
  // The first backslash follows the drive.
  const std::size_t first = path.find(L'\\');
  for (std::size_t i = path.find(L'\\', first + 1);
       first != std::wstring::npos && i != std::wstring::npos; i = path.find(L'\\', i + 1))
    ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  ::CreateDirectoryW(path.c_str(), nullptr);
  return IsFolder(path);
}

bool UnzipAll(const std::wstring& archive, const std::wstring& destination, UnzipReport* report) {
  const UniqueFileHandle file(::CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
  UnzipReport local;
  return file && UnzipAll(file.get(), destination, {}, report ? report : &local);
}

bool UnzipAll(HANDLE archive, const std::wstring& destination,
              const std::vector<std::wstring>& hold, UnzipReport* report) {
  zlib_filefunc64_def files = HeldFileFunctions();
  UniqueZip zip(::unzOpen2_64(archive, &files));
  if (!zip) return false;
  std::wstring base = destination;
  if (!base.empty() && base.back() != L'\\' && base.back() != L'/') base += L'\\';
  unz_global_info64 global{};
  if (::unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK) global.number_entry = 0;
  report->over_cap = OverCap(zip.get(), global.number_entry);
  if (report->over_cap.empty()) UnpackAll(zip.get(), global.number_entry, base, hold, *report);
  return true;
}

}  // namespace calorix
