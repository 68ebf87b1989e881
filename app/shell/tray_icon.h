// The main window's notification-area icon, its menu and the shell set-up around it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <optional>
#include <string>

namespace calorix {

inline constexpr UINT kTrayIconId = 109;

class TrayIcon {
 public:
  TrayIcon();
  ~TrayIcon();  // removes the icon if it is shown
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Fills the record for `window` and adds the icon loaded from `icon_file` (the skin
  // folder's "Calorix.ico"). A missing file adds an icon without a picture, which is shown
  // and removed like any other. Returns whether the shell took the icon.
  bool Add(HWND window, const std::wstring& icon_file);
  // Deletes the icon from the notification area if the shell took it.
  void Remove();
  bool IsShown() const { return added_; }
  const NOTIFYICONDATAW& record() const { return record_; }

 private:
  NOTIFYICONDATAW record_{};  // its hIcon is owned: destroyed on Remove
  // Not the icon handle: an icon without a picture is in the notification area all the same.
  bool added_ = false;
};

// The skin folder's "Calorix.ico" beside the running program.
std::wstring TrayIconFile();

// Marks the window as the running instance's main window (property "KEM" = 1).
void MarkMainWindow(HWND window);
// Closes and detaches the window's input context, so no input method can open in it.
void DisableInputMethod(HWND window);
// The running instance's main window: the first top-level window carrying the "KEM"
// property, or null.
HWND FindMainWindow();

// Moves the window to its home rectangle in the current work area, with repaint.
void MoveHome(HWND window);
// A left click on the icon: foreground, shown, updated and raised, at home.
void ShowAtHome(HWND window);
// The right-click menu: "Version: 1.0.0.9", "<n> Device", "Exit". While `show_gpu` holds a
// value, "Show GPU temperature" stands before "Exit", checked when the value is true. A chosen
// item arrives at `window` as WM_COMMAND with its id.
void ShowTrayMenu(HWND window, int device_count, std::optional<bool> show_gpu = std::nullopt);
// WM_TRAY_NOTIFY: `mouse_message` is its long parameter. Returns 0.
LRESULT OnTrayNotify(HWND window, LPARAM mouse_message, const std::function<int()>& device_count,
                     const std::function<std::optional<bool>()>& show_gpu = nullptr);

// The shell's registered "TaskbarCreated" message: it broadcasts it when the task bar has
// been recreated (after the shell restarted) and every icon has to be added again.
UINT TaskbarCreatedMessage();
// Lets the broadcast reach `window` although the program runs elevated and the shell does not.
void AcceptTaskbarCreated(HWND window);

}  // namespace calorix
