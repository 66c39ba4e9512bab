#pragma once
// What the screens may ask of the main window: its status bar, its port boxes, its disconnected
// look, and the shared status-bytes screen.

#include <QString>

namespace kovrix {

class MainShell {
 public:
  virtual ~MainShell() = default;

  /// Sets the main window's status-bar text.
  virtual void SetStatusText(const QString& text) = 0;
  /// Puts the main window into its disconnected look (after a screen closed the port).
  virtual void ShowDisconnected() = 0;
  /// Answers the registrator port box text.
  virtual QString PortText() const = 0;
  /// Answers the registrator speed list text.
  virtual QString SpeedText() const = 0;
  /// Selects a speed in the registrator speed list; answers false when the list has no such entry.
  virtual bool SelectSpeed(const QString& speed) = 0;
  /// Opens the status-bytes screen modally over the latest reply.
  virtual void OpenStatusBytes() = 0;
};

}  // namespace kovrix
