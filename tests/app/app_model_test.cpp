// The app model against the stand-in model server: install, replies, the
// clipboard, documents, and what happens when the core fails.
#include <nlohmann/json.hpp>

#include <QClipboard>
#include <fstream>
#include <QDir>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include <quorvel/doc_index.h>
#include <quorvel/history.h>
#include <quorvel/models.h>

#include "app_test_support.h"
#include "translations.h"
#include "fixture_builders.h"

using namespace quorvel;
using namespace quorvel::app;
using namespace quorvel::app::test;

class AppModelTest : public QObject {
  Q_OBJECT

  // The document the replies come from.
  static void writeRules() {
    writeText(Paths::documents() / "rules.md",
              "# Breakfast\n\nBreakfast is served from 7:00 to 10:30 on the terrace.\n\n"
              "# Parking\n\nParking in the courtyard is free for guests.");
  }

  // The bodies of the chat requests the stand-in recorded, in order.
  static std::vector<nlohmann::json> recordedChats(const fs::path& record) {
    std::vector<nlohmann::json> out;
    std::ifstream in(record);
    for (std::string line; std::getline(in, line);) {
      const auto j = nlohmann::json::parse(line, nullptr, false);
      if (j.is_object() && j["path"] == "/v1/chat/completions") out.push_back(j["body"]);
    }
    return out;
  }

  static nlohmann::json lastHistoryLine() {
    const std::string text = readText(Paths::historyFile());
    const auto end = text.rfind('\n', text.size() - 2);
    return nlohmann::json::parse(text.substr(end == std::string::npos ? 0 : end + 1));
  }

 private slots:
  // The tests read the English texts, whatever the desktop's language.
  void initTestCase() { translations::use(QLocale(QLocale::English)); }

  void installWithBothModelsPresentDownloadsNothingAndStarts() {
    AppHome home;
    prepareAllModels(home.home.path());
    AppModel model;
    QVERIFY(await([&](auto done) { model.install(done); }));
    QCOMPARE(model.setup().step(), QString());
    QVERIFY(!model.setup().progress());
    QCOMPARE(model.status().state(), Engine::State::ready());
    // An empty documents folder gets the hotel templates, and they are read.
    QVERIFY(QTest::qWaitFor([&] { return !model.documents().reading() && !model.documents().files().empty(); }, 30000));
    QVERIFY(fs::exists(Paths::documents() / "breakfast.md"));
    QVERIFY(model.documents().passages() > 0);
  }

  void installKeepsExistingDocuments() {
    AppHome home;
    prepareAllModels(home.home.path());
    writeRules();
    AppModel model;
    QVERIFY(await([&](auto done) { model.install(done); }));
    QVERIFY(!fs::exists(Paths::documents() / "breakfast.md"));
  }

  void onlyTheReplyModelMissingIsOneStepAndAFailedDownloadSaysWhy() {
    AppHome home;
    prepareStandInHome(home.home.path(), /*chatModel=*/false);
    LocalServer mirror;  // knows no file: every download is a 404
    mirror.start();
    ScopedEnv base("QUORVEL_MODEL_BASE_URL", mirror.base());
    AppModel model;
    QVERIFY(!EngineStatus::modelsReady());
    bool finished = false;
    model.install([&] { finished = true; });
    const ModelSpec& chat = ModelCatalog::recommendedChat();
    QCOMPARE(model.setup().step(),
             QStringLiteral("1/1 \u00B7 %1 \u00B7 %2 MB").arg(QString::fromStdString(chat.title)).arg(chat.sizeMB));
    QCOMPARE(model.setup().progress(), std::optional<double>(0.0));
    QVERIFY(QTest::qWaitFor([&] { return finished; }, 30000));
    QVERIFY2(model.setup().error().startsWith(QStringLiteral(
                 "The model could not be downloaded: the download server refused the file. Try again later. (")),
             qPrintable(model.setup().error()));
    QCOMPARE(model.setup().step(), QString());
    QVERIFY(model.setup().error().contains(QStringLiteral("404")));
    QVERIFY(!model.setup().progress());
    QCOMPARE(model.status().state(), Engine::State::stopped());
  }

  void askWhileTheEngineStartsChangesNothing() {
    AppHome home;
    AppModel model;
    pretendEngine(model, Engine::State::starting());
    QSignalSpy changes(&model.reply(), &ReplyState::changed);
    model.reply().setGuestText(QStringLiteral("When is breakfast?"));
    changes.clear();
    bool finished = false;
    model.ask([&] { finished = true; });
    QVERIFY(finished);  // at once
    QVERIFY(!model.reply().busy());
    QCOMPARE(changes.count(), 0);
    Engine::shared().setState(Engine::State::stopped());
  }

  void repliesStreamInOrderAndTheLanguageIsPassedOnlyWhenChosen() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeRules();
    AppModel model;
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QCOMPARE(model.status().state(), Engine::State::ready());
    QSignalSpy engine(&model.status(), &EngineStatus::changed);
    QSignalSpy documents(&model.documents(), &DocumentsState::changed);
    QSignalSpy setup(&model.setup(), &SetupState::changed);

    // The streamed pieces add up to the reply as it is written, and touch
    // the reply alone: the status changes when the reply starts and ends.
    QString streamed;
    int pieces = 0;
    connect(&model.reply(), &ReplyState::changed, this, [&] {
      if (model.reply().busy()) {
        streamed = model.reply().answer();
        ++pieces;
      }
    });
    model.reply().setGuestText(QStringLiteral("What time is breakfast?"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QCOMPARE(model.reply().answer(), QStringLiteral("Breakfast is served from 7:00 to 10:30 on the terrace [1]."));
    QVERIFY2(model.reply().answer().startsWith(streamed) && !streamed.isEmpty(), qPrintable(streamed));
    QCOMPARE(model.reply().sources().size(), 1u);
    QCOMPARE(QString::fromStdString(model.reply().sources()[0].file), QStringLiteral("rules.md"));
    QVERIFY(!model.reply().notInDocs());
    QVERIFY(!model.reply().busy());
    QVERIFY2(pieces > 3, qPrintable(QString::number(pieces)));
    QCOMPARE(engine.count(), 2);
    QCOMPARE(documents.count(), 0);
    QCOMPARE(setup.count(), 0);
    QVERIFY(model.note().endsWith(QStringLiteral(" s \u00B7 offline")));
    QVERIFY(lastHistoryLine()["language"].get<std::string>() == "en");  // "auto": the guest's own

    model.reply().setLanguage(QStringLiteral("de"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QVERIFY(lastHistoryLine()["language"].get<std::string>() == "de");
    QCOMPARE(model.reply().lastTPS(), Stats::lastTPS());  // as recorded, not rounded
  }

  // A chat server that dies in the middle of a reply: the engine is no longer
  // ready, what was written is marked unfinished and cannot be copied, and
  // the next "Write reply" starts the servers again and writes it whole.
  void aServerThatDiesMidReplyIsNoticedAndTheNextReplyStartsItAgain() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeRules();
    AppModel model;
    {
      ScopedEnv cut("QUORVEL_STANDIN_CUT_STREAM", "1");  // read by the servers launched now
      QVERIFY(await([&](auto done) { model.startEngine(done); }));
    }
    QCOMPARE(model.status().state(), Engine::State::ready());
    model.reply().setGuestText(QStringLiteral("What time is breakfast?"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QCOMPARE(model.status().state().kind, Engine::State::Kind::failed);
    QCOMPARE(model.status().state().problem, Engine::Problem::serverStopped);
    QCOMPARE(model.status().text(), QStringLiteral("Error: the model server stopped"));
    QVERIFY2(!model.reply().answer().isEmpty() && model.reply().unfinished() && !model.reply().replied(),
             qPrintable(model.reply().answer()));
    QCOMPARE(model.note(), QStringLiteral("The reply was not finished: the model server stopped. "
                                          "\u201CWrite reply\u201D starts it again."));
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    QVERIFY(!model.copyAnswer());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));

    QVERIFY(model.canAsk());
    // While the model starts again, the unfinished reply is gone and a
    // reply is under way.
    QVERIFY(await([&](auto done) {
      model.ask(done);
      QVERIFY(model.reply().busy() && model.reply().answer().isEmpty() && !model.reply().unfinished());
    }));
    QCOMPARE(model.status().state(), Engine::State::ready());
    QCOMPARE(model.reply().answer(), QStringLiteral("Breakfast is served from 7:00 to 10:30 on the terrace [1]."));
    QVERIFY(model.reply().replied() && !model.reply().unfinished());
    QVERIFY(model.copyAnswer());
    QCOMPARE(QGuiApplication::clipboard()->text(), model.reply().answer());
  }

  // Killed while nobody asks: noticed within seconds, by the watch.
  void aServerKilledWhileIdleTurnsTheStatusRed() {
    AppHome home;
    prepareStandInHome(home.home.path());
    AppModel model;
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QCOMPARE(model.status().color(), QColor(0x30, 0xd1, 0x58));
    killChatServer();
    QVERIFY(QTest::qWaitFor([&] { return model.status().state().kind == Engine::State::Kind::failed; }, 20000));
    QCOMPARE(model.status().state().problem, Engine::Problem::serverStopped);
    QCOMPARE(model.status().color(), QColor(0xff, 0x45, 0x3a));
    QVERIFY(model.status().canStart());
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QCOMPARE(model.status().state(), Engine::State::ready());
  }

  void theSpeedLine() {
    QCOMPARE(AppModel::speedLine(42.4, 3.06), QStringLiteral("42 tokens/s \u00B7 3.1 s \u00B7 offline"));
  }

  void clipboardReplies() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeRules();
    AppModel model;
    QStringList notices;
    model.notify = [&](const QString& title, const QString& text) { notices << title + ": " + text; };
    QClipboard* clipboard = QGuiApplication::clipboard();

    // Nothing on the clipboard: nothing to reply to, and it says so.
    clipboard->clear();
    QVERIFY(await([&](auto done) { model.answerClipboard(done); }));
    QCOMPARE(notices, QStringList{QStringLiteral("Quorvel: No reply: the clipboard holds no text")});
    notices.clear();
    // The model not running: the clipboard keeps the guest's message.
    clipboard->setText(QStringLiteral("Can I bring my dog?"));
    QVERIFY(await([&](auto done) { model.answerClipboard(done); }));
    QCOMPARE(clipboard->text(), QStringLiteral("Can I bring my dog?"));
    QCOMPARE(notices, QStringList{QStringLiteral("Quorvel: No reply: the model is not running \u2014 start it first")});
    notices.clear();

    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    model.reply().setReplyTemplate(&ReplyTemplate::hotel()[1]);
    clipboard->setText(QStringLiteral("Is parking free?"));
    QVERIFY(await([&](auto done) { model.answerClipboard(done); }));
    QCOMPARE(model.reply().guestText(), QStringLiteral("Is parking free?"));
    QVERIFY(model.reply().replyTemplate() == nullptr);  // clipboard questions take no template
    QCOMPARE(clipboard->text(), QStringLiteral("Parking in the courtyard is free for guests [1]."));
    QCOMPARE(notices, QStringList{QStringLiteral("Quorvel: Reply copied to the clipboard")});

    // During a reply: no second reply starts, and the clipboard keeps the
    // new guest's message rather than getting the reply under way.
    model.reply().setGuestText(QStringLiteral("What time is breakfast?"));
    bool first = false;
    model.ask([&] { first = true; });
    QVERIFY(model.reply().busy());
    clipboard->setText(QStringLiteral("Is there a sauna?"));
    bool second = false;
    model.answerClipboard([&] { second = true; });
    QVERIFY(second);
    QCOMPARE(clipboard->text(), QStringLiteral("Is there a sauna?"));
    QCOMPARE(model.reply().guestText(), QStringLiteral("What time is breakfast?"));
    QCOMPARE(notices.size(), 2);
    QVERIFY(notices.last().startsWith(QStringLiteral("Quorvel: No reply: another reply is being written")));
    QVERIFY(QTest::qWaitFor([&] { return first; }, 30000));
    QCOMPARE(History::count(), 2);  // the clipboard question during the reply was not answered

    // A reply that fails (the servers are gone) leaves the clipboard as it
    // was.
    quorvel::test::stopModelServers();
    clipboard->setText(QStringLiteral("Is the pool heated?"));
    QVERIFY(await([&](auto done) { model.answerClipboard(done); }));
    QCOMPARE(clipboard->text(), QStringLiteral("Is the pool heated?"));
    QVERIFY2(notices.last().startsWith(QStringLiteral("Quorvel: No reply: ")) && notices.last().size() > 30,
             qPrintable(notices.last()));
  }

  void documentsComeAndGoWithReReads() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeRules();
    AppModel model;
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QCOMPARE(model.documents().files(), std::vector<std::string>{"rules.md"});

    // Removing a name that is not there still re-reads.
    model.remove("no-such-file.txt");
    QVERIFY(model.documents().reading());
    QVERIFY(QTest::qWaitFor([&] { return !model.documents().reading(); }, 30000));

    TempDir src;
    writeText(src / "prices.txt", "Double room 120 EUR.");
    model.addDocuments({QString::fromStdString((src / "prices.txt").string())});
    QVERIFY(QTest::qWaitFor([&] { return model.documents().files().size() == 2; }, 30000));
    model.remove("rules.md");
    QVERIFY(
        QTest::qWaitFor([&] { return model.documents().files() == std::vector<std::string>{"prices.txt"}; }, 30000));
    QVERIFY(!fs::exists(Paths::documents() / "rules.md"));

    // With the engine stopped, files are copied but not read.
    model.pickFiles = [&] { return QStringList{QString::fromStdString((src / "prices.txt").string())}; };
    pretendEngine(model, Engine::State::stopped());
    writeText(src / "prices.txt", "Double room 130 EUR.");
    model.pickDocuments();
    QVERIFY(!model.documents().reading());
    QCOMPARE(readText(Paths::documents() / "prices.txt"), std::string("Double room 130 EUR."));
  }

  // A scan whose drawing never ends is read on its own thread: a guest's
  // reply is written meanwhile.
  void aGuestIsAnsweredWhileTheDocumentsAreRead() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeRules();
    quorvel::test::makeEndlessPdf(Paths::documents() / "scan.pdf");
    AppModel model;
    bool read = false;
    model.startEngine([&] { read = true; });
    QVERIFY(QTest::qWaitFor([&] { return DocIndex::shared().count("rules.md") > 0; }, 60000));
    QVERIFY(model.documents().reading());
    model.reply().setGuestText(QStringLiteral("What time is breakfast?"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QCOMPARE(model.reply().answer(), QStringLiteral("Breakfast is served from 7:00 to 10:30 on the terrace [1]."));
    QVERIFY2(model.documents().reading() && !read, "the reading should still be under way");
    QVERIFY(QTest::qWaitFor([&] { return read; }, 120000));
  }

  void aFailedReReadIsShownInTheNoteLine() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeRules();
    ScopedEnv error("QUORVEL_STANDIN_ERROR", "embed");
    AppModel model;
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QVERIFY(!model.documents().reading());
    QVERIFY2(model.note().contains(QStringLiteral("embeddings failed")), qPrintable(model.note()));
  }

  // Once the message has settled, the reply's prompt goes to the model with
  // nothing to write, then the verifier's up to its statements; "Write
  // reply" then sends the very same prompt, and its check the prompt it
  // always sent. Typing on sends one reading for the settled text, a new
  // language another; the clipboard's reply goes straight on.
  void theReplyPromptIsReadWhileTheMessageSettles() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeRules();
    TempDir dir;
    const fs::path record = dir.path() / "requests.jsonl";
    ScopedEnv recording("QUORVEL_STANDIN_RECORD", record.string());  // read by the servers launched now
    AppModel model;
    model.readAheadAfter(std::chrono::milliseconds(300));
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    auto chats = [&] { return recordedChats(record); };
    auto settled = [&](std::size_t n) { return QTest::qWaitFor([&] { return chats().size() == n; }, 60000); };

    model.reply().setGuestText(QStringLiteral("What time"));
    model.reply().setGuestText(QStringLiteral("What time is breakfast?"));
    QVERIFY(settled(3));
    QCOMPARE(model.readAheads(), 1);
    QVERIFY(chats()[0]["max_tokens"] == 0);
    QVERIFY(chats()[0]["messages"][1]["content"].get<std::string>().ends_with(
        "What time is breakfast?\n\nWrite the reply in English."));
    QVERIFY(chats()[1]["max_tokens"] == 0);
    QVERIFY(chats()[2]["max_tokens"] == 0);
    QTest::qWait(600);
    QCOMPARE(model.readAheads(), 1);  // nothing changed: nothing sent again

    QVERIFY(await([&](auto done) { model.ask(done); }));
    QVERIFY(model.reply().replied());
    auto sent = chats();
    QCOMPARE(sent.size(), std::size_t{5});  // the three readings, the reply, its check
    QVERIFY(sent[3]["max_tokens"] == 400);
    QVERIFY(sent[3]["messages"] == sent[0]["messages"]);
    const std::string replyUser = sent[3]["messages"][1]["content"];
    const std::string sources = replyUser.substr(9, replyUser.find("GUEST MESSAGE:") - 9);
    auto text = [&](std::size_t call, int message) {
      return QString::fromStdString(sent[call]["messages"][message]["content"].get<std::string>());
    };
    QCOMPARE(text(4, 1), QString::fromStdString("SOURCES:\n" + sources +
                                                "\nSTATEMENTS:\n1. Breakfast is served from 7:00 to 10:30 on the "
                                                "terrace [1]."));
    QCOMPARE(text(1, 1), QString::fromStdString("SOURCES:\n" + sources + "\nSTATEMENTS:\n"));
    QCOMPARE(text(1, 0), text(4, 0));
    QVERIFY(text(4, 0).startsWith(QStringLiteral("You check a hotel reply against its SOURCES.")));
    // The third reading: the re-check of a sentence citing [1], up to it.
    QVERIFY(text(2, 0).startsWith(QStringLiteral("The STATEMENT may be written")));
    QVERIFY(text(2, 1).startsWith(QStringLiteral("SOURCES:\n[1] (")));
    QVERIFY(text(2, 1).endsWith(QStringLiteral("STATEMENT")));
    QTest::qWait(600);
    QCOMPARE(model.readAheads(), 1);  // the reply's own prompt is held already

    const std::size_t before = chats().size();
    model.reply().setLanguage(QStringLiteral("de"));
    QVERIFY(settled(before + 3));
    QVERIFY(chats()[before]["max_tokens"] == 0);
    QVERIFY(chats()[before]["messages"][1]["content"].get<std::string>().ends_with("Write the reply in German."));

    QGuiApplication::clipboard()->setText(QStringLiteral("Is parking free?"));
    QVERIFY(await([&](auto done) { model.answerClipboard(done); }));
    QTest::qWait(600);
    QCOMPARE(model.readAheads(), 2);
    QCOMPARE(chats().size() - before, std::size_t{3 + 2});  // the readings, then the reply and its check
  }

  // "Write reply" pressed while the prompts are read: the reading for a
  // later re-check is never sent, so the reply and its check wait for none.
  void aPressGivesUpTheReadingForTheRecheck() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeRules();
    TempDir dir;
    const fs::path record = dir.path() / "requests.jsonl";
    ScopedEnv recording("QUORVEL_STANDIN_RECORD", record.string());
    ScopedEnv slow("QUORVEL_STANDIN_REPLY_DELAY_MS", "800");  // every chat request, readings too
    AppModel model;
    model.readAheadAfter(std::chrono::milliseconds(100));
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    auto systems = [&] {
      std::vector<std::pair<std::string, int>> out;  // each chat request's system prompt and token limit
      for (const auto& body : recordedChats(record))
        out.emplace_back(body["messages"][0]["content"], body["max_tokens"]);
      return out;
    };
    model.reply().setGuestText(QStringLiteral("What time is breakfast?"));
    // The verifier's reading is under way (each takes 0.8 s here).
    QVERIFY(QTest::qWaitFor([&] { return systems().size() == 2; }, 60000));
    QVERIFY(systems()[1].first.starts_with("You check a hotel reply"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QVERIFY(model.reply().replied());
    QTest::qWait(1500);  // long enough for a reading that was going to follow
    const auto sent = systems();
    for (const auto& [system, limit] : sent)
      QVERIFY2(!(system.starts_with("The STATEMENT may be") && limit == 0), "the re-check was read after the press");
    QCOMPARE(sent.size(), std::size_t{4});  // two readings, the reply, its check
  }

  // Once the message, template or language differs from what the reply was
  // written for, the reply belongs to the previous message: it cannot be
  // copied, by either Copy; a reply written while the message changed is
  // no reply to the new one either.
  void aReplyToThePreviousMessageCannotBeCopied() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeRules();
    AppModel model;
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    model.reply().setGuestText(QStringLiteral("What time is breakfast?"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QVERIFY(model.reply().replied() && !model.reply().outdated());

    QClipboard* clipboard = QGuiApplication::clipboard();
    const auto refused = [&](const char* what) {
      clipboard->setText(QStringLiteral("kept"));
      QVERIFY2(model.reply().outdated() && !model.reply().replied(), what);
      QVERIFY2(!model.copyAnswer() && !model.copyAnswer(true), what);
      QCOMPARE(clipboard->text(), QStringLiteral("kept"));
    };
    model.reply().setGuestText(QStringLiteral("Is parking free?"));
    refused("another message");
    model.reply().setGuestText(QStringLiteral("What time is breakfast?"));
    QVERIFY(model.reply().replied());  // the message it was written for again
    model.reply().setLanguage(QStringLiteral("de"));
    refused("another language");
    model.reply().setLanguage(QStringLiteral("auto"));
    model.reply().setReplyTemplate(&ReplyTemplate::hotel()[1]);
    refused("another task");
    model.reply().setReplyTemplate(nullptr);
    QVERIFY(model.copyAnswer());

    bool written = false;
    model.ask([&] { written = true; });
    model.reply().setGuestText(QStringLiteral("Is parking free?"));
    QVERIFY(QTest::qWaitFor([&] { return written; }, 30000));
    refused("changed while written");
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QVERIFY(model.copyAnswer());
    QCOMPARE(clipboard->text(), QStringLiteral("Parking in the courtyard is free for guests [1]."));
  }

  // The guest's copy has no source numbers and no Markdown emphasis; the
  // described Copy keeps the reply as shown. A reply whose first piece
  // begins with a space (as the real server's do) shows without it.
  void copyForTheGuest() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeText(Paths::documents() / "rules.md",
              "# Departure\n\nA **late departure** until **16:00** costs *IDR 250,000*.");
    ScopedEnv space("QUORVEL_STANDIN_LEADING_SPACE", "1");  // read by the servers launched now
    AppModel model;
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QStringList shown;
    connect(&model.reply(), &ReplyState::changed, this, [&] {
      if (!model.reply().answer().isEmpty()) shown << model.reply().answer();
    });
    model.reply().setGuestText(QStringLiteral("How much is a late departure?"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QVERIFY(shown.size() > 3);
    for (const QString& s : shown) QVERIFY2(!s.startsWith(QLatin1Char(' ')), qPrintable(s));
    QVERIFY(model.copyAnswer());
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("A **late departure** until **16:00** costs *IDR 250,000* [1]."));
    QVERIFY(model.copyAnswer(/*forGuest=*/true));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("A late departure until 16:00 costs IDR 250,000."));

    const auto guest = [](const char* reply) { return ReplyState::forGuest(QString::fromUtf8(reply)); };
    QCOMPARE(guest("Breakfast is included in all room rates [1]."),
             QStringLiteral("Breakfast is included in all room rates."));
    QCOMPARE(guest("Check-in from 14:00 [1][2], check-out until 11:00 [2, 3]. Parking is free [4]"),
             QStringLiteral("Check-in from 14:00, check-out until 11:00. Parking is free"));
    QCOMPARE(guest("朝食は7時からです[1]。"), QStringLiteral("朝食は7時からです。"));
    QCOMPARE(guest("Line one [1]\n[2] Line __two__ with `code`"), QStringLiteral("Line one\nLine two with code"));
    // What only looks like a mark or a number stays.
    QCOMPARE(guest("Rooms 2 * 3 m, file_name_here, price [ask us], 5*"),
             QStringLiteral("Rooms 2 * 3 m, file_name_here, price [ask us], 5*"));
  }

  void quittingDuringAReplyEndsCleanly() {
    AppHome home;
    prepareStandInHome(home.home.path());
    writeRules();
    auto model = std::make_unique<AppModel>();
    QVERIFY(await([&](auto done) { model->startEngine(done); }));
    model->reply().setGuestText(QStringLiteral("What time is breakfast?"));
    model->ask();
    model.reset();  // while the reply is under way: no crash, nothing reported to a dead object
    QTest::qWait(200);
  }
};

QTEST_MAIN(AppModelTest)
#include "app_model_test.moc"
