#pragma once
// The dialog "Байты состояния регистратора": the six status bytes of the latest reply bit by bit,
// and the receipt state of byte 2 by name; "Обновить" asks the registrator again.

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <array>

#include "app/screen.h"

namespace kovrix {

class StatusBytesScreen : public Screen {
  Q_OBJECT

 public:
  explicit StatusBytesScreen(ScreenContext& context, QWidget* parent = nullptr);

  /// Sets the captions of status byte 5, bits 0 and 1: the modem models' meanings or "Резерв".
  void SetModemModelCaptions(bool modemModel);
  /// Shows the status bytes of a reply (bits 0..6 as set, bit 7 always checked, receipt state).
  void Fill(const ReplyRecord& reply);

  QCheckBox* BitBox(int byte, int bit) const { return boxes_[static_cast<std::size_t>(byte)][static_cast<std::size_t>(bit)]; }
  QComboBox* ReceiptState() const { return receiptState_; }
  QPushButton* RefreshButton() const { return refresh_; }

 protected:
  void Activate() override;

 private:
  void Refresh();

  std::array<std::array<QCheckBox*, 8>, 6> boxes_{};
  QComboBox* receiptState_ = nullptr;
  QPushButton* refresh_ = nullptr;
};

}  // namespace kovrix
