// Pages for the whole-page benchmark and the memory probe, generated deterministically (the
// same bytes on every machine and every run), and the sample documentation pages read from disk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pagebench {

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

struct TSamplePage {
  std::string Name;
  std::string Html;
};

// Every HTML page of the sample set, by name so that the order is the same everywhere.
inline std::vector<TSamplePage> SamplePages(const std::filesystem::path& dir) {
  std::vector<TSamplePage> pages;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (e.path().extension() == ".html") pages.push_back({e.path().filename().string(), ReadFile(e.path())});
  std::sort(pages.begin(), pages.end(), [](const TSamplePage& a, const TSamplePage& b) { return a.Name < b.Name; });
  return pages;
}

// A small linear congruential generator: fixed sequence, no dependence on the library's engines.
class TRandom {
 public:
  explicit TRandom(std::uint32_t seed) : FSeed(seed) {}
  std::uint32_t operator()(std::uint32_t n) {
    FSeed = FSeed * 1103515245u + 12345u;
    return (FSeed >> 8) % n;
  }

 private:
  std::uint32_t FSeed;
};

class TPageWriter {
 public:
  explicit TPageWriter(std::uint32_t seed) : R(seed) {}

  std::string Out;
  TRandom R;

  const char* Word() {
    static const char* const words[] = {
        "buffer", "stream", "the",     "of",     "returns", "handle", "event",   "queue",  "a",      "value",
        "is",     "to",     "function", "pointer", "size",  "when",   "error",   "caller", "must",   "release",
        "data",   "and",    "with",    "flags",  "timer",   "region", "allocator", "may", "be",     "called",
        "before", "after",  "each",    "thread", "memory",  "block",  "length",  "in",     "bytes",  "for",
        "that",   "not",    "an",      "object", "its",     "owner",  "reads",   "writes", "point",  "rectangle"};
    return words[R(sizeof words / sizeof words[0])];
  }
  std::string Ident() {
    static const char* const parts[] = {"Buffer", "Stream", "Event", "Queue", "Timer", "Rect", "Point", "Error"};
    static const char* const verbs[] = {"Open", "Close", "Read", "Write", "Post", "Get", "Set", "Free", "Init"};
    return std::string("kv") + verbs[R(9)] + parts[R(8)];
  }

  // A sentence with inline markup, links, entities and code names.
  void Sentence(int words) {
    for (int i = 0; i < words; ++i) {
      if (i) Out += ' ';
      switch (R(24)) {
        case 0: Out += "<b>"; Out += Word(); Out += "</b>"; break;
        case 1: Out += "<i>"; Out += Word(); Out += "</i>"; break;
        case 2: Out += "<a href=\"Page" + std::to_string(R(500)) + ".html#" + Ident() + "\">" + Ident() + "</a>"; break;
        case 3: Out += "<code>" + Ident() + "()</code>"; break;
        case 4: Out += "<em>"; Out += Word(); Out += ' '; Out += Word(); Out += "</em>"; break;
        case 5: Out += "&lt;"; Out += Word(); Out += "&gt;"; break;
        case 6: Out += "<tt>NULL</tt>"; break;
        case 7: Out += "<span class=note>"; Out += Word(); Out += "</span>"; break;
        default: Out += Word();
      }
    }
    Out += ". ";
  }
  void Paragraph() {
    Out += "<p>";
    for (int s = 2 + int(R(5)); s > 0; --s) Sentence(6 + int(R(16)));
    Out += "</p>\n";
  }
  void List() {
    const bool ordered = R(2) == 0;
    Out += ordered ? "<ol>\n" : "<ul>\n";
    for (int i = 3 + int(R(6)); i > 0; --i) {
      Out += "<li>";
      Sentence(4 + int(R(12)));
      if (R(6) == 0) {  // a nested list now and then
        Out += "<ul><li>";
        Sentence(5);
        Out += "</li><li>";
        Sentence(7);
        Out += "</li></ul>";
      }
      Out += "</li>\n";
    }
    Out += ordered ? "</ol>\n" : "</ul>\n";
  }
  void Code() {
    Out += "<pre>\n";
    for (int i = 3 + int(R(8)); i > 0; --i) {
      Out += "    kvResult r = " + Ident() + "(handle, &amp;info, " + std::to_string(R(4096)) + ");\n";
      if (R(3) == 0) Out += "\tif (r != KV_OK) return r;\n";
    }
    Out += "</pre>\n";
  }
  void Heading(int level, int number) {
    const std::string l = std::to_string(level);
    Out += "<h" + l + "><a name=\"s" + std::to_string(number) + "\">" + std::to_string(number) + "</a> ";
    Sentence(2 + int(R(4)));
    Out += "</h" + l + ">\n";
  }

  // A documentation member table: icon, linked name, description, sometimes a nested table of
  // parameters, a column span heading and a row span.
  void MemberTable(bool nested) {
    Out += "<table border=1 cellpadding=" + std::to_string(2 + R(4)) + " cellspacing=" + std::to_string(R(3)) +
           " width=\"100%\" class=members>\n<tr><th colspan=3>";
    Sentence(3);
    Out += "</th></tr>\n";
    const int rows = 6 + int(R(12));
    bool spanOpen = false;
    for (int i = 0; i < rows; ++i) {
      Out += "<tr>";
      if (spanOpen) {
        spanOpen = false;  // the cell above spans into this row
      } else if (i + 1 < rows && R(5) == 0) {
        Out += "<td rowspan=2 width=20 valign=top><img src=\"icon_func.gif\" width=16 height=16 alt=\"function\"></td>";
        spanOpen = true;
      } else {
        Out += "<td width=20><img src=\"icon_struct.gif\" width=16 height=16 alt=\"type\"></td>";
      }
      const std::string id = Ident();
      Out += "<td nowrap><a href=\"#" + id + "\">" + id + "</a></td><td>";
      Sentence(5 + int(R(20)));
      if (nested && R(4) == 0) {
        Out += "<table border=1 cellpadding=2 cellspacing=0><tr><th>Parameter</th><th align=left>Meaning</th></tr>";
        for (int p = 2 + int(R(4)); p > 0; --p) {
          Out += "<tr><td><tt>" + std::string(Word()) + "</tt></td><td>";
          Sentence(4 + int(R(10)));
          if (R(5) == 0) {  // a third level
            Out += "<table border=0 cellpadding=1><tr><td bgcolor=\"#eeeeee\">";
            Sentence(4);
            Out += "</td><td>";
            Sentence(3);
            Out += "</td></tr></table>";
          }
          Out += "</td></tr>";
        }
        Out += "</table>";
      }
      Out += "</td></tr>\n";
    }
    Out += "</table>\n";
  }

  void Begin(const char* title) {
    Out += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html><head><title>";
    Out += title;
    Out += "</title>\n<style type=\"text/css\">\n"
           "body { font-family: \"Times New Roman\", serif; }\n"
           "h1, h2, h3 { font-family: Arial, sans-serif; color: #203060; }\n"
           "pre, code, tt { font-family: \"Courier New\", monospace; }\n"
           "table.members th { background: #d0d8e8; }\n"
           ".note { color: #806000; }\n"
           "</style></head>\n<body>\n";
  }
  void End() { Out += "</body></html>\n"; }
};

// Paragraphs, headings, links, inline markup, lists and a little preformatted text.
inline std::string TextHeavyPage(std::size_t target) {
  TPageWriter w(20240601u);
  w.Out.reserve(target + (64u << 10));
  w.Begin("Generated text page");
  for (int section = 1; w.Out.size() < target; ++section) {
    w.Heading(2, section);
    for (int k = 3 + int(w.R(4)); k > 0; --k) {
      switch (w.R(8)) {
        case 0: w.List(); break;
        case 1: w.Heading(3, section * 100 + k); break;
        case 2:
          w.Out += "<blockquote>";
          w.Paragraph();
          w.Out += "</blockquote>\n";
          break;
        case 3:
          if (w.R(3) == 0) w.Code();
          else w.Paragraph();
          break;
        default: w.Paragraph();
      }
    }
  }
  w.End();
  return w.Out;
}

// Tables, most with a nested table of parameters in some cells (three levels deep at times),
// column and row spans and cell padding, with a short heading between them.
inline std::string TableHeavyPage(std::size_t target) {
  TPageWriter w(77031u);
  w.Out.reserve(target + (64u << 10));
  w.Begin("Generated table page");
  for (int n = 1; w.Out.size() < target; ++n) {
    w.Heading(3, n);
    w.MemberTable(true);
  }
  w.End();
  return w.Out;
}

// What a large reference page looks like: sections of prose, member tables, code and lists.
inline std::string DocumentationPage(std::size_t target) {
  TPageWriter w(4099u);
  w.Out.reserve(target + (64u << 10));
  w.Begin("Generated reference page");
  for (int section = 1; w.Out.size() < target; ++section) {
    w.Heading(2, section);
    w.Paragraph();
    w.MemberTable(w.R(2) == 0);
    for (int k = 1 + int(w.R(3)); k > 0; --k) {
      w.Heading(3, section * 100 + k);
      w.Paragraph();
      switch (w.R(4)) {
        case 0: w.Code(); break;
        case 1: w.List(); break;
        default: w.Paragraph();
      }
    }
  }
  w.End();
  return w.Out;
}

// The sample pages' bodies one after another, repeated up to `target` bytes, in one document
// with their style sheet inline: real documentation text at the size of a large page.
inline std::string SamplesPage(const std::vector<TSamplePage>& pages, const std::string& css, std::size_t target) {
  std::vector<std::string> bodies;
  for (const TSamplePage& p : pages) {
    std::string lower = p.Html;
    for (char& c : lower)
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    std::size_t a = lower.find("<body");
    a = a == std::string::npos ? std::string::npos : lower.find('>', a);
    const std::size_t b = lower.rfind("</body");
    if (a != std::string::npos && b != std::string::npos && b > a) bodies.push_back(p.Html.substr(a + 1, b - a - 1));
  }
  std::string out = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html><head><title>Samples"
                    "</title>\n<style type=\"text/css\">\n" + css + "</style></head>\n<body>\n";
  if (bodies.empty()) return out + "</body></html>\n";
  out.reserve(target + (64u << 10));
  while (out.size() < target)
    for (const std::string& b : bodies) out += b;
  return out + "</body></html>\n";
}

}  // namespace pagebench
