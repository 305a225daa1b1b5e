// Answering one guest message, with scripted model replies on the real ports.
#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <mutex>
#include <thread>

#include <quorvel/answerer.h>
#include <quorvel/engine.h>
#include <quorvel/history.h>
#include <quorvel/lang.h>
#include <quorvel/paths.h>

#include "test_support.h"

namespace quorvel {
namespace {

using nlohmann::json;
using test::readText;
using test::TempHome;
using test::writeText;

enum class Call { answer, verify, recheck };

struct Request {
  Call kind;
  std::string system, user;
  int maxTokens = 0;
};

// A chat server whose replies the test scripts by call kind, and an
// embedding server that gives each text a one-hot vector by the first topic
// word it contains, so that the ranking is known.
class ScriptedModels {
 public:
  std::function<std::string(const Request&)> reply = [](const Request&) { return "NOT_IN_DOCS"; };
  std::function<bool(const Request&)> fail = [](const Request&) { return false; };
  std::vector<std::string> topics{"breakfast", "parking", "pool", "transfer", "wifi", "pets", "spa", "laundry", "bar"};

  ScriptedModels() {
    chat_.server().Post("/v1/chat/completions", [this](const httplib::Request& req, httplib::Response& res) {
      const json body = json::parse(req.body);
      Request r{Call::answer, body["messages"][0]["content"], body["messages"][1]["content"], body["max_tokens"]};
      // By the system prompt: a reading ahead sends only the beginning of a
      // check's user message.
      if (r.system.rfind("You check a hotel reply", 0) == 0)
        r.kind = Call::verify;
      else if (r.system.rfind("The STATEMENT may be written", 0) == 0)
        r.kind = Call::recheck;
      {
        std::lock_guard<std::mutex> lock(mu_);
        requests.push_back(r);
      }
      if (fail(r)) {
        res.set_content("<html>broken</html>", "text/html");  // not JSON: the call throws
        return;
      }
      const std::string text = reply(r);
      if (!body.value("stream", false)) {
        res.set_content(json{{"choices", {{{"message", {{"content", text}}}}}},
                             {"timings", {{"predicted_n", 17}, {"predicted_per_second", 42.5}}}}
                            .dump(),
                        "application/json");
        return;
      }
      std::string sse;
      for (std::size_t i = 0; i < text.size(); i += 4)
        sse += "data: " + json{{"choices", {{{"delta", {{"content", text.substr(i, 4)}}}}}}}.dump() + "\n\n";
      sse +=
          "data: {\"choices\":[{\"delta\":{}}],\"timings\":{\"predicted_n\":17,\"predicted_per_second\":42.5}}\n\n"
          "data: [DONE]\n\n";
      res.set_content(sse, "text/event-stream");
    });
    embed_.server().Post("/v1/embeddings", [this](const httplib::Request& req, httplib::Response& res) {
      const json body = json::parse(req.body);
      json data = json::array();
      for (std::size_t i = 0; i < body["input"].size(); ++i) {
        std::string text = body["input"][i];
        if (auto q = text.find("\nQuery: "); q != std::string::npos) text = text.substr(q + 8);
        std::vector<float> v(topics.size() + 1, 0.0f);
        v.back() = 0.01f;
        for (std::size_t t = 0; t < topics.size(); ++t)
          if (text.find(topics[t]) != std::string::npos) {
            v[t] = 1;
            break;
          }
        data.push_back({{"index", i}, {"embedding", v}});
      }
      {
        std::lock_guard<std::mutex> lock(mu_);
        ++embeddingRequests;
      }
      res.set_content(json{{"data", data}}.dump(), "application/json");
    });
    chat_.start(Engine::chatPort);
    embed_.start(Engine::embedPort);
  }

  std::vector<Request> calls(Call kind) {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<Request> out;
    for (const auto& r : requests)
      if (r.kind == kind) out.push_back(r);
    return out;
  }
  std::vector<Request> requests;
  int embeddingRequests = 0;

 private:
  std::mutex mu_;
  test::LocalServer chat_, embed_;
};

class AnswerTest : public ::testing::Test {
 protected:
  TempHome home;
  std::unique_ptr<ScriptedModels> models;
  std::unique_ptr<DocIndex> index;

  void SetUp() override {
    test::stopModelServers();
    models = std::make_unique<ScriptedModels>();
  }
  // Documents, one passage each, then a refreshed index.
  void documents(const std::vector<std::pair<std::string, std::string>>& docs) {
    for (const auto& [name, text] : docs) writeText(Paths::documents() / name, text);
    index = std::make_unique<DocIndex>();
    index->refresh();
  }
  void hotel() {
    documents({{"a-breakfast.md", "# Breakfast\n\nbreakfast is served from 7:00 to 10:30."},
               {"b-parking.md", "# Parking\n\nparking is free in the courtyard."},
               {"c-pool.md", "# Pool\n\nThe pool is open from 8 to 20."}});
  }
  Answer ask(const std::string& message, const ReplyTemplate* t = nullptr,
             const std::optional<std::string>& lang = std::nullopt, const Chat::TokenCallback& onToken = {}) {
    Answerer a(*index);
    return a.answer(message, t, lang, onToken);
  }
};

// The prompts are fixed texts the model was tried with: whole, so that a
// change to any byte of them (or a cache-breaking reorder) shows here.
TEST_F(AnswerTest, PromptsAreExact) {
  documents({{"rules.pdf.md", "x"}});
  DocIndex::Hit hit{Chunk{"rules.pdf#1", "rules.pdf", "Breakfast", "Breakfast is from 7.", {}}, 1};
  const std::string sources = Answerer::sourcesText({hit});
  EXPECT_EQ(sources, "[1] (rules.pdf \xE2\x80\x94 Breakfast)\nBreakfast is from 7.\n\n");
  EXPECT_EQ(
      Answerer::userMessage(sources, nullptr, "When is breakfast?", "English"),
      "SOURCES:\n[1] (rules.pdf \xE2\x80\x94 Breakfast)\nBreakfast is from 7.\n\nGUEST MESSAGE:\nWhen is breakfast?\n\n"
      "Write the reply in English.");
  EXPECT_EQ(
      Answerer::userMessage("", ReplyTemplate::find("rules"), "", "Russian"),
      "SOURCES:\n(no documents)\nTASK FOR THE REPLY: Give the guest a short friendly summary of the most important "
      "house rules (quiet hours, pool, smoking, pets, visitors).\nGUEST MESSAGE:\n(none)\n\nWrite the reply in "
      "Russian.");
  EXPECT_EQ(
      Answerer::systemPrompt("German"),
      "You are the front-desk assistant of a small hotel. You write replies to guests.\nRules:\n1. Use ONLY facts from "
      "the SOURCES. Never invent prices, times, phone numbers, services or policies.\n2. Write the reply in German "
      "only, "
      "even if the SOURCES are in another language (translate the facts).\n3. After each fact put the number of its "
      "source in square brackets, for example [2].\n4. If the SOURCES do not contain the answer to the guest's "
      "question, reply with exactly NOT_IN_DOCS and nothing else.\n5. If the guest asks several things and the SOURCES "
      "answer only some of them: answer those, and for every other thing write that you will check with the manager. "
      "Never say that something exists or does not exist unless a source says so.\n6. Be warm, polite and short: "
      "1\xE2\x80\x93"
      "4 sentences. No greetings like \"Dear guest\" unless natural.");
  DocIndex::Hit plain{Chunk{"p.txt#1", "p.txt", "", "Text.", {}}, 1};
  EXPECT_EQ(Answerer::sourcesText({hit, plain}), sources + "[2] (p.txt)\nText.\n\n");
}

TEST_F(AnswerTest, SourcesStayInsideTheContext) {
  std::string huge;
  for (int i = 0; i < 5000; ++i) huge += "word ";
  std::vector<DocIndex::Hit> hits;
  for (int i = 0; i < 8; ++i) hits.push_back({Chunk{"f#1", "f.txt", "", huge, {}}, 1});
  std::size_t included = 0;
  const std::string s = Answerer::sourcesText(hits, &included);
  // Each passage is cut to 2,400 characters (about 800 tokens); seven fit under 6,000 tokens.
  EXPECT_EQ(included, 7u);
  EXPECT_EQ(s.find("[8]"), std::string::npos);
  EXPECT_NE(s.find("[7] (f.txt)\n" + huge.substr(0, 2400) + "\n\n"), std::string::npos);
}

TEST_F(AnswerTest, SupportedReplyWithCitationsAndHistory) {
  hotel();
  models->reply = [](const Request& r) {
    return r.kind == Call::verify ? "1: YES" : "  Breakfast is served from 7:00 [1].\n";
  };
  std::string streamed;
  const Answer a = ask("When is breakfast?", nullptr, std::nullopt, [&](const std::string& p) { streamed += p; });
  EXPECT_EQ(a.text, "Breakfast is served from 7:00 [1].");
  EXPECT_FALSE(a.notInDocs);
  EXPECT_EQ(a.language, "en");
  ASSERT_EQ(a.sources.size(), 1u);
  EXPECT_EQ(a.sources[0],
            (Source{1, "a-breakfast.md", "Breakfast", "# Breakfast\n\nbreakfast is served from 7:00 to 10:30."}));
  EXPECT_EQ(a.tokens, 17);
  EXPECT_EQ(a.tokensPerSecond, 42.5);
  EXPECT_EQ(streamed, "  Breakfast is served from 7:00 [1].\n");
  EXPECT_EQ(a.question, "When is breakfast?");
  EXPECT_EQ(History::count(), 1);
  EXPECT_EQ(Stats::lastTPS(), 42.5);
  // One search for a one-sentence message: the refresh's request and the query's.
  EXPECT_EQ(models->embeddingRequests, 3 + 1);
  const auto answers = models->calls(Call::answer);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].user.rfind("SOURCES:\n[1] (a-breakfast.md \xE2\x80\x94 Breakfast)\n", 0), 0u);
  const auto verifies = models->calls(Call::verify);
  ASSERT_EQ(verifies.size(), 1u);
  EXPECT_EQ(verifies[0].user, "SOURCES:\n" + answers[0].user.substr(9, answers[0].user.find("GUEST MESSAGE:") - 9) +
                                  "\nSTATEMENTS:\n1. Breakfast is served from 7:00 [1].");
  EXPECT_EQ(
      verifies[0].system,
      "You check a hotel reply against its SOURCES. For each numbered STATEMENT answer on its own line:\n<n>: YES  "
      "\xE2\x80\x94 the SOURCES clearly say this (translation into another language is fine);\n<n>: NO   \xE2\x80\x94 "
      "the "
      "SOURCES do not say this. A claim that something does not exist, is not offered or is not allowed is YES only if "
      "a "
      "source says so;\n<n>: META \xE2\x80\x94 a greeting, a thank-you, or a promise to check with the "
      "manager.\nOutput "
      "only the lines.");
}

// The checks may write a few tokens per statement, the reply its 400; a
// reading ahead sends the reply's very prompts with nothing to write, then
// the verifier's prompt up to its statements, then the re-check's of a
// sentence citing [1] up to the sentence; the reply then needs no search
// of its own, and every prompt of the reply and its checks is byte for byte
// the one sent without a reading.
TEST_F(AnswerTest, CallLimitsAndTheReadingAhead) {
  hotel();
  models->reply = [](const Request& r) {
    if (r.kind == Call::verify) return "1: YES\n2: NO";
    if (r.kind == Call::recheck) return "NO";
    return "Breakfast is served from 7:00 [1]. Parking costs 5 EUR [2]. We look forward to you.";
  };
  const std::string message = "When is breakfast and is there parking?";
  const Answer unread = ask(message);
  const std::vector<Request> without = models->requests;
  models->requests.clear();

  Answerer answerer(*index);
  // "Write reply" pressed at once: the re-check's reading gives way.
  answerer.readAhead(message, nullptr, std::nullopt, {}, [] { return true; });
  ASSERT_EQ(models->requests.size(), 2u);
  models->requests.clear();
  answerer.readAhead(message, nullptr, std::nullopt);
  ASSERT_EQ(models->requests.size(), 3u);
  const Request readReply = models->requests[0], readVerifier = models->requests[1],
                readRecheck = models->requests[2];
  const int searched = models->embeddingRequests;
  const Answer a = ask(message);
  EXPECT_EQ(models->embeddingRequests, searched);  // the message's vectors were kept
  EXPECT_EQ(a.text, "Breakfast is served from 7:00 [1]. We look forward to you. " + Lang::partial("en"));
  EXPECT_EQ(a.text, unread.text);

  EXPECT_EQ(readReply.kind, Call::answer);
  EXPECT_EQ(readReply.maxTokens, 0);
  EXPECT_EQ(readVerifier.kind, Call::verify);
  EXPECT_EQ(readVerifier.maxTokens, 0);
  EXPECT_EQ(readRecheck.kind, Call::recheck);
  EXPECT_EQ(readRecheck.maxTokens, 0);
  const std::vector<Request> after(models->requests.begin() + 3, models->requests.end());
  ASSERT_EQ(after.size(), without.size());
  ASSERT_EQ(after.size(), 3u);  // reply, verification, re-check
  for (std::size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].kind, without[i].kind) << i;
    EXPECT_EQ(after[i].system, without[i].system) << i;
    EXPECT_EQ(after[i].user, without[i].user) << i;
    EXPECT_EQ(after[i].maxTokens, without[i].maxTokens) << i;
  }
  EXPECT_EQ(readReply.system, after[0].system);
  EXPECT_EQ(readReply.user, after[0].user);
  EXPECT_EQ(after[0].maxTokens, 400);
  // The verifier's reading is its prompt up to the statements, to the byte.
  EXPECT_EQ(readVerifier.system, after[1].system);
  const std::size_t statements = after[1].user.find("\nSTATEMENTS:\n") + 13;
  EXPECT_EQ(readVerifier.user, after[1].user.substr(0, statements));
  EXPECT_EQ(after[1].user.substr(statements),
            "1. Breakfast is served from 7:00 [1].\n2. Parking costs 5 EUR [2].\n3. We look forward to you.");
  EXPECT_EQ(after[1].maxTokens, Answerer::verifyTokens(3));
  EXPECT_EQ(after[2].kind, Call::recheck);
  EXPECT_EQ(after[2].maxTokens, Answerer::kRecheckTokens);
  // The re-check's reading is the prompt of a sentence citing [1] up to the
  // sentence, to the byte; another sentence's re-check shares its opening.
  EXPECT_EQ(readRecheck.system, after[2].system);
  EXPECT_EQ(readRecheck.user.rfind("SOURCES:\n[1] (", 0), 0u);
  EXPECT_EQ(after[2].user.rfind("SOURCES:\n[", 0), 0u);
  EXPECT_NE(after[2].user.find("\nSTATEMENT: Parking costs 5 EUR [2]."), std::string::npos);
  models->requests.clear();
  Answerer::recheck("Breakfast is served from 7:00 [1].", answerer.prepare(message, nullptr, std::nullopt).sources);
  ASSERT_EQ(models->requests.size(), 1u);
  EXPECT_EQ(models->requests[0].user, readRecheck.user + ": Breakfast is served from 7:00 [1].");
  // A verifier that never stops costs at most 60 tokens (3 s at 20 tokens/s)
  // for the replies of up to eight sentences, and every verdict still fits.
  EXPECT_LE(Answerer::verifyTokens(8), 60);
  for (std::size_t n : {1u, 4u, 12u})
    EXPECT_GE(Answerer::verifyTokens(n), static_cast<int>(n) * 5 + 4) << n;  // "12: META\n" is 5 tokens
}

TEST_F(AnswerTest, MarkerAloneMeansNotInDocuments) {
  hotel();
  std::vector<std::string> pieces;
  const Answer a = ask("\xD0\x95\xD1\x81\xD1\x82\xD1\x8C \xD0\xBB\xD0\xB8 \xD1\x81\xD0\xB0\xD1\x83\xD0\xBD\xD0\xB0?",
                       nullptr, std::nullopt, [&](const std::string& p) { pieces.push_back(p); });  // Есть ли сауна?
  EXPECT_TRUE(a.notInDocs);
  EXPECT_EQ(a.language, "ru");
  EXPECT_EQ(a.text, Lang::notInDocs("ru"));
  EXPECT_TRUE(a.sources.empty());
  EXPECT_TRUE(pieces.empty());  // the marker never reaches the screen
  EXPECT_TRUE(models->calls(Call::verify).empty());
  EXPECT_EQ(History::count(), 1);
}

TEST_F(AnswerTest, PartlyAnsweredGetsTheRestSentence) {
  hotel();
  models->reply = [](const Request& r) {
    return r.kind == Call::verify ? "1: YES" : "Parking is free [2]. NOT_IN_DOCS";
  };
  Answer a = ask("Is parking free? And is there a sauna?");
  EXPECT_EQ(a.text, "Parking is free [2]. " + Lang::partial("en"));
  // Unless a sentence was a promise to check with the manager.
  models->reply = [](const Request& r) {
    return r.kind == Call::verify ? "1: YES\n2: META"
                                  : "Parking is free [2]. I will check the sauna with the manager. NOT_IN_DOCS";
  };
  a = ask("Is parking free? And is there a sauna?");
  EXPECT_EQ(a.text, "Parking is free [2]. I will check the sauna with the manager.");
  // Only META sentences: nothing was answered.
  models->reply = [](const Request& r) { return r.kind == Call::verify ? "1: META" : "Thank you for your message!"; };
  a = ask("Hello there");
  EXPECT_TRUE(a.notInDocs);
}

TEST_F(AnswerTest, CitationNumbers) {
  hotel();
  EXPECT_EQ(Answerer::citedNumbers("A [9]. B [2][2]. C [1, 3]. D [3\xD8\x8C 1] E [2\xE3\x80\x81"
                                   "3] [0] [4]",
                                   3),
            (std::vector<int64_t>{2, 1, 3}));
  EXPECT_EQ(Answerer::citedNumbers("[\xD9\xA3] [2 ,1]", 6),
            (std::vector<int64_t>{2, 1}));  // Arabic-Indic digit skipped
  models->reply = [](const Request& r) { return r.kind == Call::verify ? "" : "Pool at 8 [9]. Parking free [2][2]."; };
  const Answer a = ask("pool and parking?");
  ASSERT_EQ(a.sources.size(), 1u);
  EXPECT_EQ(a.sources[0].n, 2);
}

TEST_F(AnswerTest, ExplicitLanguageAndTemplates) {
  hotel();
  const Answer de = ask("\xD0\x95\xD1\x81\xD1\x82\xD1\x8C \xD0\xBB\xD0\xB8 \xD0\xB1\xD0\xB0\xD1\x80?", nullptr, "de");
  EXPECT_EQ(de.language, "de");
  EXPECT_EQ(de.text, Lang::notInDocs("de"));
  const auto calls = models->calls(Call::answer);
  EXPECT_NE(calls.back().system.find("Write the reply in German only"), std::string::npos);
  EXPECT_TRUE(calls.back().user.ends_with("Write the reply in German."));

  models->reply = [](const Request& r) { return r.kind == Call::verify ? "1: YES" : "Breakfast is from 7:00 [1]."; };
  const Answer t = ask("", ReplyTemplate::find("breakfast"));
  EXPECT_EQ(t.question, "Breakfast");
  EXPECT_EQ(t.language, "en");
  const std::string user = models->calls(Call::answer).back().user;
  EXPECT_NE(user.find("TASK FOR THE REPLY: Tell the guest when and where breakfast is served"), std::string::npos);
  EXPECT_NE(user.find("GUEST MESSAGE:\n(none)\n\nWrite the reply in English."), std::string::npos);
  EXPECT_EQ(t.sources.at(0).file, "a-breakfast.md");  // found through the template's search words
}

// A pasted reply: the guest's own words decide the language; the prompt and
// the history keep the message as pasted, quote and all.
TEST_F(AnswerTest, PastedReplyIsAnsweredInTheGuestsLanguageQuoteKept) {
  hotel();
  models->reply = [](const Request& r) { return r.kind == Call::verify ? "1: YES" : "Het zwembad is open van 8 [1]."; };
  const std::string message =
      "Top, en hoe laat gaat het zwembad open?\n\nOp ma 4 mei 2026 om 10:12 schreef Palm Cove Hotel "
      "<info@palmcove.example>:\n> Dear Mr Jansen, your room is ready and breakfast is served from 7.";
  const Answer a = ask(message);
  EXPECT_EQ(a.language, "nl");
  EXPECT_EQ(a.question, message);
  const auto calls = models->calls(Call::answer);
  ASSERT_FALSE(calls.empty());
  EXPECT_NE(calls.back().user.find("GUEST MESSAGE:\n" + message + "\n\nWrite the reply in Dutch."), std::string::npos);
  EXPECT_NE(readText(Paths::historyFile()).find("Dear Mr Jansen, your room is ready"), std::string::npos);
}

TEST_F(AnswerTest, MultiPartMessagesGatherPassagesPerPart) {
  // Three passages per topic; their words ("poolside") do not match the
  // guest's words by keyword, so only the vectors rank them.
  std::vector<std::pair<std::string, std::string>> docs;
  for (const auto& topic : {"bar", "breakfast", "laundry", "pool", "spa", "transfer"})
    for (int i = 0; i < 3; ++i)
      docs.push_back(
          {std::string(topic) + std::to_string(i) + ".md", std::string(topic) + "side " + std::to_string(i)});
  documents(docs);
  const int before = models->embeddingRequests;
  ask("Tell me about the pool hours. What about the spa prices? And the laundry service? And the transfer?");
  EXPECT_EQ(models->embeddingRequests - before, 1);  // the whole and its four parts in one request
  const std::string user = models->calls(Call::answer).back().user;
  std::vector<std::string> files;
  for (std::size_t p = 0; (p = user.find("] (", p)) != std::string::npos; p += 3)
    files.push_back(user.substr(p + 3, user.find(')', p) - p - 3));
  // The first 4 hits (three pool passages, then the first of the rest), two
  // new ones from each part, a passage seen before only once, 8 in all.
  EXPECT_EQ(files, (std::vector<std::string>{"pool0.md", "pool1.md", "pool2.md", "bar0.md", "spa0.md", "spa1.md",
                                             "laundry0.md", "laundry1.md"}));

  // A one-sentence message: the six passages of one search.
  const int again = models->embeddingRequests;
  ask("pool hours please");
  EXPECT_EQ(models->embeddingRequests - again, 1);
  const std::string single = models->calls(Call::answer).back().user;
  EXPECT_NE(single.find("[6] ("), std::string::npos);
  EXPECT_EQ(single.find("[7] ("), std::string::npos);
}

TEST_F(AnswerTest, VerificationRules) {
  hotel();
  const std::string sources = "[1] (a.md)\nBreakfast from 7.\n\n[2] (b.md)\nParking free.\n\n";
  // Verdict forms, skipped numbers, apologies, empty brackets.
  models->reply = [](const Request& r) {
    if (r.kind == Call::recheck) return std::string("no");
    return std::string("1: YES\n2 - **NO\n3. meta\n5) NO\n6: no");
  };
  auto v = Answerer::verify(
      "Breakfast from 7 [1]. Parking is 5 EUR [2]. We will check [] for you. Spa exists. "
      "Sorry, we have no sauna. Sorry, the bar opens at 8.",
      sources);
  EXPECT_EQ(v.text, "Breakfast from 7 [1]. We will check for you. Spa exists. Sorry, we have no sauna.");
  EXPECT_TRUE(v.dropped);
  EXPECT_TRUE(v.meta);
  ASSERT_EQ(models->calls(Call::recheck).size(), 1u);  // only the cited NO is re-checked
  EXPECT_EQ(models->calls(Call::recheck)[0].user,
            "SOURCES:\n[2] (b.md)\nParking free.\n\n\nSTATEMENT: Parking is 5 EUR [2].");
  EXPECT_EQ(
      models->calls(Call::recheck)[0].system,
      "The STATEMENT may be written in a different language than the SOURCES. Translate it to English in your head and "
      "compare the meaning.\nAnswer YES if the SOURCES state the same facts (numbers, times, prices must match). "
      "Answer "
      "NO if any fact is missing from the SOURCES.\nAnswer with one word: YES or NO.");

  // A re-check that agrees keeps the sentence as written.
  models->reply = [](const Request& r) { return r.kind == Call::recheck ? "Yes, it does." : "1: NO"; };
  v = Answerer::verify("Parking is free [2].", sources);
  EXPECT_EQ(v.text, "Parking is free [2].");
  EXPECT_FALSE(v.dropped);
}

TEST_F(AnswerTest, FailingCallsDuringVerification) {
  hotel();
  const std::string sources = "[1] (a.md)\nBreakfast from 7.\n\n";
  // The verifier fails: the sentences stay as they were.
  models->fail = [](const Request& r) { return r.kind == Call::verify; };
  auto v = Answerer::verify("Breakfast from 7 [1]. Free spa.", sources);
  EXPECT_EQ(v.text, "Breakfast from 7 [1]. Free spa.");
  EXPECT_FALSE(v.dropped);
  // A re-check fails: its sentence goes.
  models->fail = [](const Request& r) { return r.kind == Call::recheck; };
  models->reply = [](const Request&) { return "1: YES\n2: NO"; };
  v = Answerer::verify("Breakfast from 7 [1]. Spa at 9 [1].", sources);
  EXPECT_EQ(v.text, "Breakfast from 7 [1].");
  EXPECT_TRUE(v.dropped);
  // The main call fails: an error, and nothing recorded.
  models->fail = [](const Request& r) { return r.kind == Call::answer; };
  EXPECT_ANY_THROW(ask("breakfast?"));
  EXPECT_EQ(History::count(), 0);
}

TEST_F(AnswerTest, EmptyIndexStillAsksAndSaysNotInDocuments) {
  documents({});
  models->reply = [](const Request&) { return "Breakfast is at 7 [1]."; };
  const Answer a = ask("When is breakfast?");
  EXPECT_TRUE(a.notInDocs);
  ASSERT_EQ(models->calls(Call::answer).size(), 1u);
  EXPECT_NE(models->calls(Call::answer)[0].user.find("SOURCES:\n(no documents)\n"), std::string::npos);
  // Such a reply is never checked: a reading ahead reads no verifier prompt.
  models->requests.clear();
  Answerer(*index).readAhead("When is breakfast?", nullptr, std::nullopt);
  ASSERT_EQ(models->requests.size(), 1u);
  EXPECT_EQ(models->requests[0].kind, Call::answer);
}

TEST(Sentences, CitationsMoveInsideAndStraysAreDropped) {
  EXPECT_EQ(Answerer::sentences("Breakfast is at 7. [1] It costs 10 EUR.[2]"),
            (std::vector<std::string>{"Breakfast is at 7 [1].", "It costs 10 EUR [2]."}));
  EXPECT_EQ(Answerer::sentences("[3]. 2."), std::vector<std::string>{"[3]. 2."});
  EXPECT_EQ(Answerer::sentences(
                "\xE6\x97\xA9\xE9\xA4\x90\xE4\xB8\x83\xE7\x82\xB9\xE3\x80\x82[1]\xE5\x85\x8D\xE8\xB4\xB9\xE3\x80\x82"),
            (std::vector<std::string>{"\xE6\x97\xA9\xE9\xA4\x90\xE4\xB8\x83\xE7\x82\xB9 [1]\xE3\x80\x82",
                                      "\xE5\x85\x8D\xE8\xB4\xB9\xE3\x80\x82"}));
  EXPECT_EQ(Answerer::sentences("Hello  !  How are you ?"), (std::vector<std::string>{"Hello!", "How are you?"}));
}

}  // namespace
}  // namespace quorvel
