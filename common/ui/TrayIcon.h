// CTrayIcon: one icon in the notification area, with its tooltip and balloons.
#pragma once

#include <windows.h>

#include <shellapi.h>

namespace ui {

class CTrayIcon {
 public:
  CTrayIcon();
  // Removes the icon if it is still shown.
  ~CTrayIcon();

  CTrayIcon(const CTrayIcon&) = delete;
  CTrayIcon& operator=(const CTrayIcon&) = delete;

  // Shows the icon: owner receives callbackMessage with the mouse event in the second parameter.
  // The tooltip is cut to the record's 128 bytes. Returns false when the shell refused (no
  // notification area); the record is kept, so Restore can add it later.
  bool Add(HWND owner, UINT id, UINT callbackMessage, HICON icon, const char* tip);
  // Adds the icon again after the shell restarted ("TaskbarCreated"). False when never added.
  bool Restore();
  bool SetIcon(HICON icon);
  bool SetTip(const char* tip);
  // A balloon with that title and text (cut to 64 and 256 bytes) and no balloon icon.
  bool ShowBalloon(const char* title, const char* text, UINT timeout);
  // Removes the icon; nothing happens when it is not shown.
  void Remove();

  bool IsAdded() const { return m_added; }
  const NOTIFYICONDATAA& Data() const { return m_data; }

  // The message the shell broadcasts when the taskbar is created again.
  static UINT TaskbarCreatedMessage();

 private:
  NOTIFYICONDATAA m_data;
  bool m_added = false;
};

}  // namespace ui
