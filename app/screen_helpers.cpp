#include "app/screen_helpers.h"

#include <QLineEdit>
#include <climits>
#include <string>

#include "app/input.h"
#include "app/text_codec.h"
#include "app/ui_services.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "driver/frame.h"
#include "driver/error_text.h"
#include "session/lost_reply.h"

namespace kovrix {

const ReplyRecord* SettleLostReply(const ReplyRecord* reply) {
  if (reply == nullptr || !session::ReplyLost(*reply)) return reply;
  const ReplyRecord* again = session::RecoverLostReply();
  return again ? again : LatestRecord();
}

QString StateChangingCommandName(int command, const std::string& data) {
  switch (command) {
    case 0x24: return QStringLiteral("программирование товара");
    case 0x61: return QStringLiteral("печать текста");
    case 0x63: return QStringLiteral("открытие чека");
    case 0x64: return QStringLiteral("продажа");
    case 0x65: return QStringLiteral("закрытие чека");
    case 0x67: return QStringLiteral("оплата");
    case 0x68: case 0x69: case 0x73: case 0x74: case 0x75: case 0x76: return QStringLiteral("скидка/наценка");
    case 0x6B: return QStringLiteral("аннулирование");
    case 0x6D: return QStringLiteral("печать итога");
    case 0x6E: return QStringLiteral("внесение/выдача наличных");
    case 0x77: return QStringLiteral("служебное внесение/выдача");
    case 0x78: return QStringLiteral("оплата банковской картой");
    case 0xA1: {
      // The selector is the second field: 0 the Z report, 1 the X report, 2 clearing the tape.
      const std::size_t first = data.find(';');
      const char selector = first != std::string::npos && first + 1 < data.size() ? data[first + 1] : '?';
      if (selector == '0') return QStringLiteral("Z-отчет");
      if (selector == '1') return QStringLiteral("X-отчет");
      return QStringLiteral("дневной отчет");
    }
    case 0xA3: return QStringLiteral("периодический отчет");
    case 0xA4: return QStringLiteral("отчет по товарам");
    case 0xA5: return QStringLiteral("печать копий чеков");
    case 0xA6: return QStringLiteral("дополнительный отчет");
    default: return QString();
  }
}

bool EarlierCommandSettled(UiServices& ui) {
  const std::optional<session::LostCommand> lost = session::LatestLostCommand();
  if (!lost || !session::StillLast(*lost)) return true;
  const QString name = StateChangingCommandName(lost->command, lost->data);
  const ReplyRecord* reply = session::AskLostAgain(*lost, 1);
  // A reading command settles nothing: the click goes on whatever came back.
  if (name.isEmpty()) return true;
  if (reply == nullptr) {
    ui.ShowMessage(QStringLiteral("Регистратор не отвечает: выполнена ли предыдущая команда (%1), неизвестно. "
                                  "Новая команда не отправлена.\nПроверьте связь и нажмите кнопку еще раз: регистратор "
                                  "ответит на тот же запрос, и команда не будет выполнена дважды.")
                       .arg(name));
    return false;
  }
  if (reply->errorText == "0000") {
    ui.ShowMessage(QStringLiteral("Ответ на предыдущую команду (%1) был потерян и получен повторно: команда выполнена "
                                  "один раз. Новая команда не отправлена: нажмите кнопку еще раз, если она нужна.")
                       .arg(name));
  } else {
    ui.ShowMessage(QStringLiteral("Ответ на предыдущую команду (%1) был потерян и получен повторно: регистратор ее не "
                                  "выполнил (ошибка %2). Новая команда не отправлена.")
                       .arg(name, QString::fromStdString(reply->errorText)));
  }
  return false;
}

namespace {

std::function<bool()>& PortGoneCheck() {
  static std::function<bool()> check;
  return check;
}

}  // namespace

void SetPortGoneCheck(std::function<bool()> check) { PortGoneCheck() = std::move(check); }

QString LinkFaultNote(const ReplyRecord& reply) {
  switch (reply.linkFault) {
    case LinkFault::None:
      // No frame went out: the port was closed or lost before the command, so the registrator
      // cannot have answered (nor executed it).
      if ((reply.status & ST_NO_REPLY) && reply.sentFrame.empty() && reply.command != 0) {
        return QStringLiteral("Порт закрыт или потерян: команда не отправлена.\n"
                              "Подключите порт заново в главном окне (\"Отключить\", затем \"Подключить\").");
      }
      // Silence from a device file that has vanished: no registrator could have answered there.
      if ((reply.status & ST_NO_REPLY) && PortGoneCheck() && PortGoneCheck()()) {
        return QStringLiteral("Порт потерян: устройство отключено, ответа быть не могло.\n"
                              "Подключите устройство, затем в главном окне нажмите \"Отключить\" и \"Подключить\".");
      }
      break;
    case LinkFault::Flood:
      return QStringLiteral("Порт передаёт байты, которые не являются ответом регистратора "
                            "(к порту подключено другое устройство?).");
    case LinkFault::Closed:
      return QStringLiteral("Конвертер закрыл соединение. Следующая команда подключится заново.");
    case LinkFault::NotConnected:
      return QStringLiteral("Соединение с конвертером потеряно и не восстановлено: команда не отправлена.\n"
                            "Проверьте конвертер и сеть; следующая команда подключится заново.");
  }
  return {};
}

namespace {

// The message's own text first, the link's reason (when known) on a line of its own.
QString WithLinkFault(const QString& message, const ReplyRecord& reply) {
  const QString note = LinkFaultNote(reply);
  return note.isEmpty() ? message : message + u'\n' + note;
}

}  // namespace

bool CheckReply(UiServices& ui, const ReplyRecord& reply, const QString& heading) {
  std::string text;
  if (GetErrorText(reply, text)) return true;
  // Without a heading the error's text stands alone.
  ui.ShowMessage(WithLinkFault(
      heading.isEmpty() ? FromCp1251(text) : heading + QStringLiteral("\n  ") + FromCp1251(text), reply));
  return false;
}

bool CheckReplyText(UiServices& ui, const ReplyRecord& reply) { return CheckReply(ui, reply, QString()); }

bool CheckSent(UiServices& ui, int err) {
  if (err == 0) return true;
  // The only refusal the screens' own inputs can cause is a data text longer than one frame.
  ui.ShowMessage(err == ERR_DATA_TOO_LONG
                     ? QStringLiteral("Команда не отправлена: данные не помещаются в кадр.")
                     : QStringLiteral("Команда не отправлена: неверный аргумент (%1).").arg(err));
  return false;
}

const ReplyRecord* ExecuteFitting(UiServices& ui, int command, const std::string& data) {
  if (data.size() > kMaxFrameData) {
    CheckSent(ui, ERR_DATA_TOO_LONG);
    return nullptr;
  }
  return ExecuteCommand(command, data);
}

bool CheckTimeoutAndCode(UiServices& ui, const ReplyRecord& reply, const QString& timeoutMessage,
                         const QString& errorMessage) {
  if (reply.status & ST_NO_REPLY) {
    ui.ShowMessage(WithLinkFault(timeoutMessage, reply));
    return false;
  }
  if (reply.errorText != "0000") {
    ui.ShowMessage(errorMessage);
    return false;
  }
  return true;
}

QString ErrorCodeText(const ReplyRecord& reply) {
  if (reply.status & ST_NO_REPLY) return QStringLiteral("----");
  return FromCp1251(reply.errorText);
}

QString StatusBytesText(const ReplyRecord& reply) {
  QString text;
  for (std::size_t i = 0; i < reply.statusBytes.size(); ++i) {
    if (i > 0) text += u' ';
    text += QStringLiteral("%1").arg(static_cast<uint>(reply.statusBytes[i]), 2, 16, QLatin1Char('0')).toUpper();
  }
  return text;
}

QString ModelStatusLine(const ReplyRecord& reply, bool withServiceMode) {
  QString line = QStringLiteral("   Модель:") + FromCp1251(reply.field(1)) + QStringLiteral(",    Версия:") +
                 FromCp1251(reply.field(2)) + QStringLiteral(",     ") + FromCp1251(reply.field(3)) + u'.';
  if (withServiceMode && (reply.statusBytes[0] & 0x01)) line += QStringLiteral(" Сервис.реж.");
  return line;
}

int PaymentTypeCount(const ReplyRecord& reply) {
  const std::string& field = reply.field(11);
  long long value = 0;
  for (std::size_t i = 0; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + (field[i] - '0');
    if (value > INT_MAX) return INT_MAX;  // an absurd count saturates instead of overflowing
  }
  return value == 0 ? 10 : static_cast<int>(value);
}

namespace {

QString SeparatorRefusal(const QString& label) {
  return QStringLiteral("Ошибка! Символ \";\" недопустим в поле \"%1\".").arg(label);
}

}  // namespace

bool SeparatorFree(UiServices& ui, const QString& label, const QString& text) {
  if (!text.contains(u';')) return true;
  // A ";" would end the field early and shift every later field of the command.
  ui.ShowMessage(SeparatorRefusal(label));
  return false;
}

QString SeparatorFreeText(const QString& label, const QString& text) {
  if (text.contains(u';')) throw InputError{SeparatorRefusal(label)};
  return text;
}

bool ShowOutsideValues(UiServices& ui, std::initializer_list<OutsideValue> values) {
  for (const OutsideValue& v : values) {
    // The length limit is for typing: setText would cut a longer value without a word.
    if (v.value.size() > v.box->maxLength()) {
      ui.ShowMessage(QStringLiteral("Ошибка! Значение \"%1\" для поля \"%2\" длиннее %3 символов и не принято.")
                         .arg(v.value, v.label)
                         .arg(v.box->maxLength()));
      return false;
    }
  }
  for (const OutsideValue& v : values) v.box->setText(v.value);
  return true;
}

}  // namespace kovrix
