#pragma once
// The screen "Профиль регистратора": reads every setting the registrator reads back into a profile
// file, compares a profile file with the registrator field by field (differing rows marked), and
// applies it after a confirmation that names how many fields will be written. The work itself is
// the session's device profile; the screen sequences it, shows long runs and the results.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QString>

#include <nlohmann/json.hpp>

#include "app/screen.h"
#include "session/device_profile.h"

namespace kovrix {

/// Answers the screen's name of a profile area ("Налоги" for taxes).
QString ProfileAreaCaption(const std::string& area);

/// Answers a profile value as the table shows it: a text as it is, anything else as JSON.
QString ProfileValueText(const nlohmann::ordered_json& value);

class DeviceProfileScreen : public Screen {
  Q_OBJECT

 public:
  explicit DeviceProfileScreen(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QCheckBox* SkipRefusedBox() const { return skipRefused_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* CompareButton() const { return compare_; }
  QPushButton* ApplyButton() const { return apply_; }
  QPushButton* CloseButton() const { return close_; }
  QTableWidget* Table() const { return table_; }
  QLabel* Summary() const { return summary_; }
  /// Answers whether a row of the table is marked as differing.
  bool RowDiffers(int row) const;

 private:
  void ReadAndSave();
  void OpenAndCompare();
  void Apply();
  /// Reads the profile's areas and fills the table; false (with the message shown) on failure.
  bool Compare();
  session::DeviceAccess Access() const;
  void ShowFailure(const QString& heading, const session::DeviceFailure& failure);

  nlohmann::json profile_;  // the profile file opened last
  QString profilePath_;
  QLineEdit* password_ = nullptr;
  QCheckBox* skipRefused_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* summary_ = nullptr;  // how many fields differ, after a comparison
  QPushButton* save_ = nullptr;
  QPushButton* compare_ = nullptr;
  QPushButton* apply_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
