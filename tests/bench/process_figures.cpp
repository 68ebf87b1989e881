// What Windows' own interfaces report about running processes, seen from another process:
// CPU times, memory counters, context switches and the committed address space by type.
// A benchmark helper for program_figures.py; it prints figures and asserts nothing.
//
//   process_figures [--regions] NAME...
//
// For every running process whose executable is NAME, one "process" line of key=value pairs
// and, with --regions, one "region BASE SIZE TYPE" line per committed region (hex, TYPE one
// of private, image, mapped), from which the caller counts the resident pages of each type.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// The documented 32-bit layouts behind SystemProcessInformation (class 5); mingw-w64's
// winternl.h leaves out the thread records and most counters.
struct ThreadRecord {
  LARGE_INTEGER kernel_time;
  LARGE_INTEGER user_time;
  LARGE_INTEGER create_time;
  ULONG wait_time;
  void* start_address;
  HANDLE client_process;
  HANDLE client_thread;
  LONG priority;
  LONG base_priority;
  ULONG context_switches;
  ULONG state;
  ULONG wait_reason;
};

struct ProcessRecord {
  ULONG next_entry_offset;
  ULONG thread_count;
  LARGE_INTEGER reserved1[3];
  LARGE_INTEGER create_time;
  LARGE_INTEGER user_time;
  LARGE_INTEGER kernel_time;
  USHORT name_length;
  USHORT name_capacity;
  wchar_t* name;
  LONG base_priority;
  HANDLE process_id;
  HANDLE parent_id;
  ULONG handle_count;
  ULONG session_id;
  ULONG_PTR key;
  SIZE_T counters[12];  // the virtual-memory counters, ending with the private page count
  LARGE_INTEGER io[6];
  ThreadRecord threads[1];
};
#ifndef _WIN64
static_assert(sizeof(ThreadRecord) == 0x40);
static_assert(offsetof(ProcessRecord, threads) == 0xB8);
#endif

using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

// Thread count and the sum of the threads' context switches, as the system's process list
// reports them; -1 when the list cannot be read.
struct Switches {
  long long context_switches = -1;
  unsigned threads = 0;
};

Switches ReadSwitches(DWORD pid) {
  auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  Switches found;
  if (!query) return found;
  std::vector<std::uint64_t> buffer(1 << 16);  // 8-byte aligned, grown below
  ULONG needed = 0;
  LONG status;
  while ((status = query(5, buffer.data(), static_cast<ULONG>(buffer.size() * 8), &needed)) ==
         static_cast<LONG>(0xC0000004))  // STATUS_INFO_LENGTH_MISMATCH
    buffer.resize(buffer.size() * 2);
  if (status < 0) return found;
  const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
  for (std::size_t at = 0;;) {
    const auto* record = reinterpret_cast<const ProcessRecord*>(bytes + at);
    if (reinterpret_cast<std::uintptr_t>(record->process_id) == pid) {
      found.context_switches = 0;
      found.threads = record->thread_count;
      for (ULONG t = 0; t < record->thread_count; ++t)
        found.context_switches += record->threads[t].context_switches;
      return found;
    }
    if (record->next_entry_offset == 0) return found;
    at += record->next_entry_offset;
  }
}

double Ms(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 10000.0;
}

const char* TypeName(DWORD type) {
  switch (type) {
    case MEM_PRIVATE:
      return "private";
    case MEM_IMAGE:
      return "image";
    default:
      return "mapped";
  }
}

// Committed bytes by type; prints every committed region when `regions` is set.
void WalkAddressSpace(HANDLE process, bool regions) {
  SIZE_T committed[3] = {};
  MEMORY_BASIC_INFORMATION info;
  for (const char* at = nullptr; ::VirtualQueryEx(process, at, &info, sizeof info) == sizeof info;
       at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State != MEM_COMMIT) continue;
    const int slot = info.Type == MEM_PRIVATE ? 0 : info.Type == MEM_IMAGE ? 1 : 2;
    committed[slot] += info.RegionSize;
    if (regions)
      std::printf("region %lx %lx %s\n",
                  static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(info.BaseAddress)),
                  static_cast<unsigned long>(info.RegionSize), TypeName(info.Type));
  }
  std::printf(" committed_private=%lu committed_image=%lu committed_mapped=%lu\n",
              static_cast<unsigned long>(committed[0]), static_cast<unsigned long>(committed[1]),
              static_cast<unsigned long>(committed[2]));
}

void Report(const PROCESSENTRY32W& entry, bool regions) {
  HANDLE process =
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID);
  std::printf("process %ls pid=%lu", entry.szExeFile, entry.th32ProcessID);
  if (!process) {
    std::printf(" open_error=%lu\n", ::GetLastError());
    return;
  }
  FILETIME created, ended, kernel{}, user{};
  ::GetProcessTimes(process, &created, &ended, &kernel, &user);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  ::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
  const Switches switches = ReadSwitches(entry.th32ProcessID);
  std::printf(
      " kernel_ms=%.1f user_ms=%.1f private_usage=%lu working_set=%lu threads=%u"
      " context_switches=%lld",
      Ms(kernel), Ms(user), static_cast<unsigned long>(memory.PrivateUsage),
      static_cast<unsigned long>(memory.WorkingSetSize), switches.threads,
      switches.context_switches);
  if (regions) std::printf("\n");
  WalkAddressSpace(process, regions);
  ::CloseHandle(process);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool regions = false;
  std::vector<std::wstring> names;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--regions") == 0)
      regions = true;
    else
      names.emplace_back(argv[i]);
  }
  if (names.empty()) {
    std::fprintf(stderr, "usage: process_figures [--regions] NAME...\n");
    return 2;
  }
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry)) {
    for (const auto& name : names)
      if (::lstrcmpiW(entry.szExeFile, name.c_str()) == 0) Report(entry, regions);
  }
  ::CloseHandle(snapshot);
  return 0;
}
