// The app as a program: the start-up switches, one instance per support
// folder, quitting, and the watched documents folder.
#include <QFileInfo>
#include <QMenu>
#include <QTest>

#include <quorvel/doc_index.h>
#include <quorvel/engine.h>
#include <quorvel/history.h>
#include <quorvel/models.h>

#include "app_delegate.h"
#include "content_view.h"
#include "gaps_panel.h"
#include "main_view.h"
#include "app_test_support.h"
#include "fixture_builders.h"
#include "platform/local_http.h"
#include "translations.h"

using namespace quorvel;
using namespace quorvel::app;
using namespace quorvel::app::test;

class LaunchTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { translations::use(QLocale(QLocale::English)); }

  void switchesWithoutTheirValuesAreIgnored() {
    auto o = LaunchOptions::parse({QStringLiteral("Quorvel"), QStringLiteral("--ask")});
    QVERIFY(!o.ask);
    o = LaunchOptions::parse({QStringLiteral("Quorvel"), QStringLiteral("--snapshot")});
    QVERIFY(!o.snapshot);
    o = LaunchOptions::parse({QStringLiteral("Quorvel"), QStringLiteral("--background"), QStringLiteral("--ask"),
                              QStringLiteral("Wifi?"), QStringLiteral("--open-menu")});
    QVERIFY(o.background && o.openMenu && !o.samples);
    QCOMPARE(*o.ask, QStringLiteral("Wifi?"));
  }

  void backgroundWithOpenMenuShowsNoWindow() {
    AppHome home;
    LaunchOptions options;
    options.background = true;
    options.openMenu = true;
    AppDelegate app(options);
    QVERIFY(await([&](auto done) { app.launch(done); }));
    QVERIFY(!app.window().isVisible());
  }

  void aSecondStartHandsOverToTheFirst() {
    AppHome home;
    QVERIFY(!AppDelegate::handOver());  // nobody there yet
    LaunchOptions options;
    options.background = true;
    AppDelegate first(options);
    QVERIFY(!first.window().isVisible());
    QVERIFY(AppDelegate::handOver());
    QVERIFY(QTest::qWaitFor([&] { return first.window().isVisible(); }, 5000));
    // The socket lies in a folder nobody else can enter, never in /tmp
    // where another user could listen first.
    const QString socket = AppDelegate::instanceName();
    const QString folder = QFileInfo(socket).absolutePath();
    QVERIFY2(socket.startsWith(QLatin1Char('/')) && folder != QStringLiteral("/tmp"), qPrintable(socket));
    QCOMPARE(quorvel::test::permissions(folder.toStdString()) & 077u, 0u);
  }

  // "Clear conversation history" in the tray asks first: "no" keeps every
  // recorded reply.
  void clearingTheHistoryAsksFirst() {
    AppHome home;
    for (const char* q : {"Do you have a gym?", "Is there a sauna?"})
      QVERIFY(History::append(historyAnswer(q, true, "en", std::chrono::system_clock::now())));
    LaunchOptions options;
    options.background = true;
    AppDelegate app(options);
    std::vector<int> asked;
    bool answer = false;
    app.confirmClearHistory = [&](int count) {
      asked.push_back(count);
      return answer;
    };
    auto clear = [&] {
      QMenu menu;
      app.tray().fill(menu);
      QAction* found = nullptr;
      for (QAction* a : menu.actions())
        if (a->text().startsWith(QStringLiteral("Clear conversation history"))) found = a;
      QVERIFY(found != nullptr);
      found->trigger();
    };
    clear();
    QCOMPARE(asked, std::vector<int>{2});
    QCOMPARE(History::count(), 2);
    answer = true;
    clear();
    QCOMPARE(asked, (std::vector<int>{2, 2}));
    QCOMPARE(History::count(), 0);
  }

  // The retention period in the tray: the choice in force is checked and
  // named in the row; a shorter one is stored for the tool too and removes
  // what is past it at once. The app's start removes what is past the
  // period in force.
  void theRetentionPeriodIsChosenInTheTray() {
    AppHome home;
    const auto now = std::chrono::system_clock::now();
    const auto ago = [&](int days) { return now - std::chrono::hours(24) * days; };
    for (auto [q, days] : {std::pair{"Ancient", 400}, {"Spring", 100}, {"Yesterday", 1}})
      QVERIFY(History::append(historyAnswer(q, true, "en", ago(days))));
    LaunchOptions options;
    options.background = true;
    AppDelegate app(options);
    QVERIFY(QTest::qWaitFor([] { return History::count() == 2; }, 60000));  // at start: the year

    QMenu menu;
    app.tray().fill(menu);
    QMenu* keep = nullptr;
    for (QAction* a : menu.actions())
      if (a->text() == QStringLiteral("Keep conversation history: 1 year")) keep = a->menu();
    QVERIFY(keep != nullptr);
    QStringList names, checked;
    for (QAction* a : keep->actions()) {
      names << a->text();
      if (a->isChecked()) checked << a->text();
    }
    QCOMPARE(names, (QStringList{QStringLiteral("30 days"), QStringLiteral("90 days"), QStringLiteral("1 year"),
                                 QStringLiteral("Keep all")}));
    QCOMPARE(checked, QStringList{QStringLiteral("1 year")});
    keep->actions().at(1)->trigger();
    QCOMPARE(Retention::days(), 90);
    QVERIFY(QTest::qWaitFor([] { return History::count() == 1; }, 60000));
    QVERIFY(readText(Paths::historyFile()).find("Yesterday") != std::string::npos);
  }

  // "Forget a guest…" asks for the text, then shows how many kept replies
  // hold it; "no" keeps them, "yes" removes them and no other, says so,
  // and clears the guest's message from the screen (written again, it
  // would be kept again); another guest's message stays.
  void forgettingAGuestShowsTheCountAndAsks() {
    AppHome home;
    const auto now = std::chrono::system_clock::now();
    for (const char* q : {"I am Anna Kowalska, room 12", "Is there a sauna?", "KOWALSKA again: a late checkout?"})
      QVERIFY(History::append(historyAnswer(q, true, "en", now)));
    LaunchOptions options;
    options.background = true;
    AppDelegate app(options);
    std::optional<QString> typed;
    std::vector<std::pair<int, QString>> asked;
    bool answer = false;
    app.askGuestText = [&] { return typed; };
    app.confirmForget = [&](int count, const QString& text) {
      asked.emplace_back(count, text);
      return answer;
    };
    auto forget = [&] {
      QMenu menu;
      app.tray().fill(menu);
      for (QAction* a : menu.actions())
        if (a->text() == QStringLiteral("Forget a guest\u2026")) a->trigger();
    };
    forget();  // cancelled at the text: nothing asked
    QVERIFY(asked.empty());
    typed = QStringLiteral(" kowalska ");
    forget();
    QCOMPARE(asked.size(), std::size_t{1});
    QCOMPARE(asked[0], std::make_pair(2, QStringLiteral("kowalska")));
    QCOMPARE(History::count(), 3);
    QStringList said;
    app.model().notify = [&](const QString&, const QString& text) { said << text; };
    app.model().reply().setGuestText(QStringLiteral("Kowalska here: is breakfast included?"));
    answer = true;
    forget();
    QVERIFY(QTest::qWaitFor([&] { return !said.isEmpty(); }, 60000));
    QCOMPARE(said, QStringList{QStringLiteral("2 kept replies removed.")});
    QCOMPARE(History::count(), 1);
    QVERIFY(readText(Paths::historyFile()).find("sauna") != std::string::npos);
    QCOMPARE(app.model().reply().guestText(), QString());

    app.model().reply().setGuestText(QStringLiteral("Is there a sauna?"));
    typed = QStringLiteral("Nowak");
    forget();
    QVERIFY(QTest::qWaitFor([&] { return said.size() == 2; }, 60000));
    QCOMPARE(said.last(), QStringLiteral("0 kept replies removed."));
    QCOMPARE(app.model().reply().guestText(), QStringLiteral("Is there a sauna?"));
  }

  // A second start with --ask, --gaps and --open-menu hands them to the
  // running instance: the message (line breaks and all) is replied to,
  // the unanswered questions shown; one handed over while a reply is being
  // written waits for it, never dropped.
  void aSecondStartHandsItsSwitchesOver() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeText(Paths::documents() / "rules.md", "Breakfast is served from 7:00 to 10:30 on the terrace.");
    LaunchOptions first;
    first.background = true;
    AppDelegate app(first);
    QVERIFY(await([&](auto done) { app.launch(done); }));
    QCOMPARE(app.model().status().state(), Engine::State::ready());

    const auto second = [](const QStringList& args) {
      return AppDelegate::handOver(LaunchOptions::parse(QStringList{QStringLiteral("Quorvel")} + args));
    };
    const QString letter = QStringLiteral("Dear hotel,\nwhen is breakfast?\n\u2014 Anna");
    QVERIFY(second({QStringLiteral("--background"), QStringLiteral("--ask"), letter}));
    QVERIFY(QTest::qWaitFor([&] { return app.model().reply().replied(); }, 30000));
    QCOMPARE(app.model().reply().guestText(), letter);
    QVERIFY(!app.window().isVisible());  // --background: the window stays as it was

    // Two in a row: the second waits for the first reply.
    QVERIFY(second({QStringLiteral("--ask"), QStringLiteral("Is there a sauna?")}));
    QVERIFY(QTest::qWaitFor([&] { return app.model().reply().busy(); }, 10000));
    QVERIFY(second({QStringLiteral("--ask"), QStringLiteral("Is parking free?")}));
    QVERIFY(QTest::qWaitFor(
        [&] { return app.model().reply().replied() && app.model().reply().guestText().startsWith("Is parking"); },
        30000));
    QVERIFY(app.window().isVisible());
    QCOMPARE(History::count(), 3);

    QVERIFY(second({QStringLiteral("--gaps"), QStringLiteral("--open-menu")}));
    QVERIFY(QTest::qWaitFor([&] { return app.window().content()->main()->gaps()->isVisible(); }, 10000));
  }

  void quittingStopsTheServersThisProcessLaunched() {
    AppHome home;
    prepareStandInHome(home.home.path());
    LaunchOptions options;
    options.background = true;
    AppDelegate app(options);
    QVERIFY(await([&](auto done) { app.launch(done); }));
    QCOMPARE(app.model().status().state(), Engine::State::ready());
    app.quit();
    QVERIFY(QTest::qWaitFor(
        [] { return LocalHTTP::getStatus(Engine::chatURL() + "/health", std::chrono::milliseconds(300)) == 0; },
        10000));
    QVERIFY(QTest::qWaitFor(
        [] { return LocalHTTP::getStatus(Engine::embedURL() + "/health", std::chrono::milliseconds(300)) == 0; },
        10000));
  }

  void aFileDroppedIntoTheFolderIsReadWithoutAnyAction() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeText(Paths::documents() / "rules.md", "Quiet hours from 22:00.");
    AppModel model;
    model.watchDocuments();
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    const int before = model.reReads();

    writeText(Paths::documents() / "prices.txt", "Double room 120 EUR.");
    QVERIFY(
        QTest::qWaitFor([&] { return model.documents().files().size() == 2 && !model.documents().reading(); }, 15000));
    QCOMPARE(DocIndex::shared().count("prices.txt"), 1);
    QCOMPARE(model.reReads(), before + 1);

    // A burst of writes: one re-read once it has settled.
    for (int i = 0; i < 20; ++i) {
      writeText(Paths::documents() / ("note" + std::to_string(i) + ".txt"), "Note " + std::to_string(i) + ".");
      QTest::qWait(50);
    }
    QVERIFY(
        QTest::qWaitFor([&] { return model.documents().files().size() == 22 && !model.documents().reading(); }, 20000));
    QCOMPARE(model.reReads(), before + 2);

    // The app's own import re-reads once, and the watcher adds nothing.
    TempDir src;
    writeText(src / "menu.md", "Dinner from 19:00.");
    model.addDocuments({QString::fromStdString((src / "menu.md").string())});
    QTest::qWait(3500);
    QVERIFY(!model.documents().reading());
    QCOMPARE(model.reReads(), before + 3);
    QCOMPARE(model.documents().files().size(), 23u);
  }
};

QTEST_MAIN(LaunchTest)
#include "launch_test.moc"
