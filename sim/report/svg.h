// A small SVG writer for the simulator's reports: lines, boxes, polygons and
// text, with text laid out on a fixed-width metric (every character of a
// monospace face is 0.6 em wide, East Asian wide characters twice that), so
// that a label's width is known without a font at hand. Every text and
// attribute value is escaped on the way in.
#pragma once

#include <cstddef>
#include <string>

namespace mrtcsim {
namespace report {

// Text made safe inside XML and HTML, as element text or a quoted attribute:
// & < > " ' escaped, bytes that are not UTF-8 replaced by U+FFFD, control
// characters other than tab and newline left out.
std::string escape(const std::string& text);

// Width of a character of the monospace face, in em.
constexpr double kCharEm = 0.6;

// Columns the text takes: one per character, two for wide ones.
size_t columns(const std::string& text);
// Width in pixels at the given font size.
double textWidth(const std::string& text, double fontSize);
// The text cut to at most cols columns, ending in "…" when it was cut.
std::string fitColumns(const std::string& text, size_t cols);
// The text cut to fit maxWidth, ending in "…" when it was cut.
std::string fitText(const std::string& text, double maxWidth, double fontSize);

class Svg {
 public:
  Svg(double width, double height, const std::string& cls);

  // cls is the class attribute; extra is written as it is, so callers pass
  // only attributes they built with escape().
  void line(double x1, double y1, double x2, double y2, const std::string& cls,
            const std::string& extra = "");
  void rect(double x, double y, double w, double h, const std::string& cls,
            const std::string& tooltip = "");
  void circle(double cx, double cy, double r, const std::string& cls,
              const std::string& tooltip = "");
  void polygon(const std::string& points, const std::string& cls, const std::string& tooltip = "");
  // anchor: "start", "middle" or "end".
  void text(double x, double y, const std::string& text, const std::string& cls,
            const char* anchor = "start", const std::string& tooltip = "");
  void openGroup(const std::string& cls, const std::string& tooltip = "");
  void closeGroup();
  // A <style> element: CSS written by the caller, holding no & or <.
  void style(const std::string& css);

  std::string str() const;

 private:
  std::string head_;
  std::string body_;
};

// "12.500 s"
std::string seconds(long long ms);
// A number with its decimals, without trailing zeros ("12", "12.5").
std::string num(double v);

}  // namespace report
}  // namespace mrtcsim
