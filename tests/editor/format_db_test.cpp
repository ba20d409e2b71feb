// Decibel figures as the editor prints them.
#include "library/format_db.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ombrix::test {
namespace {

using kestrune::controls::FormatDb;

TEST(FormatDb, Cases) {
  const struct {
    double value;
    bool plus, dropZeroDecimal;
    const char* text;
  } cases[] = {
      {-149.0, false, false, "−inf"},  // at the floor: nothing measured
      {-150.0, true, false, "−inf"},   {-148.96, false, false, "−149.0"},
      {-12.34, false, false, "−12.3"}, {-0.05, true, false, "−0.1"},  // halves away from zero
      {0.05, true, false, "+0.1"},     {-0.04, true, false, "0.0"},   // rounds to zero: no sign
      {0.0, true, false, "0.0"},       {1.25, false, false, "1.3"},
      {1.2, true, false, "+1.2"},      {-14.0, false, true, "−14"},
      {-14.5, false, true, "−14.5"},   {-13.96, false, true, "−14"},  // whole after rounding
      {6.0, true, true, "+6"},         {0.0, true, true, "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDb(c.value, c.plus, c.dropZeroDecimal), c.text) << c.value;
}

TEST(FormatDb, NotANumberReadsAsNothingMeasured) { EXPECT_EQ(FormatDb(std::nan(""), true, false), "−inf"); }

}  // namespace
}  // namespace ombrix::test
