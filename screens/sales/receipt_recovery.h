#pragma once
// The dialog "Аннулирование и закрытие чека": reads which receipt, if any, the registrator holds
// open (from the third status byte of the diagnostic reply) and offers closing or annulling it as
// that state allows. Every command goes with the default password.

#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <cstdint>

#include "app/screen.h"

namespace kovrix {

/// What the receipt-state byte allows: the status bar text and the two actions.
struct ReceiptStateView {
  QString text;
  bool canClose = false;
  bool canAnnul = false;
  bool operator==(const ReceiptStateView&) const = default;
};

/// Answers the view of status byte 2: its low four bits give the receipt state (0 none, 5 a
/// non-fiscal receipt, other a fiscal one), bit 4 marks a return receipt, bit 2 allows closing.
ReceiptStateView ReceiptStateFor(std::uint8_t statusByte2);

class ReceiptRecovery : public Screen {
  Q_OBJECT

 public:
  explicit ReceiptRecovery(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QStatusBar* StatusBar() const { return statusBar_; }
  QPushButton* CloseReceiptButton() const { return closeReceipt_; }
  QPushButton* AnnulButton() const { return annul_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* ExitButton() const { return exit_; }

 protected:
  void Activate() override;

 private:
  /// Reads the diagnostic information; answers false (having reported) when it failed.
  bool ReadDiagnostics();
  void CloseReceipt();
  void AnnulReceipt();
  void ShowNoReceipt();

  QLineEdit* errorCode_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  QPushButton* closeReceipt_ = nullptr;
  QPushButton* annul_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* exit_ = nullptr;
};

}  // namespace kovrix
