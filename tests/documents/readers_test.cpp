// Text from every accepted document kind, and from damaged or hostile files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include <quorvel/debug.h>
#include <quorvel/document_reader.h>

#include "documents/readers.h"
#include "fixture_builders.h"
#include "test_support.h"

namespace quorvel {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::writeText;

std::optional<std::string> textOf(const fs::path& p) { return DocumentReader::text(p); }

class ReadersTest : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(ReadersTest, PlainTextKindsWhateverTheCaseOfTheExtension) {
  writeText(dir / "notes.TXT", "Check-in from 14:00.\r\nCheck-out until 11:00.");
  writeText(dir / "faq.markdown", "# FAQ\n\nIs parking free?");
  writeText(dir / "bom.md", "\xEF\xBB\xBF# Breakfast\n");
  EXPECT_EQ(textOf(dir / "notes.TXT"), "Check-in from 14:00.\r\nCheck-out until 11:00.");
  EXPECT_EQ(textOf(dir / "faq.markdown"), "# FAQ\n\nIs parking free?");
  EXPECT_EQ(textOf(dir / "bom.md"), "# Breakfast\n");
}

TEST_F(ReadersTest, BytesThatAreNotUtf8AreReadAsLatin1) {
  writeText(dir / "cafe.txt", "Caf\xE9 \x80\x9F \xFF");
  EXPECT_EQ(textOf(dir / "cafe.txt"), "Caf\xC3\xA9 \xC2\x80\xC2\x9F \xC3\xBF");
  writeText(dir / "utf8.txt", "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(textOf(dir / "utf8.txt"), "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST_F(ReadersTest, UnknownKindsAreNeverOpened) {
  // Opening a FIFO for reading would block this test forever.
  for (const char* name : {"menu.pages", "menu.odt", "prices.csv", "README"}) {
    ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
    EXPECT_FALSE(textOf(dir / name).has_value()) << name;
  }
  EXPECT_FALSE(textOf(dir / "missing.txt").has_value());
}

TEST_F(ReadersTest, PdfPagesAreJoinedByBlankLines) {
  test::makePdf(dir / "abc.pdf", {{{"A"}}, {{"B"}}, {{"C"}}});
  EXPECT_EQ(textOf(dir / "abc.pdf"), "A\n\nB\n\nC");
  test::makePdf(dir / "Gap.PDF", {{{"A"}}, std::nullopt, {{"C"}}});
  EXPECT_EQ(textOf(dir / "Gap.PDF"), "A\n\nC");
  test::makePdf(dir / "scan.pdf", {std::nullopt, std::nullopt});
  EXPECT_EQ(textOf(dir / "scan.pdf"), "");
}

TEST_F(ReadersTest, PdfLigaturesAreSpelledOut) {
  // \256 and \257 are the fi and fl glyphs of the standard encoding.
  test::makePdf(dir / "lig.pdf", {{{"The of\\256ce is \\257oor one."}}});
  EXPECT_EQ(textOf(dir / "lig.pdf"), "The office is floor one.");
}

TEST_F(ReadersTest, DamagedPdfYieldsNothing) {
  writeText(dir / "junk.pdf", "%PDF-1.4\nthis is not a pdf at all");
  EXPECT_FALSE(textOf(dir / "junk.pdf").has_value());
  writeText(dir / "empty.pdf", "");
  EXPECT_FALSE(textOf(dir / "empty.pdf").has_value());
}

TEST_F(ReadersTest, WhyADocumentGaveNoTextReachesTheDebugSink) {
  std::vector<std::string> lines;
  debug::setSink([&lines](std::string_view l) { lines.emplace_back(l); });
  writeText(dir / "junk.pdf", "%PDF-1.4\nthis is not a pdf at all");
  EXPECT_FALSE(textOf(dir / "junk.pdf").has_value());
  debug::setSink({});
  EXPECT_FALSE(textOf(dir / "junk.pdf").has_value());  // no sink: nothing written anywhere
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("junk.pdf"), std::string::npos) << lines[0];
}

TEST_F(ReadersTest, DocxParagraphsTabsBreaksAndTables) {
  test::makeDocx(
      dir / "rules.docx",
      R"(<w:p><w:pPr><w:tabs><w:tab w:val="left" w:pos="720"/></w:tabs></w:pPr>)"
      R"(<w:r><w:t>HOUSE RULES</w:t></w:r></w:p>)"
      R"(<w:p><w:r><w:t xml:space="preserve">Quiet </w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>after</w:t></w:r>)"
      R"(<w:r><w:tab/><w:t>22:00</w:t><w:br/><w:t>Pets welcome</w:t></w:r></w:p>)"
      R"(<w:p/>)"
      R"(<w:tbl><w:tr><w:tc><w:p><w:r><w:t>Room</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>Price</w:t></w:r></w:p></w:tc></w:tr>)"
      R"(<w:tr><w:tc><w:p><w:r><w:t>Double</w:t></w:r></w:p><w:p><w:r><w:t>sea view</w:t></w:r></w:p></w:tc>)"
      R"(<w:tc><w:p><w:r><w:t>120 EUR</w:t></w:r></w:p></w:tc></w:tr></w:tbl>)"
      R"(<w:p><w:r><w:delText>old text</w:delText><w:fldChar w:fldCharType="begin"/><w:instrText> HYPERLINK "x" </w:instrText>)"
      R"(<w:t>link</w:t></w:r><w:r><mc:AlternateContent><mc:Choice><w:t>shown</w:t></mc:Choice>)"
      R"(<mc:Fallback><w:t>twice</w:t></mc:Fallback></mc:AlternateContent></w:r><w:r><w:t>&amp; more</w:t></w:r></w:p>)");
  EXPECT_EQ(
      textOf(dir / "rules.docx"),
      "HOUSE RULES\n\nQuiet after\t22:00\nPets welcome\n\nRoom: Double sea view; Price: 120 EUR\n\nlinkshown& more");
}

TEST_F(ReadersTest, DocxAsAPersonReadsIt) {
  const std::string ns =
      R"(xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" )"
      R"(xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006")";
  auto part = [&](const std::string& root, const std::string& body) {
    return "<?xml version=\"1.0\"?><w:" + root + " " + ns + ">" + body + "</w:" + root + ">";
  };
  auto p = [](const std::string& text, const std::string& props = "") {
    return "<w:p>" + (props.empty() ? "" : "<w:pPr>" + props + "</w:pPr>") + "<w:r><w:t xml:space=\"preserve\">" +
           text + "</w:t></w:r></w:p>";
  };
  // Heading styles by their (localised) ids, found through their names,
  // outline levels and what they are based on.
  const std::string styles = part(
      "styles",
      R"(<w:style w:type="paragraph" w:styleId="berschrift1"><w:name w:val="heading 1"/></w:style>)"
      R"(<w:style w:type="paragraph" w:styleId="Titel"><w:name w:val="Title"/></w:style>)"
      R"(<w:style w:type="paragraph" w:styleId="Mine"><w:name w:val="My big words"/><w:pPr><w:outlineLvl w:val="1"/></w:pPr></w:style>)"
      R"(<w:style w:type="paragraph" w:styleId="Derived"><w:name w:val="Derived"/><w:basedOn w:val="Mine"/></w:style>)"
      R"(<w:style w:type="paragraph" w:styleId="Body"><w:name w:val="Body Text"/></w:style>)");
  const std::string footnotes = part(
      "footnotes",
      R"(<w:footnote w:type="separator" w:id="0"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>)"
      R"(<w:footnote w:id="2"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t xml:space="preserve"> Reception closes at 18:00 on public holidays.</w:t></w:r></w:p></w:footnote>)");
  const std::string endnotes =
      part("endnotes", R"(<w:endnote w:id="2"><w:p><w:r><w:t>The sauna is closed on Mondays.</w:t></w:r></w:p></w:endnote>)");
  const std::string body =
      p("Guest information", R"(<w:pStyle w:val="Titel"/>)") +
      p("What to do when you arrive late", R"(<w:pStyle w:val="berschrift1"/>)") +
      R"(<w:p><w:r><w:t>Ring the bell at the side door.</w:t></w:r><w:r><w:footnoteReference w:id="2"/></w:r>)"
      R"(<w:r><w:t xml:space="preserve"> The night porter opens.</w:t></w:r><w:r><w:endnoteReference w:id="2"/></w:r></w:p>)" +
      p("Our own heading style", R"(<w:pStyle w:val="Derived"/>)") + p("Plain words", R"(<w:pStyle w:val="Body"/>)") +
      p("Towels are changed daily", R"(<w:numPr><w:ilvl w:val="0"/><w:numId w:val="1"/></w:numPr>)") +
      // A text box anchored in a paragraph, with the drawing's fallback copy.
      R"(<w:p><w:r><w:t>See the box.</w:t></w:r><w:r><mc:AlternateContent><mc:Choice><w:drawing><w:txbxContent>)" +
      p("Wi-Fi network: Lindenhof-Guest, password: Alpenrose2025") +
      R"(</w:txbxContent></w:drawing></mc:Choice><mc:Fallback><w:pict><w:txbxContent>)" +
      p("Wi-Fi network: Lindenhof-Guest, password: Alpenrose2025") +
      R"(</w:txbxContent></w:pict></mc:Fallback></mc:AlternateContent></w:r></w:p>)"
      // A table whose first row repeats as a header; a cell of two paragraphs.
      R"(<w:tbl><w:tr><w:trPr><w:tblHeader/></w:trPr><w:tc>)" + p("Room") + "</w:tc><w:tc>" + p("Low season 2025") +
      "</w:tc><w:tc>" + p("High season") + "</w:tc></w:tr><w:tr><w:tc>" + p("Double") + p("garden side") + "</w:tc><w:tc>" +
      p("EUR 90") + "</w:tc><w:tc>" + p("EUR 120") + "</w:tc></w:tr><w:tr><w:tc>" + p("Suite") + "</w:tc><w:tc>" + p("") +
      "</w:tc><w:tc>" + p("EUR 210") + "</w:tc></w:tr></w:tbl>" +
      // A page reference is text; the page number itself is not.
      R"(<w:p><w:r><w:t xml:space="preserve">See page </w:t></w:r><w:r><w:fldChar w:fldCharType="begin"/></w:r>)"
      R"(<w:r><w:instrText> PAGEREF _Ref1 \h </w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r>)"
      R"(<w:r><w:t>4</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>)";
  const std::string header = part("hdr", p("Hotel Lindenhof, Lindenweg 3, phone +49 30 1234567"));
  const std::string footer = part(
      "ftr", R"(<w:p><w:r><w:t xml:space="preserve">Guest Information 2025 – Page </w:t></w:r>)"
             R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r>)"
             R"(<w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>1</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r>)"
             R"(<w:r><w:t xml:space="preserve"> of </w:t></w:r><w:fldSimple w:instr=" NUMPAGES "><w:r><w:t>6</w:t></w:r></w:fldSimple></w:p>)" +
             p("Hotel Lindenhof, Lindenweg 3, phone +49 30 1234567"));
  test::makeZip(dir / "house-rules.docx", {{"word/document.xml", part("document", "<w:body>" + body + "</w:body>")},
                                           {"word/styles.xml", styles},
                                           {"word/footnotes.xml", footnotes},
                                           {"word/endnotes.xml", endnotes},
                                           {"word/header1.xml", header},
                                           {"word/footer1.xml", footer},
                                           {"word/footer2.xml", footer}});
  EXPECT_EQ(textOf(dir / "house-rules.docx"),
            "# Guest information\n\n"
            "# What to do when you arrive late\n\n"
            "Ring the bell at the side door. The night porter opens.\n\n"
            "Reception closes at 18:00 on public holidays.\n\n"
            "The sauna is closed on Mondays.\n\n"
            "## Our own heading style\n\n"
            "Plain words\n\n"
            "- Towels are changed daily\n\n"
            "See the box.\n\n"
            "Wi-Fi network: Lindenhof-Guest, password: Alpenrose2025\n\n"
            "Room: Double garden side; Low season 2025: EUR 90; High season: EUR 120\n"
            "Room: Suite; High season: EUR 210\n\n"
            "See page 4\n\n"
            "Hotel Lindenhof, Lindenweg 3, phone +49 30 1234567");
}

TEST_F(ReadersTest, DamagedOrHostileDocxYieldsNothing) {
  writeText(dir / "junk.docx", "PK\x03\x04 this zip is cut short");
  EXPECT_FALSE(textOf(dir / "junk.docx").has_value());
  test::makeZip(dir / "nodoc.docx", {{"word/other.xml", "<x/>"}});
  EXPECT_FALSE(textOf(dir / "nodoc.docx").has_value());
  test::makeDocx(dir / "broken.docx", "<w:p><w:r><w:t>unclosed");
  EXPECT_FALSE(textOf(dir / "broken.docx").has_value());

  // A document.xml that inflates past the cap (300 MB of one text run) is
  // refused without holding it in memory.
  std::string bomb = "<?xml version=\"1.0\"?><w:document xmlns:w=\"w\"><w:body><w:p><w:r><w:t>";
  bomb.append(300u << 20, 'a');
  bomb += "</w:t></w:r></w:p></w:body></w:document>";
  test::makeZip(dir / "bomb.docx", {{"word/document.xml", bomb}});
  bomb.clear();
  bomb.shrink_to_fit();
  EXPECT_FALSE(textOf(dir / "bomb.docx").has_value());
}

// What a reader's library prints while the function runs, on standard error.
template <class F>
std::string stderrOf(F&& f) {
  test::TempDir d;
  fflush(stderr);
  const int saved = ::dup(2);
  const int file = ::open((d / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(file, 2);
  f();
  fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  ::close(file);
  return test::readText(d / "err");
}

TEST_F(ReadersTest, DamagedXmlLeavesNoTraceOnStandardError) {
  const std::vector<std::string> bodies{
      "<w:p><w:r><w:t>unclosed",
      "<w:p><w:r><w:t>\x01\x02 control bytes</w:t></w:r></w:p>",
      "<w:p>&undefined;<w:t>entity</w:t></w:p>",
  };
  const std::string err = stderrOf([&] {
    for (std::size_t i = 0; i < bodies.size(); ++i) {
      test::makeDocx(dir / ("bad" + std::to_string(i) + ".docx"), bodies[i]);
      textOf(dir / ("bad" + std::to_string(i) + ".docx"));
    }
    test::makeZip(dir / "enc.docx",
                  {{"word/document.xml", "<?xml version=\"1.0\" encoding=\"no-such-code\"?><a>x</a>"}});
    textOf(dir / "enc.docx");
    writeText(dir / "bad.html", "<html><body><p>caf\xE9 <b><i>mis</b></i>&bogus;<![CDATA[x</body>");
    textOf(dir / "bad.html");
  });
  EXPECT_EQ(err, "");
}

TEST_F(ReadersTest, FifosAndDevicesAreNeverRead) {
  ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero.txt");
  fs::create_symlink("/dev/null", dir / "null.pdf");
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(textOf(dir / "pipe.txt").has_value());
  EXPECT_FALSE(textOf(dir / "zero.txt").has_value());
  EXPECT_FALSE(textOf(dir / "null.pdf").has_value());
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  // A symbolic link to a regular file is read as the file.
  writeText(dir / "real.txt", "Breakfast from 7.");
  fs::create_symlink(dir / "real.txt", dir / "link.txt");
  EXPECT_EQ(textOf(dir / "link.txt"), "Breakfast from 7.");
}

TEST_F(ReadersTest, DocxAmongThousandsOfEntries) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 0; i < 5000; ++i) entries.emplace_back("media/x" + std::to_string(i) + ".bin", "x");
  entries.emplace_back(
      "word/document.xml",
      R"(<w:document xmlns:w="w"><w:body><w:p><w:r><w:t>Found</w:t></w:r></w:p></w:body></w:document>)");
  test::makeZip(dir / "many.docx", entries);
  EXPECT_EQ(textOf(dir / "many.docx"), "Found");
}

TEST_F(ReadersTest, HtmlShowsWhatABrowserShows) {
  writeText(dir / "page.HTM",
            "<!DOCTYPE html><html><head><title>Hidden title</title><style>p{color:red}</style>"
            "<script>var x = '<p>no</p>';</script></head><body>"
            "<h1>Palm   Cove</h1><p>Breakfast&nbsp;7&ndash;10 &amp; dinner<br>on request</p>"
            "<ul><li>Pool</li><li>Sauna</li></ul>"
            "<table><tr><th>Room</th><th>Price</th></tr><tr><td>Double</td><td>120 &euro;</td></tr></table>"
            "<div>Caf\xC3\xA9 <b>open</b></div><pre>a  b\n c</pre></body></html>");
  EXPECT_EQ(textOf(dir / "page.HTM"),
            "# Palm Cove\n\nBreakfast\xC2\xA0"
            "7\xE2\x80\x93"
            "10 & dinner\non request\n\n- Pool\n\n- Sauna\n\n"
            "Room: Double; Price: 120 \xE2\x82\xAC\n\nCaf\xC3\xA9 open\n\na  b\n c");
}

TEST(Html, TheContentNotTheSite) {
  const std::string page =
      "<html><head><title>Hotel</title></head><body>"
      "<div id=\"cookie-consent\" class=\"cookie-consent\" role=\"dialog\"><p>We use cookies.</p>"
      "<button>Accept all</button></div>"
      "<a class=\"skip-link visually-hidden\" href=\"#c\">Skip to content</a>"
      "<header class=\"site-header\"><a>Logo</a><nav><ul><li><a>Rooms</a></li><li><a>Book now</a></li></ul></nav></header>"
      "<section class=\"booking-widget\"><form><label>Arrival</label><input value=\"2025\">"
      "<button>Check availability</button></form></section>"
      "<div role=\"navigation\">Home | Offers</div>"
      "<main><article><header><h1>Rooms on the lake</h1></header>"
      "<p>All 24 rooms face the lake.</p>"
      "<p hidden>Secret rate 12</p><p style=\"display: none\">Old price EUR 60</p><span aria-hidden=\"true\">*</span>"
      "<h2>Questions</h2>"
      "<details><summary>Can I bring my dog?</summary><p>Dogs stay for EUR 12 a night.</p></details>"
      "<details><summary>Parking</summary><p>The garage costs EUR 15.</p></details>"
      "</article></main>"
      "<footer><address>Seeweg 12, 6633 Lindach</address><ul><li>Facebook</li></ul><p>&copy; 2025 Hotel Lindenhof</p></footer>"
      "<script>var promo = 'SUMMER';</script></body></html>";
  EXPECT_EQ(readers::htmlText(page),
            "# Rooms on the lake\n\nAll 24 rooms face the lake.\n\n## Questions\n\n"
            "### Can I bring my dog?\n\nDogs stay for EUR 12 a night.\n\n"
            "### Parking\n\nThe garage costs EUR 15.\n\nSeeweg 12, 6633 Lindach");
  // The questions open sections of their own.
  const auto passages = DocumentReader::chunks("site.html", *readers::htmlText(page));
  ASSERT_FALSE(passages.empty());
  EXPECT_EQ(passages.back().section, "Parking");
  EXPECT_EQ(passages.back().text, "### Parking\n\nThe garage costs EUR 15.\n\nSeeweg 12, 6633 Lindach");
}

TEST_F(ReadersTest, HtmlHonoursItsDeclaredCharset) {
  // "Завтрак" in windows-1251.
  writeText(
      dir / "ru.html",
      "<html><head><meta charset=\"windows-1251\"></head><body><p>\xC7\xE0\xE2\xF2\xF0\xE0\xEA</p></body></html>");
  EXPECT_EQ(textOf(dir / "ru.html"), "\xD0\x97\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA");
  writeText(dir / "plain.html", "<p>\xD0\x97\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA</p>");
  EXPECT_EQ(textOf(dir / "plain.html"), "\xD0\x97\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA");
}

// A DOCTYPE's internal subset is markup, never the page's text.
TEST(Html, ADoctypesInternalSubsetIsNotText) {
  EXPECT_EQ(readers::htmlText("<!DOCTYPE html [\n<!ENTITY x \"secret entity text\">\n<!ELEMENT p ANY>\n]>\n"
                              "<html><body><p>Breakfast from 7.</p></body></html>"),
            "Breakfast from 7.");
}

TEST_F(ReadersTest, HugeOrDeepHtmlIsSurvived) {
  std::string line = "<p>";
  while (line.size() < (50u << 20)) line += "word ";
  line += "</p>";
  auto text = readers::htmlText(line);
  ASSERT_TRUE(text.has_value());
  EXPECT_GT(text->size(), 40u << 20);

  // Absurd nesting is cut off by the parser; what was read before stays.
  std::string deep = "<p>shallow</p>";
  for (int i = 0; i < 20000; ++i) deep += "<div>";
  deep += "deep text";
  EXPECT_NE(readers::htmlText(deep).value_or("").find("shallow"), std::string::npos);
  std::string nested;
  for (int i = 0; i < 200; ++i) nested += "<div>";
  EXPECT_EQ(readers::htmlText(nested + "inner"), "inner");
}

TEST(Rtf, TextCodePagesAndUnicode) {
  EXPECT_EQ(
      readers::rtfText(R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss Arial;}}{\colortbl;\red0\green0\blue0;})"
                       R"({\*\generator Writer;}{\info{\title Secret}}\pard Caf\'e9 \b open\b0\par)"
                       R"( Line\line two\tab end\par \u8364\'80 and \uc0\u8212 dash\par})"),
      "Caf\xC3\xA9 open\n\nLine\ntwo\tend\n\n\xE2\x82\xAC and \xE2\x80\x94"
      "dash");
  // Cyrillic through the document code page and through a font's charset.
  EXPECT_EQ(readers::rtfText(R"({\rtf1\ansi\ansicpg1251 \'c7\'e0\'e2\'f2\'f0\'e0\'ea\par})"),
            "\xD0\x97\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA");
  EXPECT_EQ(readers::rtfText(R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0 Times;}{\f1\fcharset204 Times CYR;}})"
                             R"(\f0 A \f1\'c4\'e0 {\f0\'e9}\par})"),
            "A \xD0\x94\xD0\xB0 \xC3\xA9");
  // A character outside the BMP as a surrogate pair, each half with its fallback.
  EXPECT_EQ(readers::rtfText(R"({\rtf1\uc1\u-10179?\u-8704? ok})"), "\xF0\x9F\x98\x80 ok");
  // \uc2 skips two fallback characters, an escaped byte counting as one.
  EXPECT_EQ(readers::rtfText(R"({\rtf1\uc2\u1046\'3f\'3fx})"), "\xD0\x96x");
}

TEST(Rtf, FieldsTablesAndSkippedGroups) {
  EXPECT_EQ(readers::rtfText(R"({\rtf1{\field{\*\fldinst HYPERLINK "http://x"}{\fldrslt Our site}}\par)"
                             R"({\pict\pngblip 89504e47}\trowd\cellx1000\cellx2000 Room\cell Price\cell\row)"
                             R"( Double\cell 120\cell\row{\*\unknowndest hidden}\{braces\}\\})"),
            "Our site\n\nRoom: Double; Price: 120\n\n{braces}\\");
}

TEST(Rtf, StructureAsAPersonReadsIt) {
  const std::string rtf =
      R"({\rtf1\ansi{\stylesheet{\s0 Normal;}{\s1\outlinelevel0 Heading 1;}{\s7 heading 2;}{\s9 Title;}{\*\cs15 Footnote Anchor;}})"
      R"({\*\pgdsctbl{\pgdsc0\headery737{\header\pard Old header copy\par}}}\headery737)"
      R"({\header\pard Hotel Lindenhof\par}{\footer\pard Page {\field{\*\fldinst PAGE}{\fldrslt 3}} of {\field{\*\fldinst NUMPAGES}{\fldrslt 6}}\par})"
      R"(\pard\s9 Guest information\par\pard\s1 Arrival\par\pard\s7 What to do when you arrive late\par)"
      R"(\pard\outlinelevel2 Own level\par)"
      R"(\pard Ring the bell.{\super\chftn{\*\footnote\pard\chftn Reception closes at 18:00 on public holidays.}} Then wait.\par)"
      R"(\pard\ls1 Towels daily\par)"
      R"(\pard See the box.{\shp{\*\shpinst{\sp{\sn fillColor}{\sv 123}}{\shptxt Password: Alpenrose2025\par}}{\shprslt Fallback copy}}\par)"
      R"(\trowd\trhdr\cellx1000\cellx2000\pard\intbl Room\cell Price\cell\row)"
      R"(\trowd\cellx1000\cellx2000\pard\intbl Double\par garden\cell EUR 90\cell\row)"
      R"(\pard See page {\field{\*\fldinst PAGEREF x}{\fldrslt 4}}\par})";
  EXPECT_EQ(readers::rtfText(rtf),
            "# Guest information\n\n# Arrival\n\n## What to do when you arrive late\n\n### Own level\n\n"
            "Ring the bell. Then wait.\n\nReception closes at 18:00 on public holidays.\n\n- Towels daily\n\n"
            "See the box.\n\nPassword: Alpenrose2025\n\nRoom: Double garden; Price: EUR 90\n\nSee page 4\n\n"
            "Hotel Lindenhof");
}

TEST(Rtf, HostileInputIsSurvived) {
  EXPECT_FALSE(readers::rtfText("not rtf at all").has_value());
  EXPECT_EQ(readers::rtfText(R"({\rtf1 cut short \'e)"), "cut short");
  std::string deep = "{\\rtf1 ";
  for (int i = 0; i < 10000; ++i) deep += "{";
  deep += "inner";
  for (int i = 0; i < 10000; ++i) deep += "}";
  deep += " outer}";
  EXPECT_EQ(readers::rtfText(deep), "inner outer");
  std::string deeper = "{\\rtf1 ";
  deeper.append(300000, '{');
  deeper += "x";
  EXPECT_EQ(readers::rtfText(deeper), "x");
  // The space ends the control word; the five bytes after it are binary.
  EXPECT_EQ(readers::rtfText(R"({\rtf1\bin5 {{{{ after})"), "after");
}

TEST(LegacyWord, ReadThroughAntiwordOrCatdoc) {
  auto longText = DocumentReader::text(fs::path(QUORVEL_FIXTURES) / "legacy-long.doc");
  ASSERT_TRUE(longText.has_value());
  EXPECT_NE(longText->find("HOUSE RULES\nQuiet hours are from 22:00 to 7:00."), std::string::npos);
  EXPECT_NE(longText->find("Caf\xC3\xA9 opens at 7:30 \xE2\x80\x94 breakfast"), std::string::npos);
  EXPECT_NE(longText->find("\n\nParagraph 2 of the house rules"), std::string::npos);

  // antiword refuses this one as too small; catdoc reads it.
  auto smallText = DocumentReader::text(fs::path(QUORVEL_FIXTURES) / "legacy-small.doc");
  ASSERT_TRUE(smallText.has_value());
  EXPECT_NE(smallText->find("\xD0\x97\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA: 7:30"), std::string::npos);

  TempDir dir;
  writeText(dir / "fake.doc", "not a word file");
  EXPECT_FALSE(DocumentReader::text(dir / "fake.doc").has_value());
  // Word saves RTF under .doc on request; such a file is read as what it is.
  writeText(dir / "saved-as.doc", "{\\rtf1 Rich text\\par}");
  EXPECT_EQ(DocumentReader::text(dir / "saved-as.doc"), "Rich text");
}

TEST(LegacyWord, HangingHelperIsKilled) {
  TempDir bin;
  writeText(bin / "antiword", "#!/bin/sh\nexec sleep 60\n");
  fs::permissions(bin / "antiword", fs::perms::owner_all);
  ScopedEnv path("PATH", bin.path().string() + ":/usr/bin:/bin");
  const auto start = std::chrono::steady_clock::now();
  auto text = DocumentReader::text(fs::path(QUORVEL_FIXTURES) / "legacy-small.doc");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(20));
  ASSERT_TRUE(text.has_value());  // catdoc still read it
  EXPECT_NE(text->find("HOUSE RULES"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
