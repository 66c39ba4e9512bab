#include "screens/service/firmware_reading.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "app/input_gate.h"
#include "app/text_codec.h"
#include "screens/screen_kit.h"
#include "screens/service/data_buffer.h"

namespace kovrix {
namespace {

// The data source of the internal software; it takes no argument.
constexpr int kFirmwareSource = 5;
// Least time between two repaints of the progress bar while the packets come.
constexpr int kRefreshMs = 50;

}  // namespace

FirmwareReading::FirmwareReading(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm45"), QStringLiteral("Чтение ПО"), parent) {
  password_ = NewPasswordBox();
  errorCode_ = NewErrorCodeBox();
  errorCode_->setText(QStringLiteral("0000"));
  progress_ = new QProgressBar;
  progress_->setRange(0, 100);
  progress_->setValue(0);
  read_ = NewButton(QStringLiteral("Чтение внутреннего ПО"));
  read_->setToolTip(QStringLiteral("Сохранить открытый ключ регистратора в файле."));
  stop_ = NewButton(QStringLiteral("Стоп"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(read_);
  buttons->addWidget(stop_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addWidget(progress_);
  outer->addLayout(buttons);
  setMinimumWidth(380);

  OnClick(read_, [this] { ReadFirmware(); });
  connect(stop_, &QPushButton::clicked, this, [this] { stopRequested_ = true; });
  InputGate::MarkStop(stop_);
  InputGate::MarkStopWindow(this);
}

void FirmwareReading::Activate() { stopRequested_ = false; }

void FirmwareReading::reject() {
  if (reading_) {
    stopRequested_ = true;
    return;
  }
  Screen::reject();
}

void FirmwareReading::ReadFirmware() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  stopRequested_ = false;
  const QString fileName = ui().SaveFileName(QStringLiteral("Чтение внутреннего ПО"), QDir::currentPath(),
                                             QStringLiteral("HEX файлы (*.HEX *.hex);;Все файлы (*)"),
                                             QStringLiteral("HEX"));
  if (fileName.isEmpty()) return;

  // While the packets come the button stays off, so that a second reading cannot start inside
  // the first; "Стоп" stays live.
  reading_ = true;
  read_->setEnabled(false);
  DataBufferReading reading;
  reading.password = ToCp1251(password_->text());
  reading.sourceType = kFirmwareSource;
  reading.fileName = fileName;
  reading.onReply = [this](const ReplyRecord& reply) {
    const QString code = ErrorCodeText(reply);
    if (errorCode_->text() != code) errorCode_->setText(code);
  };
  reading.onSize = [this](long long size) {
    // A range of 0..0 would turn the bar into a busy indicator: with no data it stays empty.
    progress_->setRange(0, static_cast<int>(std::clamp<long long>(size, 1, INT_MAX)));
    progress_->setValue(0);
  };
  reading.stopRequested = [this] {
    ui().ProcessEvents();
    return stopRequested_;
  };
  // Repainting the bar for every packet costs more than the packet's wire time leaves; it follows
  // at a pace the eye can read.
  long long done = 0;
  QElapsedTimer refresh;
  refresh.start();
  reading.onPacket = [this, &done, &refresh](int bytes) {
    done += bytes;
    if (refresh.elapsed() < kRefreshMs) return;
    progress_->setValue(static_cast<int>(std::min<long long>(done, progress_->maximum())));
    refresh.restart();
  };
  const DataBufferOutcome outcome = ReadDataBuffer(ui(), state(), reading);
  reading_ = false;
  read_->setEnabled(true);
  progress_->setValue(0);

  switch (outcome) {
    case DataBufferOutcome::Complete:
      ui().ShowMessage(QStringLiteral("Чтение внутреннего ПО - успешно!"));
      break;
    case DataBufferOutcome::NoData:
      ui().ShowMessage(QStringLiteral("Нет данных!"));
      break;
    case DataBufferOutcome::Stopped:
      ui().ShowMessage(QStringLiteral("Чтение остановлено по запросу пользователя!"));
      break;
    default:
      break;  // the reading has shown its own message
  }
}

}  // namespace kovrix
