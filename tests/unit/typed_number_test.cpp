#include <gtest/gtest.h>

#include "library/typed_number.h"

namespace kestrune::controls {
namespace {

TEST(ParseTypedNumber, Cases) {
  struct Case { const char* text; bool allowK; std::optional<double> expected; };
  const Case cases[] = {
      {"14", false, 14.0},
      {"  -14 LUFS", false, -14.0},
      {"\xE2\x88\x92" "3.5", false, -3.5},
      {"+ 2,25", false, 2.25},
      {"50 %", false, 50.0},
      {"0.5k", true, 500.0},
      {"0,25 K", true, 250.0},
      {"1.5k", false, 1.5},
      {".5", false, 0.5},
      {"7.", false, 7.0},
      {"3.x", false, 3.0},
      {".x", false, std::nullopt},
      {"", false, std::nullopt},
      {"-", false, std::nullopt},
      {"abc", false, std::nullopt},
      {"99999", false, 1000.0},
      {"-99999", false, -1000.0},
  };
  for (const Case& c : cases) {
    const auto value = ParseTypedNumber(c.text, -1000.0, 1000.0, c.allowK);
    ASSERT_EQ(value.has_value(), c.expected.has_value()) << c.text;
    if (value) {
      EXPECT_DOUBLE_EQ(*value, *c.expected) << c.text;
    }
  }
}

}  // namespace
}  // namespace kestrune::controls
