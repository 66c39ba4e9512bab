#include "screens/service/fiscal_memory.h"

#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "app/input_gate.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/driver.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

constexpr int kClearFlash = 0xF0;
constexpr int kReadFlash = 0xF1;
constexpr int kWriteFlash = 0xF2;
constexpr std::size_t kWriteHexLength = 2 * kFlashChunk;

const QString kSuccess = QStringLiteral("Успешно!");
const QString kInvalidReply =
    QStringLiteral("Информация переданная регистратором неверна. Чтение данных остановлено.");

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower case too: the registrator sends upper case only
}

// Answers the byte count of a read reply: 0..kFlashChunk in decimal digits, or -1.
int ChunkCount(const std::string& text) {
  if (text.empty() || text.size() > 2) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value <= kFlashChunk ? value : -1;
}

// Writes the bytes to the file; a short write is reported and answers false.
bool Store(UiServices& ui, QFile& file, const std::string& bytes) {
  if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size())) return true;
  ui.ShowMessage(QStringLiteral("Ошибка записи в файл \"%1\":\n  %2").arg(file.fileName(), file.errorString()));
  return false;
}

}  // namespace

std::string FlashWriteData(const std::string& password, long long address, std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (char c : bytes.substr(0, kFlashChunk)) {
    const auto b = static_cast<unsigned char>(c);
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0x0F];
  }
  hex.resize(kWriteHexLength, '0');
  const std::size_t count = std::min(bytes.size(), static_cast<std::size_t>(kFlashChunk));
  return password + ';' + std::to_string(address) + ';' + std::to_string(count) + ';' + hex + ';';
}

HexPrefix DecodeHexBytes(std::string_view text, long long count) {
  HexPrefix out;
  for (long long i = 0; i < count; ++i) {
    const auto at = static_cast<std::size_t>(2 * i);
    if (at + 2 > text.size()) return out;
    const int high = HexValue(text[at]);
    const int low = HexValue(text[at + 1]);
    if (high < 0 || low < 0) return out;
    out.bytes += static_cast<char>(high * 16 + low);
  }
  out.complete = true;
  return out;
}

int GaugePercent(long long done, long long total) {
  if (total <= 0 || done <= 0) return 0;
  // A range that ends inside a chunk reads past its end: the gauge stops at full.
  return static_cast<int>(std::min<long long>(done * 100 / total, 100));
}

FiscalMemory::FiscalMemory(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm7"), QStringLiteral("Чтение/запись/обнуление фискальной памяти"), parent) {
  password_ = NewPasswordBox();
  password_->setMaxLength(6);
  address_ = new QLineEdit;
  address_->setMaxLength(10);
  count_ = new QLineEdit;
  count_->setMaxLength(9);
  repeatLimit_ = new QLineEdit(QStringLiteral("2"));
  repeats_ = NewReportBox();
  result_ = NewErrorCodeBox();
  status_ = NewReportBox();
  currentAddress_ = NewReportBox();
  gauge_ = new QProgressBar;
  gauge_->setRange(0, 100);
  gauge_->setValue(0);
  write_ = NewButton(QStringLiteral("Записать флеш-память"));
  read_ = NewButton(QStringLiteral("Читать флеш-память"));
  clear_ = NewButton(QStringLiteral("Обнулить флеш-память"));
  close_ = NewButton(QStringLiteral("Закрыть"));
  stop_ = NewButton(QStringLiteral("Остановить"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Адрес начала данных (номер байта):"), address_);
  form->addRow(QStringLiteral("Количество байтов для чтения.записи:"), count_);
  form->addRow(QStringLiteral("Количество повторов при ошибке:"), repeatLimit_);
  form->addRow(QStringLiteral("Повторов:"), repeats_);
  form->addRow(QStringLiteral("Результат выполнения:"), result_);
  form->addRow(QStringLiteral("Статус регистратора:"), status_);
  auto* buttons = new QGridLayout;
  buttons->addWidget(read_, 0, 0);
  buttons->addWidget(write_, 0, 1);
  buttons->addWidget(clear_, 1, 0);
  buttons->addWidget(stop_, 1, 1);
  buttons->addWidget(close_, 2, 1);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addWidget(gauge_);
  outer->addWidget(currentAddress_);
  outer->addLayout(buttons);
  setMinimumWidth(480);

  connect(address_, &QLineEdit::textChanged, this, [this] { Guarded(ui(), [this] { CheckInput(address_); }); });
  connect(count_, &QLineEdit::textChanged, this, [this] { Guarded(ui(), [this] { CheckInput(count_); }); });
  OnClick(clear_, [this] { ClearFlash(); });
  OnClick(read_, [this] { ReadFlash(); });
  OnClick(write_, [this] { WriteFlash(); });
  connect(stop_, &QPushButton::clicked, this, [this] { stopRequested_ = true; });
  InputGate::MarkStop(stop_);
  InputGate::MarkStopWindow(this);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void FiscalMemory::Activate() {
  read_->setEnabled(false);
  write_->setEnabled(false);
  stopRequested_ = false;
}

void FiscalMemory::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    stop_->click();
    return;
  }
  Screen::keyPressEvent(event);
}

void FiscalMemory::reject() {
  if (busy_) {
    stopRequested_ = true;
    return;
  }
  Screen::reject();
}

void FiscalMemory::CheckInput(QLineEdit* changed) {
  if (address_->text().isEmpty() || count_->text().isEmpty()) {
    read_->setEnabled(false);
    write_->setEnabled(false);
    return;
  }
  bool ok = false;
  // The address may be a 64-bit number (the read takes one); the count is 32-bit.
  if (changed == address_) {
    changed->text().toLongLong(&ok);
  } else {
    changed->text().toInt(&ok);
  }
  if (!ok) {
    ui().ShowMessage(QStringLiteral("Ошибка! Только десятичные цифры!"));
    return;
  }
  read_->setEnabled(true);
  write_->setEnabled(true);
}

bool FiscalMemory::Inputs(long long& start, long long& count, int* repeatLimit) {
  // The repeat limit is converted first; a failed conversion ends the handler with its message.
  if (repeatLimit) *repeatLimit = ToInt(repeatLimit_->text());
  // The read takes its start address as a 64-bit number, the write as a 32-bit one.
  start = repeatLimit ? ToInt64(address_->text()) : ToInt(address_->text());
  count = ToInt(count_->text());
  if ((repeatLimit && *repeatLimit < 0) || start < 0 || count < 0) {
    ui().ShowMessage(QStringLiteral("Ошибка! Адрес начала данных, количество байтов и количество повторов "
                                    "не могут быть отрицательными."));
    return false;
  }
  return true;
}

std::string FiscalMemory::Password() const { return ToCp1251(password_->text()); }

void FiscalMemory::SetBusy(bool busy) {
  // While an operation runs only "Остановить" (and Esc) stays live, so that no second operation
  // starts inside the first.
  busy_ = busy;
  if (busy) {
    readEnabled_ = read_->isEnabled();
    writeEnabled_ = write_->isEnabled();
    read_->setEnabled(false);
    write_->setEnabled(false);
  } else {
    FlushProgress();
    read_->setEnabled(readEnabled_);
    write_->setEnabled(writeEnabled_);
  }
  clear_->setEnabled(!busy);
  close_->setEnabled(!busy);
}

void FiscalMemory::ShowProgress(long long address, int percent) {
  // Repainting the boxes for every chunk would cost more time than the chunk's wire time
  // leaves; they follow at a pace the eye can read, and always show the last values at the end.
  shownAddress_ = address;
  shownPercent_ = percent;
  progressPending_ = true;
  if (refresh_.isValid() && refresh_.elapsed() < kRefreshMs) return;
  FlushProgress();
}

void FiscalMemory::FlushProgress() {
  if (!progressPending_) return;
  progressPending_ = false;
  currentAddress_->setText(QString::number(shownAddress_));
  gauge_->setValue(shownPercent_);
  refresh_.start();
}

void FiscalMemory::SetText(QLineEdit* box, const QString& text) {
  if (box->text() != text) box->setText(text);
}

void FiscalMemory::ShowReply(const ReplyRecord& reply) {
  SetText(result_, ErrorCodeText(reply));
  SetText(status_, StatusBytesText(reply));
}

void FiscalMemory::ClearFlash() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  // One click would otherwise erase the device's whole memory: the operator confirms first.
  if (!ui().AskOkCancel(QStringLiteral("Все данные флеш-памяти (фискальной памяти) регистратора будут стерты. "
                                       "Продолжать?"))) {
    ui().ShowMessage(QStringLiteral("Обнуление флеш-памяти отменено!"));
    return;
  }
  const ReplyRecord* reply = ExecuteFitting(ui(), kClearFlash, Password() + ';');
  if (!reply) return;
  state().lastReply = reply;
  if (!CheckReply(ui(), *reply, QStringLiteral("Ошибка обнуления флеш-памяти:"))) {
    result_->setText(ErrorCodeText(*reply));
    return;
  }
  ui().ShowMessage(kSuccess);
  ShowReply(*reply);
}

void FiscalMemory::ReadFlash() {
  const int base = GetRepeatCount();
  long long start = 0;
  long long length = 0;
  int repeatLimit = 0;
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  if (!Inputs(start, length, &repeatLimit)) return;
  const QString fileName = ui().SaveFileName(QStringLiteral("Чтение данныхт из флеш-памяти в файл"), QDir::currentPath(),
                                             QStringLiteral("Бинарные файлы (*.bin *.BIN);;Все файлы (*)"),
                                             QStringLiteral("bin"));
  if (fileName.isEmpty()) return;
  if (!ui().AskOkCancel(QStringLiteral("Данные будут записаны в выбранный файл. Продолжать?"))) {
    ui().ShowMessage(QStringLiteral("Чтение данных из флеш-памяти отменено!"));
    return;
  }

  stopRequested_ = false;
  long long remaining = length;
  long long address = start;
  refresh_.invalidate();
  ShowProgress(address, 0);
  // The file is created before the first command, so that nothing is read into a file that
  // cannot hold it.
  QFile file(fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    ui().ShowMessage(QStringLiteral("Не удалось создать файл \"%1\":\n  %2").arg(fileName, file.errorString()));
    return;
  }
  SetBusy(true);
  const auto done = [this](const QString& message) {
    SetBusy(false);
    ui().ShowMessage(message);
  };

  int retries = 0;
  while (address < start + length) {
    const std::string data = Password() + ';' + std::to_string(address) + ';';
    const ReplyRecord* reply = nullptr;
    for (int attempts = 0;; ++attempts) {
      reply = ExecuteFitting(ui(), kReadFlash, data);
      if (!reply) return SetBusy(false);
      state().lastReply = reply;
      SetText(repeats_, QString::number(GetRepeatCount() - base));
      if (reply->status & ST_NO_REPLY) {
        return done(QStringLiteral("Ошибка! Таймаут устройства! Чтение данных остановлено."));
      }
      ShowReply(*reply);
      if (reply->errorText == "0000") break;
      if (attempts >= repeatLimit) {
        return done(QStringLiteral("Ошибка чтения данных из флеш-памяти. \nЧтение данных остановлено. ErrCode=") +
                    FromCp1251(reply->errorText));
      }
      ++retries;
      SetText(repeats_, QString::number(retries));
    }

    const int n = ChunkCount(reply->field(1));
    if (n < 0) return done(kInvalidReply);
    const long long k = std::min<long long>(n, remaining);
    const HexPrefix chunk = DecodeHexBytes(reply->field(2), k);
    if (!Store(ui(), file, chunk.bytes)) return SetBusy(false);
    if (!chunk.complete) return done(kInvalidReply);
    if (n < kFlashChunk) {
      // The memory ends here; the boxes still show how far the reading came.
      ShowProgress(address + n, GaugePercent(address + n - start, length));
      break;
    }

    remaining -= k;
    address += n;
    ShowProgress(address, GaugePercent(address - start, length));
    ui().ProcessEvents();
    if (stopRequested_) return done(QStringLiteral("Чтение данных остановлено пользователем."));
  }
  file.close();
  if (file.error() != QFileDevice::NoError) {
    SetBusy(false);
    ui().ShowMessage(QStringLiteral("Ошибка записи в файл \"%1\":\n  %2").arg(fileName, file.errorString()));
    return;
  }
  done(QStringLiteral("Успешно. Чтение данных завершено."));
}

void FiscalMemory::WriteFlash() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  long long start = 0;
  long long length = 0;
  if (!Inputs(start, length, nullptr)) return;
  const QString fileName =
      ui().OpenFileName(QStringLiteral("Запись данных из файла во флеш-память"), QDir::currentPath(), QString(), QString());
  if (fileName.isEmpty()) return;
  if (!ui().AskOkCancel(QStringLiteral("Данные будут записаны в флеш-память регистратора. Продолжать?"))) {
    ui().ShowMessage(QStringLiteral("Запись данных в флеш-память отменена!"));
    return;
  }

  stopRequested_ = false;
  long long address = start;
  refresh_.invalidate();
  ShowProgress(address, 0);
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    ui().ShowMessage(QStringLiteral("Не удалось открыть файл \"%1\":\n  %2").arg(fileName, file.errorString()));
    return;
  }
  SetBusy(true);
  const auto done = [this](const QString& message) {
    SetBusy(false);
    ui().ShowMessage(message);
  };

  while (address < start + length) {
    const long long n = std::min<long long>(kFlashChunk, start + length - address);
    const QByteArray bytes = file.read(n);
    if (bytes.size() < n) return done(QStringLiteral("Ошибка! Незапланированный конец файла!\n   Чтение прервано"));
    const ReplyRecord* reply = ExecuteFitting(
        ui(), kWriteFlash, FlashWriteData(Password(), address, std::string_view(bytes.constData(), bytes.size())));
    if (!reply) return SetBusy(false);
    state().lastReply = reply;
    if (!CheckReply(ui(), *reply, QStringLiteral("Ошибка записи в флеш-память:"))) {
      result_->setText(ErrorCodeText(*reply));
      return SetBusy(false);
    }
    ShowReply(*reply);
    if (reply->errorText != "0000") {
      return done(QStringLiteral("Ошибка записи данных в флеш-память. Запись данных остановлена."));
    }
    address += n;
    ShowProgress(address, GaugePercent(address - start, length));
    ui().ProcessEvents();
    if (stopRequested_) return done(QStringLiteral("Запись данных остановлено пользователем."));
  }
  done(QStringLiteral("Успешно. Запись данных завершена."));
}

}  // namespace kovrix
