#pragma once
// The screen "Программирование фискальных параметров", standard (TForm18) and extended-tax
// (TForm37): reads the serial, fiscal, identification and tax numbers and the five taxes, and
// programs the groups that the confirmation dialog names, reporting each in the result dialog.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <optional>
#include <string>

#include "app/screen.h"
#include "screens/programming/fiscal_dialogs.h"

namespace kovrix {

class LongRun;

/// Answers the texts of the tax types a screen offers (four, or eight on the extended screen).
QStringList TaxTypeNames(bool extended);

/// Answers the linked-group list of tax row `row`: "Налог А".."Налог Д", the row's own place
/// reading "Отсутствует".
QStringList LinkedGroupNames(int row);

/// Answers the wire value of a linked-group list position for tax row `row`: -1 for the row's own
/// position ("Отсутствует"), the position otherwise.
int LinkOfPosition(int row, int position);

/// Answers the list position of a linked group read from the device: the row's own position for
/// -1, the group for 0..4, nothing for any other text.
std::optional<int> PositionOfLink(int row, const std::string& field);

class FiscalParameters : public Screen {
  Q_OBJECT

 public:
  static constexpr int kTaxes = 5;

  FiscalParameters(ScreenContext& context, ProgrammingConfirmation& confirmation, OperationResult& result,
                   bool extended, QWidget* parent = nullptr);

  bool Extended() const { return extended_; }
  QComboBox* TypeBox(int n) const { return types_[static_cast<std::size_t>(n)]; }
  QLineEdit* RateBox(int n) const { return rates_[static_cast<std::size_t>(n)]; }
  QLineEdit* NameBox(int n) const { return names_[static_cast<std::size_t>(n)]; }
  /// The linked-group list of a row (extended screen only; null on the standard one).
  QComboBox* LinkBox(int n) const { return links_[static_cast<std::size_t>(n)]; }
  QLineEdit* SerialBox() const { return serial_; }
  QLineEdit* IdBox() const { return id_; }
  QLineEdit* TaxNumberBox() const { return taxNumber_; }
  QLineEdit* FiscalNumberBox() const { return fiscalNumber_; }
  QLineEdit* PasswordBox() const { return password_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* ProgramButton() const { return program_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  void Activate() override;

 private:
  void Read();
  void Program();
  bool CheckBeforeProgramming(bool taxes, bool fiscalNumber, bool taxId);
  ProgrammingOutcome ProgramTaxes(LongRun& run);
  ProgrammingOutcome ProgramFiscalNumber();
  ProgrammingOutcome ProgramTaxId();
  bool NumberCommandPassed(const char* function);
  std::string Password() const;

  ProgrammingConfirmation& confirmation_;
  OperationResult& result_;
  bool extended_;
  std::array<QComboBox*, kTaxes> types_{};
  std::array<QLineEdit*, kTaxes> rates_{};
  std::array<QLineEdit*, kTaxes> names_{};
  std::array<QComboBox*, kTaxes> links_{};
  QLineEdit* serial_ = nullptr;
  QLabel* idMark_ = nullptr;
  QLineEdit* id_ = nullptr;
  QLineEdit* taxNumber_ = nullptr;
  QLineEdit* fiscalNumber_ = nullptr;
  QLineEdit* password_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* program_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
