#include "app/text_boxes.h"

#include <QLineEdit>
#include <QStringList>
#include <QTextDocument>

namespace kovrix {

QString BoxToolTip(const QString& text, int width) {
  if (text.isEmpty() || width <= 0) return QString();
  // A tooltip does not wrap a plain line: a long reply would run off the screen in one line.
  QStringList lines;
  for (qsizetype at = 0; at < text.size(); at += width) lines << text.mid(at, width);
  const QString plain = lines.join(QLatin1Char('\n'));
  if (!Qt::mightBeRichText(plain)) return plain;
  // A reply such as "<b>..." would otherwise be drawn as markup; escaped, it shows as sent.
  QStringList escaped;
  for (const QString& line : lines) escaped << line.toHtmlEscaped();
  return QStringLiteral("<p style='white-space:pre'>") + escaped.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

void ShowBoxText(QLineEdit* box, const QString& text) {
  if (!box) return;
  box->setText(text);
  box->setCursorPosition(0);
  box->setToolTip(BoxToolTip(text));
}

void KeepToolTipWithText(QLineEdit* box) {
  if (!box) return;
  QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) { box->setToolTip(BoxToolTip(text)); });
}

}  // namespace kovrix
