#pragma once
// The screen "Заголовок и рекламный текст" (TForm11): edits the ten receipt header lines and the
// four advertising lines with their print widths, programs them into the registrator, reads them
// back and clears them.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <array>

#include "app/screen.h"
#include "app/connection_state.h"

namespace kovrix {

class LongRun;

/// Answers the text a centred line is sent as: trimmed of blanks and control characters at both
/// ends, then preceded by W/2 - n/2 blanks (W/4 - n/2 for a double-width line), none when negative.
QString CenterHeaderLine(const QString& text, int paperWidth, bool doubleWidth);

/// Answers the mode that follows a mode cell's text when the cell is selected; any other text
/// is answered unchanged.
QString NextHeaderMode(const QString& mode);

class HeaderAndAdvertising : public Screen {
  Q_OBJECT

 public:
  explicit HeaderAndAdvertising(ScreenContext& context, QWidget* parent = nullptr);

  /// The operations of the selector, by index.
  enum Operation {
    ProgramAll, ProgramHeader, ProgramAdvertising,
    ReadAll, ReadHeader, ReadAdvertising,
    ClearAll, ClearHeader, ClearAdvertising,
  };

  QTableWidget* HeaderGrid() const { return grids_[0]; }
  QTableWidget* AdvertisingGrid() const { return grids_[1]; }
  /// The "центрировать" box of a row: grid 0 header, 1 advertising.
  QCheckBox* CenterBox(int grid, int row) const;
  QComboBox* OperationBox() const { return operation_; }
  QCheckBox* OnlyNonEmptyBox() const { return onlyNonEmpty_; }
  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* WidthNumberBox() const { return widthNumber_; }
  QComboBox* WidthListBox() const { return widthList_; }
  QPushButton* ClearButton(int grid) const { return clear_[grid]; }
  QPushButton* CenterAllButton(int grid) const { return centerAll_[grid]; }
  QPushButton* UncenterButton(int grid) const { return uncenter_[grid]; }
  QPushButton* ExecuteButton() const { return execute_; }
  QPushButton* CloseButton() const { return close_; }

  static const QString kSkip;
  static const QString kSingle;
  static const QString kDouble;

 protected:
  void Activate() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum Block { Header, Advertising };
  enum Action { Program, Read, Clear };

  QWidget* BuildGridBlock(int grid, const QString& title, int rows, const QString& centerCaption);
  void ApplyPaperWidth();
  void ResetGrid(int grid);
  void ModeCellSelected(int grid, int row, int column);
  void OperationChosen(int index);
  void Execute();
  /// Runs one block row by row; false when a row failed or the run was stopped.
  bool RunBlock(LongRun& run, Action action, Block block, int paperWidth);
  bool ProgramLine(Block block, int row, int paperWidth, bool clear);
  bool ReadLine(Block block, int row);

  std::array<QTableWidget*, 2> grids_{};
  std::array<std::array<QCheckBox*, 10>, 2> center_{};
  std::array<QPushButton*, 2> clear_{};
  std::array<QPushButton*, 2> centerAll_{};
  std::array<QPushButton*, 2> uncenter_{};
  std::array<bool, 2> pressOnCurrent_{};
  QComboBox* operation_ = nullptr;
  QCheckBox* onlyNonEmpty_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* widthNumber_ = nullptr;
  QComboBox* widthList_ = nullptr;
  QPushButton* execute_ = nullptr;
  QPushButton* close_ = nullptr;
  PaperWidthSetting appliedWidth_;
  bool widthApplied_ = false;
};

}  // namespace kovrix
