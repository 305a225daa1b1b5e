// What the screens show, in four concerns: the installation, the engine's
// status, the documents and the reply. Each is its own object with its own
// `changed()` signal, so a view redraws for what it shows only (a streamed
// piece of a reply touches the reply's views, nothing else). The views read
// them; AppModel, which drives the core, is the only one that changes them,
// but for what the receptionist types or picks.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include <quorvel/doc_index.h>
#include <quorvel/engine.h>
#include <quorvel/gaps.h>
#include <quorvel/paths.h>
#include <quorvel/records.h>
#include <quorvel/reply_template.h>

namespace quorvel::app {

class AppModel;

// The model download.
class SetupState : public QObject {
  Q_OBJECT
 public:
  // The running download's fraction; none when nothing downloads.
  std::optional<double> progress() const { return progress_; }
  // "1/2 · <model> · 639 MB" while a download runs.
  const QString& step() const { return step_; }
  // Why the last installation failed, whole; empty when it did not.
  const QString& error() const { return error_; }

 signals:
  void changed();

 private:
  friend class AppModel;
  std::optional<double> progress_;
  QString step_;
  QString error_;
};

// The engine's state, and whether a reply is being written (the status dot
// and line, the tray's icon).
class EngineStatus : public QObject {
  Q_OBJECT
 public:
  const Engine::State& state() const { return state_; }
  bool ready() const { return state_.kind == Engine::State::Kind::ready; }
  // A reply is being written.
  bool writing() const { return writing_; }
  QString text() const;
  QColor color() const;
  // The engine's failure in the app's language; empty when it has none.
  QString failure() const;
  // What to do about the failure, for whoever sets Quorvel up; empty when
  // there is nothing to say.
  QString advice() const;
  // The advice for a failure of this kind; empty for those without one.
  static QString adviceFor(Engine::Problem problem);
  // Whether "Start model"/"Try again" makes sense now: the models are there
  // and the engine is stopped or failed.
  bool canStart() const;
  // A server went away while ready: a reply starts the engine again.
  bool serverWentAway() const;
  // A reply starts the engine first: it was stopped (by "Stop model") or
  // a server went away, and the models are there.
  bool startsOnReply() const;

  // One reply model and the search model are on disk.
  static bool modelsReady();
  // The advice for a computer without llama-server: install it, or, where
  // Quorvel ships its own, reinstall Quorvel.
  static QString installServerAdvice(bool bundled = Paths::engineIsBundled());

 signals:
  void changed();

 private:
  friend class AppModel;
  Engine::State state_;
  bool writing_ = false;
};

// The documents folder as last read.
class DocumentsState : public QObject {
  Q_OBJECT
 public:
  // The documents with passages.
  const std::vector<std::string>& files() const { return files_; }
  // The documents of the folder that are neither among files() nor among
  // problems(): not read yet (the model is not running, or the reading has
  // not come to them), or read without any passage.
  const std::vector<std::string>& unread() const { return unread_; }
  int64_t passages() const { return passages_; }
  // How many documents the panel lists: with passages, not read, or not
  // read yet.
  std::size_t listed() const;
  // Documents that could not be read, or only partly, with the reason.
  const std::vector<DocIndex::Problem>& problems() const { return problems_; }
  // A reading is under way.
  bool reading() const { return reading_; }
  // "Reading <file>" while the documents are read, else empty.
  const QString& readingLine() const { return readingLine_; }
  // Why the last reading failed; empty when it did not.
  const QString& readError() const { return readError_; }

 signals:
  void changed();

 private:
  friend class AppModel;
  // Takes the names, passages and problems from the index.
  void reload();
  std::vector<std::string> files_;
  std::vector<std::string> unread_;
  std::vector<DocIndex::Problem> problems_;
  int64_t passages_ = 0;
  bool reading_ = false;
  QString readingLine_;
  QString readError_;
};

// The guest's message, the template and language chosen, and the reply.
class ReplyState : public QObject {
  Q_OBJECT
 public:
  const QString& guestText() const { return guestText_; }
  const ReplyTemplate* replyTemplate() const { return template_; }
  // A reply language's code, or "auto".
  const QString& language() const { return language_; }
  void setGuestText(const QString& text);
  void setReplyTemplate(const ReplyTemplate* t);
  void setLanguage(const QString& code);

  // The message as pasted was longer than the answering uses: it holds
  // the first kMessageCharacters of it and a "…".
  bool cut() const { return cut_; }
  // What a reply is written for: message, template and language.
  QString choice() const;

  const QString& answer() const { return answer_; }
  // A reply as the guest gets it: no source numbers ("[1]"), no Markdown
  // emphasis.
  static QString forGuest(const QString& reply);
  const std::vector<Source>& sources() const { return sources_; }
  bool notInDocs() const { return notInDocs_; }
  bool busy() const { return busy_; }
  // The reply shown was written for another message, template or language
  // than the ones now chosen: it belongs to the previous message.
  bool outdated() const { return !answer_.isEmpty() && writtenFor_ != choice(); }
  // The reply shown is whole: written to its end for the message it shows.
  // Only then can it be copied.
  bool replied() const { return replied_ && !outdated(); }
  // The reply shown broke off (the model server died, an error came): what
  // there is of it stays visible, marked, and cannot be copied.
  bool unfinished() const { return !busy_ && !replied_ && !answer_.isEmpty(); }
  // Why the last reply broke off, as the sentence shown; empty otherwise.
  const QString& error() const { return error_; }
  // The last whole reply's speed line.
  const QString& speed() const { return speed_; }
  double lastTPS() const { return lastTPS_; }

 signals:
  void changed();
  // The message, template or language changed (by the receptionist).
  void choiceChanged();

 private:
  friend class AppModel;
  QString guestText_;
  bool cut_ = false;
  const ReplyTemplate* template_ = nullptr;
  QString language_ = QStringLiteral("auto");
  QString answer_;
  QString writtenFor_;  // choice() when the reply shown was asked for
  std::vector<Source> sources_;
  bool notInDocs_ = false;
  bool busy_ = false;
  bool replied_ = false;  // the last ask wrote a whole reply
  QString failure_;       // why the last reply broke off (the reason)
  QString error_;         // the same, as the sentence shown
  QString speed_;
  double lastTPS_ = 0;
};

// The message as the app holds it: a longer paste is cut to the
// characters the answering uses, with a "…" after them.
QString boundedMessage(const QString& text, bool* cut = nullptr);
// Markdown emphasis ("**", "*", "__", "`") taken away, what it marks kept.
QString withoutEmphasis(QString text);

// What guests asked that the documents do not answer.
class GapsState : public QObject {
  Q_OBJECT
 public:
  // The last list found; empty before the first and after the history was
  // cleared.
  const Gaps::Result& result() const { return result_; }
  // The list is being made.
  bool finding() const { return finding_; }
  // Why the last list could not be made; empty when it could.
  const QString& error() const { return error_; }
  // The period, in days.
  int days() const { return days_; }

 signals:
  void changed();

 private:
  friend class AppModel;
  Gaps::Result result_;
  bool finding_ = false;
  QString error_;
  int days_ = 30;
};

}  // namespace quorvel::app
