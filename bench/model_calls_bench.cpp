// What the model does for one answer, counted by the real llama-server on the
// sample hotel: per ask and per call kind, the prompt tokens sent and
// evaluated (the server's own figures), the tokens generated, and the wait
// they make at two published CPU rates. Each ask is written twice on fresh
// servers: as it was, the prompt sent only when "Write reply" is pressed, and
// with the prompts read ahead while the message settled (the reply's, the
// verifier's up to its statements, the re-check's of a sentence citing [1]
// up to the sentence).
//
// Needs QUORVEL_TEST_LLAMA_SERVER, QUORVEL_TEST_CHAT_MODEL and
// QUORVEL_TEST_EMBED_MODEL (as the real-server tests). The tiny models say
// nothing of answer quality; their tokenizer is Qwen3's, so token counts are
// exact. A tiny model never stops on its own: every check runs to its limit,
// which is what a check that rambles on costs. Replies are counted at the
// length of a realistic reply (tokenized), not the tiny model's 400 tokens.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include <quorvel/answerer.h>
#include <quorvel/chat.h>
#include <quorvel/doc_index.h>
#include <quorvel/engine.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>
#include <quorvel/reply_template.h>

#include "platform/local_http.h"
#include "test_support.h"

using namespace quorvel;

namespace {

struct Ask {
  std::string message;
  const char* language = nullptr;  // chosen by the receptionist; else the guest's
  const char* templ = nullptr;
  std::string reply;  // what a useful model would write
};

// Published llama.cpp CPU figures for the catalogue's reply models (Q4_K_M):
// the 1.7B model on a 6-thread desktop, the 4B one on the same.
struct Rate {
  const char* name;
  double prompt, generate;  // tokens per second
};
constexpr Rate kRates[] = {{"1.7B desktop", 150, 20}, {"4B desktop", 56, 9}};

struct Call {
  std::string kind;
  int maxTokens = 0;
  Chat::Count count;
  std::string system, user;
};

// A reading ahead (of the reply's prompt or the verifier's) writes nothing.
std::string kindOf(const std::string& system, int maxTokens) {
  if (maxTokens == 0) return "read";
  if (system.rfind("You check", 0) == 0) return "verify";
  if (system.rfind("The STATEMENT", 0) == 0) return "recheck";
  return "reply";
}

std::vector<int> tokenize(const std::string& text, bool special) {
  const auto r =
      LocalHTTP::postJSON(Engine::chatURL() + "/tokenize",
                          nlohmann::json{{"content", text}, {"add_special", false}, {"parse_special", special}});
  std::vector<int> out;
  for (const auto& t : r.value("tokens", nlohmann::json::array())) out.push_back(t.get<int>());
  return out;
}

// The prompt the server builds from the two messages, in tokens.
std::vector<int> promptTokens(const std::string& system, const std::string& user) {
  const auto r =
      LocalHTTP::postJSON(Engine::chatURL() + "/apply-template",
                          nlohmann::json{{"messages", nlohmann::json::array({{{"role", "system"}, {"content", system}},
                                                                             {{"role", "user"}, {"content", user}}})},
                                         {"chat_template_kwargs", {{"enable_thinking", false}}}});
  return tokenize(r.value("prompt", ""), true);
}

std::size_t commonPrefix(const std::vector<int>& a, const std::vector<int>& b) {
  std::size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  return n;
}

void startServers() {
  Engine::shared().stopAll();
  test::stopModelServers();
  Engine::shared().maxPolls = 1200;
  Engine::shared().start();
  if (Engine::shared().state() != Engine::State::ready()) {
    std::fprintf(stderr, "the servers did not start: %s\n", Engine::shared().state().message.c_str());
    std::exit(1);
  }
}

struct Totals {
  double sent = 0, evaluated = 0, generated = 0, needed = 0;
  double afterPress = 0;                                  // prompt tokens evaluated once "Write reply" is pressed
  std::map<std::string, double> afterPressByKind;         // the same for every call the press brings
  std::map<std::string, std::vector<double>> perKind[3];  // sent, evaluated, generated
  std::vector<double> firstToken[2], verified[2];         // per rate
  std::vector<double> runaway[2];                         // a check's cost at its limit
};

}  // namespace

int main() {
  const char* server = std::getenv("QUORVEL_TEST_LLAMA_SERVER");
  const char* chat = std::getenv("QUORVEL_TEST_CHAT_MODEL");
  const char* embed = std::getenv("QUORVEL_TEST_EMBED_MODEL");
  if (!server || !chat || !embed) {
    std::fprintf(stderr, "set QUORVEL_TEST_LLAMA_SERVER, QUORVEL_TEST_CHAT_MODEL and QUORVEL_TEST_EMBED_MODEL\n");
    return 2;
  }
  test::TempHome home;
  test::stopModelServers();
  Paths::ensure();
  fs::create_directories(home.path() / "engine");
  fs::create_symlink(fs::absolute(server), home.path() / "engine/llama-server");
  for (const auto& [from, spec] :
       {std::pair{embed, ModelCatalog::embedding()}, std::pair{chat, ModelCatalog::chat()[0]}}) {
    fs::copy_file(from, ModelCatalog::path(spec));
    fs::resize_file(ModelCatalog::path(spec), static_cast<std::uintmax_t>(spec.sizeMB) * 1000000);
  }
  for (const auto& f : fs::directory_iterator(std::string(QUORVEL_SOURCE_DIR) + "/resources/samples/palm-cove-villa"))
    fs::copy_file(f.path(), Paths::documents() / f.path().filename());

  // Ten asks as a front desk gets them: other languages, a language chosen
  // by hand, a template alone, a message with several questions.
  const std::vector<Ask> asks{
      {"What time is breakfast?", nullptr, nullptr,
       "Breakfast is served from 7:00 to 10:30 in the garden restaurant [1]."},
      {"Is parking free?", nullptr, nullptr, "Yes, parking at the villa is free for our guests [1]."},
      {"How much is the airport transfer and how long is the drive?", nullptr, nullptr,
       "The airport transfer costs 350,000 IDR per car [1]. The drive takes about 30 minutes [1]."},
      {"Wann schlie\u00DFt der Pool?", nullptr, nullptr, "Der Pool schlie\u00DFt um 21:00 Uhr [1]."},
      {"Can we bring our dog?", "de", nullptr, "Hunde sind in der Villa leider nicht erlaubt [1]."},
      {"", nullptr, "breakfast",
       "Breakfast is served daily from 7:00 to 10:30 [1]. It is included in the room price [1]."},
      {"The air conditioning in our room is broken and nobody came. What will you do?", nullptr, nullptr,
       "We are very sorry for the trouble. Our technician will come within 30 minutes [1]. If it cannot be "
       "fixed, we will move you to another room [1]."},
      {"What is the Wi-Fi password? And when do we have to check out?", nullptr, nullptr,
       "The Wi-Fi password is frangipani2026 [1]. Check-out is at 12:00 [2]."},
      {"Est-ce que le petit-d\u00E9jeuner est inclus ?", nullptr, nullptr,
       "Oui, le petit-d\u00E9jeuner est inclus dans le prix de la chambre [1]."},
      {"Where will the driver wait for us at the airport?", nullptr, "transfer",
       "The driver will wait for you at the arrivals hall exit with a sign with your name [1]."},
  };

  std::vector<Call> calls;
  // The user message of the call under way, for counting its prompt, and
  // the verifier's up to its statements, which a reading ahead reads.
  std::string user, verifierPrefix;
  Chat::observer = [&calls, &user, &verifierPrefix](const std::string& system, int maxTokens, const Chat::Count& c) {
    const std::string kind = kindOf(system, maxTokens);
    const bool verifierRead = kind == "read" && system.rfind("You check", 0) == 0;
    calls.push_back({kind, maxTokens, c, system, verifierRead ? verifierPrefix : user});
  };

  Totals totals[2];
  const char* modes[2] = {"prompt sent on the press", "prompt read ahead"};
  for (int mode = 0; mode < 2; ++mode) {
    // Fresh servers for each way, warmed by one ask not counted.
    startServers();
    DocIndex::shared().refresh();
    Answerer& answerer = Answerer::shared();
    Answerer::verify("Welcome to the villa [1].", answerer.prepare("Hello", nullptr, std::nullopt).sources);
    // The prompts the chat server holds: its slot's, and those its
    // host-memory cache keeps (far more than these asks need).
    std::vector<std::vector<int>> held;
    Totals& t = totals[mode];
    for (const Ask& ask : asks) {
      const ReplyTemplate* tmpl = ask.templ ? ReplyTemplate::find(ask.templ) : nullptr;
      const std::optional<std::string> language =
          ask.language ? std::optional<std::string>(ask.language) : std::nullopt;
      calls.clear();
      const Answerer::Prepared p = answerer.prepare(ask.message, tmpl, language);
      user = p.user;
      verifierPrefix = "SOURCES:\n" + p.sources + "\nSTATEMENTS:\n";
      if (mode == 1) answerer.readAhead(ask.message, tmpl, language);
      Chat::complete(p.system, p.user, [](const std::string&) {});
      // The checks of a realistic reply; their user messages are rebuilt
      // here as the answerer makes them.
      std::string statements;
      const auto sentences = Answerer::sentences(ask.reply);
      for (std::size_t i = 0; i < sentences.size(); ++i)
        statements += (i ? "\n" : "") + std::to_string(i + 1) + ". " + sentences[i];
      user = "SOURCES:\n" + p.sources + "\nSTATEMENTS:\n" + statements;
      Answerer::verify(ask.reply, p.sources);
      // One re-check per ask, as a sentence judged NO would bring (its
      // passages picked as the answerer picks them: counted as sent).
      user.clear();
      Answerer::recheck(sentences.front(), p.sources);

      const std::size_t replyTokens = tokenize(ask.reply, false).size();
      double waitFirst[2] = {0, 0}, waitAll[2] = {0, 0};
      for (const Call& c : calls) {
        const double evaluated = static_cast<double>(c.count.promptEvaluated);
        const double sent = evaluated + static_cast<double>(std::max<int64_t>(c.count.promptCached, 0));
        // What the prompt needs beyond what the server held: its tokens
        // after the longest common beginning with a prompt held (at least
        // one, as the server always computes the last).
        double need = sent;
        if (!c.user.empty()) {
          const std::vector<int> prompt = promptTokens(c.system, c.user);
          std::size_t common = 0;
          for (const auto& h : held) common = std::max(common, commonPrefix(prompt, h));
          need = static_cast<double>(prompt.size() - std::min(common, prompt.size() - 1));
          held.push_back(prompt);
        }
        t.sent += sent;
        t.evaluated += evaluated;
        t.needed += need;
        const double generated =
            c.kind == "reply" ? static_cast<double>(replyTokens) : static_cast<double>(c.count.tokens);
        t.generated += generated;
        t.perKind[0][c.kind].push_back(sent);
        t.perKind[1][c.kind].push_back(evaluated);
        t.perKind[2][c.kind].push_back(generated);
        for (int r = 0; r < 2; ++r) {
          if (c.kind == "reply") {
            waitFirst[r] = evaluated / kRates[r].prompt + 1 / kRates[r].generate;
            if (r == 0) t.afterPress += evaluated;
          }
          if (r == 0 && c.kind != "read") t.afterPressByKind[c.kind] += evaluated;
          if (c.kind != "read") waitAll[r] += evaluated / kRates[r].prompt + generated / kRates[r].generate;
          if (c.kind == "verify" || c.kind == "recheck")
            t.runaway[r].push_back(static_cast<double>(c.maxTokens) / kRates[r].generate);
        }
      }
      for (int r = 0; r < 2; ++r) {
        t.firstToken[r].push_back(waitFirst[r]);
        t.verified[r].push_back(waitAll[r]);
      }
    }
  }
  test::stopModelServers();

  auto mean = [](const std::vector<double>& v) {
    return v.empty() ? 0.0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
  };
  auto median = [](std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double n = static_cast<double>(asks.size());
  for (int mode = 0; mode < 2; ++mode) {
    const Totals& t = totals[mode];
    std::printf("%s, %zu asks on fresh servers (mean per ask):\n", modes[mode], asks.size());
    for (const char* kind : {"read", "reply", "verify", "recheck"}) {
      if (!t.perKind[0].count(kind)) continue;
      std::printf("  %-7s calls %4.1f  prompt tokens sent %6.0f  evaluated %6.0f  generated %5.0f\n", kind,
                  static_cast<double>(t.perKind[0].at(kind).size()) / n, mean(t.perKind[0].at(kind)),
                  mean(t.perKind[1].at(kind)), mean(t.perKind[2].at(kind)));
    }
    std::printf(
        "  all     prompt tokens sent %.0f, evaluated %.0f (%.3f x what the prompts need beyond what the "
        "server held: %.0f), generated %.0f\n",
        t.sent / n, t.evaluated / n, t.evaluated / std::max(t.needed, 1.0), t.needed / n, t.generated / n);
    std::printf("  prompt tokens evaluated after the press: %.0f\n", t.afterPress / n);
    std::printf("  prompt tokens evaluated after the press per call kind:");
    for (const char* kind : {"reply", "verify", "recheck"})
      std::printf(" %s %.0f", kind, t.afterPressByKind.count(kind) ? t.afterPressByKind.at(kind) / n : 0.0);
    std::printf("\n");
    for (int r = 0; r < 2; ++r)
      std::printf(
          "  %-12s first reply token %.2f s (median %.2f), verified reply %.1f s (median %.1f), a check "
          "that never stops %.1f s at most\n",
          kRates[r].name, mean(t.firstToken[r]), median(t.firstToken[r]), mean(t.verified[r]), median(t.verified[r]),
          *std::max_element(t.runaway[r].begin(), t.runaway[r].end()));
  }
  std::printf("a check at the old limit of 400 tokens: %.0f s (1.7B desktop), %.0f s (4B desktop)\n",
              400 / kRates[0].generate, 400 / kRates[1].generate);
}
