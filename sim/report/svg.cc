#include "report/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mrtcsim {
namespace report {

namespace {

// The code point of the UTF-8 sequence at s[i] and its length; length 0 when
// the bytes there are no valid sequence.
size_t decode(const std::string& s, size_t i, unsigned* cp) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  unsigned v = n == 1 ? c : n == 2 ? (c & 0x1Fu) : n == 3 ? (c & 0x0Fu) : (c & 0x07u);
  for (size_t k = 1; k < n; ++k) {
    const unsigned char b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    v = (v << 6) | (b & 0x3Fu);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kMin[n] || (v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF) return 0;
  *cp = v;
  return n;
}

bool wide(unsigned cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1FAFF) ||
         (cp >= 0x20000 && cp <= 0x3FFFD);
}

constexpr const char* kEllipsis = "\xE2\x80\xA6";  // …

}  // namespace

std::string escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned cp = 0;
    size_t n = decode(text, i, &cp);
    if (n == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++i;
      continue;
    }
    switch (cp) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        // XML allows no other C0 controls, and U+FFFE/U+FFFF are no characters.
        if ((cp < 0x20 && cp != '\t' && cp != '\n') || cp == 0xFFFE || cp == 0xFFFF) break;
        out.append(text, i, n);
    }
    i += n;
  }
  return out;
}

size_t columns(const std::string& text) {
  size_t cols = 0;
  for (size_t i = 0; i < text.size();) {
    unsigned cp = 0;
    size_t n = decode(text, i, &cp);
    cols += n != 0 && wide(cp) ? 2 : 1;
    i += n == 0 ? 1 : n;
  }
  return cols;
}

double textWidth(const std::string& text, double fontSize) {
  return static_cast<double>(columns(text)) * kCharEm * fontSize;
}

std::string fitColumns(const std::string& text, size_t room) {
  if (columns(text) <= room) return text;
  if (room == 0) return "";
  size_t cols = 0;
  std::string out;
  for (size_t i = 0; i < text.size();) {
    unsigned cp = 0;
    size_t n = decode(text, i, &cp);
    size_t w = n != 0 && wide(cp) ? 2 : 1;
    if (cols + w > room - 1) break;  // one column kept for the ellipsis
    out.append(text, i, n == 0 ? 1 : n);
    cols += w;
    i += n == 0 ? 1 : n;
  }
  return out + kEllipsis;
}

std::string fitText(const std::string& text, double maxWidth, double fontSize) {
  const double perColumn = kCharEm * fontSize;
  return fitColumns(text, static_cast<size_t>(std::max(0.0, std::floor(maxWidth / perColumn))));
}

std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%.1f", v);
  std::string s = buf;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

std::string seconds(long long ms) {
  char buf[40];
  std::snprintf(buf, sizeof(buf), "%lld.%03lld s", ms / 1000, ms % 1000);
  return buf;
}

Svg::Svg(double width, double height, const std::string& cls) {
  head_ = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"" + escape(cls) + "\" width=\"" +
          num(width) + "\" height=\"" + num(height) + "\" viewBox=\"0 0 " + num(width) + " " +
          num(height) + "\">\n";
}

namespace {

std::string classAttr(const std::string& cls) {
  return cls.empty() ? "" : " class=\"" + escape(cls) + "\"";
}

// "<tag ...attrs" closed either as "/>" or with a <title> child.
std::string closeShape(const std::string& tag, const std::string& tooltip) {
  if (tooltip.empty()) return "/>\n";
  return "><title>" + escape(tooltip) + "</title></" + tag + ">\n";
}

}  // namespace

void Svg::line(double x1, double y1, double x2, double y2, const std::string& cls,
               const std::string& extra) {
  body_ += "<line" + classAttr(cls) + " x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" +
           num(x2) + "\" y2=\"" + num(y2) + "\"" + (extra.empty() ? "" : " " + extra) + "/>\n";
}

void Svg::rect(double x, double y, double w, double h, const std::string& cls,
               const std::string& tooltip) {
  body_ += "<rect" + classAttr(cls) + " x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" +
           num(w) + "\" height=\"" + num(h) + "\"" + closeShape("rect", tooltip);
}

void Svg::circle(double cx, double cy, double r, const std::string& cls,
                 const std::string& tooltip) {
  body_ += "<circle" + classAttr(cls) + " cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" +
           num(r) + "\"" + closeShape("circle", tooltip);
}

void Svg::polygon(const std::string& points, const std::string& cls, const std::string& tooltip) {
  body_ += "<polygon" + classAttr(cls) + " points=\"" + escape(points) + "\"" +
           closeShape("polygon", tooltip);
}

void Svg::text(double x, double y, const std::string& text, const std::string& cls,
               const char* anchor, const std::string& tooltip) {
  body_ += "<text" + classAttr(cls) + " x=\"" + num(x) + "\" y=\"" + num(y) + "\" text-anchor=\"" +
           anchor + "\">";
  if (!tooltip.empty()) body_ += "<title>" + escape(tooltip) + "</title>";
  body_ += escape(text) + "</text>\n";
}

void Svg::openGroup(const std::string& cls, const std::string& tooltip) {
  body_ += "<g class=\"" + escape(cls) + "\">";
  if (!tooltip.empty()) body_ += "<title>" + escape(tooltip) + "</title>";
  body_ += "\n";
}

void Svg::closeGroup() { body_ += "</g>\n"; }

void Svg::style(const std::string& css) { body_ += "<style>" + css + "</style>\n"; }

std::string Svg::str() const { return head_ + body_ + "</svg>\n"; }

}  // namespace report
}  // namespace mrtcsim
