// DeviceMainDlg: the tray program's main window and the hub that starts and owns its parts.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <optional>

#include "app/device/device_arrival.h"
#include "app/shell/exit_plan.h"
#include "app/shell/server_watch.h"
#include "app/shell/tray_icon.h"
#include "app/shell/worker.h"
#include "app/temperature/temperature_mapping.h"
#include "app/update/update_service.h"
#include "ui/controls/mpicture.h"
#include "ui/core/mdialog.h"

namespace calorix {

inline constexpr unsigned kCloseButtonId = 31;

// A 340 x 250 layered pop-up at the bottom right of the work area, always on top, without a
// task-bar button. Its background shows the unit, the library draws the temperature over
// it, a click in the unit area switches the unit and the close button hides the window.
// Its initialisation starts the start-up task, the monitor server, the tray icon, the
// device notifications, the worker and the timers; its window procedure receives the
// device changes, tray callbacks, update results and commands, and the shell's and the
// system's notices of a recreated task bar and of a resume from sleep.
class DeviceMainDlg : public Zentu::MDialog {
 public:
  DeviceMainDlg() = default;
  // The worker's thread must have ended (see Stop and WaitForWorker): its destructor waits
  // for it without a limit. Removes the tray icon if it is still shown.
  ~DeviceMainDlg() override = default;

  LRESULT OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;
  int OnInitDialog() override;
  void InitUI(Zentu::CRect client) override;
  void UISize(Zentu::CRect client) override;
  // Control notifications (OnMessage) and button releases keep the base dialog's handling.
  int OnMouseMove(unsigned flags, Zentu::CPoint point) override;
  int OnLButtonDown(unsigned flags, Zentu::CPoint point) override;
  void OnTimer(unsigned id) override;
  // A message box open on this thread (an update prompt) is closed too: its modal loop runs
  // inside one of this window's handlers and would keep the program alive without its window.
  int OnDestroy() override;
  // Added after every MDialog operation: stops the worker (waiting at most 1000 ms), removes
  // the tray icon and destroys the window, which ends the modal loop.
  virtual void Stop();
  // Every way out: records why, removes the icon and destroys the window; the entry's shutdown
  // then runs on this thread after the modal loop. Only the first reason counts.
  void EndProgram(ExitReason reason);
  ExitReason exit_reason() const { return m_endRequested.value_or(ExitReason::kWindowClosed); }
  // Ends the server copies this program started (never one the user started).
  void EndServer() { m_server.EndStartedCopies(); }

  // Creates the window at home in the work area and runs its modal loop until the window
  // is destroyed; returns what ShowModal returns.
  UINT CreateAndRun();
  // Waits up to `wait` more for a stopped worker's step to end; true once it has.
  bool WaitForWorker(std::chrono::milliseconds wait);

 private:
  void LoadBackground();
  void SetUpTray();
  void StartWorker();
  void ReAddTrayIcon();
  void AddTrayIconAgain();
  LRESULT OnTray(LPARAM mouse_message);
  LRESULT OnPowerBroadcast(WPARAM event, LPARAM data);
  void OnReadingSource(WPARAM source);
  void ToggleDeviceType();
  LRESULT OnCommand(WPARAM wparam, LPARAM lparam);

  Zentu::MPicture* m_pCloseButton = nullptr;  // not owned: the paint manager deletes it
  Zentu::CRect m_rcClose;                     // empty until laid out
  int m_bCloseHover = 0;
  int m_nLedSwitch = 0;  // "led_switch": 1 on, 2 off; only read
  Zentu::CRect m_rcUnit;
  std::atomic<int> m_nDeviceType{0};  // "device_type": 1 GPU; the worker reads it
  std::atomic<int> m_nTempeType{0};   // "tempe_type": 1 Fahrenheit; the worker reads it
  // What the worker's reports show (WM_READING_SOURCE); the background follows it.
  ReadingSource m_shownSource = ReadingSource::kCpu;
  std::optional<ExitReason> m_endRequested;  // set by the first EndProgram
  TrayIcon m_tray;                           // owned; removed by EndProgram, Stop or destruction
  TemperatureMapping m_temperature;          // the block view lives until process exit
  ServerWatch m_server;                      // owned: the server's process and its watchdog
  ArrivedInterfaces m_arrived;               // filled by WM_DEVICECHANGE, checked by the worker
  // Made once the window exists, for the results it posts to it. Holds the update folders
  // and the versions.
  std::optional<UpdateService> m_update;
  // Declared last: destroyed first, so its thread has ended before anything its handlers
  // use (everything above) goes away.
  Worker m_worker;
};

}  // namespace calorix
