// The strict JSON reader and string quoting used by the update check.
#include "library/json.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <random>
#include <string>

namespace kestrune::updates {
namespace {

using namespace std::string_literals;

bool Parses(std::string_view text) { return ParseJson(text).has_value(); }

std::string Nested(int depth, std::string_view inner) {
  return std::string(static_cast<std::size_t>(depth), '[') + std::string(inner) +
         std::string(static_cast<std::size_t>(depth), ']');
}

TEST(JsonTest, ParsesEveryKindOfValue) {
  auto value = ParseJson(R"( {"n":null,"t":true,"f":false,"x":-12.5e1,"s":"a\"b","a":[1,[],{}],"o":{"k":"v"}} )");
  ASSERT_TRUE(value);
  ASSERT_EQ(value->kind, JsonValue::kObject);
  ASSERT_EQ(value->members.size(), 7u);
  EXPECT_EQ(value->Find("n")->kind, JsonValue::kNull);
  EXPECT_EQ(value->Find("t")->kind, JsonValue::kBoolean);
  EXPECT_TRUE(value->Find("t")->boolean);
  EXPECT_FALSE(value->Find("f")->boolean);
  EXPECT_EQ(value->Find("x")->kind, JsonValue::kNumber);
  EXPECT_EQ(value->Find("x")->number, -125.0);
  EXPECT_EQ(value->Find("s")->text, "a\"b");
  const JsonValue* array = value->Find("a");
  ASSERT_EQ(array->kind, JsonValue::kArray);
  ASSERT_EQ(array->items.size(), 3u);
  EXPECT_EQ(array->items[0].number, 1.0);
  EXPECT_EQ(array->items[1].kind, JsonValue::kArray);
  EXPECT_EQ(array->items[2].kind, JsonValue::kObject);
  EXPECT_EQ(value->Find("o")->Find("k")->text, "v");
  EXPECT_EQ(value->Find("missing"), nullptr);
  EXPECT_EQ(value->Find("s")->Find("anything"), nullptr);
  EXPECT_EQ(value->members[0].name, "n");
  EXPECT_EQ(value->members[6].name, "o");
}

TEST(JsonTest, EmptyOrWhiteSpaceOnlyTextFails) {
  EXPECT_FALSE(Parses(""));
  EXPECT_FALSE(Parses(" \t\r\n"));
}

TEST(JsonTest, OnlySpaceTabLfAndCrAreWhiteSpace) {
  EXPECT_TRUE(Parses(" \t\r\n1 \t\r\n"));
  EXPECT_FALSE(Parses("\f1"));
  EXPECT_FALSE(Parses("\v1"));
  EXPECT_FALSE(Parses("\xEF\xBB\xBF{}"));  // byte-order mark
  EXPECT_FALSE(Parses("1\f"));
}

TEST(JsonTest, AnythingAfterTheValueFails) {
  EXPECT_TRUE(Parses("{} "));
  EXPECT_FALSE(Parses("{} {}"));
  EXPECT_FALSE(Parses("1,"));
  EXPECT_FALSE(Parses("1 2"));
  EXPECT_FALSE(Parses("truex"));
  EXPECT_FALSE(Parses("nul"));
  EXPECT_FALSE(Parses("True"));
  EXPECT_FALSE(Parses("\"a\"x"));
  EXPECT_FALSE(Parses(std::string("1\0", 2)));
}

TEST(JsonTest, NestingDepthIsLimitedToEight) {
  EXPECT_TRUE(Parses(Nested(8, "1")));
  EXPECT_FALSE(Parses(Nested(9, "1")));
  EXPECT_TRUE(Parses(Nested(9, "")));  // the innermost array has no element to parse
  EXPECT_FALSE(Parses(Nested(10, "")));
  EXPECT_TRUE(Parses(R"({"a":{"b":{"c":{"d":{"e":{"f":{"g":{"h":1}}}}}}}})"));
  EXPECT_FALSE(Parses(R"({"a":{"b":{"c":{"d":{"e":{"f":{"g":{"h":{"i":1}}}}}}}}})"));
  EXPECT_FALSE(Parses(Nested(100000, "")));  // deep input neither recurses far nor crashes
}

TEST(JsonTest, ArraysAndObjectsAreStrict) {
  EXPECT_FALSE(Parses("[1,]"));
  EXPECT_FALSE(Parses("[,1]"));
  EXPECT_FALSE(Parses("[1 2]"));
  EXPECT_FALSE(Parses("[1"));
  EXPECT_FALSE(Parses(R"({"a":1,})"));
  EXPECT_FALSE(Parses(R"({a:1})"));
  EXPECT_FALSE(Parses(R"({1:1})"));
  EXPECT_FALSE(Parses(R"({"a" 1})"));
  EXPECT_FALSE(Parses(R"({"a":})"));
  EXPECT_FALSE(Parses(R"({"a":1)"));
  EXPECT_FALSE(Parses(R"({"a":1;"b":2})"));
  EXPECT_TRUE(Parses(R"( { "a" : [ 1 , 2 ] , "b" : { } } )"));
  EXPECT_TRUE(Parses("[ ]"));
  EXPECT_TRUE(Parses("{ }"));
}

TEST(JsonTest, DuplicateNamesAreKeptAndTheFirstIsFound) {
  auto value = ParseJson(R"({"a":1,"b":2,"a":3})");
  ASSERT_TRUE(value);
  ASSERT_EQ(value->members.size(), 3u);
  EXPECT_EQ(value->members[2].name, "a");
  EXPECT_EQ(value->members[2].value.number, 3.0);
  EXPECT_EQ(value->Find("a")->number, 1.0);
}

TEST(JsonTest, NumbersFollowTheGrammar) {
  for (const char* good : {"0", "-0", "1", "-1", "10", "1.5", "-0.0", "1E+5", "1e-5", "1e5", "0.25e2", "123456789012"}) {
    EXPECT_TRUE(Parses(good)) << good;
  }
  for (const char* bad : {"012", "00", "-", "1.", ".5", "+1", "-.5", "1e", "1e+", "0x10", "Infinity", "-Infinity",
                          "NaN", "1.e5", "--1", "- 1", "1 .5"}) {
    EXPECT_FALSE(Parses(bad)) << bad;
  }
  EXPECT_EQ(ParseJson("1E+5")->number, 100000.0);
  EXPECT_EQ(ParseJson("0.25e2")->number, 25.0);
  const double negativeZero = ParseJson("-0.0")->number;
  EXPECT_EQ(negativeZero, 0.0);
  EXPECT_TRUE(std::signbit(negativeZero));
  EXPECT_EQ(ParseJson("1765000000")->number, 1765000000.0);
}

TEST(JsonTest, NumbersOutsideTheDoubleRangeBecomeInfinityOrZero) {
  EXPECT_EQ(ParseJson("1e999")->number, HUGE_VAL);
  EXPECT_EQ(ParseJson("-1e999")->number, -HUGE_VAL);
  EXPECT_EQ(ParseJson("1.8e308")->number, HUGE_VAL);
  EXPECT_EQ(ParseJson("1e99999999999999999999")->number, HUGE_VAL);
  EXPECT_EQ(ParseJson("1e-999")->number, 0.0);
  EXPECT_EQ(ParseJson("0.000001e-999")->number, 0.0);
  EXPECT_TRUE(std::signbit(ParseJson("-1e-999")->number));
  EXPECT_EQ(ParseJson(std::string(400, '9'))->number, HUGE_VAL);
  EXPECT_EQ(ParseJson("0e999999")->number, 0.0);
  EXPECT_GT(ParseJson("4.9e-324")->number, 0.0);
}

TEST(JsonTest, NumbersIgnoreTheLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  // A locale with a decimal comma, when the machine has one.
  const bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr ||
                        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr;
  auto value = ParseJson("[3.25,2e-1]");
  std::setlocale(LC_NUMERIC, saved.c_str());
  ASSERT_TRUE(value);
  EXPECT_EQ(value->items[0].number, 3.25);
  EXPECT_EQ(value->items[1].number, 0.2);
  EXPECT_FALSE(Parses("3,25"));
  if (!switched) GTEST_LOG_(INFO) << "no decimal-comma locale installed; checked in the C locale only";
}

TEST(JsonTest, StringEscapesAreDecoded) {
  EXPECT_EQ(ParseJson(R"("\"\\\/\b\f\n\r\t")")->text, "\"\\/\b\f\n\r\t");
  EXPECT_EQ(ParseJson(R"("\u0041\u00e9\u20AC")")->text, "A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(ParseJson(R"("\u0000")")->text, std::string(1, '\0'));
  EXPECT_EQ(ParseJson(R"("\uFFFF")")->text, "\xEF\xBF\xBF");
  EXPECT_EQ(ParseJson(R"("\u007f\u0080\u07FF\u0800")")->text, "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80");
  EXPECT_FALSE(Parses(R"("\x41")"));
  EXPECT_FALSE(Parses(R"("\a")"));
  EXPECT_FALSE(Parses(R"("\')"));
  EXPECT_FALSE(Parses(R"("\u12")"));
  EXPECT_FALSE(Parses(R"("\u12G4")"));
  EXPECT_FALSE(Parses(R"("\U0041")"));
  EXPECT_FALSE(Parses("\"abc"));
  EXPECT_FALSE(Parses("\"abc\\"));
  EXPECT_FALSE(Parses("\"\\u00"));
}

TEST(JsonTest, SurrogatePairsMustBeComplete) {
  EXPECT_EQ(ParseJson(R"("\uD83D\uDE00")")->text, "\xF0\x9F\x98\x80");
  EXPECT_EQ(ParseJson(R"("\ud800\udc00")")->text, "\xF0\x90\x80\x80");
  EXPECT_EQ(ParseJson(R"("\uDBFF\uDFFF")")->text, "\xF4\x8F\xBF\xBF");
  EXPECT_FALSE(Parses(R"("\uD83D")"));
  EXPECT_FALSE(Parses(R"("\uDE00")"));
  EXPECT_FALSE(Parses(R"("\uDE00\uD83D")"));
  EXPECT_FALSE(Parses(R"("\uD83Dx")"));
  EXPECT_FALSE(Parses(R"("\uD83D\n")"));
  EXPECT_FALSE(Parses(R"("\uD83D\uD83D")"));
  EXPECT_FALSE(Parses(R"("\uD83D\u0041")"));
  EXPECT_FALSE(Parses(R"("\uD83D\uDE0")"));
}

TEST(JsonTest, RawControlBytesInStringsFailAndHighBytesPassUnchecked) {
  for (int byte = 0; byte < 0x20; ++byte) {
    EXPECT_FALSE(Parses("\""s + static_cast<char>(byte) + "\"")) << byte;
  }
  EXPECT_EQ(ParseJson("\"\x7F\"")->text, "\x7F");
  EXPECT_EQ(ParseJson("\"\xC3\xA9\"")->text, "\xC3\xA9");
  EXPECT_EQ(ParseJson("\"\xFF\xC3(\x80\"")->text, "\xFF\xC3(\x80");  // not UTF-8, kept as it is
}

TEST(JsonTest, QuoteEscapesWhatItMust) {
  EXPECT_EQ(QuoteJson(""), "\"\"");
  EXPECT_EQ(QuoteJson("a\"b\\c\nd\te\x01"), R"("a\"b\\c\nd\te\u0001")");
  EXPECT_EQ(QuoteJson("\r\x1f\b\f"), R"("\r\u001f\u0008\u000c")");
  EXPECT_EQ(QuoteJson(std::string(1, '\0')), R"("\u0000")");
  EXPECT_EQ(QuoteJson("/\x7F\xC3\xA9\xFF"), "\"/\x7F\xC3\xA9\xFF\"");
  EXPECT_EQ(ParseJson(QuoteJson("a\"b\\c\nd\te\x01"))->text, "a\"b\\c\nd\te\x01");
}

// For every byte string, valid UTF-8 or not, quoting and reading back gives
// the same bytes: bytes of 0x80 and above are neither checked nor changed.
TEST(JsonTest, QuoteThenParseGivesBackArbitraryBytes) {
  std::mt19937 random(20261210);
  std::uniform_int_distribution<int> length(0, 64);
  std::uniform_int_distribution<int> anyByte(0, 255);
  std::uniform_int_distribution<int> pick(0, 3);
  const std::string interesting = "\"\\\n\r\t\x01\x1f\x7f\x80\xbf\xc0\xc3\xe2\xed\xf0\xf4\xf8\xfe\xff/u ";
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    const int n = length(random);
    for (int i = 0; i < n; ++i) {
      bytes += pick(random) == 0 ? interesting[static_cast<std::size_t>(anyByte(random)) % interesting.size()]
                                 : static_cast<char>(anyByte(random));
    }
    auto parsed = ParseJson(QuoteJson(bytes));
    ASSERT_TRUE(parsed) << "round " << round;
    ASSERT_EQ(parsed->kind, JsonValue::kString);
    ASSERT_EQ(parsed->text, bytes) << "round " << round;
  }
  std::string everyByte;
  for (int byte = 0; byte < 256; ++byte) everyByte += static_cast<char>(byte);
  EXPECT_EQ(ParseJson(QuoteJson(everyByte))->text, everyByte);
  // Valid UTF-8 of every length, with a lone surrogate's encoding and an overlong form.
  const std::string mixed = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xED\xA0\x80\xC0\xAF";
  EXPECT_EQ(ParseJson(QuoteJson(mixed))->text, mixed);
}

TEST(JsonTest, QuotedStringsNestInsideDocuments) {
  const std::string inner = R"({"ombrix":{"version":"0.5.0","page":"/p"}})";
  auto outer = ParseJson("{\"feed\":" + QuoteJson(inner) + "}");
  ASSERT_TRUE(outer);
  EXPECT_EQ(outer->Find("feed")->text, inner);
}

}  // namespace
}  // namespace kestrune::updates
