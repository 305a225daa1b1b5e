#include "documents/pdf_layout.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "platform/text.h"

namespace quorvel::readers {

namespace {

struct Segment {
  std::string text;
  double x0 = 0, x1 = 0;
  double size = 0;  // the largest type in it
};

// One printed line of a page: its words left to right, in segments where a
// wide gap (a table's cells, two columns) parts them.
struct Line {
  std::vector<Segment> segments;
  double y = 0, height = 0, size = 0;
  bool columnStart = false;  // the first line of a column: never joined to the line before

  double x0() const { return segments.front().x0; }
  std::string text() const {
    std::string out;
    for (const Segment& s : segments) out += (out.empty() ? "" : "\t") + s.text;
    return out;
  }
};

struct Paragraph {
  std::string text;
  int level = 0;  // heading level, 0 for body text
  bool table = false;
};

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

double sizeOf(const PdfWord& w) { return w.fontSize > 0 ? w.fontSize : w.height * 0.8; }

// The page's words as lines, top to bottom. Words outside the page (text
// cut off at the edge) are left out.
std::vector<Line> linesOf(const PdfPage& page) {
  std::vector<const PdfWord*> words;
  for (const PdfWord& w : page.words) {
    if (w.text.empty() || w.x + w.width / 2 < 0 || (page.width > 0 && w.x > page.width)) continue;
    words.push_back(&w);
  }
  std::stable_sort(words.begin(), words.end(),
                   [](const PdfWord* a, const PdfWord* b) { return a->y + a->height / 2 < b->y + b->height / 2; });
  // A word is on the line when half of it (the smaller of the two) lies
  // within the line's height: a raised note mark is, the next line is not.
  std::vector<std::vector<const PdfWord*>> rows;
  double top = 0, bottom = 0;
  for (const PdfWord* w : words) {
    const double overlap = std::min(bottom, w->y + w->height) - std::max(top, w->y);
    if (rows.empty() || overlap < 0.5 * std::min(bottom - top, w->height)) {
      rows.emplace_back();
      top = w->y;
      bottom = w->y + w->height;
    }
    rows.back().push_back(w);
  }
  std::vector<Line> out;
  for (auto& row : rows) {
    std::stable_sort(row.begin(), row.end(), [](const PdfWord* a, const PdfWord* b) { return a->x < b->x; });
    // A footnote's mark set small and raised ("22:00¹") is no part of the text.
    std::vector<double> sizes;
    for (const PdfWord* w : row) sizes.push_back(sizeOf(*w));
    const double usual = median(sizes);
    double bottom = 0;
    for (const PdfWord* w : row) bottom = std::max(bottom, w->y + w->height);
    std::erase_if(row, [&](const PdfWord* w) {
      const bool mark = std::all_of(w->text.begin(), w->text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '*'; });
      return mark && row.size() > 1 && sizeOf(*w) < 0.8 * usual && w->y + w->height < bottom - 0.15 * w->height;
    });
    if (row.empty()) continue;
    Line line;
    line.y = row.front()->y;
    for (const PdfWord* w : row) {
      line.height = std::max(line.height, w->height);
      line.size = std::max(line.size, sizeOf(*w));
    }
    const PdfWord* prev = nullptr;
    for (const PdfWord* w : row) {
      const double gap = prev ? w->x - (prev->x + prev->width) : 0;
      if (!prev || gap > std::max(1.5 * line.size, 9.0)) {
        line.segments.push_back({w->text, w->x, w->x + w->width, sizeOf(*w)});
      } else {
        Segment& s = line.segments.back();
        if (prev->spaceAfter || gap > 0.15 * line.size) s.text += ' ';
        s.text += w->text;
        s.x1 = std::max(s.x1, w->x + w->width);
        s.size = std::max(s.size, sizeOf(*w));
      }
      prev = w;
    }
    out.push_back(std::move(line));
  }
  return out;
}

// A line's text with digits as "#" and spaces collapsed: the same running
// header or footer on every page, whatever its page number.
std::string shapeOf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(c >= '0' && c <= '9' ? '#' : c);
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Whether a line numbers the page ("Page 3 of 6", "– 3 –", "3/6", "Seite 3").
bool isPageNumbering(const std::string& text) {
  const std::string shape = asciiLower(shapeOf(text));
  if (shape.find('#') == std::string::npos) return false;
  for (std::string_view word : {"page #", "seite #", "pagina #", "página #", "pag. #", "p. #",
                                "\xD1\x81\xD1\x82\xD1\x80\xD0\xB0\xD0\xBD\xD0\xB8\xD1\x86\xD0\xB0 #",  // страница
                                "\xD1\x81\xD1\x82\xD1\x80. #"})                                          // стр.
    if (shape.find(word) != std::string::npos) return true;
  // Nothing but the number and its dashes, slashes or brackets.
  return std::all_of(shape.begin(), shape.end(), [](char c) { return std::string_view("# -/|()[].").find(c) != std::string_view::npos; }) ||
         shape.starts_with("\xE2\x80\x93 #") || shape.starts_with("\xE2\x80\x94 #");
}

// The lines in the page's top and bottom margins (two at most each), where
// running headers and footers stand.
std::vector<std::size_t> edgeLines(const std::vector<Line>& lines, double pageHeight) {
  std::vector<std::size_t> out;
  const std::size_t n = lines.size();
  const double margin = pageHeight > 0 ? 0.09 * pageHeight : 1e9;
  for (std::size_t i = 0; i < n; ++i)
    if ((i < 2 && lines[i].y < margin) || (i + 2 >= n && lines[i].y + lines[i].height > pageHeight - margin))
      out.push_back(i);
  return out;
}

// The shapes of the lines repeated at the top or bottom of most pages.
std::set<std::string> runningShapes(const std::vector<std::vector<Line>>& pages, const std::vector<PdfPage>& sizes) {
  std::map<std::string, int> count;
  std::size_t withText = 0;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const auto& lines = pages[p];
    if (lines.empty()) continue;
    ++withText;
    std::set<std::string> seen;
    for (std::size_t i : edgeLines(lines, sizes[p].height)) seen.insert(shapeOf(lines[i].text()));
    for (const std::string& s : seen) ++count[s];
  }
  std::set<std::string> out;
  if (withText < 2) return out;
  const int most = static_cast<int>(std::max<std::size_t>(2, (withText + 1) / 2));
  for (const auto& [shape, n] : count)
    if (n >= most && !shape.empty()) out.insert(shape);
  return out;
}

// The type size most of the document's letters are set in.
double bodySize(const std::vector<std::vector<Line>>& pages) {
  std::map<long, std::size_t> chars;
  for (const auto& lines : pages)
    for (const Line& l : lines) chars[std::lround(l.size * 2)] += l.text().size();
  long best = 0;
  std::size_t most = 0;
  for (const auto& [size, n] : chars)
    if (n > most) most = n, best = size;
  return best / 2.0;
}

bool startsWithNoteMark(const std::string& text) {
  return !text.empty() && ((text[0] >= '0' && text[0] <= '9') || text[0] == '*' || text.starts_with("\xE2\x80\xA0"));
}

// Footnotes at the bottom of a page: smaller type, the first opening with its
// mark. Taken off the lines and returned without their marks.
std::vector<Paragraph> takeFootnotes(std::vector<Line>& lines, double body) {
  std::size_t start = lines.size();
  while (start > 0 && lines[start - 1].size < body - 0.4 && lines[start - 1].segments.size() == 1) --start;
  if (start == lines.size() || start == 0 || !startsWithNoteMark(lines[start].text())) return {};
  std::vector<Paragraph> notes;
  for (std::size_t i = start; i < lines.size(); ++i) {
    std::string text = lines[i].text();
    if (startsWithNoteMark(text)) {
      std::size_t mark = text.find_first_not_of("0123456789*");
      if (text.starts_with("\xE2\x80\xA0")) mark = 3;
      notes.push_back({std::string(trimUtf8(std::string_view(text).substr(std::min(mark, text.size())), isSpaceOrTab)), 0, false});
    } else if (!notes.empty()) {
      notes.back().text += " " + text;
    }
  }
  lines.resize(start);
  return notes;
}

// Two-column pages in reading order: where most lines are two long parts
// apart by the same gutter, the lines are read left column first, then
// right, band by band between lines that cross the gutter.
std::vector<Line> inReadingOrder(std::vector<Line> lines, double pageWidth) {
  std::vector<double> gutters;
  for (const Line& l : lines) {
    if (l.segments.size() != 2) continue;
    const Segment &a = l.segments[0], &b = l.segments[1];
    if (a.x1 - a.x0 >= 0.12 * pageWidth && b.x1 - b.x0 >= 0.12 * pageWidth) gutters.push_back((a.x1 + b.x0) / 2);
  }
  if (pageWidth <= 0 || gutters.size() < 3 || gutters.size() * 10 < lines.size() * 3) return lines;
  const double gutter = median(gutters);
  const auto near = std::count_if(gutters.begin(), gutters.end(), [&](double g) { return std::abs(g - gutter) < 20; });
  if (static_cast<std::size_t>(near) * 10 < gutters.size() * 7) return lines;
  // Columns of text fill their width on most lines; a table of two columns
  // (names and prices) does not, and is read row by row.
  double leftEdge = gutter, rightEdge = gutter;
  std::vector<double> leftWidths, rightWidths;
  for (const Line& l : lines) {
    if (l.segments.size() != 2) continue;
    leftEdge = std::min(leftEdge, l.segments[0].x0);
    rightEdge = std::max(rightEdge, l.segments[1].x1);
    leftWidths.push_back(l.segments[0].x1 - l.segments[0].x0);
    rightWidths.push_back(l.segments[1].x1 - l.segments[1].x0);
  }
  if (median(leftWidths) < 0.6 * (gutter - leftEdge) || median(rightWidths) < 0.6 * (rightEdge - gutter)) return lines;

  std::vector<Line> out, left, right;
  auto flushBand = [&] {
    for (auto* column : {&left, &right}) {
      if (!column->empty()) column->front().columnStart = true;
      for (Line& l : *column) out.push_back(std::move(l));
      column->clear();
    }
  };
  for (Line& l : lines) {
    const bool crosses = std::any_of(l.segments.begin(), l.segments.end(),
                                     [&](const Segment& s) { return s.x0 < gutter && s.x1 > gutter; });
    if (crosses) {
      flushBand();
      l.columnStart = true;
      out.push_back(std::move(l));
      continue;
    }
    Line a = l, b = l;
    std::erase_if(a.segments, [&](const Segment& s) { return s.x0 >= gutter; });
    std::erase_if(b.segments, [&](const Segment& s) { return s.x1 <= gutter; });
    // Each column's part of the line has its own type size: a heading in
    // one column says nothing of the text beside it.
    for (auto [part, column] : {std::pair{&a, &left}, std::pair{&b, &right}}) {
      if (part->segments.empty()) continue;
      part->size = 0;
      for (const Segment& s : part->segments) part->size = std::max(part->size, s.size);
      column->push_back(std::move(*part));
    }
  }
  flushBand();
  return out;
}

// A wide table cut at the page's edge continues on the next page without
// its first column: its rows there get the label of the row at the same
// height on the page before.
void labelSpilledRows(const std::vector<Line>& before, std::vector<Line>& lines) {
  std::vector<const Line*> rows;
  double labelX = 1e9;
  for (const Line& l : before)
    if (l.segments.size() > 2) {
      rows.push_back(&l);
      labelX = std::min(labelX, l.x0());
    }
  std::vector<std::pair<Line*, const Line*>> matches;
  for (Line& l : lines) {
    if (l.segments.size() < 2) continue;
    for (const Line* r : rows)
      if (std::abs(r->y - l.y) < 2 && std::abs(r->x0() - labelX) < 5) matches.emplace_back(&l, r);
  }
  if (matches.size() < 3) return;
  for (auto [line, row] : matches)
    if (line->segments.front().text != row->segments.front().text)
      line->segments.insert(line->segments.begin(), row->segments.front());
}

bool opensListItem(const std::string& text) {
  for (std::string_view mark : {"\xE2\x80\xA2", "\xE2\x80\x93 ", "- ", "\xE2\x97\xA6", "\xE2\x96\xAA", "* "})
    if (text.starts_with(mark)) return true;
  std::size_t digits = 0;
  while (digits < text.size() && digits < 3 && text[digits] >= '0' && text[digits] <= '9') ++digits;
  return digits > 0 && digits + 1 < text.size() && (text[digits] == '.' || text[digits] == ')') && text[digits + 1] == ' ';
}

bool endsSentence(const std::string& text) {
  if (text.empty()) return true;
  for (std::string_view end : {".", "!", "?", ":", ";", "\"", ")", "\xE2\x80\x9D", "\xC2\xBB", "\xE2\x80\xA6", "\xE3\x80\x82"})
    if (text.ends_with(end)) return true;
  return false;
}

bool startsLowerCase(const std::string& text) {
  if (text.empty()) return false;
  UChar32 c;
  std::size_t i = 0;
  U8_NEXT(text.data(), i, text.size(), c);
  return c > 0 && u_islower(c);
}

// The lines of one page (in reading order) as paragraphs: a wider gap than
// between the lines of a paragraph, a change of type size, a new column or
// a list item start one; wrapped lines are joined with a space; table rows
// stay rows.
std::vector<Paragraph> paragraphsOf(const std::vector<Line>& lines, double body) {
  std::vector<double> pitches;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const double d = lines[i].y - lines[i - 1].y;
    if (!lines[i].columnStart && d > 0 && d < 3 * lines[i].height && std::abs(lines[i].size - lines[i - 1].size) < 0.5)
      pitches.push_back(d);
  }
  // The usual distance of a paragraph's lines: the lower quartile, as the
  // gaps between paragraphs are wider; too few lines tell nothing.
  double pitch = 0;
  if (pitches.size() >= 3) {
    std::sort(pitches.begin(), pitches.end());
    pitch = pitches[(pitches.size() - 1) / 4];
  }
  // The right edge of each column's text: a line ends a paragraph when the
  // next line's first word would have fitted after it (a line of a record,
  // the last line of a paragraph); a wrapped line is full.
  std::vector<double> rightEdge(lines.size(), 0);
  for (std::size_t start = 0; start < lines.size();) {
    std::size_t end = start + 1;
    while (end < lines.size() && !lines[end].columnStart) ++end;
    double edge = 0;
    for (std::size_t i = start; i < end; ++i)
      if (lines[i].segments.size() == 1) edge = std::max(edge, lines[i].segments.front().x1);
    for (std::size_t i = start; i < end; ++i) rightEdge[i] = edge;
    start = end;
  }
  auto firstWordWidth = [](const Line& l) {
    const Segment& s = l.segments.front();
    const std::size_t chars = std::max<std::size_t>(graphemeCount(s.text), 1);
    const std::size_t word = graphemeCount(std::string_view(s.text).substr(0, s.text.find(' ')));
    return (s.x1 - s.x0) / static_cast<double>(chars) * static_cast<double>(word);
  };

  std::vector<Paragraph> out;
  const Line* prev = nullptr;
  std::size_t index = 0;
  double listMarkX = -1;  // where the list item being built has its mark; -1: no list item
  const Line* lastRow = nullptr;  // the table row being built
  for (const Line& l : lines) {
    const std::string text = l.text();
    const bool row = l.segments.size() > 1;
    const double d = prev ? l.y - prev->y : 0;
    const double expected = pitch > 0 ? pitch : 1.25 * l.height;
    // A paragraph that runs on at the top of the next column goes on.
    const bool runsOn = prev && l.columnStart && !row && !out.empty() && !out.back().table && out.back().level == 0 &&
                        !endsSentence(out.back().text) && startsLowerCase(text);
    const bool close = runsOn || (prev && !l.columnStart && d > 0 && d <= 1.4 * expected);
    // A cell's text wrapped onto a line of its own continues that cell.
    if (close && !row && out.back().table && lastRow) {
      const auto cell = std::find_if(lastRow->segments.begin(), lastRow->segments.end(),
                                     [&](const Segment& s) { return std::abs(s.x0 - l.x0()) < 2; });
      if (cell != lastRow->segments.end()) {
        std::string& rows = out.back().text;
        std::size_t at = rows.rfind('\n');
        at = at == std::string::npos ? 0 : at + 1;
        for (auto i = lastRow->segments.begin(); i != cell; ++i) at = rows.find('\t', at) + 1;
        rows.insert(std::min(rows.find('\t', at), rows.size()), " " + text);
        prev = &l;
        ++index;
        continue;
      }
    }
    const bool endedShort = prev && !row && prev->segments.size() == 1 &&
                            rightEdge[index - 1] - prev->segments.back().x1 > firstWordWidth(l) + 0.5 * l.size;
    bool fresh = !close || out.empty() || (!runsOn && std::abs(l.size - prev->size) > 0.8) || opensListItem(text) ||
                 row != out.back().table || (!runsOn && endedShort);
    // A list item's own lines are indented past its mark; a line back at the
    // mark is the text after the list.
    if (!fresh && !row && listMarkX >= 0 && l.x0() <= listMarkX + 1) fresh = true;
    if (fresh) {
      out.push_back({text, 0, row});
      listMarkX = !row && opensListItem(text) ? l.x0() : -1;
    } else if (row) {
      out.back().text += "\n" + text;
    } else {
      std::string& p = out.back().text;
      // A word broken at the line's end ("twenty-" / "two") keeps its hyphen, no space.
      if (p.size() >= 2 && p.back() == '-' && p[p.size() - 2] != ' ' && startsLowerCase(text))
        p += text;
      else
        p += " " + text;
    }
    if (fresh && !row && l.size >= body * 1.15 && body > 0) out.back().level = l.size >= body * 1.5 ? 1 : 2;
    prev = &l;
    lastRow = row ? &l : nullptr;
    ++index;
  }
  // A heading is short: a long paragraph in large type is body text.
  for (Paragraph& p : out)
    if (p.level > 0 && graphemeCount(p.text) > 150) p.level = 0;
  return out;
}

}  // namespace

std::string layoutPdf(const std::vector<PdfPage>& pages) {
  std::vector<std::vector<Line>> lines;
  for (const PdfPage& page : pages) lines.push_back(linesOf(page));
  const std::set<std::string> running = runningShapes(lines, pages);
  const double body = bodySize(lines);

  // Running headers and footers are set aside, once; page numbers go.
  std::vector<std::string> keptOnce;
  std::set<std::string> keptShapes;
  for (std::size_t p = 0; p < lines.size(); ++p) {
    auto& page = lines[p];
    std::vector<std::size_t> drop;
    for (std::size_t i : edgeLines(page, pages[p].height)) {
      const std::string text = page[i].text();
      const std::string shape = shapeOf(text);
      const bool bottom = i + 1 == page.size();
      if (running.count(shape) == 0 && !(bottom && isPageNumbering(text))) continue;
      drop.push_back(i);
      if (!isPageNumbering(text) && keptShapes.insert(shape).second) keptOnce.push_back(text);
    }
    for (auto it = drop.rbegin(); it != drop.rend(); ++it) page.erase(page.begin() + static_cast<std::ptrdiff_t>(*it));
  }

  std::vector<Paragraph> out;
  std::vector<Paragraph> notes;  // footnotes waiting for the paragraph they interrupt to end
  for (std::size_t p = 0; p < pages.size(); ++p) {
    std::vector<Paragraph> here;
    std::vector<Paragraph> pageNotes;
    if (pages[p].scanned) {
      for (std::size_t pos = 0; pos <= pages[p].scanned->size();) {
        std::size_t end = std::min(pages[p].scanned->find("\n\n", pos), pages[p].scanned->size());
        const std::string_view t = trimUtf8(std::string_view(*pages[p].scanned).substr(pos, end - pos), isSpaceOrNewline);
        if (!t.empty()) here.push_back({std::string(t), 0, false});
        pos = end + 2;
      }
    } else {
      pageNotes = takeFootnotes(lines[p], body);
      if (p > 0) labelSpilledRows(lines[p - 1], lines[p]);
      here = paragraphsOf(inReadingOrder(lines[p], pages[p].width), body);
    }
    // A paragraph broken by the page break goes on: its footnotes follow it.
    std::size_t from = 0;
    if (!out.empty() && !here.empty()) {
      Paragraph &last = out.back(), &first = here.front();
      if (last.level == 0 && first.level == 0 && !last.table && !first.table && !endsSentence(last.text) &&
          startsLowerCase(first.text)) {
        last.text += " " + first.text;
        from = 1;
      }
    }
    if (from == 0 || here.size() > 1 || p + 1 == pages.size()) {
      for (Paragraph& n : notes) out.push_back(std::move(n));
      notes.clear();
    }
    for (std::size_t i = from; i < here.size(); ++i) out.push_back(std::move(here[i]));
    for (Paragraph& n : pageNotes) notes.push_back(std::move(n));
  }
  for (Paragraph& n : notes) out.push_back(std::move(n));
  for (std::string& t : keptOnce) out.push_back({std::move(t), 0, false});

  std::string text;
  for (const Paragraph& p : out) {
    if (p.text.empty()) continue;
    if (!text.empty()) text += "\n\n";
    if (p.level > 0) text += std::string(static_cast<std::size_t>(p.level), '#') + " ";
    text += p.text;
  }
  return text;
}

}  // namespace quorvel::readers
