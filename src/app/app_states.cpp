#include "app_states.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <filesystem>
#include <set>

#include <quorvel/answerer.h>
#include <quorvel/document_reader.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>

#include "reasons.h"

namespace quorvel::app {

namespace fs = std::filesystem;

void DocumentsState::reload() {
  files_ = DocIndex::shared().fileNames();
  problems_ = DocIndex::shared().problems();
  passages_ = static_cast<int64_t>(DocIndex::shared().chunkCount());
  // What the folder holds is listed even before it can be read (no model
  // server yet): an empty list would say that nothing was loaded.
  std::set<std::string> known(files_.begin(), files_.end());
  for (const auto& p : problems_) known.insert(p.file);
  unread_.clear();
  std::error_code ec;
  for (fs::directory_iterator it(Paths::documents(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (DocumentReader::isAllowed(it->path()) && known.count(name) == 0) unread_.push_back(name);
  }
  std::sort(unread_.begin(), unread_.end());
  emit changed();
}

std::size_t DocumentsState::listed() const {
  std::set<std::string> names(files_.begin(), files_.end());
  names.insert(unread_.begin(), unread_.end());
  for (const auto& p : problems_) names.insert(p.file);
  return names.size();
}

QString boundedMessage(const QString& text, bool* cut) {
  // Counted in user-perceived characters, as the answering counts them; a
  // paste of megabytes is walked only as far as the bound.
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  qsizetype end = 0;
  std::size_t n = 0;
  for (; n < Answerer::kMessageCharacters; ++n) {
    const qsizetype next = graphemes.toNextBoundary();
    if (next < 0) break;
    end = next;
  }
  const bool longer = n == Answerer::kMessageCharacters && graphemes.toNextBoundary() >= 0;
  if (cut) *cut = longer;
  return longer ? text.left(end) + QChar(0x2026) : text;
}

QString withoutEmphasis(QString text) {
  static const QRegularExpression emphasis(QStringLiteral("(\\*\\*|__|\\*|`)(?=\\S)(.+?)(?<=\\S)\\1"));
  return text.replace(emphasis, QStringLiteral("\\2"));
}

void ReplyState::setGuestText(const QString& text) {
  bool cut = false;
  const QString held = boundedMessage(text, &cut);
  if (held == guestText_ && cut == cut_) return;
  const bool other = held != guestText_;
  guestText_ = held;
  cut_ = cut;
  emit changed();
  if (other) emit choiceChanged();
}

QString ReplyState::choice() const {
  const QChar sep(0x1f);
  return guestText_ + sep + (template_ ? QString::fromStdString(template_->id) : QString()) + sep + language_;
}

QString ReplyState::forGuest(const QString& reply) {
  // The numbers of the sources are for the receptionist, with the space
  // before them: "rates [1]." becomes "rates.".
  static const QRegularExpression citation(QStringLiteral("[ \\t]*\\[\\d+(?:\\s*[,\u060C\u3001]\\s*\\d+)*\\]"));
  QString text = withoutEmphasis(QString(reply).remove(citation));
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines) line = line.trimmed();
  return lines.join(QLatin1Char('\n')).trimmed();
}

void ReplyState::setReplyTemplate(const ReplyTemplate* t) {
  if (t == template_) return;
  template_ = t;
  emit changed();
  emit choiceChanged();
}

void ReplyState::setLanguage(const QString& code) {
  if (code == language_) return;
  language_ = code;
  emit changed();
  emit choiceChanged();
}

bool EngineStatus::modelsReady() {
  // A damaged model file is not ready: the setup screen offers to download
  // it again.
  const auto chat = ModelCatalog::installedChat();
  return chat && !ModelCatalog::damage(*chat) && ModelCatalog::isInstalled(ModelCatalog::embedding()) &&
         !ModelCatalog::damage(ModelCatalog::embedding());
}

QString EngineStatus::text() const {
  switch (state_.kind) {
    case Engine::State::Kind::stopped:
      return modelsReady() ? tr("Model stopped") : tr("Not installed \u2014 open to install");
    case Engine::State::Kind::starting: return tr("Starting the local model\u2026");
    case Engine::State::Kind::ready: return writing_ ? tr("Writing a reply\u2026") : tr("Ready \u00B7 works offline");
    case Engine::State::Kind::failed: return tr("Error: %1").arg(failure());
  }
  return {};
}

QString EngineStatus::failure() const {
  if (state_.kind != Engine::State::Kind::failed) return {};
  // The engine's own words, in the app's language; by the reason, so that a
  // reworded message still shows.
  const QString message = QString::fromStdString(state_.message);
  using Problem = Engine::Problem;
  switch (state_.problem) {
    case Problem::notFound: return tr("engine not found");
    case Problem::noModel: return tr("model not downloaded");
    case Problem::noSearchModel: return tr("search model not downloaded");
    case Problem::damaged: return tr("model file damaged: %1").arg(message.section(QStringLiteral(": "), 1));
    case Problem::didNotStart: return tr("model server did not start (see logs)");
    case Problem::portTaken:
      return tr("port %1 is used by another program (quorvel-cli stop ends a model server of ours)")
          .arg(message.section(QLatin1Char(' '), 1, 1));
    case Problem::serverStopped: return tr("the model server stopped");
    case Problem::noKey:
      return tr("the model servers were not started: their key cannot be made in %1")
          .arg(QString::fromStdString((Paths::support() / "server.key").string()));
    case Problem::none:
    case Problem::other: break;
  }
  return Reasons::engine(message);
}

bool EngineStatus::canStart() const {
  return (state_.kind == Engine::State::Kind::stopped || state_.kind == Engine::State::Kind::failed) && modelsReady();
}

bool EngineStatus::startsOnReply() const {
  return (state_.kind == Engine::State::Kind::stopped || serverWentAway()) && modelsReady();
}

bool EngineStatus::serverWentAway() const {
  return state_.kind == Engine::State::Kind::failed && state_.problem == Engine::Problem::serverStopped &&
         modelsReady();
}

QColor EngineStatus::color() const {
  // The desktop's usual signal colours, as bright as a dark window needs.
  switch (state_.kind) {
    case Engine::State::Kind::stopped: return modelsReady() ? QColor(0x8e, 0x8e, 0x93) : QColor(0xff, 0x9f, 0x0a);
    case Engine::State::Kind::starting: return QColor(0xff, 0xd6, 0x0a);
    case Engine::State::Kind::ready: return writing_ ? QColor(0x0a, 0x84, 0xff) : QColor(0x30, 0xd1, 0x58);
    case Engine::State::Kind::failed: return QColor(0xff, 0x45, 0x3a);
  }
  return {};
}

QString EngineStatus::installServerAdvice(bool bundled) {
  // A package that carries the server and has lost it is damaged.
  if (bundled)
    return tr(
        "Quorvel's model server is missing from its installation: reinstall Quorvel "
        "(sudo apt install --reinstall quorvel).");
  // Debian 12 has no llama.cpp package: the package is one way, a build of
  // Quorvel with its engine the other.
  return tr(
      "llama-server is not installed: install the llama.cpp package (Debian 13 or later: sudo apt install "
      "llama.cpp) or build Quorvel with its engine (cmake -DQUORVEL_BUNDLE_ENGINE=ON), then press \u201CTry "
      "again\u201D.");
}

QString EngineStatus::advice() const {
  if (state_.kind != Engine::State::Kind::failed) return {};
  return adviceFor(state_.problem);
}

QString EngineStatus::adviceFor(Engine::Problem problem) {
  using Problem = Engine::Problem;
  switch (problem) {
    case Problem::notFound: return installServerAdvice();
    case Problem::damaged: return tr("A model file is damaged: install it again on the setup screen.");
    case Problem::noModel:
    case Problem::noSearchModel: return tr("The model files are missing: install them on the setup screen.");
    case Problem::serverStopped:
      return tr("Press \u201CStart again\u201D, or write the reply: the model starts first.");
    case Problem::didNotStart:
      return tr("Press \u201CTry again\u201D. If it fails again, restart the computer: it frees the memory.");
    case Problem::portTaken:
      return tr("Another program holds the model's port: close it (or ask who runs it), then press \u201CTry again\u201D.");
    case Problem::noKey:
      return tr("Make room on the disk, or remove what is in the way of the key file, then press \u201CTry again\u201D.");
    case Problem::none:
    case Problem::other: break;
  }
  return {};
}

}  // namespace quorvel::app
