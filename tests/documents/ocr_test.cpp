// Scanned PDFs: pages that are pictures are read by OCR, pages with a text
// layer never are. The scans are made here: text drawn into a picture at
// 300 dpi, the picture put alone on a PDF page.
#include <gtest/gtest.h>
#include <unicode/utf8.h>

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <regex>

#include <quorvel/document_reader.h>

#include "documents/ocr.h"
#include "fixture_builders.h"
#include "test_support.h"

namespace quorvel {
namespace {

using readers::PageReader;

// A US-letter page at 300 dpi with the lines drawn in DejaVu Sans, 12 pt.
test::GrayImage scan(const std::vector<QString>& lines) {
  QImage image(2550, 3300, QImage::Format_Grayscale8);
  image.fill(Qt::white);
  QPainter p(&image);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(50);
  p.setFont(font);
  p.setPen(Qt::black);
  int y = 300;
  for (const QString& line : lines) {
    p.drawText(300, y, line);
    y += 80;
  }
  p.end();
  test::GrayImage out;
  out.width = image.width();
  out.height = image.height();
  for (int row = 0; row < image.height(); ++row)
    out.pixels.insert(out.pixels.end(), image.constScanLine(row), image.constScanLine(row) + image.width());
  return out;
}

std::u32string codePoints(const std::string& s) {
  std::u32string out;
  for (int32_t i = 0, n = static_cast<int32_t>(s.size()); i < n;) {
    UChar32 c;
    U8_NEXT(s.data(), i, n, c);
    out.push_back(static_cast<char32_t>(c < 0 ? 0xFFFD : c));
  }
  return out;
}

// Runs of white space as one space, none at the ends.
std::string squeezed(const std::string& s) {
  return std::regex_replace(std::regex_replace(s, std::regex("\\s+"), " "), std::regex("^ | $"), "");
}

// Character error rate: edits to turn what was read into what was written,
// per character written.
double characterErrorRate(const std::string& expected, const std::string& read) {
  const std::u32string a = codePoints(squeezed(expected)), b = codePoints(squeezed(read));
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return static_cast<double>(row[b.size()]) / static_cast<double>(std::max<std::size_t>(a.size(), 1));
}

std::string joined(const std::vector<QString>& lines) {
  std::string out;
  for (const QString& l : lines) out += l.toStdString() + "\n";
  return out;
}

class Ocr : public ::testing::Test {
 protected:
  test::TempDir dir;
};

const std::vector<QString> kPriceList{
    QStringLiteral("Price list 2026"),
    QString(),
    QStringLiteral("Airport transfer"),
    QStringLiteral("The airport transfer by car costs IDR 350,000 per trip."),
    QString(),
    QStringLiteral("Rooms and breakfast"),
    QStringLiteral("A double room with garden view costs IDR 1,250,000 per night."),
    QStringLiteral("Breakfast is served from 07:00 to 10:30."),
    QStringLiteral("Late check-out until 14:00 costs IDR 200,000."),
};

TEST_F(Ocr, AScannedEnglishPriceListIsRead) {
  test::makePdfPages(dir / "prices.pdf", {{std::nullopt, scan(kPriceList)}});
  const auto text = DocumentReader::text(dir / "prices.pdf");
  ASSERT_TRUE(text.has_value());
  for (const char* exact : {"1,250,000", "350,000", "07:00", "10:30", "14:00", "200,000"})
    EXPECT_NE(text->find(exact), std::string::npos) << exact << " in:\n" << *text;
  const double cer = characterErrorRate(joined(kPriceList), *text);
  RecordProperty("character_error_rate", std::to_string(cer));
  std::printf("character error rate (English scan): %.2f %%\n", cer * 100);
  EXPECT_LE(cer, 0.02) << *text;
}

TEST_F(Ocr, AScannedRussianPageIsRead) {
  const std::vector<QString> page{
      QStringLiteral("Памятка гостю"),
      QStringLiteral("Трансфер из аэропорта: 350 000 рупий"),
      QStringLiteral("Завтрак с 07:00 до 10:30 на террасе"),
      QStringLiteral("Поздний выезд до 14:00 стоит 200 000 рупий"),
  };
  test::makePdfPages(dir / "pamyatka.pdf", {{std::nullopt, scan(page)}});
  const auto text = DocumentReader::text(dir / "pamyatka.pdf");
  ASSERT_TRUE(text.has_value());
  for (const char* exact : {"350 000", "07:00", "10:30", "14:00", "200 000"})
    EXPECT_NE(text->find(exact), std::string::npos) << exact << " in:\n" << *text;
  const double cer = characterErrorRate(joined(page), *text);
  RecordProperty("character_error_rate", std::to_string(cer));
  std::printf("character error rate (Russian scan): %.2f %%\n", cer * 100);
  EXPECT_LE(cer, 0.02) << *text;
}

TEST_F(Ocr, TextPagesAndScannedPagesInTheirOrder) {
  test::makePdfPages(dir / "mixed.pdf", {{std::vector<std::string>{"House rules: quiet hours from 22:00 to 07:00."}},
                                         {std::nullopt, scan({QStringLiteral("Parking costs IDR 50,000 per day")})}});
  const auto text = DocumentReader::text(dir / "mixed.pdf");
  ASSERT_TRUE(text.has_value());
  const auto rules = text->find("quiet hours from 22:00"), parking = text->find("50,000 per day");
  ASSERT_NE(rules, std::string::npos) << *text;
  ASSERT_NE(parking, std::string::npos) << *text;
  EXPECT_LT(rules, parking);
  EXPECT_NE(text->find("\n\n"), std::string::npos);  // two pages, two pieces
}

TEST_F(Ocr, ATextPdfIsNeverRendered) {
  test::makePdf(dir / "text.pdf", {{{"Breakfast from 7:00 to 10:30 on the terrace, every day of the week."}},
                                   {{"Checkout until noon; late checkout on request at the front desk."}}});
  const std::size_t before = PageReader::pagesRendered();
  ASSERT_TRUE(DocumentReader::text(dir / "text.pdf").has_value());
  EXPECT_EQ(PageReader::pagesRendered(), before);
  // A page with only a few letters (a caption under a picture) is read.
  test::makePdf(dir / "caption.pdf", {{{"Fig. 1"}}});
  DocumentReader::text(dir / "caption.pdf");
  EXPECT_EQ(PageReader::pagesRendered(), before + 1);
}

TEST_F(Ocr, APosterSizedPageIsReadAtALowerResolution) {
  // 10,000 x 10,000 points: at 300 dpi that would be 1.7 gigapixels.
  test::GrayImage tiny;
  tiny.width = tiny.height = 64;
  tiny.pixels.assign(64 * 64, 255);
  test::makePdfPages(dir / "poster.pdf", {{std::nullopt, tiny, 10000, 10000}});
  const auto t0 = std::chrono::steady_clock::now();
  DocumentReader::text(dir / "poster.pdf");
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(60));
}

TEST(OcrEndToEnd, AScannedPriceListAnswersWithItsCitation) {
  test::TempDir dir;
  const std::map<std::string, std::string> env{{"QUORVEL_HOME", (dir / "home").string()}, {"PATH", "/usr/bin:/bin"}};
  test::stopModelServers();
  test::prepareStandInHome(dir / "home");
  test::makePdfPages(dir / "scanned-prices.pdf", {{std::nullopt, scan(kPriceList)}});
  auto r = test::runCli({"import", std::string(QUORVEL_SOURCE_DIR) + "/resources/samples/palm-cove-villa",
                         (dir / "scanned-prices.pdf").string()},
                        env);
  ASSERT_EQ(r.out, "imported: 8\n");
  r = test::runCli({"index"}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("indexing scanned-prices.pdf"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");  // Tesseract says nothing of its own
  r = test::runCli({"ask", "How much is the airport transfer by car?"}, env);
  test::stopModelServers();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("IDR 350,000"), std::string::npos) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\\n  \\[\\d+\\] scanned-prices\\.pdf"))) << r.out;
}

TEST(OcrLimits, FiftyPagesAtMostAndTheLanguages) {
  EXPECT_EQ(PageReader::kMaxPages, 50);
  const std::string langs = PageReader::languages();
  EXPECT_EQ(langs.rfind("eng+rus", 0), 0u) << langs;
  EXPECT_TRUE(readers::needsOcr(""));
  EXPECT_TRUE(readers::needsOcr("Page 12 of 40 \u2014 \u00A9"));
  EXPECT_FALSE(readers::needsOcr("Breakfast is served on the terrace"));
}

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  // Fonts need a GUI application; no screen is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
