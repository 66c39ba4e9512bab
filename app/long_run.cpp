#include "app/long_run.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "app/window_placement.h"
#include "driver/reply.h"

namespace kovrix {
namespace {

LongRun*& CurrentSlot() {
  static LongRun* current = nullptr;
  return current;
}

// The run's window: Esc and the close box stop the run rather than close the window. It is shown
// without being activated and takes no focus, so that the keys keep going to the screen; it also
// watches the whole program's keys for Esc while the run lasts.
class RunWindow : public QDialog {
 public:
  RunWindow(QWidget* owner, std::function<void()> stop, std::function<bool(QObject*, QEvent*)> keys)
      : QDialog(owner, Qt::Tool | Qt::WindowDoesNotAcceptFocus), stop_(std::move(stop)), keys_(std::move(keys)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
  }
  void reject() override { stop_(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override { return keys_(watched, event); }
  bool event(QEvent* event) override {
    // Not every window system honours the two requests above: activated all the same, the window
    // hands the activation back to its screen at once, keys and focus with it.
    if (event->type() == QEvent::WindowActivate && parentWidget() != nullptr) parentWidget()->window()->activateWindow();
    return QDialog::event(event);
  }

 private:
  std::function<void()> stop_;
  std::function<bool(QObject*, QEvent*)> keys_;
};

}  // namespace

LongRun::LongRun(QWidget* owner, const QString& what, int total)
    : previous_(CurrentSlot()), total_(std::max(total, 0)) {
  busy_.emplace();
  CurrentSlot() = this;
  window_ = new RunWindow(
      owner, [this] { RequestStop(); }, [this](QObject* watched, QEvent* event) { return EscapePressed(watched, event); });
  window_->setObjectName(QStringLiteral("LongRun"));
  window_->setWindowTitle(what);
  count_ = new QLabel(window_);
  bar_ = new QProgressBar(window_);
  bar_->setRange(0, std::max(total_, 1));
  bar_->setValue(0);
  stop_ = new QPushButton(QStringLiteral("Остановить"), window_);
  stop_->setFocusPolicy(Qt::NoFocus);
  stop_->setAutoDefault(false);
  auto* layout = new QVBoxLayout(window_);
  layout->addWidget(count_);
  layout->addWidget(bar_);
  layout->addWidget(stop_, 0, Qt::AlignHCenter);
  window_->setMinimumWidth(320);
  QObject::connect(stop_, &QPushButton::clicked, window_, [this] { RequestStop(); });
  InputGate::MarkStop(stop_);
  InputGate::MarkStopWindow(window_);
  QApplication::instance()->installEventFilter(window_);
  previousListener_ = InputGate::Instance().SetExchangeListener([this](const ReplyRecord& reply) {
    silentInARow_ = (reply.status & ST_NO_REPLY) ? silentInARow_ + 1 : 0;
  });
  showTimer_.setSingleShot(true);
  QObject::connect(&showTimer_, &QTimer::timeout, window_, [this] { Show(); });
  showTimer_.start(kShowAfterMs);
}

LongRun::~LongRun() {
  End();
  CurrentSlot() = previous_;
  delete window_;
}

void LongRun::End() {
  if (!busy_) return;
  showTimer_.stop();
  window_->hide();
  QApplication::instance()->removeEventFilter(window_);
  InputGate::Instance().SetExchangeListener(std::move(previousListener_));
  busy_.reset();
}

void LongRun::RequestStop() {
  if (stopped_) return;
  stopped_ = true;
  stop_->setEnabled(false);
  count_->setText(QStringLiteral("Остановка после текущей команды..."));
}

bool LongRun::EscapePressed(QObject*, QEvent* event) {
  // While the program asks something inside the run, the gate is open and Esc answers the question.
  if (event->type() != QEvent::KeyPress || !busy_ || CurrentSlot() != this || !InputGate::Instance().Busy()) {
    return false;
  }
  if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) return false;
  RequestStop();
  return true;
}

QString LongRun::SilenceMessage() const {
  return QStringLiteral("Ошибка! Таймаут устройства! Регистратор не ответил %1 раза подряд, выполнение остановлено "
                        "(выполнено %2 из %3).")
      .arg(kSilentLimit)
      .arg(done_)
      .arg(total_);
}

LongRun* LongRun::Current() { return CurrentSlot(); }

void LongRun::Show() {
  if (window_->isVisible()) return;
  window_->adjustSize();
  if (QWidget* owner = window_->parentWidget()) {
    PlaceBeside(*window_, *owner);
  } else {
    CentreOnParentScreen(*window_);
  }
  window_->show();
}

bool LongRun::Continue() {
  if (!busy_) return false;
  InputGate::Instance().LetEventsRun();
  if (stopped_) return false;
  if (silentInARow_ >= kSilentLimit) {
    silenced_ = true;
    return false;
  }
  ++done_;
  if (!stopped_) count_->setText(QStringLiteral("Выполняется %1 из %2").arg(done_).arg(total_));
  bar_->setValue(std::min(done_ - 1, total_));
  return true;
}

}  // namespace kovrix
