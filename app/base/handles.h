// The kernel, registry and module handles the programs own, as UniqueHandle traits.
#pragma once

#include <windows.h>

#include "app/base/unique_handle.h"

namespace calorix {

struct KernelHandleTraits {  // CreateEvent, CreateThread, OpenProcess, CreateFileMapping, ...
  using type = HANDLE;
  static type invalid() { return nullptr; }
  void close(type h) const { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile, CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE on failure
  using type = HANDLE;
  static type invalid() { return INVALID_HANDLE_VALUE; }
  void close(type h) const { ::CloseHandle(h); }
};
struct RegKeyTraits {
  using type = HKEY;
  static type invalid() { return nullptr; }
  void close(type h) const { ::RegCloseKey(h); }
};
struct ModuleTraits {  // LoadLibrary
  using type = HMODULE;
  static type invalid() { return nullptr; }
  void close(type h) const { ::FreeLibrary(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;

}  // namespace calorix
