// The main window's start-up, layout, mouse handling, timers and message dispatch.
#include "app/shell/device_main_dlg.h"

#include <dbt.h>

#include "app/device/device_arrival.h"
#include "app/device/device_manager.h"
#include "app/shell/folder_trust.h"
#include "app/shell/message_box.h"
#include "app/shell/placement.h"
#include "app/shell/shell_constants.h"
#include "app/shell/worker_win.h"
#include "app/system/log.h"
#include "app/system/settings.h"
#include "app/update/update_config.h"

namespace calorix {

using Zentu::CPoint;
using Zentu::CRect;

namespace {

// Pop-up, visible, clip siblings and children (0x96000000); a tool window has no task-bar
// button.
constexpr DWORD kMainStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

}  // namespace

UINT DeviceMainDlg::CreateAndRun() {
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const ScreenRect home = HomeRect({work.left, work.top, work.right, work.bottom});
  LogPrint(Info, "screen_width: %d, screen_height: %d, workArea(%d-%d-%d-%d)", width, height,
           static_cast<int>(work.left), static_cast<int>(work.top), static_cast<int>(work.right),
           static_cast<int>(work.bottom));
  Create(nullptr, kWindowTitle, kMainStyle, WS_EX_TOOLWINDOW,
         CRect(home.left, home.top, home.right, home.bottom));
  // Not hidden again: creation and initialisation have shown the window, and a hiding show
  // command here would leave the program without a window until the tray is clicked.
  return ShowModal(SW_SHOWNA);
}

int DeviceMainDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  // Also called when creation failed: then nothing is started and the loop ends at once.
  if (!IsAlive()) return 1;
  m_nLedSwitch = ReadSetting(kLedSwitch);
  if (m_nLedSwitch == 0) {
    WriteSetting(kLedSwitch, L"1");
    m_nLedSwitch = 1;
  }
  m_nDeviceType = ReadSetting(kDeviceType);
  m_nTempeType = ReadSetting(kTempeType);
  LoadBackground();
  CreateStartupTaskIfTrusted();
  // A started server publishes within seconds: the worker looks for it sooner meanwhile.
  m_server.Attach(GetSafeHwnd(), [this] { m_worker.LookSoon(); });
  m_server.StartServer();
  SetUpTray();
  SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
  UpdateLinks links;
  links.window = GetSafeHwnd();
  links.message_box = [](const std::wstring& text, const std::wstring& title, int style) {
    return ShowMessageBox(text.c_str(), title.c_str(), style);
  };
  m_update.emplace(UpdateBaseUrl(), std::move(links));
  StartWorker();
  m_server.StartWatching();
  return 1;
}

void DeviceMainDlg::SetUpTray() {
  const HWND window = GetSafeHwnd();
  MarkMainWindow(window);
  AcceptTaskbarCreated(window);
  m_tray.Add(window, TrayIconFile());
  SetIcon(kProgramIconId);
  SetTimer(TIMER_TRAY_READD, kTrayReAddMs);
  DisableInputMethod(window);
  RegisterDeviceNotifications(window);
}

void DeviceMainDlg::StartWorker() {
  ConnectMainWindowWorker(
      m_worker, GetSafeHwnd(), m_temperature,
      [this] { return m_nTempeType.load(std::memory_order_relaxed); },
      [this] { return m_nDeviceType.load(std::memory_order_relaxed); }, &m_arrived);
  m_update->Connect(m_worker);
  m_worker.Start();
  m_worker.Append(WorkerCommand::CheckSoftwareQuiet);
  m_worker.Append(WorkerCommand::RefreshDevices);
  m_worker.Append(WorkerCommand::CheckFirmwareQuiet);
}

void DeviceMainDlg::InitUI(CRect client) {
  SetLayeredWindow(1);
  EnableDrawInfo(1);
  m_pCloseButton =
      static_cast<Zentu::MPicture*>(CreateArea(L"MPicture", kCloseButtonId, CRect(), L"", 1, 1));
  if (m_pCloseButton) m_pCloseButton->SetImage(L"img_btn_close.png", 1);
  UISize(client);
}

void DeviceMainDlg::UISize(CRect client) {
  if (client.Width() <= 10) return;
  m_rcClose = CRect(295, 25, 313, 42);
  if (m_pCloseButton) m_pCloseButton->SetRect(m_rcClose);
  m_rcUnit = CRect(40, 155, client.right - 40, client.bottom - 40);
}

void DeviceMainDlg::LoadBackground() {
  // By what the reports show: with no adapter named, "GPU" falls back to the CPU's value.
  const bool fahrenheit = m_nTempeType.load() != 0;
  if (m_shownSource == ReadingSource::kGpu) {
    LoadBKImage(fahrenheit ? L"img_gpu_bkg6.png" : L"img_gpu_bkg5.png");
  } else {
    LoadBKImage(fahrenheit ? L"img_cpu_bkg6.png" : L"img_cpu_bkg5.png");
  }
}

int DeviceMainDlg::OnMouseMove(unsigned flags, CPoint point) {
  const int result = MDialog::OnMouseMove(flags, point);
  const int hover = m_rcClose.PtInRect(point) ? 1 : 0;
  if (hover != m_bCloseHover) {
    m_bCloseHover = hover;
    Invalidate(FALSE);
  }
  return result;
}

int DeviceMainDlg::OnLButtonDown(unsigned flags, CPoint point) {
  const int result = MDialog::OnLButtonDown(flags, point);
  if (m_rcUnit.PtInRect(point)) {
    const int unit = m_nTempeType.load() ? 0 : 1;
    m_nTempeType = unit;
    WriteSetting(kTempeType, unit ? L"1" : L"0");
  } else if (m_rcClose.PtInRect(point)) {
    ShowWindow(SW_HIDE);
  }
  LoadBackground();
  Invalidate(FALSE);
  return result;
}

void DeviceMainDlg::OnTimer(unsigned id) {
  if (id == TIMER_TRAY_READD) {
    ReAddTrayIcon();
  } else {
    m_server.OnTimer(id, m_temperature.Block());
  }
}

int DeviceMainDlg::OnDestroy() {
  CloseMessageBoxes();
  return MDialog::OnDestroy();
}

void DeviceMainDlg::ReAddTrayIcon() {
  KillTimer(TIMER_TRAY_READD);
  AddTrayIconAgain();
  MoveHome(GetSafeHwnd());
  Invalidate(FALSE);
}

void DeviceMainDlg::AddTrayIconAgain() {
  m_tray.Remove();
  m_tray.Add(GetSafeHwnd(), TrayIconFile());
}

LRESULT DeviceMainDlg::OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == TaskbarCreatedMessage()) {
    // The new task bar knows no icon: ours is added again, however often the shell restarts.
    AddTrayIconAgain();
    LogPrint(Info, "task bar recreated: tray icon added again");
    return 0;
  }
  switch (msg) {
    case WM_DEVICECHANGE:
      return OnDeviceChange(
          wparam, lparam,
          [this, wparam](WorkerCommand c) {
            m_worker.Append(c);
            // A display just plugged in shows a number as soon as one can be read.
            if (wparam == DBT_DEVICEARRIVAL) m_worker.LookSoon();
          },
          m_arrived);
    case WM_SERVER_ENDED:
      m_server.OnCopyEnded();
      return 0;
    case WM_TRAY_NOTIFY:
      return OnTray(lparam);
    case WM_UPDATE_RESULT:
      return m_update ? m_update->OnUpdateResult(wparam, lparam) : 0;
    case WM_UPDATE_STARTED:
      EndProgram(ExitReason::kUpdateStarted);
      return 0;
    case WM_READING_SOURCE:
      OnReadingSource(wparam);
      return 0;
    case WM_POWERBROADCAST:
      return OnPowerBroadcast(wparam, lparam);
    case WM_COMMAND:
      return OnCommand(wparam, lparam);
    default:
      return MDialog::OnWindowMessage(msg, wparam, lparam);
  }
}

LRESULT DeviceMainDlg::OnTray(LPARAM mouse_message) {
  // The GPU entry is offered only while the block names an adapter to show.
  const auto show_gpu = [this]() -> std::optional<bool> {
    const TemperatureBlock* block = m_temperature.Block();
    if (!block || !NamesAnAdapter(*block)) return std::nullopt;
    return m_nDeviceType.load() == kDeviceTypeGpu;
  };
  return OnTrayNotify(
      GetSafeHwnd(), mouse_message, [] { return DeviceManager::Instance().DeviceCount(); },
      show_gpu);
}

LRESULT DeviceMainDlg::OnPowerBroadcast(WPARAM event, LPARAM data) {
  if (event != PBT_APMRESUMEAUTOMATIC && event != PBT_APMRESUMESUSPEND) {
    return MDialog::OnWindowMessage(WM_POWERBROADCAST, event, data);
  }
  // Displays may have been replugged or reset while the system slept, and their open handles
  // gone stale without a device notification.
  m_worker.Append(WorkerCommand::RefreshDevices);
  m_worker.LookSoon();  // the server's readings resume with the system
  LogPrint(Info, "resumed from sleep: device refresh queued");
  return TRUE;
}

void DeviceMainDlg::OnReadingSource(WPARAM source) {
  m_shownSource = static_cast<ReadingSource>(source == 1 ? 1 : 0);
  LoadBackground();
  Invalidate(FALSE);
}

void DeviceMainDlg::ToggleDeviceType() {
  const int type = m_nDeviceType.load() == kDeviceTypeGpu ? 0 : kDeviceTypeGpu;
  m_nDeviceType = type;
  WriteSetting(kDeviceType, type ? L"1" : L"0");
  LogPrint(Info, "device_type set to %d", type);
}

LRESULT DeviceMainDlg::OnCommand(WPARAM wparam, LPARAM lparam) {
  // The whole word parameter is compared, not only its low half.
  switch (wparam) {
    case kCommandExit:
      EndProgram(ExitReason::kTrayExit);
      return 0;
    case kCommandCheckFirmware:
      m_worker.Append(WorkerCommand::CheckFirmware);
      break;
    case kCommandCheckSoftware:
      m_worker.Append(WorkerCommand::CheckSoftware);
      break;
    case kCommandShowGpu:
      ToggleDeviceType();
      break;
    default:
      break;
  }
  return MDialog::OnWindowMessage(WM_COMMAND, wparam, lparam);
}

void DeviceMainDlg::EndProgram(ExitReason reason) {
  if (m_endRequested) return;
  m_endRequested = reason;
  LogPrint(Info, "ending: %s", PlanFor(reason).name);
  m_tray.Remove();
  DestroyWindow();
}

void DeviceMainDlg::Stop() {
  m_worker.Stop();
  m_tray.Remove();
  DestroyWindow();
}

bool DeviceMainDlg::WaitForWorker(std::chrono::milliseconds wait) { return m_worker.Stop(wait); }

}  // namespace calorix
