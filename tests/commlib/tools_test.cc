// The commLib utility functions.
#include "tools.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

TEST(ToolsTest, ReadsDecimalIds) {
  struct Case {
    const char* text;
    int64_t value;
    bool number;
  };
  const Case cases[] = {
      {"42", 42, true},
      {"-42", -42, true},
      {"0042", 42, true},
      {"  17", 17, false},
      {" \t-17", -17, false},
      {"\n17", 0, false},
      {"+5", 5, false},
      {"- 5", 0, false},
      {"+-5", 0, false},
      {"12ab", 12, false},
      {"1234567 89", 1234567, false},
      {"100002\",\"100003", 100002, false},
      {"abc", 0, false},
      {"", 0, false},
      {"-", 0, false},
      {"123456789012345678", 123456789012345678, true},
      {"9223372036854775807", INT64_MAX, true},
      {"-9223372036854775808", INT64_MIN, true},
      // Past 64 bits the value wraps, as the C library's reading does.
      {"9223372036854775808", INT64_MIN, true},
      {"-9223372036854775809", INT64_MAX, true},
      {"18446744073709551615", -1, true},
      {"18446744073709551617", 1, true},
      {"100000000000000000001", 7766279631452241921, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tools::strToInt64(c.text), c.value) << c.text;
    EXPECT_EQ(tools::atoint64(c.text), c.value) << c.text;
    EXPECT_EQ(tools::isNumber(c.text), c.number) << c.text;
  }
  EXPECT_EQ(tools::atoint64(nullptr), 0);
}

// An id inside a longer text ends at the quote after it: nothing past the
// quote is read (the buffers end there, so a sanitizer build sees any read
// beyond), whatever the number's length.
TEST(ToolsTest, ReadsNoFurtherThanTheEndOfTheNumber) {
  const std::string digits = "123456789";
  for (size_t n = 1; n <= digits.size(); ++n) {
    for (const char* sign : {"", "-", " +"}) {
      const std::string text = sign + digits.substr(0, n) + "\"";
      std::vector<char> exact(text.begin(), text.end());
      const int64_t expected =
          std::stoll(digits.substr(0, n)) * (std::string(sign) == "-" ? -1 : 1);
      EXPECT_EQ(tools::atoint64(exact.data()), expected) << text;
    }
  }
}

TEST(ToolsTest, WritesDecimalIds) {
  const int64_t values[] = {0, 7, -7, 10001, INT64_MAX, INT64_MIN};
  const char* texts[] = {"0", "7", "-7", "10001", "9223372036854775807", "-9223372036854775808"};
  for (size_t i = 0; i < 6; ++i) {
    char buf[32];
    EXPECT_STREQ(tools::int64toa(buf, values[i]), texts[i]);
    EXPECT_EQ(tools::int64_To_Str(values[i]), texts[i]);
  }
}

}  // namespace
