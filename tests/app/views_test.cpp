// The window's screens: what they show for each state of the app model, and
// what their controls do. No model server is needed: the engine's state is
// reported to the model as the engine would.
#include <httplib.h>

#include <QApplication>
#include <atomic>
#include <chrono>
#include <thread>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <quorvel/desk_answers.h>
#include <quorvel/history.h>
#include <quorvel/lang.h>
#include <quorvel/models.h>

#include "app_test_support.h"
#include "translations.h"
#include "answer_dialog.h"
#include "ask_panel.h"
#include "content_view.h"
#include "main_view.h"
#include "docs_panel.h"
#include "fixture_builders.h"
#include "gaps_panel.h"
#include "main_window.h"
#include "reasons.h"
#include "setup_view.h"
#include "shared_views.h"
#include "theme.h"
#include "tray.h"

using namespace quorvel;
using namespace quorvel::app;
using namespace quorvel::app::test;

class ViewsTest : public QObject {
  Q_OBJECT

  // The stand-in as the model server, and one document to answer from.
  static void withBreakfastRules(AppHome& home) {
    prepareStandInHome(home.home.path());
    writeText(Paths::documents() / "rules.md", "Breakfast is served from 7:00 to 10:30 on the terrace.");
  }

 private slots:
  // The tests read the English texts, whatever the desktop's language.
  void initTestCase() { translations::use(QLocale(QLocale::English)); }

  void theReplyButtonIsEnabledOnlyWhenAReplyCanBeWritten() {
    AppHome home;
    prepareStandInHome(home.home.path());
    AppModel model;
    AskPanel panel(model);
    QPushButton* reply = panel.replyButton();
    QCOMPARE(reply->text(), QStringLiteral("Write reply"));

    model.reply().setGuestText(QStringLiteral("When is breakfast?"));
    // The engine cannot start: the line beside the button says why.
    pretendEngine(model, Engine::State::failed("engine not found", Engine::Problem::notFound));
    QVERIFY(!reply->isEnabled());
    QCOMPARE(panel.noteLine()->text(), QStringLiteral("No reply can be written: engine not found"));
    pretendEngine(model, Engine::State::starting());
    QVERIFY(!reply->isEnabled());
    QCOMPARE(panel.noteLine()->text(), QStringLiteral("The model is starting: a reply can be written in a moment."));
    pretendEngine(model, Engine::State::ready());
    QVERIFY(reply->isEnabled());
    QVERIFY(panel.noteLine()->text().isEmpty());
    model.reply().setGuestText(QString());
    QVERIFY(!reply->isEnabled());
    model.reply().setGuestText(QStringLiteral("   "));  // emptiness, not blankness, counts
    QVERIFY(reply->isEnabled());
    model.reply().setGuestText(QString());
    model.reply().setReplyTemplate(&ReplyTemplate::hotel()[0]);
    QVERIFY(reply->isEnabled());  // a template needs no message

    // Ctrl+Return only while the button could be pressed: with the engine
    // not ready it does nothing.
    pretendEngine(model, Engine::State::starting());
    panel.show();
    QTest::keyClick(panel.messageEditor(), Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(!model.reply().busy());
    Engine::shared().setState(Engine::State::stopped());
  }

  void templatesToggleAndThePlaceholderFollows() {
    AppHome home;
    AppModel model;
    AskPanel panel(model);
    const auto& buttons = panel.templateButtons();
    QCOMPARE(buttons.size(), 5u);
    QCOMPARE(buttons[1]->text(), QStringLiteral("Breakfast"));
    QCOMPARE(panel.messageEditor()->placeholderText(),
             QStringLiteral("Paste the guest's message in any language\u2026"));

    buttons[1]->click();
    QVERIFY(model.reply().replyTemplate() == &ReplyTemplate::hotel()[1]);
    QVERIFY(buttons[1]->isChecked() && !buttons[0]->isChecked());
    QCOMPARE(panel.messageEditor()->placeholderText(),
             QStringLiteral("Optional: the guest's message (template works without it)"));
    buttons[3]->click();  // another one replaces it
    QVERIFY(model.reply().replyTemplate() == &ReplyTemplate::hotel()[3]);
    QVERIFY(!buttons[1]->isChecked());
    buttons[3]->click();  // pressed again: none
    QVERIFY(model.reply().replyTemplate() == nullptr);
    QCOMPARE(panel.messageEditor()->placeholderText(),
             QStringLiteral("Paste the guest's message in any language\u2026"));
  }

  // The message field is painted anew when its placeholder changes with the
  // template: the old one must not stay on screen until it is clicked.
  void theNewPlaceholderIsPaintedAtOnce() {
    AppHome home;
    AppModel model;
    AskPanel panel(model);
    panel.resize(800, 600);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    struct PaintCounter : QObject {
      int paints = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        // Only a repaint of the whole line counts: the field's own
        // repaint covers the cursor's few pixels.
        if (e->type() == QEvent::Paint && static_cast<QPaintEvent*>(e)->rect().width() > 200) ++paints;
        return false;
      }
    } counter;
    panel.messageEditor()->viewport()->installEventFilter(&counter);
    QTest::qWait(100);
    for (int i : {1, -1}) {  // chosen, then cleared
      const int before = counter.paints;
      model.reply().setReplyTemplate(i < 0 ? nullptr : &ReplyTemplate::hotel()[static_cast<std::size_t>(i)]);
      QVERIFY2(QTest::qWaitFor([&] { return counter.paints > before; }, 2000), i < 0 ? "cleared" : "chosen");
    }
  }

  void keyboardFocusShowsAndTabGoesInTheOrderOfTheWork() {
    AppHome home;
    withBreakfastRules(home);
    AppModel model;
    AskPanel panel(model);
    panel.resize(900, 640);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    model.reply().setGuestText(QStringLiteral("When is breakfast?"));
    QVERIFY(await([&](auto done) { model.ask(done); }));

    QPlainTextEdit* message = panel.messageEditor();
    message->setFocus(Qt::OtherFocusReason);
    QVERIFY(QTest::qWaitFor([&] { return message->hasFocus(); }, 2000));
    std::vector<QWidget*> expected{panel.replyButton(), panel.copyButton(), panel.guestCopyButton()};
    for (QToolButton* b : panel.templateButtons()) expected.push_back(b);
    expected.push_back(panel.languagePicker());
    expected.push_back(message);  // and round again
    for (QWidget* w : expected) {
      const QImage unfocused = w->grab().toImage();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QVERIFY2(
          QApplication::focusWidget() == w,
          qPrintable(QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none"));
      QVERIFY(w->isVisible());
      // The focus is drawn: the control looks different with it.
      if (w != message) QVERIFY2(w->grab().toImage() != unfocused, w->metaObject()->className());
    }
    QCOMPARE(message->toPlainText(), QStringLiteral("When is breakfast?"));  // no tab typed into it
  }

  // "Write reply" pressed from the keyboard (or clicked, which focuses it):
  // while it is disabled for the reply the focus waits in the message box,
  // never on a template button that a Space would press.
  void theFocusGoesBackToTheMessageWhileAReplyIsWritten() {
    AppHome home;
    withBreakfastRules(home);
    AppModel model;
    AskPanel panel(model);
    panel.resize(900, 640);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    model.reply().setGuestText(QStringLiteral("When is breakfast?"));
    panel.replyButton()->setFocus(Qt::TabFocusReason);
    QVERIFY(QTest::qWaitFor([&] { return panel.replyButton()->hasFocus(); }, 2000));
    QTest::keyClick(panel.replyButton(), Qt::Key_Space);
    QVERIFY(QTest::qWaitFor([&] { return model.reply().replied(); }, 60000));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(panel.messageEditor()));
  }

  // After "Stop model", "Write reply" starts the model and writes, as after
  // a crash.
  void aStoppedModelStartsOnWriteReply() {
    AppHome home;
    withBreakfastRules(home);
    AppModel model;
    AskPanel panel(model);
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    model.reply().setGuestText(QStringLiteral("When is breakfast?"));
    model.toggleEngine();
    QVERIFY(!panel.replyButton()->isEnabled());  // while the servers are ended
    QCOMPARE(panel.noteLine()->text(), QStringLiteral("The model is stopping\u2026"));
    QVERIFY(QTest::qWaitFor([&] { return panel.replyButton()->isEnabled(); }, 30000));
    QCOMPARE(model.status().state(), Engine::State::stopped());
    QVERIFY(panel.noteLine()->text().isEmpty());
    panel.replyButton()->click();
    QVERIFY(QTest::qWaitFor([&] { return model.reply().replied(); }, 60000));
    QCOMPARE(model.status().state(), Engine::State::ready());
    QVERIFY(model.reply().answer().startsWith(QStringLiteral("Breakfast is served")));
  }

  // Paste guest A's message, write, paste guest B's: the reply is marked as
  // A's, greyed, and neither Copy can be pressed until B's is written.
  void theReplyToThePreviousMessageIsMarked() {
    AppHome home;
    withBreakfastRules(home);
    AppModel model;
    AskPanel panel(model);
    panel.resize(900, 640);
    panel.show();
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QPlainTextEdit* message = panel.messageEditor();
    auto paste = [&](const QString& text) {
      QGuiApplication::clipboard()->setText(text);
      message->setFocus();
      message->selectAll();
      QTest::keyClick(message, Qt::Key_V, Qt::ControlModifier);
    };
    paste(QStringLiteral("When is breakfast?"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QVERIFY(panel.outdatedTag()->isHidden());
    QVERIFY(panel.copyButton()->isEnabled() && panel.guestCopyButton()->isEnabled());
    const QImage current = panel.replyText()->grab().toImage();

    paste(QStringLiteral("Is there a sauna?"));
    QCOMPARE(model.reply().guestText(), QStringLiteral("Is there a sauna?"));
    QVERIFY(!panel.outdatedTag()->isHidden());
    QCOMPARE(panel.outdatedTag()->text(), QStringLiteral("written for the previous message"));
    QVERIFY(!panel.copyButton()->isEnabled() && !panel.guestCopyButton()->isEnabled());
    QVERIFY(!panel.copyButton()->toolTip().isEmpty());
    QVERIFY(panel.replyText()->grab().toImage() != current);  // greyed

    QVERIFY(await([&](auto done) { model.ask(done); }));
    QVERIFY(panel.outdatedTag()->isHidden());
    QVERIFY(panel.copyButton()->isEnabled());
    QVERIFY(!panel.notInDocsTag()->isHidden());
  }

  // A paste of megabytes: the box and the model hold the first 1,000
  // characters and a "…", and the line under the box says so. Counted in
  // characters as a reader sees them, not in UTF-16 units.
  void aHugePasteIsCutAndSaysSo() {
    AppHome home;
    AppModel model;
    AskPanel panel(model);
    panel.resize(900, 640);
    panel.show();
    QPlainTextEdit* message = panel.messageEditor();
    QVERIFY(panel.cutNote()->isHidden());
    const QString sentence = QStringLiteral("Hello, can we check in early? ");  // 30 characters
    QGuiApplication::clipboard()->setText(sentence.repeated(200000));        // 6 MB
    message->setFocus();
    QTest::keyClick(message, Qt::Key_V, Qt::ControlModifier);
    QVERIFY2(message->document()->characterCount() <= 1002, qPrintable(QString::number(message->document()->characterCount())));
    const QString held = model.reply().guestText();
    QCOMPARE(held, sentence.repeated(34).left(1000) + QChar(0x2026));
    QCOMPARE(message->toPlainText(), held);
    QVERIFY(model.reply().cut());
    QVERIFY(!panel.cutNote()->isHidden());
    QVERIFY2(panel.cutNote()->text().contains(QStringLiteral("1,000")), qPrintable(panel.cutNote()->text()));

    // Typing on at the end keeps the bound; a short message takes the note away.
    QTest::keyClicks(message, QStringLiteral("more"));
    QCOMPARE(model.reply().guestText(), held);
    message->clear();
    QVERIFY(panel.cutNote()->isHidden());
    QVERIFY(!model.reply().cut());

    // "é" written as e and a combining accent: one character, two units.
    const QString accented = QStringLiteral("e\u0301");
    model.reply().setGuestText(accented.repeated(1000));
    QVERIFY(!model.reply().cut());
    model.reply().setGuestText(accented.repeated(1001));
    QCOMPARE(model.reply().guestText(), accented.repeated(1000) + QChar(0x2026));
    QCOMPARE(message->toPlainText(), model.reply().guestText());
  }

  void theLanguagePickerStoresCodes() {
    AppHome home;
    AppModel model;
    AskPanel panel(model);
    QComboBox* picker = panel.languagePicker();
    // Every language a reply can be written in can be chosen, by its own name.
    QCOMPARE(picker->count(), 1 + static_cast<int>(Lang::replyLanguages().size()));
    QCOMPARE(picker->currentText(), QStringLiteral("Guest's language"));
    for (const char* code : {"it", "nl", "zh-Hant"}) QVERIFY2(picker->findData(QString::fromLatin1(code)) > 0, code);
    picker->setCurrentIndex(picker->findText(QStringLiteral("Русский")));
    QCOMPARE(model.reply().language(), QStringLiteral("ru"));
    QVERIFY(picker->findText(QStringLiteral("中文（繁體）")) > 0);
    picker->setCurrentIndex(picker->findData(QStringLiteral("zh-Hant")));
    QCOMPARE(model.reply().language(), QStringLiteral("zh-Hant"));
  }

  void aReplyWithItsSourcesAndTheNotInDocumentsTag() {
    AppHome home;
    withBreakfastRules(home);
    AppModel model;
    AskPanel panel(model);
    QVERIFY(!panel.copyButton()->isEnabled());
    QVERIFY(panel.sourcesBlock()->isHidden());
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    model.reply().setGuestText(QStringLiteral("When is breakfast?"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QCOMPARE(panel.replyText()->toPlainText(), model.reply().answer());
    QVERIFY(panel.copyButton()->isEnabled());
    QVERIFY(!panel.sourcesBlock()->isHidden());
    QVERIFY(panel.notInDocsTag()->isHidden());
    // A source without a section shows its file name alone.
    const auto labels = panel.sourcesBlock()->findChildren<QLabel*>();
    QVERIFY(
        std::any_of(labels.begin(), labels.end(), [](QLabel* l) { return l->text() == QStringLiteral("rules.md"); }));
    QVERIFY(std::none_of(labels.begin(), labels.end(),
                         [](QLabel* l) { return l->text().contains(QStringLiteral("\u2014")); }));

    model.reply().setGuestText(QStringLiteral("Is there a sauna?"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QVERIFY(!panel.notInDocsTag()->isHidden());
    QVERIFY(panel.sourcesBlock()->isHidden());
  }

  // An engine that failed says why in full, wrapped at the panel's width and
  // in the app's language, and offers to try again.
  void anEngineFailureIsShownWholeWithAWayToStartAgain() {
    AppHome home;
    prepareStandInHome(home.home.path());
    AppModel model;
    DocsPanel panel(model);
    panel.resize(270, 640);
    panel.show();
    QVERIFY(!panel.badge()->startButton()->isHidden());  // stopped, models there
    QCOMPARE(panel.badge()->startButton()->text(), QStringLiteral("Start model"));

    const std::string taken = "port 18431 is used by another program (quorvel-cli stop ends a model server of ours)";
    pretendEngine(model, Engine::State::failed(taken, Engine::Problem::portTaken));
    QLabel* status = panel.badge()->statusLine();
    QCOMPARE(status->text(), QStringLiteral("Error: ") + QString::fromStdString(taken));
    QTest::qWait(50);  // laid out
    QVERIFY2(status->height() >= 3 * status->fontMetrics().lineSpacing(),
             qPrintable(QString::number(status->height())));
    QVERIFY(status->width() <= panel.width());
    QCOMPARE(panel.badge()->startButton()->text(), QStringLiteral("Try again"));
    // Another program holds the port: no restart of the computer mends that.
    QCOMPARE(model.status().advice(), QStringLiteral("Another program holds the model's port: close it (or ask who "
                                                     "runs it), then press \u201CTry again\u201D."));

    QCOMPARE(translations::use(QLocale(QLocale::Russian)), QStringLiteral("ru"));
    QVERIFY(model.status().advice().startsWith(QStringLiteral("Порт модели занят другой программой")));
    panel.badge()->refresh();
    QCOMPARE(status->text(),
             QStringLiteral(
                 "Ошибка: порт 18431 занят другой программой (quorvel-cli stop останавливает наш сервер модели)"));
    QCOMPARE(panel.badge()->startButton()->text(), QStringLiteral("Попробовать снова"));
    pretendEngine(model, Engine::State::failed("engine not found", Engine::Problem::notFound));
    QCOMPARE(model.status().text(), QStringLiteral("Ошибка: не найден сервер модели (llama-server)"));
    translations::use(QLocale(QLocale::English));

    panel.badge()->startButton()->click();
    QVERIFY(QTest::qWaitFor([&] { return model.status().state() == Engine::State::ready(); }, 30000));
    QVERIFY(panel.badge()->startButton()->isHidden());
  }

  // A download that fails says why in full on the setup screen.
  void aFailedDownloadIsShownWhole() {
    AppHome home;
    ScopedEnv nowhere("QUORVEL_MODEL_BASE_URL", "http://127.0.0.1:1");
    AppModel model;
    SetupView setup(model);
    setup.resize(1040, 700);
    setup.show();
    QVERIFY(await([&](auto done) { model.install(done); }));
    QLabel* error = setup.errorLine();
    QVERIFY(!error->isHidden());
    // A plain sentence first, the technical words after it, "failed" once.
    QVERIFY2(error->text().startsWith(QStringLiteral(
                 "The model could not be downloaded: the download server cannot be reached. Check the internet "
                 "connection, then try again. (qwen3-embedding-0.6b-q8_0.gguf: host unreachable (")) &&
                 error->text().endsWith(QLatin1Char(')')) && !error->text().contains(QStringLiteral("download of")),
             qPrintable(error->text()));
    QTest::qWait(50);
    const int lines = error->fontMetrics().horizontalAdvance(error->text()) / error->width() + 1;
    QVERIFY2(error->height() >= lines * error->fontMetrics().lineSpacing(),
             qPrintable(QString::number(error->height())));
    QVERIFY(!setup.installButton()->isHidden());  // and it can be tried again

    // In Russian, the sentence is Russian.
    translations::use(QLocale(QLocale::Russian));
    QVERIFY(await([&](auto done) { model.install(done); }));
    translations::use(QLocale(QLocale::English));
    QVERIFY2(error->text().startsWith(QStringLiteral(
                 "Модель не скачалась: нет связи с сервером загрузки. Проверьте подключение к интернету и "
                 "попробуйте снова. (qwen3-embedding-0.6b-q8_0.gguf: host unreachable (")),
             qPrintable(error->text()));
  }

  // Both models missing: one bar over both files, each weighted by its size,
  // and Cancel ends a download that has stalled at once, keeping what arrived.
  void theDownloadShowsOneBarAndCanBeCancelled() {
    AppHome home;
    const ModelSpec& embedding = ModelCatalog::embedding();
    const ModelSpec& chat = ModelCatalog::recommendedChat();
    const std::size_t length = static_cast<std::size_t>(embedding.sizeMB) * 1000000;
    const std::size_t sent = length / 10;
    std::atomic<bool> quit{false};
    LocalServer mirror;
    mirror.server().Get(".*", [&](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(length, "application/octet-stream",
                               [&](size_t offset, size_t, httplib::DataSink& sink) {
                                 static const std::string piece(1 << 20, 'x');
                                 for (std::size_t n = offset; n < sent && sink.is_writable(); n += piece.size())
                                   sink.write(piece.data(), std::min(piece.size(), sent - n));
                                 while (!quit && sink.is_writable())  // then nothing more
                                   std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                 return false;
                               });
    });
    mirror.start();
    ScopedEnv base("QUORVEL_MODEL_BASE_URL", mirror.base());
    AppModel model;
    SetupView setup(model);
    setup.show();
    bool finished = false;
    model.install([&] { finished = true; });
    QVERIFY(!setup.cancelButton()->isHidden());
    QVERIFY(setup.installButton()->isHidden());
    QVERIFY(setup.stepLine()->text().startsWith(QStringLiteral("1/2")));
    // A tenth of the first file is a tenth of its share of the whole.
    const double share = 0.1 * embedding.sizeMB / (embedding.sizeMB + chat.sizeMB);
    QVERIFY(QTest::qWaitFor([&] { return model.setup().progress().value_or(0) >= share * 0.999; }, 60000));
    const double shown = *model.setup().progress();
    QVERIFY2(std::abs(shown - share) < 0.001, qPrintable(QString::number(shown)));
    QCOMPARE(setup.progressBar()->value(), static_cast<int>(*model.setup().progress() * 1000));

    setup.cancelButton()->click();
    // Long before the minute after which a stalled download gives up.
    QVERIFY(QTest::qWaitFor([&] { return finished; }, 30000));
    quit = true;
    QVERIFY(!model.setup().progress());
    QCOMPARE(model.setup().error(), QString());
    QVERIFY(setup.cancelButton()->isHidden());
    QVERIFY(!setup.installButton()->isHidden());
    QCOMPARE(fs::file_size(ModelCatalog::path(embedding).string() + ".part"), sent);
    QVERIFY(!fs::exists(ModelCatalog::path(chat).string() + ".part"));  // the second file was never begun
  }

  // The documents panel's buttons stay where they are when the model fails
  // (a three-line error, its button and advice) or the spinner turns: never moved
  // under the receptionist's mouse.
  void theDocumentButtonsDoNotMoveWhenTheStatusChanges() {
    AppHome home;
    prepareStandInHome(home.home.path());
    AppModel model;
    DocsPanel panel(model);
    panel.resize(250, 640);
    panel.show();
    const auto buttons = panel.findChildren<QToolButton*>(QStringLiteral("action"));
    QVERIFY(buttons.size() >= 4);
    QToolButton* last = buttons.last();
    const auto place = [&] {
      QTest::qWait(20);
      return last->mapTo(&panel, QPoint(0, 0));
    };
    for (const QLocale& language : {QLocale(QLocale::English), QLocale(QLocale::Russian)}) {
      translations::use(language);
      pretendEngine(model, Engine::State::ready());
      panel.findChild<Spinner*>()->hide();
      const QPoint ready = place();
      pretendEngine(model, Engine::State::failed("port 18431 is held by another program (quorvel-cli stop stops "
                                                 "our model server)",
                                                 Engine::Problem::portTaken));
      QVERIFY(!panel.badge()->startButton()->isHidden());
      QVERIFY(panel.badge()->statusLine()->height() > panel.badge()->statusLine()->fontMetrics().lineSpacing());
      QCOMPARE(place(), ready);
      pretendEngine(model, Engine::State::failed("the model server stopped", Engine::Problem::serverStopped));
      QCOMPARE(place(), ready);
      panel.findChild<Spinner*>()->show();
      QCOMPARE(place(), ready);
      pretendEngine(model, Engine::State::stopped());
      QCOMPARE(place(), ready);
    }
    translations::use(QLocale(QLocale::English));
    Engine::shared().setState(Engine::State::stopped());
  }

  // A damaged document is listed, first, with why it was not read, until it
  // is removed; a long name is cut in its middle; removing asks first.
  void damagedDocumentsAreListedAndRemovingAsksFirst() {
    AppHome home;
    prepareStandInHome(home.home.path());
    const QString longName =
        QStringLiteral("Price list for the summer season of the year 2026, every room and every extra.md");
    writeText(Paths::documents() / "rules.md", "Breakfast is served from 7:00 to 10:30 on the terrace.");
    writeText(Paths::documents() / longName.toStdString(), "The sea view room costs 120 euros a night.");
    writeText(Paths::documents() / "prices.pdf", "%PDF-1.4\n1 0 obj << /Type /Catalog");  // cut off
    writeText(Paths::documents() / "menu.docx", "");
    AppModel model;
    DocsPanel panel(model);
    panel.resize(270, 640);
    panel.show();
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QCOMPARE(panel.list()->count(), 4);
    auto rowOf = [&](int i) { return panel.list()->itemWidget(panel.list()->item(i)); };
    QCOMPARE(rowOf(0)->findChild<ElidedLabel*>()->fullText(), QStringLiteral("menu.docx"));
    QCOMPARE(rowOf(0)->findChild<QLabel*>(QStringLiteral("docProblem"))->text(),
             QStringLiteral("Not read: the file is empty"));
    fs::remove(Paths::documents() / "menu.docx");
    QVERIFY(await([&](auto done) { model.reindex(done); }));
    QCOMPARE(panel.list()->count(), 3);
    QCOMPARE(rowOf(0)->findChild<ElidedLabel*>()->fullText(), QStringLiteral("prices.pdf"));
    auto* reason = rowOf(0)->findChild<QLabel*>(QStringLiteral("docProblem"));
    QVERIFY(reason != nullptr);
    QVERIFY2(reason->text().startsWith(QStringLiteral("Not read: ")) && reason->text().size() > 15,
             qPrintable(reason->text()));
    QVERIFY(rowOf(1)->findChild<QLabel*>(QStringLiteral("docProblem")) == nullptr);

    auto* name = rowOf(1)->findChild<ElidedLabel*>();
    QCOMPARE(name->fullText(), longName);
    QCOMPARE(name->toolTip(), longName);
    QVERIFY2(name->text().contains(QStringLiteral("\u2026")) && name->text().endsWith(QStringLiteral(".md")),
             qPrintable(name->text()));

    QStringList asked;
    bool answer = false;
    panel.list()->confirm = [&](const QString& file) {
      asked << file;
      return answer;
    };
    panel.list()->askToRemove("prices.pdf");
    QCOMPARE(asked, QStringList{QStringLiteral("prices.pdf")});
    QVERIFY(fs::exists(Paths::documents() / "prices.pdf"));  // "no" keeps it
    answer = true;
    const int reads = model.reReads();
    panel.list()->askToRemove("prices.pdf");
    QVERIFY(!fs::exists(Paths::documents() / "prices.pdf"));
    QVERIFY(QTest::qWaitFor([&] { return model.reReads() > reads && !model.documents().reading(); }, 30000));
    QCOMPARE(panel.list()->count(), 2);
    QVERIFY(model.documents().problems().empty());
  }

  // More documents than the list can show: the scroll bar takes its width
  // from the rows, never from the passage counts at their right ends.
  void theScrollBarLeavesThePassageCountsVisible() {
    AppHome home;
    prepareStandInHome(home.home.path());
    for (int i = 0; i < 30; ++i)
      writeText(Paths::documents() / ("room-" + std::to_string(100 + i) + ".md"),
                "Room " + std::to_string(100 + i) + " has a sea view and a balcony.");
    AppModel model;
    DocsPanel panel(model);
    panel.resize(250, 600);
    panel.show();
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QTest::qWait(50);
    QListWidget* list = panel.list();
    QCOMPARE(list->count(), 30);
    QVERIFY(list->verticalScrollBar()->isVisible());
    const QRect bar(list->verticalScrollBar()->mapTo(list, QPoint(0, 0)), list->verticalScrollBar()->size());
    int counts = 0;
    for (int i = 0; i < list->count(); ++i) {
      QWidget* row = list->itemWidget(list->item(i));
      for (QLabel* label : row->findChildren<QLabel*>()) {
        if (label->text() != QStringLiteral("1")) continue;
        ++counts;
        // In the list's own coordinates, as the scroll bar's geometry is.
        const QRect at(label->mapTo(list, QPoint(0, 0)), label->size());
        const int textRight = at.left() + label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY2(textRight <= bar.left(), qPrintable(QStringLiteral("%1 > %2").arg(textRight).arg(bar.left())));
      }
    }
    QCOMPARE(counts, 30);
  }

  // The reasons the core gives in English reach the window in its
  // language, the technical part after the plain words.
  void reasonsInTheWindowsLanguage() {
    const auto reading = [](const char* why) { return Reasons::reading(why); };
    QCOMPARE(reading("the PDF is damaged"), QStringLiteral("the PDF is damaged"));
    QCOMPARE(reading("a reason of tomorrow"), QStringLiteral("a reason of tomorrow"));
    QCOMPARE(translations::use(QLocale(QLocale::Russian)), QStringLiteral("ru"));
    const QString pdf = reading("the PDF is damaged");
    const QString docx = reading("damaged, or not a .docx document");
    const QString empty = reading("empty");
    const QString scans = reading(
        "page 3 could not be drawn within 30 s; scanned pages from page 5 to 60 not read: a document has at most 50 "
        "scanned pages read");
    const QString thrown = reading("could not be read: std::bad_alloc");
    const QString unknown = reading("a reason of tomorrow");
    const QString reply = Reasons::reply(QStringLiteral("the model server's reply ended before it was complete"));
    const QString engine = Reasons::engine(QStringLiteral("no key could be made"));
    const QString documents = Reasons::documents(QStringLiteral("cannot save /x/index.json: No space left on device"));
    translations::use(QLocale(QLocale::English));
    QCOMPARE(pdf, QStringLiteral("PDF-файл повреждён"));
    QCOMPARE(docx, QStringLiteral("файл повреждён или это не документ .docx"));
    QCOMPARE(empty, QStringLiteral("файл пустой"));
    QCOMPARE(scans, QStringLiteral("страницу 3 не удалось отрисовать за 30 с; отсканированные страницы с 5 по 60 не "
                                   "прочитаны: в одном документе читается не больше 50 отсканированных страниц"));
    QCOMPARE(thrown, QStringLiteral("не удалось прочитать (std::bad_alloc)"));
    QCOMPARE(unknown, QStringLiteral("не удалось прочитать (a reason of tomorrow)"));
    QCOMPARE(reply,
             QStringLiteral("ответ модели оборвался (the model server's reply ended before it was complete)"));
    QCOMPARE(engine, QStringLiteral("модель не удалось запустить (no key could be made)"));
    QCOMPARE(documents, QStringLiteral("прочитанные документы не удалось сохранить (cannot save /x/index.json: No "
                                       "space left on device)"));
  }

  // A snippet longer than its three lines, or cut from its passage, ends
  // at a word with "…"; one that fits stays as it is.
  void snippetsEndAtAWord() {
    const QString text = QStringLiteral("Breakfast is served on the terrace from seven until half past ten, and "
                                        "guests who leave early may ask for a packed breakfast at the front desk the "
                                        "evening before departure");
    for (const bool cut : {false, true}) {
      SnippetLabel label(text, cut, 3);
      label.resize(cut ? 900 : 160, 60);
      label.show();
      QVERIFY(QTest::qWaitForWindowExposed(&label));
      const QString shown = label.text();
      QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
      const QString kept = shown.chopped(1);
      QVERIFY2(text.startsWith(kept + QLatin1Char(' ')), qPrintable(shown));  // never half a word
    }
    SnippetLabel whole(QStringLiteral("Parking is free."), false, 3);
    whole.resize(300, 60);
    whole.show();
    QCOMPARE(whole.text(), QStringLiteral("Parking is free."));
  }

  // The list's title is whole at the smallest window, in Russian too.
  void theUnansweredTitleIsWholeAtTheSmallestSize() {
    AppHome home;
    prepareStandInHome(home.home.path());
    translations::use(QLocale(QLocale::Russian));
    AppModel model;
    MainWindow window(model);
    translations::use(QLocale(QLocale::English));
    window.resize(900, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.content()->main()->showGaps();
    QVERIFY(QTest::qWaitFor([&] { return !model.gaps().finding(); }, 60000));
    auto* title = window.content()->main()->gaps()->findChild<QLabel*>(QStringLiteral("gapsTitle"));
    QVERIFY(title != nullptr);
    QCOMPARE(title->text(), QStringLiteral("Вопросы без ответа"));
    QVERIFY2(title->width() >= title->fontMetrics().horizontalAdvance(title->text()) ||
                 title->height() >= title->heightForWidth(title->width()),
             qPrintable(QString::number(title->width())));
  }

  void snippetsShowTheTextNotItsMarkdown() {
    const auto plain = [](const char* md) { return AskPanel::plainSnippet(QString::fromUtf8(md)); };
    QCOMPARE(plain("## Parking\n\nParking in the **courtyard** is *free* for guests."),
             QStringLiteral("Parking\nParking in the courtyard is free for guests."));
    QCOMPARE(plain("- Sauna: 15:00\u201322:00\n* Pool: `07:00`\n1. Gym: see [the map](https://example.org/map.png)"),
             QStringLiteral("Sauna: 15:00\u201322:00\nPool: 07:00\nGym: see the map"));
    QCOMPARE(plain("| Room | Price |\n|---|---:|\n| Sea view | 120 EUR |"),
             QStringLiteral("Room \u00B7 Price\nSea view \u00B7 120 EUR"));
    QCOMPARE(plain("> Late check-out until 14:00 costs 30 EUR."),
             QStringLiteral("Late check-out until 14:00 costs 30 EUR."));
    // What only looks like a mark stays as it is.
    QCOMPARE(plain("2 * 3 rooms, file_name_here, C# and 5*"), QStringLiteral("2 * 3 rooms, file_name_here, C# and 5*"));
  }

  // Russian: the window's texts and Qt's own (the file dialog, standard
  // buttons) in Russian, plurals by Russian rules.
  void russianForTheWindowAndQtsOwnDialogs() {
    AppHome home;
    QCOMPARE(translations::use(QLocale(QLocale::Russian)), QStringLiteral("ru"));
    AppModel model;
    AskPanel ask(model);
    DocsPanel docs(model);
    QCOMPARE(ask.replyButton()->text(), QStringLiteral("Написать ответ"));
    QCOMPARE(ask.templateButtons()[0]->text(), QStringLiteral("Заезд и выезд"));
    QCOMPARE(docs.passageCount()->text(), QStringLiteral("0 фрагментов"));
    QCOMPARE(DocsPanel::tr("%n passage(s)", nullptr, 1), QStringLiteral("1 фрагмент"));
    QCOMPARE(DocsPanel::tr("%n passage(s)", nullptr, 3), QStringLiteral("3 фрагмента"));
    AnswerDialog answer(model, QStringLiteral("Есть ли спортзал?"));
    QCOMPARE(answer.windowTitle(), QStringLiteral("Добавить ответ"));
    QCOMPARE(answer.saveButton()->text(), QStringLiteral("Сохранить"));
    const bool qts = translations::qtsOwnInstalled();
    const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
    translations::use(QLocale(QLocale::English));
    QCOMPARE(DocsPanel::tr("%n passage(s)", nullptr, 1), QStringLiteral("1 passage"));
    if (!qts) QSKIP("Qt's translations are not installed (qt6-translations-l10n)");
    QCOMPARE(cancel, QStringLiteral("Отмена"));
  }

  // A language is a translation file, not code: a test language changes the
  // window's texts, the templates' titles among them.
  void aThirdLanguageIsOnlyAFile() {
    AppHome home;
    QCOMPARE(translations::use(QLocale(QLocale::Esperanto), QStringLiteral(":/i18n-test")), QStringLiteral("eo"));
    AppModel model;
    AskPanel ask(model);
    const QString reply = ask.replyButton()->text();
    const QString breakfast = ask.templateButtons()[1]->text();
    translations::use(QLocale(QLocale::English));
    QCOMPARE(reply, QStringLiteral("Skribi respondon"));
    QCOMPARE(breakfast, QStringLiteral("Matenmanĝo"));
  }

  void documentIcons() {
    QCOMPARE(DocsPanel::icon(QStringLiteral("PRICES.PDF")), QStringLiteral("doc.richtext"));
    for (const char* name : {"rules.txt", "menu.md", "page.html", "README", "archive.tar.gz"})
      QCOMPARE(DocsPanel::icon(QString::fromLatin1(name)), QStringLiteral("doc.plaintext"));
    for (const char* name : {"a.docx", "b.DOC", "c.rtf"})
      QCOMPARE(DocsPanel::icon(QString::fromLatin1(name)), QStringLiteral("doc.text"));
  }

  void theDocumentsPanelWithoutDocuments() {
    AppHome home;
    AppModel model;
    DocsPanel panel(model);
    panel.show();
    QCOMPARE(panel.passageCount()->text(), QStringLiteral("0 passages"));
    QVERIFY(panel.dropHint()->isVisible());
    QCOMPARE(panel.list()->count(), 0);
    QVERIFY(!panel.spinning());
  }

  // Without a model server nothing can be read, but the documents of the
  // folder are listed, each saying why it is not read yet; once the model
  // runs they are read and counted.
  void documentsAreListedBeforeTheyCanBeRead() {
    AppHome home;
    prepareStandInHome(home.home.path());
    fs::remove(home.home.path() / "engine/llama-server");
    AppModel model;
    DocsPanel panel(model);
    panel.resize(270, 640);
    panel.show();
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QCOMPARE(model.status().state().problem, Engine::Problem::notFound);
    model.addSamples();
    const int samples = panel.list()->count();
    QVERIFY2(samples >= 5, qPrintable(QString::number(samples)));
    QVERIFY(panel.dropHint()->isHidden());
    for (int i = 0; i < samples; ++i) {
      auto* why = panel.list()->itemWidget(panel.list()->item(i))->findChild<QLabel*>(QStringLiteral("docProblem"));
      QVERIFY(why != nullptr);
      QCOMPARE(why->text(), QStringLiteral("Not read yet: the model is not running"));
    }

    // Each reason whole (not clipped to one line), and the tray counts what
    // the panel lists.
    QTest::qWait(50);
    for (QLabel* why : panel.list()->findChildren<QLabel*>(QStringLiteral("docProblem")))
      QVERIFY2(why->height() >= why->heightForWidth(why->width()), qPrintable(QString::number(why->height())));
    Tray tray(model, {});
    const auto rows = tray.rows();
    QVERIFY(std::any_of(rows.begin(), rows.end(), [&](const MenuRow& r) {
      return r.title.startsWith(QStringLiteral("Documents: %1 \u00B7").arg(samples));
    }));

    fs::create_symlink(QUORVEL_STANDIN, home.home.path() / "engine/llama-server");
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QCOMPARE(panel.list()->count(), samples);
    QVERIFY(panel.list()->findChildren<QLabel*>(QStringLiteral("docProblem")).isEmpty());
    QVERIFY(model.documents().passages() > 0);
  }

  // The screen (set up or main) is chosen by looking at the model files on
  // disk: not once for each streamed piece of a reply.
  void aStreamedReplyLooksAtNoFiles() {
    AppHome home;
    withBreakfastRules(home);
    AppModel model;
    MainWindow window(model);
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    model.reply().setGuestText(QStringLiteral("When is breakfast?"));
    int pieces = 0;
    connect(&model.reply(), &ReplyState::changed, this, [&] { pieces += model.reply().busy() ? 1 : 0; });
    const int before = window.content()->refreshes();
    QVERIFY(await([&](auto done) { model.ask(done); }));
    QCOMPARE(window.content()->main()->ask()->replyText()->toPlainText(), model.reply().answer());
    QVERIFY(pieces > 3);
    QCOMPARE(window.content()->refreshes() - before, 2);  // the status: writing, then ready
  }

  // The documents panel opens the list of unanswered questions in place of
  // the reply panel; choosing one shows the guests' words, "Ask it again"
  // takes the question back to the reply panel. Clearing the history
  // empties the list, also while a list is being made.
  void theUnansweredQuestionsAndBack() {
    AppHome home;
    prepareStandInHome(home.home.path());
    auto answer = [](const std::string& question, bool notInDocs, const std::string& lang) {
      QVERIFY(History::append(historyAnswer(question, notInDocs, lang, std::chrono::system_clock::now())));
    };
    answer("Do you have a gym?", true, "en");
    answer("Do you have a gym?", true, "en");
    answer("Gibt es eine Sauna?", true, "de");
    answer("When is breakfast?", false, "en");
    AppModel model;
    MainView view(model);
    view.resize(1040, 700);
    QToolButton* open = nullptr;
    for (QToolButton* b : view.docs()->findChildren<QToolButton*>())
      if (b->text() == QStringLiteral("Unanswered questions")) open = b;
    QVERIFY(open != nullptr);
    open->click();
    QVERIFY(view.gaps()->isVisibleTo(&view));
    QVERIFY(!view.ask()->isVisibleTo(&view));
    QVERIFY(QTest::qWaitFor([&] { return !model.gaps().finding(); }, 60000));
    QCOMPARE(view.gaps()->groups()->count(), 2);
    QVERIFY(view.gaps()->groups()->item(0)->text().startsWith(QStringLiteral("2 \u00D7  Do you have a gym?")));
    QVERIFY(view.gaps()->info()->text().startsWith(QStringLiteral("The last 30 days: 2 questions")));
    // The model was not running: it is not started for the list, which goes by text.
    QVERIFY(view.gaps()->info()->text().endsWith(
        QStringLiteral("(Grouped by exact text: the search model is not running.)")));
    QCOMPARE(model.status().state(), Engine::State::stopped());
    view.gaps()->groups()->setCurrentRow(1);
    QCOMPARE(view.gaps()->messages()->count(), 1);
    QCOMPARE(view.gaps()->messages()->item(0)->text(), QStringLiteral("Gibt es eine Sauna?"));
    // "Ask it again" writes the reply to the question; the reply to another
    // message written before is not left under it.
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    model.reply().setGuestText(QStringLiteral("When is breakfast?"));
    QVERIFY(await([&](auto done) { model.ask(done); }));
    view.showGaps();
    QVERIFY(QTest::qWaitFor([&] { return !model.gaps().finding(); }, 60000));
    for (int row = 0; row < view.gaps()->groups()->count(); ++row)
      if (view.gaps()->groups()->item(row)->text().contains(QStringLiteral("Sauna")))
        view.gaps()->groups()->setCurrentRow(row);
    QCOMPARE(view.gaps()->messages()->item(0)->text(), QStringLiteral("Gibt es eine Sauna?"));
    view.gaps()->askAgain()->click();
    QCOMPARE(view.ask()->messageEditor()->toPlainText(), QStringLiteral("Gibt es eine Sauna?"));
    QVERIFY(!view.gaps()->isVisibleTo(&view));
    QVERIFY2(model.reply().busy(), qPrintable(model.status().text()));
    QVERIFY(QTest::qWaitFor([&] { return !model.reply().busy(); }, 30000));
    QVERIFY(model.reply().replied() && !model.reply().outdated());
    QVERIFY(model.reply().notInDocs());
    QVERIFY(view.ask()->outdatedTag()->isHidden());
    quorvel::test::stopModelServers();
    pretendEngine(model, Engine::State::stopped());

    // A list being made when the history is cleared never shows.
    view.showGaps();
    QVERIFY(model.gaps().finding());
    model.clearHistory();
    QCOMPARE(view.gaps()->groups()->count(), 0);
    QTest::qWait(1500);
    QVERIFY(QTest::qWaitFor([&] { return !model.gaps().finding(); }, 60000));
    QCOMPARE(view.gaps()->groups()->count(), 0);
    QCOMPARE(History::count(), 0);
    view.showGaps();
    QVERIFY(QTest::qWaitFor([&] { return !model.gaps().finding(); }, 60000));
    QCOMPARE(view.gaps()->info()->text(), QStringLiteral("No guest messages in the last 30 days."));
  }

  // Each question of the list shows the language the guest wrote in, by
  // name (not the reply language the receptionist chose), and dates with
  // the month named in the window's language; a reply task run without a
  // message is no guest's question.
  void theUnansweredListNamesTheGuestsLanguageAndDates() {
    AppHome home;
    const auto now = std::chrono::system_clock::now();
    const auto ask = [&](const std::string& q, const std::string& lang, const std::string& templ = "") {
      QVERIFY(History::append(historyAnswer(q, true, lang, now, templ)));
    };
    ask("\uC870\uC2DD\uC740 \uBA87 \uC2DC\uBD80\uD130 \uC778\uAC00\uC694?", "ru");  // Korean, replied in Russian
    ask("\u671D\u98DF\u306F\u4F55\u6642\u304B\u3089\u3067\u3059\u304B\uFF1F", "ru");  // Japanese
    ask("Gibt es eine Sauna im Hotel?", "de");
    ask("Complaint", "en", "complaint");  // the task alone
    ask("Could you tell me " + std::string(2000, 'x') + "?", "en");  // a whole letter
    const QDate today = QDate::currentDate();
    auto listed = [&](const QLocale& locale) {
      translations::use(locale);
      AppModel model;
      GapsPanel panel(model);
      model.findGaps();
      [[maybe_unused]] const bool made = QTest::qWaitFor([&] { return !model.gaps().finding(); }, 60000);
      QStringList rows;
      for (int i = 0; i < panel.groups()->count(); ++i) rows << panel.groups()->item(i)->text();
      translations::use(QLocale(QLocale::English));
      return rows.join(QLatin1Char('\n'));
    };
    const QString en = listed(QLocale(QLocale::English));
    QVERIFY2(en.contains(QStringLiteral("\uD55C\uAD6D\uC5B4 \u00B7")), qPrintable(en));  // 한국어
    QVERIFY2(en.contains(QStringLiteral("\u65E5\u672C\u8A9E \u00B7")), qPrintable(en));  // 日本語
    QVERIFY2(en.contains(QStringLiteral("Deutsch \u00B7")), qPrintable(en));
    QVERIFY2(!en.contains(QStringLiteral("\u0420\u0443\u0441\u0441\u043A\u0438\u0439")) && !en.contains(QStringLiteral(" ru ")),
             qPrintable(en));  // no Русский: nobody wrote Russian
    QVERIFY2(!en.contains(QStringLiteral("Complaint")), qPrintable(en));
    QCOMPARE(en.count(QLatin1Char('\n')) + 1, 4 * 2);  // four questions of two lines
    QVERIFY2(en.size() < 1000, qPrintable(QString::number(en.size())));  // the letter is shortened with "…"
    QVERIFY(en.contains(QStringLiteral("x\u2026")));
    const QString month = QLocale(QLocale::English).monthName(today.month(), QLocale::ShortFormat);
    QVERIFY2(en.contains(QStringLiteral("%1 %2 %3").arg(today.day()).arg(month).arg(today.year())), qPrintable(en));
    QVERIFY2(!en.contains(QLatin1Char('/')), qPrintable(en));
    const QString ru = listed(QLocale(QLocale::Russian));
    const QString russianMonth = QLocale(QLocale::Russian).toString(today, QStringLiteral("MMM"));
    QVERIFY2(ru.contains(QStringLiteral("%1 %2 %3").arg(today.day()).arg(russianMonth).arg(today.year())) &&
                 russianMonth.front().script() == QChar::Script_Cyrillic,
             qPrintable(ru));
  }

  // The receptionist's first act is Ctrl+V: the focus starts in the
  // message box.
  void theFocusStartsInTheMessageBox() {
    AppHome home;
    prepareStandInHome(home.home.path());
    AppModel model;
    MainWindow window(model);
    window.present();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QPlainTextEdit* message = window.content()->main()->ask()->messageEditor();
    QVERIFY2(QApplication::focusWidget() == message,
             QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
    QGuiApplication::clipboard()->setText(QStringLiteral("Is there a sauna?"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(model.reply().guestText(), QStringLiteral("Is there a sauna?"));
  }

  // "Add the answer…" with the keyboard only: the editor opens on the
  // chosen question, Tab goes through its fields, Esc cancels and leaves
  // the documents as they were, Ctrl+Return saves; the documents are read
  // again, the list shows the question answered, and "Ask it again" brings
  // a reply citing the new section.
  void anAnswerIsAddedWithTheKeyboardOnly() {
    AppHome home;
    withBreakfastRules(home);
    QVERIFY(History::append(
        historyAnswer("Do you have a gym?", true, "en", std::chrono::system_clock::now() - std::chrono::hours(1))));
    AppModel model;
    QVERIFY(await([&](auto done) { model.startEngine(done); }));
    QVERIFY(model.status().ready());
    MainView view(model);
    view.resize(1040, 700);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.showGaps();
    QVERIFY(QTest::qWaitFor([&] { return !model.gaps().finding(); }, 60000));
    QCOMPARE(view.gaps()->groups()->count(), 1);
    QCOMPARE(view.gaps()->addAnswer()->text(), QStringLiteral("Add the answer\u2026"));

    auto open = [&] {
      view.gaps()->addAnswer()->setFocus();
      QTest::keyClick(view.gaps()->addAnswer(), Qt::Key_Space);
      auto* dialog = view.gaps()->findChild<AnswerDialog*>();
      return dialog != nullptr && QTest::qWaitFor([&] { return dialog->isVisible(); }, 5000) ? dialog : nullptr;
    };
    QPointer<AnswerDialog> dialog = open();
    QVERIFY(dialog);
    QCOMPARE(dialog->question()->text(), QStringLiteral("Do you have a gym?"));
    QVERIFY(!dialog->saveButton()->isEnabled());  // nothing written yet
    QTest::keyClicks(dialog->answer(), QStringLiteral("We have no gym yet."));
    QTest::keyClick(dialog->answer(), Qt::Key_Escape);
    QVERIFY(QTest::qWaitFor([&] { return !dialog; }, 5000));  // closed and gone
    QVERIFY(!fs::exists(DeskAnswers::file()));

    dialog = open();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == dialog->answer(); }, 5000));
    QTest::keyClick(dialog->answer(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), dialog->question());
    // Reworded: the list still finds it answered, by meaning.
    QTest::keyClick(dialog->question(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog->question(), QStringLiteral("Is there a gym at the hotel?"));
    QTest::keyClick(dialog->question(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dialog->answer());
    QTest::keyClicks(dialog->answer(), QStringLiteral("Yes, we have a gym on the ground floor."));
    QTest::keyClick(dialog->answer(), Qt::Key_Return);  // a line break, not a save
    QTest::keyClicks(dialog->answer(), QStringLiteral("Open daily from 6:00 to 22:00."));
    QVERIFY(dialog->note()->isHidden());
    QTest::keyClick(dialog->answer(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dialog->saveButton());
    QTest::keyClick(dialog->saveButton(), Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(QTest::qWaitFor([&] { return dialog->done(); }, 60000));
    QCOMPARE(dialog->note()->text(), QStringLiteral("Saved and read: the next guest who asks gets this answer."));
    const auto sections = DeskAnswers::read();
    QCOMPARE(sections.size(), std::size_t{1});
    QCOMPARE(sections[0].question, std::string("Is there a gym at the hotel?"));
    QCOMPARE(sections[0].answer,
             std::string("Yes, we have a gym on the ground floor.\nOpen daily from 6:00 to 22:00."));
    QVERIFY(DocIndex::shared().count(std::string(DeskAnswers::kFileName)) > 0);
    QVERIFY(QTest::qWaitFor([&] { return !model.gaps().finding(); }, 60000));
    QVERIFY(model.gaps().result().groups.at(0).answered);
    QVERIFY(view.gaps()->groups()->item(0)->text().contains(QStringLiteral(" \u00B7 answered ")));

    // "Ask it again" has the focus: Space asks the group's question.
    QCOMPARE(QApplication::focusWidget(), dialog->askAgainButton());
    QTest::keyClick(dialog->askAgainButton(), Qt::Key_Space);
    QVERIFY(QTest::qWaitFor([&] { return !dialog; }, 5000));
    QCOMPARE(view.ask()->messageEditor()->toPlainText(), QStringLiteral("Do you have a gym?"));
    // It writes the reply itself.
    QVERIFY(QTest::qWaitFor([&] { return model.reply().replied() && !model.reply().busy(); }, 60000));
    QVERIFY(model.reply().answer().startsWith(QStringLiteral("Yes, we have a gym on the ground floor")));
    QCOMPARE(model.reply().sources().size(), std::size_t{1});
    QCOMPARE(model.reply().sources()[0].file, std::string(DeskAnswers::kFileName));
  }

  void theWindowShowsTheSetupScreenUntilTheModelsAreThere() {
    AppHome home;
    AppModel model;
    MainWindow window(model);
    ContentView* content = window.content();
    QVERIFY(content->currentWidget() == content->setup());
    QCOMPARE(content->setup()->installButton()->text(), QStringLiteral("Install in one step"));
    QVERIFY(!content->setup()->installButton()->isHidden());
    QVERIFY(content->setup()->progressBar()->isHidden());
    // No llama-server on this PATH: the screen says where to read about it.
    QVERIFY(!content->setup()->serverAdvice()->isHidden());
    // Debian 12 has no package: the advice names the build with the engine too.
    QVERIFY(content->setup()->serverAdvice()->text().contains(QStringLiteral("Debian 13 or later: sudo apt install llama.cpp")));
    QVERIFY(content->setup()->serverAdvice()->text().contains(QStringLiteral("-DQUORVEL_BUNDLE_ENGINE=ON")));

    prepareStandInHome(home.home.path());
    model.reloadFiles();  // any change of the model
    QVERIFY(content->currentWidget() == content->main());
    QVERIFY(content->setup()->serverAdvice()->isHidden() || !content->setup()->isVisible());
    // A model file deleted while the app runs: back to the setup screen.
    fs::remove(ModelCatalog::path(ModelCatalog::embedding()));
    model.reloadFiles();
    QVERIFY(content->currentWidget() == content->setup());
    // Never narrower than the screens are laid out for.
    window.show();
    window.resize(500, 400);
    QVERIFY(QTest::qWaitFor([&] { return window.width() >= 900 && window.height() >= 600; }, 2000));
  }
};

QTEST_MAIN(ViewsTest)
#include "views_test.moc"
