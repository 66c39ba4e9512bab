#pragma once
// Filling one-line boxes with replies and data texts that may be longer than the box: the start
// of the text stays in sight and the whole text is in the box's tooltip.

#include <QString>

class QLineEdit;

namespace kovrix {

/// Shows a reply or data text in a box: the beginning in sight (the cursor at the start) and the
/// whole text in the box's tooltip. An empty text clears the tooltip too.
void ShowBoxText(QLineEdit* box, const QString& text);

/// Makes an editable box's tooltip follow its text as it is typed or set, so that the tooltip never
/// shows a text the box no longer holds.
void KeepToolTipWithText(QLineEdit* box);

/// Answers the tooltip of a box text: the whole text in lines of at most `width` characters,
/// shown as plain text even when it looks like markup; empty for an empty text.
QString BoxToolTip(const QString& text, int width = 80);

}  // namespace kovrix
