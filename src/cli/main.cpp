// quorvel-cli: one command per run, each ending the process with its status.
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <quorvel/answerer.h>
#include <quorvel/debug.h>
#include <quorvel/desk_answers.h>
#include <quorvel/doc_import.h>
#include <quorvel/doc_index.h>
#include <quorvel/document_reader.h>
#include <quorvel/engine.h>
#include <quorvel/forget.h>
#include <quorvel/gaps.h>
#include <quorvel/history.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>
#include <quorvel/startup.h>

namespace fs = std::filesystem;
using namespace quorvel;

namespace {

std::vector<std::string> args;

// Every line the tool prints goes through here: one write, no buffering, so
// lines from progress callbacks never interleave with the others.
void writeLine(int fd, std::string_view text) {
  std::string line(text);
  line.push_back('\n');
  std::string_view rest = line;
  while (!rest.empty()) {
    const ssize_t n = ::write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a closed terminal: nothing to tell anyone
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

void out(std::string_view text) { writeLine(STDOUT_FILENO, text); }
void err(std::string_view text) { writeLine(STDERR_FILENO, text); }

// A file name as it may be shown on a terminal: control characters (a line
// feed, an escape sequence) written as \n, \x1b and so on.
std::string printable(std::string_view name) {
  std::string shown;
  for (unsigned char c : name) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      static const char hex[] = "0123456789abcdef";
      shown += "\\x";
      shown.push_back(hex[c >> 4]);
      shown.push_back(hex[c & 15]);
    } else if (c == '\\') {
      shown += "\\\\";
    } else {
      shown.push_back(static_cast<char>(c));
    }
  }
  return shown;
}

constexpr std::string_view kUsage =
    "quorvel-cli setup            download the free models (one time)\n"
    "quorvel-cli import <files\u2026>  add documents (txt, md, pdf, docx, rtf)\n"
    "quorvel-cli index            build the local search index\n"
    "quorvel-cli ask \"question\"   answer from the documents "
    "[--template=checkin|breakfast|transfer|rules|complaint]\n"
    "quorvel-cli bench q.json r.json\n"
    "quorvel-cli gaps             what guests asked that the documents do not answer [--days N] [--json]\n"
    "quorvel-cli gaps --answer N \"text\"  add the desk's answer to question N of that list\n"
    "quorvel-cli forget \"text\"    remove every kept message and reply that contains the text (a guest's name)\n"
    "                             (or on standard input: echo \"Anna Kowalska\" | quorvel-cli forget)\n"
    "quorvel-cli stop             stop the local model\n"
    "A message given to ask on standard input (quorvel-cli ask < message.txt) is never in sight of\n"
    "other users of the computer; one given as an argument is hidden once read, not before.";

// Status when an error escapes a command (1 is the engine's).
constexpr int kErrorStatus = 2;

int usage() {
  out(kUsage);
  return 0;
}

int importCommand() {
  std::vector<fs::path> paths(args.begin() + 1, args.end());
  std::vector<std::string> skipped;
  const int64_t copied = DocImport::paths(paths, &skipped);
  for (const auto& s : skipped) err("quorvel-cli: skipped " + printable(s));
  out("imported: " + std::to_string(copied));
  // Nothing came in and something was refused: a script must not take that
  // for success.
  return copied == 0 && !skipped.empty() ? 1 : 0;
}

int setupCommand() {
  Paths::ensure();
  for (const ModelSpec& model : {ModelCatalog::embedding(), ModelCatalog::recommendedChat()}) {
    out("model: " + model.title + " (" + std::to_string(model.sizeMB) + " MB)");
    ModelDownloader downloader;
    int lastTenth = -1;
    // One line per tenth reached: the first percentage seen in it.
    downloader.onProgress = [&lastTenth](double fraction) {
      const int percent = static_cast<int>(fraction * 100);
      const int tenth = percent / 10;
      if (tenth == lastTenth) return;
      lastTenth = tenth;
      out("  " + std::to_string(percent) + "%");
    };
    downloader.download(model);
  }
  out("ok: " + Paths::models().string());
  return 0;
}

int stopCommand() {
  Engine::shared().stopAll();
  out("stopped");
  return 0;
}

// The person's language for the advice, as the C library would pick it.
bool russianLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && *v != '\0') return std::string_view(v).substr(0, 2) == "ru";
  }
  return false;
}

// What a person setting Quorvel up for the first time needs to know when the
// engine cannot start: on standard error, after the engine's own line.
void guidance(Engine::Problem failure) {
  using Problem = Engine::Problem;
  if (failure == Problem::notFound && Paths::engineIsBundled()) {
    // The package carries the server: without it the installation is damaged.
    const std::string folder = Paths::bundledEngine().string();
    if (russianLocale()) {
      err("quorvel-cli: в " + folder + " нет llama-server, установленного вместе с Quorvel: установка повреждена.");
      err("quorvel-cli: переустановите Quorvel: sudo apt install --reinstall quorvel");
    } else {
      err("quorvel-cli: the llama-server installed with Quorvel is missing from " + folder +
          ": the installation is damaged.");
      err("quorvel-cli: reinstall Quorvel: sudo apt install --reinstall quorvel");
    }
  } else if (failure == Problem::notFound) {
    err("quorvel-cli: llama-server was not found in " + Paths::llamaServerPlaces() + ".");
    const auto readme = Paths::readme();
    err("quorvel-cli: install it (Debian 13: sudo apt install llama.cpp) \u2014 see \"The models and llama-server\" "
        "in " +
        (readme ? readme->string() : std::string("the README")) + ".");
  } else if (failure == Problem::noModel || failure == Problem::noSearchModel) {
    err("quorvel-cli: the model files are not in " + Paths::models().string() +
        ": run `quorvel-cli setup` to download them (one time).");
  } else if (failure == Problem::damaged) {
    err("quorvel-cli: run `quorvel-cli setup` to download it again.");
  } else if (failure == Problem::didNotStart) {
    err("quorvel-cli: what the model servers said is in " + (Paths::logs() / "chat.log").string() + " and " +
        (Paths::logs() / "embed.log").string() + ".");
  }
}

// Starts the model servers (or finds them running); false after printing
// why they did not start.
bool engineReady() {
  Engine& engine = Engine::shared();
  engine.start();
  const Engine::State s = engine.state();
  if (s.kind == Engine::State::Kind::failed) {
    out("engine: " + s.message);
    guidance(s.problem);
    return false;
  }
  return true;
}

int indexCommand() {
  if (!engineReady()) return 1;
  const auto t0 = std::chrono::steady_clock::now();
  DocIndex& index = DocIndex::shared();
  if (index.cutByEarlierVersion())
    out("documents are read again: passages are now cut by the documents' own paragraphs and headings");
  index.refresh([](const std::string& name) { out("indexing " + printable(name)); });
  // Documents that gave no text, or not all of it, by name and reason:
  // otherwise the hotel believes its price list is loaded.
  for (const auto& problem : index.problems())
    out((index.count(problem.file) > 0 ? "partly read: " : "not read: ") + printable(problem.file) + " (" +
        problem.reason + ")");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  char took[32];
  std::snprintf(took, sizeof took, "%.1f", seconds);
  out("files: " + std::to_string(index.fileNames().size()) + ", passages: " + std::to_string(index.chunkCount()) +
      ", " + took + " s");
  return 0;
}

std::string format(const char* fmt, double a, double b) {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

// A damaged index.json leaves no passages: every answer would be "not in
// our documents" without a word why.
void warnOfADamagedIndex() {
  if (DocIndex::shared().damagedOnLoad())
    err("quorvel-cli: " + Paths::indexFile().string() +
        " could not be read (damaged): run `quorvel-cli index` to read the documents again.");
}

// Entries past the retention period go before a new one is added.
void applyRetention() {
  if (!History::applyRetention())
    err("quorvel-cli: warning: entries older than the retention period could not be removed from " +
        Paths::historyFile().string() + ": " + std::strerror(errno));
}

int askCommand() {
  if (!engineReady()) return 1;
  warnOfADamagedIndex();
  applyRetention();
  std::vector<std::string> words;
  for (std::size_t i = 1; i < args.size(); ++i)
    if (args[i].rfind("--", 0) != 0) words.push_back(args[i]);
  std::string question;
  for (std::size_t i = 0; i < words.size(); ++i) question += (i ? " " : "") + words[i];

  const ReplyTemplate* tmpl = nullptr;
  for (const auto& a : args) {
    if (a.rfind("--template=", 0) != 0) continue;
    tmpl = ReplyTemplate::find(a.substr(11));
    break;  // only the first --template= counts
  }
  if (question.empty() && tmpl == nullptr) {
    std::getline(std::cin, question);
    if (!question.empty() && question.back() == '\r') question.pop_back();
  }

  const Answer a = Answerer::shared().answer(question, tmpl);
  if (!a.recorded) err("quorvel-cli: warning: the answer could not be recorded in " + Paths::historyFile().string());
  out(a.text);
  for (const Source& s : a.sources)
    out("  [" + std::to_string(s.n) + "] " + printable(s.file) + (s.section.empty() ? "" : " \u2014 " + s.section));
  out(format("  %.0f tok/s \u00B7 %.2f s \u00B7 ", a.tokensPerSecond, a.seconds) + a.language);
  return 0;
}

// Refusal of a malformed bench run, before anything is answered.
int benchRefusal(const std::string& why) {
  out("bench: " + why);
  return kErrorStatus;
}

int benchCommand() {
  if (args.size() < 3) return benchRefusal("needs an input and an output file: quorvel-cli bench q.json r.json");
  if (!engineReady()) return 1;
  warnOfADamagedIndex();
  applyRetention();
  const std::string inPath = args[1], outPath = args[2];
  std::ifstream inFile(inPath, std::ios::binary);
  if (!inFile) throw std::runtime_error("cannot read " + inPath + ": " + std::strerror(errno));
  const nlohmann::json input = nlohmann::json::parse(inFile);
  if (!input.is_array()) return benchRefusal(inPath + " must hold a JSON array of objects");
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (!input[i].is_object())
      return benchRefusal("item " + std::to_string(i + 1) + " of " + inPath + " is not an object");
    if (!input[i].contains("q") || !input[i]["q"].is_string())
      return benchRefusal("item " + std::to_string(i + 1) + " of " + inPath + " has no string \"q\"");
  }

  nlohmann::json results = nlohmann::json::array();
  for (std::size_t i = 0; i < input.size(); ++i) {
    const std::string q = input[i]["q"].get<std::string>();
    const Answer a = Answerer::shared().answer(q);
    std::string files;
    nlohmann::json sources = nlohmann::json::array();
    for (const Source& s : a.sources) {
      files += (files.empty() ? "" : ", ") + s.file;
      sources.push_back(s.file + " \u2014 " + s.section);
    }
    out(std::to_string(i + 1) + ". " + q + "\n   \u2192 " + a.text + "\n   " + files + " \u00B7 " +
        format("%.0f tok/s, %.2f s", a.tokensPerSecond, a.seconds));
    nlohmann::json r = input[i];  // every other key is carried through
    r["answer"] = a.text;
    r["notInDocs"] = a.notInDocs;
    r["sources"] = sources;
    r["tps"] = a.tokensPerSecond;
    r["seconds"] = a.seconds;
    r["tokens"] = a.tokens;
    r["lang"] = a.language;
    results.push_back(std::move(r));
  }
  // Keys come out sorted: the objects are ordered maps.
  const std::string text = results.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  std::ofstream file(outPath, std::ios::binary | std::ios::trunc);
  if (!file || !(file << text) || !file.flush()) throw std::runtime_error("cannot write " + outPath);
  return 0;
}

// The day, on this computer's calendar: "2026-12-08".
std::string day(TimePoint t) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
  std::tm local{};
  localtime_r(&seconds, &local);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &local);
  return buf;
}

// Adds the desk's answer to group `n` (counted from 1) of the list as
// `gaps` printed it, then reads the documents again so that the next guest
// gets it.
int answerGap(const Gaps::Result& r, const std::string& n, const std::string& text) {
  const std::size_t count = r.groups.size();
  if (n.empty() || n.size() > 6 || n.find_first_not_of("0123456789") != std::string::npos || std::stoul(n) < 1 ||
      std::stoul(n) > count) {
    err("quorvel-cli: --answer needs the number of a question of the list (" +
        (count == 0 ? std::string("it is empty") : "1 to " + std::to_string(count)) + "), got \"" + printable(n) +
        "\"");
    return kErrorStatus;
  }
  const std::string& question = r.groups[std::stoul(n) - 1].representative;
  DeskAnswers::save(question, text);
  out("added to " + DeskAnswers::file().string() + ": " + printable(question));
  return indexCommand();
}

int gapsCommand() {
  int days = 30;
  bool json = false;
  std::optional<std::pair<std::string, std::string>> answer;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--answer") {
      if (i + 2 >= args.size()) {
        err("quorvel-cli: --answer needs the question's number and the answer: quorvel-cli gaps --answer N \"text\"");
        return kErrorStatus;
      }
      answer.emplace(args[i + 1], args[i + 2]);
      i += 2;
    } else if (a == "--days" || a.rfind("--days=", 0) == 0) {
      const std::string value = a == "--days" ? (i + 1 < args.size() ? args[++i] : "") : a.substr(7);
      if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(value) < 1) {
        err("quorvel-cli: --days needs a whole number of days, 1 or more (got \"" + printable(value) + "\")");
        return kErrorStatus;
      }
      days = std::stoi(value);
    } else {
      err("quorvel-cli: gaps does not know " + printable(a) + "; it takes --days N, --json and --answer N \"text\"");
      return kErrorStatus;
    }
  }
  const Gaps::Result r = Gaps::find(days);
  if (answer) return answerGap(r, answer->first, answer->second);
  if (json) {
    out(Gaps::toJson(r, days));
    return 0;
  }
  const std::string period = "the last " + std::to_string(days) + (days == 1 ? " day" : " days");
  if (r.damagedLines > 0)
    err("quorvel-cli: " + std::to_string(r.damagedLines) + " damaged line(s) of " + Paths::historyFile().string() +
        " skipped");
  if (r.answers == 0) {
    out("No guest messages in " + period + ".");
    return 0;
  }
  if (r.groups.empty()) {
    out("Every guest message of " + period + " (" + std::to_string(r.answers) + ") was answered from your documents.");
    return 0;
  }
  int64_t asked = 0;
  for (const auto& g : r.groups) asked += g.count;
  out("Guests asked, not in your documents (" + period + "): " + std::to_string(asked) + " of " +
      std::to_string(r.answers) + " messages, " + std::to_string(r.groups.size()) + " question(s)");
  if (!r.byMeaning) out("(grouped by exact text: the search model could not run: " + r.whyByText + ")");
  for (std::size_t n = 0; n < r.groups.size(); ++n) {
    const Gaps::Group& g = r.groups[n];
    std::string languages;
    for (const auto& l : g.languages) languages += (languages.empty() ? "" : ", ") + l;
    std::string line = std::to_string(n + 1) + ". " + std::to_string(g.count) + " \u00D7 " +
                       printable(g.representative) + "  [" + languages + " \u00B7 " + day(g.first) +
                       (day(g.first) == day(g.last) ? "" : " \u2013 " + day(g.last));
    if (!g.templateId.empty()) line += " \u00B7 template " + g.templateId;
    if (g.documentsChangedSince) line += " \u00B7 documents changed since";
    if (g.answered) line += " \u00B7 answered " + day(*g.answered);
    out(line + "]");
    for (std::size_t i = 0; i < g.examples.size() && i < 3; ++i)
      if (g.examples[i] != g.representative || g.examples.size() > 1) out("    " + printable(g.examples[i]));
  }
  if (r.leftOut > 0)
    out("(" + std::to_string(r.leftOut) + " older asks left out: only the " + std::to_string(Gaps::kMaxMessages) +
        " most recent different messages are grouped)");
  out("Answers you add go to " + DeskAnswers::file().string() + ": quorvel-cli gaps --answer N \"the answer\"");
  return 0;
}

int forgetCommand() {
  std::string text;
  for (std::size_t i = 1; i < args.size(); ++i) text += (i > 1 ? " " : "") + args[i];
  // A guest's name on standard input is never in sight of other users, as
  // an argument is for the moment before it is hidden.
  if (args.size() == 1) {
    std::getline(std::cin, text);
    if (!text.empty() && text.back() == '\r') text.pop_back();
  }
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
    err("quorvel-cli: forget needs the text to look for: quorvel-cli forget \"Anna Kowalska\"");
    return kErrorStatus;
  }
  const Forget::Result r = Forget::guest(text);
  out(std::to_string(r.entries) + " removed");
  if (r.deskAnswers > 0)
    out("also removed from " + DeskAnswers::file().string() + ": " + std::to_string(r.deskAnswers) +
        " answer(s) whose question or answer held it");
  for (const std::string& log : r.logs) out("also removed from " + (Paths::logs() / log).string());
  for (const std::string& f : r.failures) err("quorvel-cli: could not remove it from " + f);
  return r.failures.empty() ? 0 : kErrorStatus;
}

int run() {
  const std::string command = args.empty() ? "help" : args[0];
  if (command == "setup") return setupCommand();
  if (command == "import") return importCommand();
  if (command == "index") return indexCommand();
  if (command == "ask") return askCommand();
  if (command == "bench") return benchCommand();
  if (command == "stop") return stopCommand();
  if (command == "gaps") return gapsCommand();
  if (command == "forget") return forgetCommand();
  return usage();
}

}  // namespace

int main(int argc, char** argv) {
  startup::limitOcrThreads(argv);
  args.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
  // The guest's message, read: out of other users' sight before any
  // request is made (the reply can take seconds).
  if (!args.empty() && args[0] == "ask")
    for (int i = 2; i < argc; ++i)
      if (std::string_view(argv[i]).rfind("--template=", 0) != 0) startup::hideArgument(argv[i]);
  // So is the guest's name given to forget.
  if (!args.empty() && args[0] == "forget")
    for (int i = 2; i < argc; ++i) startup::hideArgument(argv[i]);
  if (std::getenv("QUORVEL_DEBUG") != nullptr)
    debug::setSink([](std::string_view line) { writeLine(STDERR_FILENO, line); });
  try {
    return run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorvel-cli: %s\n", e.what());
    return kErrorStatus;
  }
}
