#include "app/text_codec.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QStringEncoder>

namespace kovrix {

QString FromCp1251(std::string_view bytes) {
  QStringDecoder decoder("windows-1251");
  return decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string ToCp1251(const QString& text) {
  QStringEncoder encoder("windows-1251");
  QByteArray bytes = encoder(text);
  if (!encoder.hasError()) return bytes.toStdString();
  // Some character has no cp1251 byte: encode one character at a time so that exactly the
  // unmappable ones become '?' (the encoder's own substitute is a control character).
  std::string out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    QStringEncoder one("windows-1251");
    const QByteArray b = one(QStringView(text).mid(i, n));
    out += one.hasError() || b.isEmpty() ? std::string("?") : b.toStdString();
    i += n - 1;
  }
  return out;
}

}  // namespace kovrix
