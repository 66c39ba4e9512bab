#include "screens/service/logo_programming.h"

#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "app/long_run.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

constexpr int kCloseLogo = 0x31;

const QString kTimeout = QStringLiteral("Ошибка! Таймаут устройства!");
const QString kLineRefused = QStringLiteral("Ошибка записи логотипа");

// Answers the value of a device field of decimal digits only (at most nine), or nothing.
std::optional<int> DeviceNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string LogoPixelStream(const QImage& picture, int width, int height) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  std::string stream;
  if (width <= 0 || height <= 0) return stream;
  const int rowBytes = (width + 7) / 8;
  stream.reserve(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    unsigned char byte = 0;
    for (int x = 0; x < width; ++x) {
      const bool inside = x < rgb.width() && y < rgb.height();
      if (inside && (rgb.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu) byte |= static_cast<unsigned char>(0x80u >> (x % 8));
      if (x % 8 == 7) {
        stream += static_cast<char>(byte);
        byte = 0;
      }
    }
    if (width % 8 != 0) stream += static_cast<char>(byte);
  }
  return stream;
}

std::vector<std::string> LogoLines(std::string_view stream) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < stream.size(); at += kLogoLineBytes) {
    std::string line;
    for (char c : stream.substr(at, kLogoLineBytes)) {
      const auto b = static_cast<unsigned char>(c);
      line += kDigits[b >> 4];
      line += kDigits[b & 0x0F];
    }
    line.resize(2 * kLogoLineBytes, '0');
    lines.push_back(std::move(line));
  }
  return lines;
}

std::optional<LogoLimits> LogoLimitsFromDiagnostic(const ReplyRecord& reply) {
  const auto memory = DeviceNumber(reply.field(7));
  const auto width = DeviceNumber(reply.field(8));
  if (!memory || !width || *width == 0) return std::nullopt;
  const long long height = static_cast<long long>(*memory) * 8 / *width;
  return LogoLimits{*width, static_cast<int>(std::min<long long>(height, INT_MAX))};
}

LogoProgramming::LogoProgramming(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("LogoProgramming"), QStringLiteral("Программирования логотипа"), parent) {
  password_ = NewPasswordBox();
  password_->setMaxLength(6);
  maxWidth_ = NewReportBox();
  maxHeight_ = NewReportBox();
  pictureWidth_ = NewReportBox();
  pictureHeight_ = NewReportBox();
  width_ = new QLineEdit;
  height_ = new QLineEdit;
  preview_ = new QLabel;
  preview_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* view = new QScrollArea;
  view->setWidget(preview_);
  view->setWidgetResizable(true);
  view->setMinimumSize(400, 130);
  progress_ = new QProgressBar;
  progress_->setValue(0);
  open_ = NewButton(QStringLiteral("Открыть"));
  program_ = NewButton(QStringLiteral("Программировать"));
  program_->setEnabled(false);
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль для программирования:"), password_);
  form->addRow(QStringLiteral("Максимальный размер логотипа (по X, в пикселях):"), maxWidth_);
  form->addRow(QStringLiteral("Максимальный размер логотипа (по Y, в пикселях):"), maxHeight_);
  form->addRow(QStringLiteral("Размер рисунка (по X, в пикселях):"), pictureWidth_);
  form->addRow(QStringLiteral("Размер рисунка (по Y, в пикселях):"), pictureHeight_);
  form->addRow(QStringLiteral("Размер для загрузки (по X):"), width_);
  form->addRow(QStringLiteral("Размер для загрузки (по Y):"), height_);
  auto* buttons = ButtonRow({open_, program_}, close_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addWidget(new QLabel(QStringLiteral("Вид логотипа")));
  outer->addWidget(view, 1);
  outer->addWidget(progress_);
  outer->addLayout(buttons);

  OnClick(open_, [this] { OpenPicture(); });
  OnClick(program_, [this] { Program(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void LogoProgramming::reject() {
  if (!busy_) Screen::reject();
}

void LogoProgramming::UpdateProgramButton() { program_->setEnabled(!picture_.isNull() && limits_.has_value()); }

void LogoProgramming::Activate() {
  limits_.reset();
  maxWidth_->clear();
  maxHeight_->clear();
  UpdateProgramButton();
  int err = 0;
  state().lastReply = GetDiagnosticInfo(ToCp1251(password_->text()), err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  if (reply.status & ST_NO_REPLY) {
    ui().ShowMessage(kTimeout);
    return;
  }
  if (!CheckReply(ui(), reply, QStringLiteral("Размер логотипа не прочитан:"))) return;
  limits_ = LogoLimitsFromDiagnostic(reply);
  if (!limits_) {
    // Without the limits the picture cannot be fitted: programming stays off.
    ui().ShowMessage(QStringLiteral("Регистратор не сообщил максимальный размер логотипа. "
                                    "Программирование логотипа невозможно."));
    return;
  }
  maxWidth_->setText(QString::number(limits_->maxWidth));
  maxHeight_->setText(QString::number(limits_->maxHeight));
  UpdateProgramButton();
}

void LogoProgramming::OpenPicture() {
  const QString fileName = ui().OpenFileName(QStringLiteral("Открыть"), QDir::currentPath(),
                                             QStringLiteral("BMP файл (*.BMP *.bmp)"), QStringLiteral("bmp"));
  if (fileName.isEmpty()) return;
  QImageReader reader(fileName);
  const QImage picture = reader.read();
  if (picture.isNull()) {
    ui().ShowMessage(QStringLiteral("Не удалось загрузить рисунок \"%1\":\n  %2").arg(fileName, reader.errorString()));
    return;
  }
  picture_ = picture;
  preview_->setPixmap(QPixmap::fromImage(picture_));
  pictureWidth_->setText(QString::number(picture_.width()));
  pictureHeight_->setText(QString::number(picture_.height()));
  const int maxWidth = limits_ ? limits_->maxWidth : INT_MAX;
  const int maxHeight = limits_ ? limits_->maxHeight : INT_MAX;
  width_->setText(QString::number(std::min(picture_.width(), maxWidth)));
  height_->setText(QString::number(std::min(picture_.height(), maxHeight)));
  UpdateProgramButton();
}

bool LogoProgramming::SendLine(int number, const std::string& line) {
  int err = 0;
  state().lastReply = SetUserLogo(ToCp1251(password_->text()), number, line, err);
  if (!CheckSent(ui(), err)) return false;
  return CheckTimeoutAndCode(ui(), state().LastReply(), kTimeout, kLineRefused);
}

void LogoProgramming::Program() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль для программирования:"), password_->text())) return;
  const int width = ToInt(width_->text());
  const int height = ToInt(height_->text());
  if (width <= 0 || height <= 0) {
    ui().ShowMessage(QStringLiteral("Ошибка! Размер для загрузки должен быть больше нуля."));
    return;
  }
  if (!limits_ || width > limits_->maxWidth || height > limits_->maxHeight) {
    ui().ShowMessage(QStringLiteral("Ошибка! Размер для загрузки больше максимального размера логотипа."));
    return;
  }

  const std::vector<std::string> lines = LogoLines(LogoPixelStream(picture_, width, height));
  const long long bytes = static_cast<long long>(width) * height / 8;
  progress_->setRange(0, static_cast<int>(std::clamp<long long>(bytes, 1, INT_MAX)));
  progress_->setValue(0);
  busy_ = true;
  open_->setEnabled(false);
  program_->setEnabled(false);
  close_->setEnabled(false);
  const auto finish = [this] {
    busy_ = false;
    open_->setEnabled(true);
    close_->setEnabled(true);
    UpdateProgramButton();
  };

  LongRun run(this, QStringLiteral("Программирование логотипа"), static_cast<int>(lines.size()));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    // A stopped logo is never closed: the registrator keeps the logo it had.
    if (!run.Continue()) {
      run.End();
      finish();
      ui().ShowMessage(QStringLiteral("Программирование логотипа остановлено пользователем."));
      return;
    }
    if (!SendLine(static_cast<int>(i), lines[i])) return finish();
    progress_->setValue(std::min(progress_->maximum(), progress_->value() + kLogoLineBytes));
    ui().ProcessEvents();
  }
  // The closing command's answer is checked like the lines': a size the registrator refuses
  // is not reported as a logo written.
  const std::string password = ToCp1251(password_->text());
  const ReplyRecord* reply =
      ExecuteFitting(ui(), kCloseLogo, password + ';' + std::to_string(width) + ';' + std::to_string(height) + ';');
  if (!reply) return finish();
  state().lastReply = reply;
  run.End();
  if (!CheckTimeoutAndCode(ui(), *reply, kTimeout, kLineRefused)) return finish();
  finish();
  ui().ShowMessage(QStringLiteral("Успешно!"));
  progress_->setValue(0);
}

}  // namespace kovrix
