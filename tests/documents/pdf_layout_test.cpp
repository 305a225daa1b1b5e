// Laying out a PDF's words: the rules a page's geometry decides.
#include <gtest/gtest.h>

#include "documents/pdf_layout.h"

namespace quorvel::readers {
namespace {

// Words of a line of 10-point type set from `x`, each word as wide as its letters.
void line(PdfPage& page, double x, double y, const std::string& text, double size = 10) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find(' ', pos);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(pos, end - pos);
    const double width = 0.5 * size * static_cast<double>(word.size());
    page.words.push_back({word, x, y, width, size * 1.2, size, end < text.size()});
    x += width + 0.25 * size;
    pos = end + 1;
  }
}

PdfPage page() {
  PdfPage p;
  p.width = 595;
  p.height = 842;
  return p;
}

TEST(PdfLayout, RunningHeadersAndPageNumbersAreSetAside) {
  std::vector<PdfPage> pages;
  for (int i = 1; i <= 3; ++i) {
    PdfPage p = page();
    line(p, 300, 30, "Hotel Lindenhof Guest Information");
    line(p, 50, 100, "Body text of page " + std::to_string(i) + ".");
    line(p, 200, 800, "Guest Information 2025 Page " + std::to_string(i) + " of 3");
    pages.push_back(p);
  }
  EXPECT_EQ(layoutPdf(pages),
            "Body text of page 1.\n\nBody text of page 2.\n\nBody text of page 3.\n\nHotel Lindenhof Guest Information");

  // One page has no running lines: its first and last lines are text,
  // but a bare page number at the foot goes.
  PdfPage one = page();
  line(one, 50, 30, "Hotel Lindenhof");
  line(one, 50, 100, "Breakfast from 7.");
  line(one, 290, 800, "- 1 -");
  EXPECT_EQ(layoutPdf({one}), "Hotel Lindenhof\n\nBreakfast from 7.");
}

TEST(PdfLayout, ParagraphsFromLineGapsAndAPageBreakJoined) {
  PdfPage a = page(), b = page();
  line(a, 50, 100, "Parking", 14);
  line(a, 50, 130, "The garage is behind the house and");
  line(a, 50, 142, "costs EUR 11 per night.");
  line(a, 50, 170, "Guests who stay a week park for");  // the paragraph runs on over the page break
  line(a, 50, 780, "1 Closed on public holidays.", 8);
  line(b, 50, 100, "free in the garden.");
  line(b, 50, 130, "Bicycles are lent at the desk.");
  EXPECT_EQ(layoutPdf({a, b}),
            "## Parking\n\nThe garage is behind the house and costs EUR 11 per night.\n\n"
            "Guests who stay a week park for free in the garden.\n\nClosed on public holidays.\n\n"
            "Bicycles are lent at the desk.");
}

TEST(PdfLayout, ShortLinesEndTheirParagraphWrappedOnesGoOn) {
  // A printed export: every record its own line, close together.
  PdfPage p = page();
  line(p, 50, 100, "PARKING");
  line(p, 50, 112, "Parking: EUR 15 per night");
  line(p, 50, 124, "Spaces: 8");
  // Prose wrapped at the column's edge, whose next word would not have fitted.
  line(p, 50, 136, "The garage entrance is in the side street behind the house and the gate opens with");
  line(p, 50, 148, "your room key, day and night.");
  EXPECT_EQ(layoutPdf({p}),
            "PARKING\n\nParking: EUR 15 per night\n\nSpaces: 8\n\n"
            "The garage entrance is in the side street behind the house and the gate opens with your room key, day and night.");
}

TEST(PdfLayout, TwoColumnsAreReadOneAfterTheOther) {
  PdfPage p = page();
  line(p, 50, 60, "Lindenhof News", 20);
  const char* left[] = {"The wine tasting is on", "Thursday at 19:00 and", "costs EUR 29 a person."};
  const char* right[] = {"The lake is warmest in", "late July at about 23", "degrees near the shore."};
  for (int i = 0; i < 3; ++i) {
    line(p, 50, 100 + 12.0 * i, left[i]);
    line(p, 175, 100 + 12.0 * i, right[i]);
  }
  line(p, 50, 150, "Fireworks start at 22:15 and are best seen from the jetty of the house.");
  line(p, 50, 180, "A boat tour on Sunday");
  line(p, 175, 180, "Boats are free until");
  line(p, 50, 192, "leaves at 10:00.");
  line(p, 175, 192, "19:00 every day.");
  EXPECT_EQ(layoutPdf({p}),
            "# Lindenhof News\n\nThe wine tasting is on Thursday at 19:00 and costs EUR 29 a person.\n\n"
            "The lake is warmest in late July at about 23 degrees near the shore.\n\n"
            "Fireworks start at 22:15 and are best seen from the jetty of the house.\n\n"
            "A boat tour on Sunday leaves at 10:00.\n\nBoats are free until 19:00 every day.");

  // Two columns of a table (names and prices) are read row by row.
  PdfPage t = page();
  const char* names[] = {"Sauna", "Massage of the back", "Bicycle", "Laundry"};
  for (int i = 0; i < 4; ++i) {
    line(t, 50, 100 + 14.0 * i, names[i]);
    line(t, 320, 100 + 14.0 * i, "EUR " + std::to_string(10 + i));
  }
  EXPECT_EQ(layoutPdf({t}), "Sauna\tEUR 10\nMassage of the back\tEUR 11\nBicycle\tEUR 12\nLaundry\tEUR 13");
}

TEST(PdfLayout, TableRowsStayRowsAndSpilledColumnsKeepTheirLabel) {
  PdfPage a = page(), b = page();
  const char* rooms[] = {"Single", "Double", "Suite"};
  for (int i = 0; i < 3; ++i) {
    line(a, 50, 100 + 14.0 * i, rooms[i]);
    line(a, 200, 100 + 14.0 * i, std::to_string(80 + 10 * i) + ".00");
    line(a, 300, 100 + 14.0 * i, std::to_string(90 + 10 * i) + ".00");
    line(b, 60, 100 + 14.0 * i, "dog " + std::to_string(i));
    line(b, 200, 100 + 14.0 * i, std::to_string(11 + i) + ".00");
  }
  EXPECT_EQ(layoutPdf({a, b}),
            "Single\t80.00\t90.00\nDouble\t90.00\t100.00\nSuite\t100.00\t110.00\n\n"
            "Single\tdog 0\t11.00\nDouble\tdog 1\t12.00\nSuite\tdog 2\t13.00");
}

TEST(PdfLayout, RaisedNoteMarksAndTextOffThePageAreLeftOut) {
  PdfPage p = page();
  line(p, 50, 100, "Reception closes at 22:00.");
  p.words.push_back({"1", 180, 97, 3, 7, 6, false});  // raised and small
  line(p, -40, 130, "cut");                           // its middle left of the page
  line(p, 50, 130, "Room 12 is on floor 1.");
  EXPECT_EQ(layoutPdf({p}), "Reception closes at 22:00.\n\nRoom 12 is on floor 1.");
}

}  // namespace
}  // namespace quorvel::readers
