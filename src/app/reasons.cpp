#include "reasons.h"

#include <QRegularExpression>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

#include "translations.h"

namespace quorvel::app {

namespace {

// "<sentence> (<detail>)": the plain words first, the technical ones after.
QString withDetail(const QString& sentence, const QString& detail) {
  return detail.isEmpty() ? sentence : sentence + QStringLiteral(" (") + detail + QLatin1Char(')');
}

// The core's fixed reading reasons, by their English words; the captures
// fill the translation's %1, %2, ….
struct Known {
  QRegularExpression pattern;
  std::function<QString(const QRegularExpressionMatch&)> say;
};

QString readingPart(const QString& part);

const std::vector<Known>& readingReasons() {
  auto re = [](const char* p) { return QRegularExpression(QStringLiteral("^") + QString::fromUtf8(p) + "$"); };
  static const std::vector<Known> known{
      {re("the PDF is damaged"), [](auto&) { return Reasons::tr("the PDF is damaged"); }},
      {re("the PDF is locked with a password"), [](auto&) { return Reasons::tr("the PDF is locked with a password"); }},
      {re("empty"), [](auto&) { return Reasons::tr("the file is empty"); }},
      {re("damaged, or not a \\.(\\w+) document"),
       [](auto& m) { return Reasons::tr("damaged, or not a .%1 document").arg(m.captured(1)); }},
      {re("could not be read: (.+)"),
       [](auto& m) { return withDetail(Reasons::tr("could not be read"), m.captured(1)); }},
      {re("could not be read"), [](auto&) { return Reasons::tr("could not be read"); }},
      {re("not a regular file that can be opened"), [](auto&) { return Reasons::tr("not an ordinary file"); }},
      {re("a system file \\((.+)\\), never read"),
       [](auto& m) { return withDetail(Reasons::tr("a system file, never read"), m.captured(1)); }},
      {re("a link to (.+), outside (.+)"),
       [](auto& m) { return withDetail(Reasons::tr("a link to a file outside the documents folder"), m.captured(1)); }},
      {re("too large \\((.+)\\)"), [](auto& m) { return Reasons::tr("too large (%1)").arg(m.captured(1)); }},
      {re("page (\\d+) could not be drawn within (\\d+) s"),
       [](auto& m) { return Reasons::tr("page %1 could not be drawn within %2 s").arg(m.captured(1), m.captured(2)); }},
      {re("page (\\d+) could not be drawn"),
       [](auto& m) { return Reasons::tr("page %1 could not be drawn").arg(m.captured(1)); }},
      {re("page (\\d+) took too long to read"),
       [](auto& m) { return Reasons::tr("page %1 took too long to read").arg(m.captured(1)); }},
      {re("a document has at most (\\d+) scanned pages read"),
       [](auto& m) { return Reasons::tr("a document has at most %1 scanned pages read").arg(m.captured(1)); }},
      {re("a document's scanned pages may take at most (\\d+) minutes to read"),
       [](auto& m) {
         return Reasons::tr("a document's scanned pages may take at most %1 minutes to read").arg(m.captured(1));
       }},
      {re("scanned pages from page (\\d+) to (\\d+) not read: (.+)"),
       [](auto& m) {
         return Reasons::tr("scanned pages %1 to %2 not read: %3")
             .arg(m.captured(1), m.captured(2), readingPart(m.captured(3)));
       }},
  };
  return known;
}

QString readingPart(const QString& part) {
  for (const Known& k : readingReasons())
    if (const auto m = k.pattern.match(part); m.hasMatch()) return k.say(m);
  // A reason this window has no words for: in English as it is; in another
  // language a sentence of its own first.
  if (translations::language() == QStringLiteral("en")) return part;
  return withDetail(Reasons::tr("could not be read"), part);
}

}  // namespace

QString Reasons::download(const QString& why) {
  QString sentence;
  if (why.contains(QStringLiteral("host unreachable")))
    sentence = tr("the download server cannot be reached. Check the internet connection, then try again.");
  else if (why.contains(QStringLiteral("disk full")))
    sentence = tr("the disk is full. Free some space, then try again.");
  else if (why.contains(QStringLiteral("cannot write")) || why.contains(QStringLiteral("cannot move")))
    sentence = tr("the file could not be saved on this computer.");
  else if (why.contains(QStringLiteral("the server answered HTTP")))
    sentence = tr("the download server refused the file. Try again later.");
  else if (why.contains(QStringLiteral(" arrived from ")) || why.contains(QStringLiteral("not a whole model file")))
    sentence = tr("what arrived is not the whole model file. Try again.");
  else
    sentence = tr("the download broke off. Try again: it goes on where it stopped.");
  // The core's words name the file once: "download of X failed: …" says
  // "failed" a second time.
  static const QRegularExpression prefix(QStringLiteral("^download of (\\S+) failed: "));
  QString detail = why;
  detail.replace(prefix, QStringLiteral("\\1: "));
  return withDetail(tr("The model could not be downloaded: %1").arg(sentence), detail);
}

QString Reasons::reading(const std::string& why) {
  QStringList parts;
  for (const QString& part : QString::fromStdString(why).split(QStringLiteral("; "))) parts << readingPart(part);
  return parts.join(QStringLiteral("; "));
}

QString Reasons::reply(const QString& why) {
  QString sentence;
  if (why.contains(QStringLiteral("did not answer")))
    sentence = tr("the model did not answer");
  else if (why.contains(QStringLiteral("ended before it was complete")))
    sentence = tr("the model's reply broke off");
  else if (why.contains(QStringLiteral("embedding server")))
    sentence = tr("the search model failed");
  else
    sentence = tr("the model reported an error");
  return withDetail(sentence, why);
}

QString Reasons::documents(const QString& why) {
  QString sentence;
  if (why.startsWith(QStringLiteral("cannot save")))
    sentence = tr("the documents could not be saved after reading");
  else if (why.contains(QStringLiteral("did not answer")))
    sentence = tr("the search model did not answer");
  else
    sentence = tr("the search model reported an error");
  return withDetail(sentence, why);
}

QString Reasons::engine(const QString& why) { return withDetail(tr("the model could not be started"), why); }

}  // namespace quorvel::app
