#include "fixture_builders.h"

#include <poppler-document.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>
#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>

#include <quorvel/lang.h>

#include "test_support.h"

namespace quorvel::test {

namespace {

// A whole PDF file of the given object bodies (object 1 the catalog).
std::string pdfOf(const std::vector<std::string>& objects) {
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t off : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

}  // namespace

void makePdfPages(const std::filesystem::path& file, const std::vector<PdfPage>& pages) {
  std::vector<std::string> objects;  // objects 1..N, bodies only
  const std::size_t n = pages.size();
  // 1: catalog, 2: pages, 3: font, then per page: the page, its content
  // stream and its picture (an empty object when it has none).
  objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  std::string kids;
  for (std::size_t i = 0; i < n; ++i) kids += std::to_string(4 + 3 * i) + " 0 R ";
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(n) + " >>");
  objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (std::size_t i = 0; i < n; ++i) {
    const PdfPage& page = pages[i];
    char box[64];
    std::snprintf(box, sizeof box, "[0 0 %.2f %.2f]", page.widthPt, page.heightPt);
    const std::string image = std::to_string(6 + 3 * i) + " 0 R";
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox " + std::string(box) +
                      " /Resources << /Font << /F1 3 0 R >> /XObject << /Im0 " + image + " >> >> /Contents " +
                      std::to_string(5 + 3 * i) + " 0 R >>");
    std::string content;
    if (page.image) {
      char cm[96];
      std::snprintf(cm, sizeof cm, "q %.2f 0 0 %.2f 0 0 cm /Im0 Do Q\n", page.widthPt, page.heightPt);
      content = cm;
    } else if (page.lines) {
      content = "BT /F1 12 Tf 72 " + std::to_string(static_cast<int>(page.heightPt) - 72) + " Td 14 TL\n";
      for (const auto& line : *page.lines) content += "(" + line + ") Tj T*\n";
      content += "ET\n";
    } else {
      content = "0 0 1 rg 100 100 200 200 re f\n";
    }
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream");
    if (page.image) {
      const GrayImage& im = *page.image;
      objects.push_back("<< /Type /XObject /Subtype /Image /Width " + std::to_string(im.width) + " /Height " +
                        std::to_string(im.height) + " /ColorSpace /DeviceGray /BitsPerComponent 8 /Length " +
                        std::to_string(im.pixels.size()) + " >>\nstream\n" +
                        std::string(im.pixels.begin(), im.pixels.end()) + "\nendstream");
    } else {
      objects.push_back("null");
    }
  }
  std::ofstream(file, std::ios::binary) << pdfOf(objects);
}

void makeEndlessPdf(const std::filesystem::path& file) {
  const std::string content = "/Pattern cs /P1 scn 0 0 612 792 re f";
  const std::string tile = "0 0 0.0005 0.0005 re f";
  const std::vector<std::string> objects{
      "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Pattern << /P1 5 0 R >> >> /Contents 4 0 R "
      ">>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
      "<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 0.001 0.001] /XStep 0.001 /YStep 0.001 /Resources << >> "
      "/Length " +
          std::to_string(tile.size()) + " >>\nstream\n" + tile + "\nendstream"};
  std::ofstream(file, std::ios::binary) << pdfOf(objects);
}

void makePdf(const std::filesystem::path& file, const std::vector<std::optional<std::vector<std::string>>>& pages) {
  std::vector<PdfPage> out;
  for (const auto& lines : pages) out.push_back(PdfPage{lines, std::nullopt, 612, 792});
  makePdfPages(file, out);
}

GrayImage renderTextPage(const std::vector<std::string>& lines, int dpi) {
  TempDir dir;
  makePdf(dir / "text.pdf", {lines});
  std::unique_ptr<poppler::document> doc(poppler::document::load_from_file((dir / "text.pdf").string()));
  std::unique_ptr<poppler::page> page(doc->create_page(0));
  poppler::page_renderer renderer;
  renderer.set_render_hints(poppler::page_renderer::antialiasing | poppler::page_renderer::text_antialiasing);
  renderer.set_image_format(poppler::image::format_gray8);
  const poppler::image image = renderer.render_page(page.get(), dpi, dpi);
  GrayImage out;
  out.width = image.width();
  out.height = image.height();
  for (int y = 0; y < out.height; ++y) {
    const char* row = image.const_data() + static_cast<std::ptrdiff_t>(y) * image.bytes_per_row();
    out.pixels.insert(out.pixels.end(), row, row + out.width);
  }
  return out;
}

void makeZip(const std::filesystem::path& file, const std::vector<std::pair<std::string, std::string>>& entries) {
  int err = 0;
  zip_t* z = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) throw std::runtime_error("zip_open failed");
  for (const auto& [name, content] : entries) {
    // libzip reads the buffer at close time, so it must outlive this loop: copy it.
    void* copy = std::malloc(content.size() + 1);
    std::memcpy(copy, content.data(), content.size());
    zip_source_t* src = zip_source_buffer(z, copy, content.size(), 1);
    if (!src || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE) < 0) throw std::runtime_error("zip add failed");
  }
  if (zip_close(z) != 0) throw std::runtime_error("zip_close failed");
}

void makeDocx(const std::filesystem::path& file, const std::string& bodyXml) {
  const std::string document =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
      "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"><w:body>" +
      bodyXml + "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:body></w:document>";
  makeZip(file,
          {{"[Content_Types].xml",
            "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
           {"word/document.xml", document}});
}

Answer historyAnswer(const std::string& question, bool notInDocs, const std::string& language, TimePoint date,
                     const std::string& templateId) {
  Answer a;
  a.question = question;
  a.text = notInDocs ? Lang::notInDocs(language) : "At 7 [1].";
  a.notInDocs = notInDocs;
  a.language = language;
  a.date = date;
  a.templateId = templateId;
  return a;
}

}  // namespace quorvel::test
