#include "app/long_run.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/window_placement.h"

namespace kovrix {
namespace {

LongRun*& CurrentSlot() {
  static LongRun* current = nullptr;
  return current;
}

// The run's window: Esc and the close box stop the run rather than close the window.
class RunWindow : public QDialog {
 public:
  RunWindow(QWidget* owner, bool& stopped) : QDialog(owner, Qt::Tool), stopped_(stopped) {}
  void reject() override { stopped_ = true; }

 private:
  bool& stopped_;
};

}  // namespace

LongRun::LongRun(QWidget* owner, const QString& what, int total)
    : previous_(CurrentSlot()), total_(std::max(total, 0)) {
  busy_.emplace();
  CurrentSlot() = this;
  window_ = new RunWindow(owner, stopped_);
  window_->setObjectName(QStringLiteral("LongRun"));
  window_->setWindowTitle(what);
  count_ = new QLabel(window_);
  bar_ = new QProgressBar(window_);
  bar_->setRange(0, std::max(total_, 1));
  bar_->setValue(0);
  stop_ = new QPushButton(QStringLiteral("Остановить"), window_);
  auto* layout = new QVBoxLayout(window_);
  layout->addWidget(count_);
  layout->addWidget(bar_);
  layout->addWidget(stop_, 0, Qt::AlignHCenter);
  window_->setMinimumWidth(320);
  QObject::connect(stop_, &QPushButton::clicked, window_, [this] {
    stopped_ = true;
    stop_->setEnabled(false);
    count_->setText(QStringLiteral("Остановка после текущей команды..."));
  });
  InputGate::MarkStop(stop_);
  InputGate::MarkStopWindow(window_);
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
  showTimer_.stop();
  window_->hide();
  busy_.reset();
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
  ++done_;
  if (!stopped_) count_->setText(QStringLiteral("Выполняется %1 из %2").arg(done_).arg(total_));
  bar_->setValue(std::min(done_ - 1, total_));
  return true;
}

}  // namespace kovrix
