// CalorixDiag's pieces: the status report, the display commands and the helpers they share.
#pragma once

#include <windows.h>

#include <string>

#include "app/temperature/temperature_block.h"
#include "server/core/block.h"
#include "tools/calorix_diag/diag.h"

namespace calorix::diag {

// The named block, mapped read-only by the program's own routine; unmapped and closed again
// when this goes away, so the block lives on only while a server or the tray program holds it.
class BlockView {
 public:
  BlockView();
  ~BlockView();
  BlockView(const BlockView&) = delete;
  BlockView& operator=(const BlockView&) = delete;
  const TemperatureBlock* block() const { return static_cast<const TemperatureBlock*>(view_); }
  bool created_new() const { return created_new_; }

 private:
  HANDLE mapping_ = nullptr;  // owned
  LPVOID view_ = nullptr;     // owned
  bool created_new_ = false;
};

// Whether HKCU\SOFTWARE\KEM exists; never creates it.
bool SettingsStored();
// "tempe_type" when the user's settings exist, else Celsius; never creates the key.
int StoredUnit();
// One adapter, as `GPU "name" 48.5 C`, or `GPU none` when no adapter is named.
std::string AdapterText(const TemperatureBlock& block);
// The reading and the three digits the program would send for it in `unit`.
std::string CpuText(float celsius, int unit);
// Where the server's value comes from: `HWiNFO, "CPU Package"`, or that there is none.
std::string SourceText(const kalvaro::SourceTagText& tag);

// Whether the tray program's single-instance mutex exists.
bool TrayProgramRuns();

int Status(const Streams& io);
int Show(int value, const Streams& io);
int Sweep(int interval_ms, const Streams& io);
int Watch(int interval_ms, long long count, const Streams& io);
// Every temperature reading of every monitor found; 1 when no monitor is found.
int Sensors(const Streams& io);
int RemoveTask(const Streams& io);
// Terminates every running Calorix.exe, then every Kalvaro.exe (the tray program's "Exit"
// leaves its server running, and a running program holds its file), and waits until each has
// gone.
int EndProgram(const Streams& io);

// Waits `ms`, or less when a stop is requested; true when stopped.
bool WaitOrStop(int ms);

}  // namespace calorix::diag
