// What went wrong, as the window says it: the core's reasons are English
// and technical ("download of … failed: host unreachable (…)"). Each becomes
// a plain sentence in the window's language with the core's words after it
// in parentheses, for whoever sets Quorvel up.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <string>

namespace quorvel::app {

class Reasons {
  Q_DECLARE_TR_FUNCTIONS(Reasons)

 public:
  // Why a model download failed.
  static QString download(const QString& why);
  // Why a document was not read, or only partly ("the PDF is damaged";
  // several reasons are joined by "; ").
  static QString reading(const std::string& why);
  // Why a reply broke off (the model server's error).
  static QString reply(const QString& why);
  // Why reading the documents (embedding, saving the index) failed.
  static QString documents(const QString& why);
  // An engine failure without a reason of its own.
  static QString engine(const QString& why);
};

}  // namespace quorvel::app
