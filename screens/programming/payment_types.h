#pragma once
// The screen "Параметры оплаты" (TForm34): lists every payment type of the registrator with its
// name and permissions, and programs one payment type at a time.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "app/screen.h"

namespace kovrix {

/// Permission bits of a payment type.
inline constexpr int kPaymentSale = 0x01;
inline constexpr int kPaymentRefund = 0x02;
inline constexpr int kPaymentCashChange = 0x80;

/// Answers the permission mask of the three permissions.
int PaymentMask(bool sale, bool refund, bool cashChange);

/// Answers the table texts of a mask field (read as hexadecimal): "Разрешено" or "Запрещено" for
/// sale, refund and change in cash, in that order.
QStringList PaymentPermissionTexts(const std::string& maskField);

class PaymentTypes : public Screen {
  Q_OBJECT

 public:
  explicit PaymentTypes(ScreenContext& context, QWidget* parent = nullptr);

  QTableWidget* Table() const { return table_; }
  QLineEdit* NameBox() const { return name_; }
  QLineEdit* NumberBox() const { return number_; }
  QCheckBox* SaleBox() const { return sale_; }
  QCheckBox* RefundBox() const { return refund_; }
  QCheckBox* ChangeBox() const { return change_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* ExitButton() const { return exit_; }

 protected:
  void Activate() override;

 private:
  void UpdateAddButton();
  void AddPaymentType();
  void ReadPaymentTypes();
  void BlankRows();
  void SetCell(int row, int column, const QString& text);

  bool readFlag_ = false;  // a reading was made: the table stays as read until the program ends
  QTableWidget* table_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* number_ = nullptr;
  QCheckBox* sale_ = nullptr;
  QCheckBox* refund_ = nullptr;
  QCheckBox* change_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* exit_ = nullptr;
};

}  // namespace kovrix
