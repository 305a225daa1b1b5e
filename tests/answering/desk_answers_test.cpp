// The desk's own answers: the Markdown file, its safe saving, and the
// unanswered list marking what the desk answered.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <stdexcept>
#include <thread>

#include <quorvel/desk_answers.h>
#include <quorvel/document_reader.h>

#include "test_support.h"

namespace quorvel {
namespace {

using test::readText;
using test::TempDir;
using test::writeText;

// A moment on a whole minute: the date line keeps minutes.
TimePoint minute(int n) {
  return std::chrono::floor<std::chrono::minutes>(std::chrono::system_clock::now()) - std::chrono::hours(48) +
         std::chrono::minutes(n);
}

TEST(DeskAnswers, AnAnswerIsAddedOnceAndReplacedInPlace) {
  const std::string handWritten = "Written by the manager.\n\n## Is there parking?\nYes, in the courtyard.\n";
  std::string doc =
      DeskAnswers::withAnswer(handWritten, "Do you have a gym?", "Yes, we have a gym on the ground floor.", minute(0));
  EXPECT_TRUE(doc.starts_with(handWritten)) << doc;
  doc = DeskAnswers::withAnswer(doc, "Is the pool heated?", "It is heated to 28 degrees.", minute(1));
  // Another wording of the same question replaces, keeping its place.
  doc = DeskAnswers::withAnswer(doc, "  do you HAVE a\tgym? ", "Yes, open from 6:00 to 22:00.", minute(5));
  auto sections = DeskAnswers::parse(doc);
  ASSERT_EQ(sections.size(), 3u) << doc;
  EXPECT_EQ(sections[0].question, "Is there parking?");
  EXPECT_FALSE(sections[0].added);
  EXPECT_EQ(sections[1].question, "do you HAVE a gym?");
  EXPECT_EQ(sections[1].answer, "Yes, open from 6:00 to 22:00.");
  EXPECT_EQ(sections[1].added, minute(5));
  EXPECT_EQ(sections[2].question, "Is the pool heated?");
  EXPECT_EQ(sections[2].added, minute(1));
  EXPECT_TRUE(doc.starts_with(handWritten));
  EXPECT_NE(doc.find("22:00.\nAdded: "), std::string::npos) << doc;
  EXPECT_NE(doc.find("\n\n## Is the pool heated?\n"), std::string::npos) << doc;  // still parted by a blank line

  // A document without a final line break, with CR LF lines and a level-1
  // title: the title ends no section it does not belong to.
  doc = DeskAnswers::withAnswer("# Our answers\r\n\r\n## Late check-out?\r\nUntil 14:00.", "Late check-out?",
                                "Until 13:00 for 20 euros.", minute(2));
  sections = DeskAnswers::parse(doc);
  ASSERT_EQ(sections.size(), 1u) << doc;
  EXPECT_EQ(sections[0].answer, "Until 13:00 for 20 euros.");
  EXPECT_TRUE(doc.starts_with("# Our answers\r\n\r\n## Late check-out?\n"));

  EXPECT_THROW(DeskAnswers::withAnswer("", " # \n ", "An answer.", minute(0)), std::invalid_argument);
  EXPECT_THROW(DeskAnswers::withAnswer("", "A question?", " \n\n\t", minute(0)), std::invalid_argument);
}

// What a receptionist may type: headings, blank lines, fences and underlines
// in the answer, "#" and line breaks in the question. Each stays inside its
// own section, for this file's reading and for the passage cutter.
TEST(DeskAnswers, HeadingsAndBlankLinesCannotSplitASection) {
  std::string doc = DeskAnswers::withAnswer("", "# Room #5\n\nwifi?",
                                            "## Network\n\nThe network is Palm.\n\n"
                                            "   # Password\nIt is on the key card.\n"
                                            "```\nPrices\n---\n<!-- note",
                                            minute(0));
  doc = DeskAnswers::withAnswer(doc, "Do you have a gym?", "Yes\n\nON THE GROUND FLOOR\n\nOpen daily?", minute(1));
  const auto sections = DeskAnswers::parse(doc);
  ASSERT_EQ(sections.size(), 2u) << doc;
  EXPECT_EQ(sections[0].question, "Room #5 wifi?");
  EXPECT_EQ(
      sections[0].answer,
      "\\## Network\nThe network is Palm.\n\\# Password\nIt is on the key card.\n\\```\nPrices\n\\---\n\\<!-- note");
  EXPECT_EQ(sections[0].added, minute(0));
  EXPECT_EQ(sections[1].answer, "Yes\nON THE GROUND FLOOR\nOpen daily?");

  // The cutter: one passage per section, named by its question, the answer
  // inside it (a short first line or a line in capitals would otherwise
  // open a section of its own).
  const auto chunks = DocumentReader::chunks("front-desk-answers.md", doc);
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[0].section, "Room #5 wifi?");
  EXPECT_NE(chunks[0].text.find("It is on the key card."), std::string::npos);
  EXPECT_EQ(chunks[1].section, "Do you have a gym?");
  EXPECT_NE(chunks[1].text.find("Open daily?"), std::string::npos);
}

TEST(DeskAnswers, SavesInARowAndHandEditsLoseNothing) {
  TempDir dir;
  const auto file = dir / "documents" / "front-desk-answers.md";
  std::filesystem::create_directories(file.parent_path());
  DeskAnswers::save("Do you have a gym?", "Yes, on the ground floor.", minute(0), file);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // Edited by hand between two saves: a note on top, the answer reworded.
  std::string text = readText(file);
  text.replace(text.find("ground floor"), 12, "first floor");
  writeText(file, "Kept by the desk.\n\n" + text + "\n## Is there a lift?\nYes.\n");
  DeskAnswers::save("Is the pool heated?", "Yes, to 28 degrees.", minute(1), file);
  auto sections = DeskAnswers::read(file);
  ASSERT_EQ(sections.size(), 3u) << readText(file);
  EXPECT_TRUE(readText(file).starts_with("Kept by the desk.\n\n## Do you have a gym?\nYes, on the first floor.\n"));
  EXPECT_EQ(sections[1].question, "Is there a lift?");
  ASSERT_TRUE(sections[1].added);  // no date line: when the file last changed
  EXPECT_GT(*sections[1].added, minute(1));

  // Many saves at once, from several threads (each save takes the lock on
  // its own descriptor, as another process would): none is lost, and a
  // reader meanwhile only ever sees whole sections.
  std::atomic<bool> saving{true};
  std::atomic<int> torn{0}, looks{0};
  std::thread reader([&] {
    while (saving) {
      const std::string now = readText(file);
      ++looks;
      for (const auto& s : DeskAnswers::parse(now))
        if (s.answer.empty() || (!s.added && s.question != "Is there a lift?")) ++torn;
      if (!now.ends_with("\n")) ++torn;
    }
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 8; ++i)
        DeskAnswers::save("Question " + std::to_string(t) + "." + std::to_string(i) + "?", "Answer.", minute(2), file);
    });
  for (auto& th : threads) th.join();
  saving = false;
  reader.join();
  EXPECT_EQ(torn, 0);
  EXPECT_GT(looks, 0);
  EXPECT_EQ(DeskAnswers::read(file).size(), 3u + 48u);
  // Nothing left beside it but the lock, which no reader takes for a document.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(file.parent_path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".front-desk-answers.md-lock", "front-desk-answers.md"}));
  EXPECT_FALSE(DocumentReader::isAllowed(file.parent_path() / names[0]));

  EXPECT_TRUE(DeskAnswers::read(dir / "missing.md").empty());
}

Gaps::Group group(std::vector<std::string> examples, int64_t count, TimePoint last) {
  Gaps::Group g;
  g.representative = examples.front();
  g.examples = std::move(examples);
  g.count = count;
  g.first = g.last = last;
  return g;
}

TEST(DeskAnswers, AnsweredGroupsSinkAndComeBackWhenStillAsked) {
  const std::vector<DeskAnswers::Section> sections{
      {"Do you have a gym?", "Yes.", minute(10)},
      {"Is the pool heated?", "Yes.", minute(10)},
      {"IS THE POOL HEATED?", "Yes, to 28 degrees.", minute(30)},  // answered again later
      {"Parking?", "Free.", std::nullopt},
  };
  std::vector<Gaps::Group> groups{
      group({"Gibt es ein Fitnessstudio?", "do you  have a GYM?"}, 5, minute(9)),  // any of its messages
      group({"Is the pool heated?"}, 4, minute(20)),  // asked after the first answer, before the second
      group({"Is there a sauna?"}, 3, minute(1)),
      group({"Where is breakfast?"}, 2, minute(10)),  // not answered at all
      group({"Parking?"}, 1, minute(1)),              // a section with no date: unknown when
  };
  groups[3].answered = minute(0);  // stale marks are cleared
  std::vector<Gaps::Group> still = groups;
  DeskAnswers::markAnswered(groups, sections);
  ASSERT_EQ(groups.size(), 5u);
  EXPECT_EQ(groups[0].representative, "Is there a sauna?");  // the open ones first, in their order
  EXPECT_EQ(groups[1].representative, "Where is breakfast?");
  EXPECT_EQ(groups[2].representative, "Parking?");
  EXPECT_FALSE(groups[1].answered);
  EXPECT_FALSE(groups[2].answered);
  EXPECT_EQ(groups[3].representative, "Gibt es ein Fitnessstudio?");
  EXPECT_EQ(groups[3].answered, minute(10));
  EXPECT_EQ(groups[4].answered, minute(30));

  // Guests still unanswered a minute or more after the answer: open again.
  still[0].last = minute(10) + std::chrono::seconds(59);  // within the minute it was added
  still[1].last = minute(31);
  DeskAnswers::markAnswered(still, sections);
  EXPECT_EQ(still[0].representative, "Is the pool heated?");
  EXPECT_FALSE(still[0].answered);
  EXPECT_EQ(still.back().representative, "Gibt es ein Fitnessstudio?");
  EXPECT_EQ(still.back().answered, minute(10));

  // A question the receptionist reworded when answering: by meaning.
  std::vector<Gaps::Group> reworded{group({"Y a-t-il une salle de sport ?"}, 2, minute(5)),
                                    group({"Is there a sauna?"}, 1, minute(5))};
  const std::vector<DeskAnswers::Section> rewordedSections{{"Is there a fitness room?", "Yes.", minute(10)},
                                                           {"Is there a sauna?", "No.", std::nullopt}};
  DeskAnswers::markAnswered(reworded, rewordedSections, [](const std::string& message, std::size_t section) {
    return message == "Y a-t-il une salle de sport ?" && section == 0;
  });
  EXPECT_EQ(reworded[0].representative, "Is there a sauna?");  // no date: not known to be answered
  EXPECT_FALSE(reworded[0].answered);
  EXPECT_EQ(reworded[1].answered, minute(10));
}

}  // namespace
}  // namespace quorvel
