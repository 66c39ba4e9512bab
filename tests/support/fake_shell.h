#pragma once
// A MainShell double for screens tested without the main window.

#include <QString>

#include "app/main_shell.h"

namespace kovrix::test {

class FakeShell final : public MainShell {
 public:
  QString statusText;
  QString port = QStringLiteral("ttyS0");
  QString speed = QStringLiteral("9600");
  int disconnectedShown = 0;
  int statusBytesOpened = 0;

  void SetStatusText(const QString& text) override { statusText = text; }
  void ShowDisconnected() override { ++disconnectedShown; }
  QString PortText() const override { return port; }
  QString SpeedText() const override { return speed; }
  bool SelectSpeed(const QString& s) override {
    speed = s;
    return true;
  }
  void OpenStatusBytes() override { ++statusBytesOpened; }
};

}  // namespace kovrix::test
