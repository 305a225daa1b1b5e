// The window's look: the three colours, the symbols the screens use, and
// the texts in English or Russian.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <functional>

namespace quorvel::app {

// The dark green background, the filled areas on it, and the gold accent.
QColor malachite();
QColor malachite2();
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

// Whether the app speaks Russian: the first of the user's interface
// languages begins with "ru". Decided once.
bool isRU();
// For the tests: English or Russian from now on, whatever the desktop's.
void setRussian(bool ru);
// In Russian, Qt's own texts (the file dialog, standard buttons) in Russian
// too, from Qt's installed translations; false when there are none.
bool loadQtTranslations();
// The English or the Russian text, by isRU().
inline QString tr2(const char* en, const char* ru) { return QString::fromUtf8(isRU() ? ru : en); }

// A notification through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), drawn by the desktop
// in its own readable style. `fallback` runs, on the GUI thread, when there
// is no such service or it fails.
void notifyDesktop(const QString& title, const QString& text, std::function<void()> fallback = {});

// The style sheet of the whole window.
QString styleSheet();

}  // namespace quorvel::app
