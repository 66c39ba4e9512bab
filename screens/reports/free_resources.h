#pragma once
// The dialog "Информация о свободных ресурсах и статусе": reads and shows which fiscal-memory
// writes are still allowed, the emergency resets, the free fiscal reports, article records and
// receipts, and when the current shift was opened. Nothing is printed.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "app/screen.h"
#include "driver/reply.h"

namespace kovrix {

/// Answers whether a permission field reads as the integer 1 (blanks around it allowed).
bool PermissionGranted(const std::string& field);

class FreeResources : public Screen {
  Q_OBJECT

 public:
  /// Number of permission boxes (reply fields 1..6) and of value boxes (fields 7..12).
  static constexpr int kPermissions = 6;
  static constexpr int kValues = 6;

  explicit FreeResources(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  /// Permission box of reply field 1..6.
  QCheckBox* PermissionBox(int field) const { return permissions_.at(static_cast<std::size_t>(field - 1)); }
  /// Value box of reply field 7..12.
  QLineEdit* ValueBox(int field) const { return values_.at(static_cast<std::size_t>(field - 1 - kPermissions)); }
  QPushButton* ReportButton() const { return report_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* CloseButton() const { return close_; }

  /// Fills the twelve result controls from a resources reply; a field the reply lacks leaves its
  /// control empty (unticked).
  void ShowResources(const ReplyRecord& reply);

 protected:
  void Activate() override;

 private:
  void MakeReport();

  QLineEdit* password_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  std::array<QCheckBox*, kPermissions> permissions_{};
  std::array<QLineEdit*, kValues> values_{};
  QPushButton* report_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
