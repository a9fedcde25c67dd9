// Texts written by concatenation stay JSON whatever a value holds: the escaper
// follows the signalling writer, and whole calls with hostile names, rooms,
// tokens, addresses and card labels give every value back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "base/json.h"
#include "base/json_escape.h"
#include "signalling/roundtrip_call.h"

namespace imsdkmrtc {
namespace {

using ::testing::IsEmpty;

// What the signalling writer makes of value, without its quotes.
std::string writerEscape(const std::string& value) {
  json::StringBuffer buf;
  json::Writer<json::StringBuffer> w(buf);
  w.String(value.data(), static_cast<json::SizeType>(value.size()));
  return std::string(buf.GetString() + 1, buf.GetSize() - 2);
}

// Each byte alone between plain ones, and at either side of the sixteen
// bytes the escaper judges at once, with plain bytes or a second escape
// behind it.
TEST(Escaping, EveryByteIsEscapedAsTheSignallingWriterDoes) {
  for (int c = 0; c < 256; ++c) {
    const std::string byte(1, static_cast<char>(c));
    for (const std::string& value :
         {"a" + byte + "b", std::string(15, 'a') + byte + "\n" + std::string(16, 'b') + byte,
          std::string(16, 'a') + byte + std::string(17, 'b')}) {
      EXPECT_EQ(jsonEscape(value), writerEscape(value)) << "byte " << c;
    }
  }
  // Quote-free texts, valid UTF-8 and invalid UTF-8 alike, are left as they are.
  for (const std::string value : {"Team sync", "李雷", "\xff\xfe\xc3(", ""}) {
    EXPECT_EQ(jsonEscape(value), value);
  }
  EXPECT_EQ(jsonEscape("Al\"ice\\ 李\n\x01"), "Al\\\"ice\\\\ 李\\n\\u0001");
}

// Named hostile values, then arbitrary ones built from the bytes that matter
// (fixed seed).
TEST(Escaping, HostileValuesReadBackFromEveryText) {
  std::vector<std::pair<std::string, roundtrip::Values>> rows = {
      {"plain", {"Alice", "room-1", "tok-1", "10.0.0.1:443", "Label"}},
      {"quote and backslash", {"Al\"ice\\ 李", "a\"b\\", "t\"\\", "x\\\"y", "L\"\\"}},
      {"injected keys",
       {"x\",\"operType\":\"22", "\",\"roomID\":\"", "\"}", "\",\"addr\":\"1", "\",\"x\":\""}},
      {"control bytes and NUL",
       {std::string("a\0b\n", 4), "\t\r\x1f", std::string("\0", 1), "\b\f\x7f", "\x01"}},
      {"invalid UTF-8", {"\xff\xfe", "\xc3(", "\xed\xa0\x80", "\xe2\x82", "\x80\\"}},
      {"empty", {"", "", "", "", ""}},
  };
  const std::vector<std::string> pieces = {
      "\"",   "\\",   "\\u0041", "{",    "}",    ",",  "=", ":", "\n", std::string("\0", 1),
      "\x1f", "\x7f", "\xff",    "\xc3", "\xa9", "李", "a", "Z", " ",  "/"};
  std::mt19937 random(14);
  auto value = [&] {
    std::string out;
    for (size_t n = random() % 8; n > 0; --n) out += pieces[random() % pieces.size()];
    return out;
  };
  for (int i = 0; i < 25; ++i) {
    rows.push_back(
        {"generated " + std::to_string(i), {value(), value(), value(), value(), value()}});
  }
  for (const auto& row : rows) {
    SCOPED_TRACE(row.first);
    EXPECT_THAT(roundtrip::faults(row.second), IsEmpty());
  }
}

// The check itself: a value is found only whole inside one unescaped string
// of a text, a text that is not one JSON object is a fault, and a text read
// once stands under every name it was added with. The long value puts
// escapes on both sides of the reader's sixteen-byte blocks.
TEST(Escaping, TheCheckFindsOnlyWholeValuesInObjects) {
  const std::string plain(40, 'p');
  const std::string head = plain.substr(0, 17);
  struct Row {
    const char* name;
    std::string text;
    std::vector<std::string> values;  // each checked on its own
    std::vector<std::string> faults;
  };
  const std::vector<Row> rows = {
      {"escapes",
       R"({"a":"x\u0041y","k":["in\"ner",{"z":"é"}]})",
       {"xAy", "in\"ner", "é", "a"},
       {}},
      {"long string",
       "{\"k\":\"" + head + "\\u0041\\\"" + plain + "\"}",
       {head + "A\"" + plain},
       {}},
      {"value across two strings", R"({"a":"x","b":"y"})", {"xy"}, {"no t reads back [xy]"}},
      {"an array", R"(["x"])", {"x"}, {R"(t is not JSON: ["x"])", "no t reads back [x]"}},
      {"trailing text",
       R"({"a":"x"} {})",
       {"x"},
       {R"(t is not JSON: {"a":"x"} {})", "no t reads back [x]"}},
      {"unended string", R"({"a":"x)", {"x"}, {R"(t is not JSON: {"a":"x)", "no t reads back [x]"}},
      {"raw control byte",
       "{\"a\":\"x\ty\"}",
       {"x"},
       {"t is not JSON: {\"a\":\"x\ty\"}", "no t reads back [x]"}},
      {"ends at a NUL", std::string("{\"a\":\"x\"}\0junk", 14), {"x"}, {}},
  };
  roundtrip::Texts texts;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    texts.clear();
    texts.add("t", row.text);
    for (const std::string& value : row.values) texts.check("t", {value});
    EXPECT_EQ(texts.faults(), row.faults);
  }
  texts.clear();
  const std::string sent = R"({"title":"T"})";
  const std::string rung = sent;
  texts.add("ann sent 26 body", sent);
  texts.add("bob event 22", rung);
  texts.check("bob event 22", {"T"});
  texts.check("ann sent 26 body", {"T"});
  EXPECT_THAT(texts.faults(), IsEmpty());
}

}  // namespace
}  // namespace imsdkmrtc
