#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace quorvel::app::translations {

namespace {

std::unique_ptr<QTranslator> own, qts;
QString current = QStringLiteral("en");

void drop(std::unique_ptr<QTranslator>& t) {
  if (t) QCoreApplication::removeTranslator(t.get());
  t.reset();
}

}  // namespace

QString use(const QLocale& locale, const QString& folder) {
  drop(own);
  drop(qts);
  current = QStringLiteral("en");
  auto mine = std::make_unique<QTranslator>();
  // The English file carries only the English plural forms ("1 passage").
  if (mine->load(locale, QStringLiteral("quorvel"), QStringLiteral("_"), folder) ||
      mine->load(QStringLiteral("quorvel_en"), folder)) {
    current = mine->language().section(QLatin1Char('_'), 0, 0);
    QCoreApplication::installTranslator(mine.get());
    own = std::move(mine);
  }
  if (current != QStringLiteral("en")) {
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(QLocale(current), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QCoreApplication::installTranslator(qt.get());
      qts = std::move(qt);
    }
  }
  return current;
}

QString language() { return current; }

bool qtsOwnInstalled() { return qts != nullptr; }

}  // namespace quorvel::app::translations
