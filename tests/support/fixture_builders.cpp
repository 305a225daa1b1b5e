#include "fixture_builders.h"

#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace quorvel::test {

void makePdf(const std::filesystem::path& file, const std::vector<std::optional<std::vector<std::string>>>& pages) {
  std::vector<std::string> objects;  // objects 1..N, bodies only
  const std::size_t n = pages.size();
  // 1: catalog, 2: pages, 3: font, then per page: page object and its content stream.
  objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  std::string kids;
  for (std::size_t i = 0; i < n; ++i) kids += std::to_string(4 + 2 * i) + " 0 R ";
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(n) + " >>");
  objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (std::size_t i = 0; i < n; ++i) {
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
                      "/Contents " + std::to_string(5 + 2 * i) + " 0 R >>");
    std::string content;
    if (pages[i]) {
      content = "BT /F1 12 Tf 72 720 Td 14 TL\n";
      for (const auto& line : *pages[i]) content += "(" + line + ") Tj T*\n";
      content += "ET\n";
    } else {
      content = "0 0 1 rg 100 100 200 200 re f\n";
    }
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream");
  }
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
  std::ofstream(file, std::ios::binary) << pdf;
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
  makeZip(file, {{"[Content_Types].xml",
                  "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
                 {"word/document.xml", document}});
}

}  // namespace quorvel::test
