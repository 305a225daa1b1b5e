// The tray menu in each state, its picture and its status dot.
#include <QTest>

#include <quorvel/engine.h>
#include <quorvel/history.h>
#include <quorvel/models.h>

#include "app_test_support.h"
#include "translations.h"
#include "tray.h"

using namespace quorvel;
using namespace quorvel::app;
using namespace quorvel::app::test;

class TrayTest : public QObject {
  Q_OBJECT

  static const MenuRow* find(const std::vector<MenuRow>& rows, const QString& start) {
    for (const MenuRow& r : rows)
      if (r.title.startsWith(start)) return &r;
    return nullptr;
  }

 private slots:
  // The tests read the English texts, whatever the desktop's language.
  void initTestCase() { translations::use(QLocale(QLocale::English)); }

  // The menu follows the state: its first row is the status with its dot,
  // the numbers come from the documents, and the one toggle offers what can
  // be done with the engine now.
  void theMenuFollowsTheState() {
    AppHome home;
    AppModel model;
    QCOMPARE(model.status().advice(), QString());  // nothing failed yet
    Tray tray(model, {});
    auto rows = tray.rows();
    QVERIFY(rows.front().title.endsWith(model.status().text()));
    QCOMPARE(*rows.front().dot, model.status().color());
    QVERIFY(find(rows, QStringLiteral("Last reply")) == nullptr);  // no reply yet
    QVERIFY(find(rows, QStringLiteral("Start model")) != nullptr);
    QVERIFY(find(rows, QStringLiteral("Stop model")) == nullptr);
    QCOMPARE(rows.back().title, QStringLiteral("Quit Quorvel"));
    QVERIFY(find(rows, QStringLiteral("Unanswered questions")) != nullptr);

    pretendEngine(model, Engine::State::ready());
    rows = tray.rows();
    QVERIFY(rows.front().title.endsWith(QStringLiteral("Ready \u00B7 works offline")));
    QVERIFY(find(rows, QStringLiteral("Stop model")) != nullptr);
    QVERIFY(find(rows, QStringLiteral("Start model")) == nullptr);
    Engine::shared().setState(Engine::State::stopped());
  }

  // The status row does nothing (disabled), yet its dot shows the status
  // colour as drawn, not greyed; no row promises a shortcut that a closed
  // tray menu cannot take.
  void theStatusDotKeepsItsColourAndNoRowShowsAShortcut() {
    AppHome home;
    AppModel model;
    pretendEngine(model, Engine::State::failed("engine not found", Engine::Problem::notFound));
    Tray tray(model, {});
    QMenu menu;
    tray.fill(menu);
    QAction* status = menu.actions().first();
    QVERIFY(!status->isEnabled());
    const QImage dot = status->icon().pixmap(32, 32, QIcon::Disabled).toImage();
    QCOMPARE(dot.pixelColor(16, 16).name(), model.status().color().name());
    for (QAction* a : menu.actions()) QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->text()));
  }

  void theMenuOfAFailedEngineAndAfterAReply() {
    AppHome home;
    writeText(Paths::statsFile(), R"({"tps":12.6,"seconds":2,"date":"2026-12-08T09:00:00Z"})");
    AppModel model;
    Tray tray(model, {});
    pretendEngine(model, Engine::State::failed("engine not found", Engine::Problem::notFound));
    const auto rows = tray.rows();
    QCOMPARE(rows[0].title, QStringLiteral("Quorvel \u2014 Error: engine not found"));
    QCOMPARE(rows[0].dot->name(), QStringLiteral("#ff453a"));
    QVERIFY(model.status().advice().contains(QStringLiteral("llama-server is not installed")));
    // Where the package carries the server, the way out is to reinstall it.
    QVERIFY(EngineStatus::installServerAdvice(true).contains(QStringLiteral("reinstall Quorvel")));
    QCOMPARE(rows[2].title, QStringLiteral("Last reply: 13 tokens/s"));
    QCOMPARE(rows[2].symbol, QStringLiteral("speedometer"));
    QVERIFY(find(rows, QStringLiteral("Start model")) != nullptr);
    Engine::shared().setState(Engine::State::stopped());
  }

  void clearingTheHistoryShowsZero() {
    AppHome home;
    Answer a;
    a.question = "q";
    a.text = "t";
    a.language = "en";
    QVERIFY(History::append(a));
    AppModel model;
    TrayActions actions;
    actions.clearHistory = [] { History::clear(); };
    Tray tray(model, actions);
    QVERIFY(find(tray.rows(), QStringLiteral("Clear conversation history (1)")) != nullptr);
    QMenu menu;
    tray.fill(menu);
    for (QAction* action : menu.actions())
      if (action->text().startsWith(QStringLiteral("Clear"))) action->trigger();
    QVERIFY(find(tray.rows(), QStringLiteral("Clear conversation history (0)")) != nullptr);
  }

  // The history's rows in Russian, with the period in force and Russian
  // plurals for a period written into settings.json by hand.
  void theHistoryRowsInRussian() {
    AppHome home;
    QCOMPARE(translations::use(QLocale(QLocale::Russian)), QStringLiteral("ru"));
    AppModel model;
    Tray tray(model, {});
    const bool forget = find(tray.rows(), QStringLiteral("Забыть гостя…")) != nullptr;
    const bool year = find(tray.rows(), QStringLiteral("Хранить историю разговоров: 1 год")) != nullptr;
    Retention::setDays(0);
    const bool all = find(tray.rows(), QStringLiteral("Хранить историю разговоров: Хранить всё")) != nullptr;
    writeText(Paths::settingsFile(), R"({"keepHistoryDays": 22})");
    const QString days = retentionName(Retention::days());
    translations::use(QLocale(QLocale::English));
    QVERIFY(forget && year && all);
    QCOMPARE(days, QStringLiteral("22 дня"));
    QCOMPARE(retentionName(5), QStringLiteral("5 days"));
  }

  void theMenuPicture() {
    AppHome home;
    AppModel model;
    Tray tray(model, {});
    const QImage picture = Tray::preview(tray.rows(), model.status().color());
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.devicePixelRatio(), 2.0);
    QVERIFY(picture.width() >= 2 * 428);
  }
};

QTEST_MAIN(TrayTest)
#include "tray_test.moc"
