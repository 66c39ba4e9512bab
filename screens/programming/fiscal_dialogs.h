#pragma once
// The two dialogs of fiscal-parameter programming: the confirmation that chooses what to program
// (TForm22) and the result of each group (TForm36). Both programming screens share one of each.

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace kovrix {

/// What became of one group of fiscal parameters.
enum class ProgrammingOutcome { Success, Error, NotProgrammed };

class ProgrammingConfirmation : public QDialog {
  Q_OBJECT

 public:
  explicit ProgrammingConfirmation(QWidget* parent = nullptr);

  QCheckBox* FiscalNumberBox() const { return fiscalNumber_; }
  QCheckBox* TaxIdBox() const { return taxId_; }
  QCheckBox* TaxesBox() const { return taxes_; }
  /// "Продолжить" accepts; "Отменить" and the window's close box reject (nothing is programmed).
  QPushButton* ContinueButton() const { return continue_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QCheckBox* fiscalNumber_ = nullptr;
  QCheckBox* taxId_ = nullptr;
  QCheckBox* taxes_ = nullptr;
  QPushButton* continue_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

class OperationResult : public QDialog {
  Q_OBJECT

 public:
  explicit OperationResult(QWidget* parent = nullptr);

  /// Writes the three lines for the outcomes of the groups.
  void SetOutcomes(ProgrammingOutcome fiscalNumber, ProgrammingOutcome taxId, ProgrammingOutcome taxes);

  QLabel* FiscalNumberLine() const { return fiscalNumber_; }
  QLabel* TaxIdLine() const { return taxId_; }
  QLabel* TaxesLine() const { return taxes_; }
  QPushButton* ContinueButton() const { return continue_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* fiscalNumber_ = nullptr;
  QLabel* taxId_ = nullptr;
  QLabel* taxes_ = nullptr;
  QPushButton* continue_ = nullptr;
};

}  // namespace kovrix
