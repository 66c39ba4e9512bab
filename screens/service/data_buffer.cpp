#include "screens/service/data_buffer.h"

#include <QFile>

#include "app/connection_state.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "app/ui_services.h"
#include "driver/commands.h"

namespace kovrix {
namespace {

const QString kSourceHeading = QStringLiteral("SetDataSource ошибка:");
const QString kReadHeading = QStringLiteral("ReadDataFromBuf ошибка:");
const QString kSequenceMessage = QStringLiteral("Ошибка последовательного номера пакета - чтение остановлено!");
const QString kMalformedMessage =
    QStringLiteral("Ошибка формата пакета %1: более %2 байтов данных или незавершённая escape-последовательность "
                   "- чтение остановлено!");

// Answers the value of a text of decimal digits only; nothing for anything else (empty, signs,
// blanks, more digits than a count of bytes can have).
std::optional<long long> Decimal(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::optional<std::string> DecodePacket(std::string_view field) {
  std::string bytes;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (bytes.size() == kPacketBufferSize) return std::nullopt;
    char c = field[i];
    if (c == '\\') {
      if (i + 1 == field.size()) return std::nullopt;
      c = static_cast<char>((static_cast<unsigned char>(field[++i]) - 0x40) & 0xFF);
    }
    bytes += c;
  }
  return bytes;
}

DataBufferOutcome ReadDataBuffer(UiServices& ui, ConnectionState& state, const DataBufferReading& reading) {
  const auto replied = [&](const ReplyRecord* reply) {
    state.lastReply = reply;
    if (reading.onReply) reading.onReply(*reply);
  };

  int err = 0;
  const ReplyRecord* reply = SetDataSource(reading.password, reading.sourceType, "", reading.argument, err);
  if (!CheckSent(ui, err)) return DataBufferOutcome::NotSent;
  replied(reply);
  if (!CheckReply(ui, *reply, kSourceHeading)) return DataBufferOutcome::SourceFailed;
  const auto size = Decimal(reply->field(1));
  if (!size) {
    ui.ShowMessage(kSourceHeading + QStringLiteral("\n  Неверный размер данных: \"") + FromCp1251(reply->field(1)) +
                   u'"');
    return DataBufferOutcome::SourceFailed;
  }
  if (reading.onSize) reading.onSize(*size);
  if (*size == 0) return DataBufferOutcome::NoData;

  // Created before the first packet is asked for, so that nothing is read into a file that
  // cannot hold it.
  QFile file(reading.fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    ui.ShowMessage(QStringLiteral("Не удалось создать файл \"%1\":\n  %2").arg(reading.fileName, file.errorString()));
    return DataBufferOutcome::FileFailed;
  }

  for (long long expected = 0;; ++expected) {
    if (reading.stopRequested && reading.stopRequested()) return DataBufferOutcome::Stopped;
    reply = ReadDataFromBuf(reading.password, err);
    if (!CheckSent(ui, err)) return DataBufferOutcome::NotSent;
    replied(reply);
    if (!CheckReply(ui, *reply, kReadHeading)) return DataBufferOutcome::ReadFailed;
    // A reply without its number cannot be placed in the sequence either.
    if (Decimal(reply->field(1)) != expected) {
      ui.ShowMessage(kSequenceMessage);
      return DataBufferOutcome::OutOfSequence;
    }
    if (reply->field(2).empty()) return DataBufferOutcome::Complete;
    const auto bytes = DecodePacket(reply->field(2));
    // The packet came in its turn: what is wrong is its content, not its number.
    if (!bytes) {
      ui.ShowMessage(kMalformedMessage.arg(expected).arg(kPacketBufferSize));
      return DataBufferOutcome::Malformed;
    }
    if (file.write(bytes->data(), static_cast<qint64>(bytes->size())) != static_cast<qint64>(bytes->size()) ||
        !file.flush()) {
      ui.ShowMessage(QStringLiteral("Ошибка записи в файл \"%1\":\n  %2").arg(reading.fileName, file.errorString()));
      return DataBufferOutcome::FileFailed;
    }
    if (reading.onPacket) reading.onPacket(static_cast<int>(bytes->size()));
  }
}

}  // namespace kovrix
