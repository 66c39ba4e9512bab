#pragma once
// The dialog "Служебные счетчики": reads and sets the registrator's numbered service settings
// (battery voltage, link mode, sleep time, USB storage mode, sensors, printing options). Setting
// the USB storage mode takes the registrator off the serial link, so the dialog then closes the
// port and leaves the main window disconnected.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "app/screen.h"
#include "driver/reply.h"

namespace kovrix {

/// How a counter's value is shown when read.
enum class CounterValue {
  Percent,   // the value followed by "%"
  LinkMode,  // the link mode named by the value's first character
  Time,      // as received, whatever else the reply holds
  Plain,     // as received when the reply holds exactly one field, else nothing
};

/// One service counter: its number is its position in the list.
struct ServiceCounter {
  const char* name;
  bool readable;
  bool settable;
  CounterValue value;
};

/// Answers the sixteen service counters, counter 0 first.
const std::vector<ServiceCounter>& ServiceCounterList();

/// Answers the text the value box shows for a counter's read reply.
QString CounterValueText(int counter, const ReplyRecord& reply);

class ServiceCounters : public Screen {
  Q_OBJECT

 public:
  explicit ServiceCounters(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QComboBox* CounterList() const { return counters_; }
  QLineEdit* ValueBox() const { return value_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* SetButton() const { return set_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  void Activate() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CounterChanged();
  void EnableButtons();
  void ReadCounter();
  void SetCounter();

  QLineEdit* password_ = nullptr;
  QComboBox* counters_ = nullptr;
  QLineEdit* value_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* set_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
