// The window's look: the three colours, the symbols the screens use and
// the style sheet.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace quorvel::app {

// The dark green background, the filled areas on it, and the gold accent.
QColor malachite();
QColor malachiteLight();
QColor gold();
// White at the given opacity (0 to 1), for secondary texts.
QColor white(double opacity);
// "rgba(r,g,b,a)" for style sheets.
QString css(const QColor& c);

// A symbol by its name ("doc.on.doc", "sparkles", …) in the given colour:
// the app's own drawings, so that the look is the same on every desktop.
QIcon symbol(const QString& name, const QColor& color = Qt::white);
// The application's icon.
QIcon appIcon();

// The style sheet of the whole window.
QString styleSheet();

}  // namespace quorvel::app
