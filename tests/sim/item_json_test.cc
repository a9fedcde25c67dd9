// Timeline items as JSON lines: every line must parse, whatever bytes the
// plug-in logged, and a field read back must be the one written.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <random>

#include "item.h"

namespace codec {
namespace {

namespace rj = RAPIDJSON_NAMESPACE;

TEST(ItemJson, TextsAreEscapedAndForeignBytesKeptAsCodePoints) {
  struct Case {
    const char* text;
    const char* json;
  } cases[] = {
      {"", R"("")"},
      {"a\"b\\c/d", R"("a\"b\\c/d")"},
      {"\n\r\t\x01\x1f", R"("\n\r\t\u0001\u001f")"},
      {" ~\x7f", "\" ~\x7f\""},
      // Valid sequences of two, three and four bytes pass unchanged.
      {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""},
      // Two GB2312 characters: a lead byte without its continuation, then a
      // three-byte lead cut off by the end of the text.
      {"\xc4\xe3\xba\xc3", R"("\u00c4\u00e3\u00ba\u00c3")"},
      {"x\xe2\x82", R"("x\u00e2\u0082")"},
      {"\xf0\x9f\x98", R"("\u00f0\u009f\u0098")"},
      {"\x80\xbf", R"("\u0080\u00bf")"},
      {"\xf8\x80\x80\x80\x80", R"("\u00f8\u0080\u0080\u0080\u0080")"},
      // A sequence broken in its middle: each byte stands alone, and the
      // next valid character is kept.
      {"\xe2\x28\xa1\xc3\xa9", "\"\\u00e2(\\u00a1\xc3\xa9\""},
  };
  for (const Case& c : cases) EXPECT_EQ(jsonString(c.text), c.json) << c.text;
}

// Random bytes, heavy in the high half: the literal always parses as strict
// UTF-8 JSON, and a text that was UTF-8 already reads back unchanged.
TEST(ItemJson, AnyBytesMakeAValidLiteralThatReadsBack) {
  std::mt19937 random(7);
  const char pieces[][5] = {"a",    "\"",       "\\",           "\n",
                            "\x01", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
                            "\x80", "\xc4",     "\xe2\x82",     "\xff"};
  const size_t pieceCount = sizeof(pieces) / sizeof(pieces[0]);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    bool utf8 = true;
    const int length = static_cast<int>(random() % 6);
    for (int i = 0; i < length; ++i) {
      const size_t k = random() % pieceCount;
      text += pieces[k];
      utf8 = utf8 && k < 8;
    }
    const std::string literal = jsonString(text);
    rj::Document doc;
    doc.Parse<rj::kParseValidateEncodingFlag>(literal.c_str(), literal.size());
    ASSERT_FALSE(doc.HasParseError())
        << rj::GetParseError_En(doc.GetParseError()) << " in " << literal;
    ASSERT_TRUE(doc.IsString()) << literal;
    if (utf8) {
      EXPECT_EQ(std::string(doc.GetString(), doc.GetStringLength()), text) << literal;
    }
  }
}

TEST(ItemJson, AnItemRendersItsFieldsInOrderOnce) {
  Item item;
  item.t = 12500;
  item.client = "al\"ice";
  item.kind = kind::kRequest;
  item.set("cmd", int64_t{24001})
      .set("result", Text("ok"))
      .set("members", IdList{5, -6})
      .set("none", IdList{})
      .set("cmd", int64_t{-24002});
  EXPECT_EQ(renderJson(item),
            R"({"t":12500,"client":"al\"ice","kind":"request","cmd":-24002,"result":"ok",)"
            R"("members":[5,-6],"none":[]})");
  // A value read as another kind falls back instead of throwing.
  EXPECT_EQ(item.num("cmd"), -24002);
  EXPECT_EQ(item.num("result", 7), 7);
  EXPECT_EQ(item.num("absent", 9), 9);
  EXPECT_EQ(item.str("members"), "[5,-6]");
  EXPECT_EQ(item.str("cmd"), "-24002");
  EXPECT_EQ(item.str("absent"), "");
  EXPECT_EQ(idsText(item.ids("members")), "[5,-6]");
  EXPECT_EQ(item.ids("result").size(), 0u);
  EXPECT_EQ(valueText(Text("a\"b")), "a\"b");
  EXPECT_EQ(valueJson(Text("a\"b")), R"("a\"b")");
}

// Long texts are held once; a long text that changes is never handed back
// in its old form.
TEST(ItemJson, SharedTextsAreNeverStale) {
  const std::string longA(100, 'a');
  std::string longB = longA;
  longB.back() = 'b';
  Text first = sharedText(longA);
  Text second = sharedText(longB);
  Text third = sharedText(longA);
  EXPECT_EQ(first.str(), longA);
  EXPECT_EQ(second.str(), longB);
  EXPECT_EQ(third.str(), longA);
  EXPECT_EQ(sharedText("short").str(), "short");
  EXPECT_EQ(valueJson(sharedText(longB)), "\"" + longB + "\"");
}

}  // namespace
}  // namespace codec
