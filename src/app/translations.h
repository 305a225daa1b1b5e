// The app's texts in the user's language: its own translation
// (quorvel_<language>.qm, compiled into the app) and Qt's (qtbase_<language>.qm
// from Qt's installed translations: the file dialog, standard buttons).
#pragma once

#include <QLocale>
#include <QString>

namespace quorvel::app::translations {

// Installs the translations for the first of `locale`'s interface languages
// that the app has (looked for in `folder`), replacing any installed before;
// the English texts when it has none. Widgets made afterwards use them.
// Returns the language now in use ("en", "ru").
QString use(const QLocale& locale = QLocale::system(), const QString& folder = QStringLiteral(":/i18n"));

// The language of the texts now: "en" until use() finds another.
QString language();

// Qt's own translation for the language in use was found and installed.
bool qtsOwnInstalled();

}  // namespace quorvel::app::translations
