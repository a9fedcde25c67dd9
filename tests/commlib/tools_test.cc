// The commLib utility functions.
#include "tools.h"

#include <gtest/gtest.h>

#include <climits>

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
      {"  17", 17, false},
      {"+5", 5, false},
      {"12ab", 12, false},
      {"abc", 0, false},
      {"", 0, false},
      {"-", 0, false},
      {"9223372036854775807", INT64_MAX, true},
      {"-9223372036854775808", INT64_MIN, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tools::strToInt64(c.text), c.value) << c.text;
    EXPECT_EQ(tools::atoint64(c.text), c.value) << c.text;
    EXPECT_EQ(tools::isNumber(c.text), c.number) << c.text;
  }
  EXPECT_EQ(tools::atoint64(nullptr), 0);
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
