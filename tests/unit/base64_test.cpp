// Strict Base64: the RFC 4648 vectors, every byte value, and the texts that
// must be refused.
#include "library/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ombrix {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(Base64Test, MatchesTheStandardVectorsBothWays) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},          {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, encoded] : cases) {
    SCOPED_TRACE(plain);
    EXPECT_EQ(EncodeBase64(Bytes(plain)), encoded);
    const auto decoded = DecodeBase64(encoded);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, Bytes(plain));
  }
}

TEST(Base64Test, EveryByteValueAndBothAlphabetEndsRoundTrip) {
  std::vector<std::uint8_t> all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<std::uint8_t>(i));
  for (std::size_t size : {all.size(), all.size() - 1, all.size() - 2}) {
    const std::vector<std::uint8_t> bytes(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_EQ(DecodeBase64(EncodeBase64(bytes)), bytes);
  }
  EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{0xFB, 0xFF}), "+/8=");
}

TEST(Base64Test, LeftOverBitsOfAPaddedLastGroupAreNotTested) {
  EXPECT_EQ(DecodeBase64("Zh=="), Bytes("f"));  // canonical "Zg=="
  EXPECT_EQ(DecodeBase64("Zm9="), Bytes("fo"));  // canonical "Zm8="
}

TEST(Base64Test, RefusesAnythingButStrictText) {
  const std::string_view refused[] = {
      "Zg",           // length not a multiple of four
      "Zm9vY",        //
      "Zg==Zm9v",     // padding before the last group
      "Zm=v",         // third character padded, fourth not
      "Z===",         // too much padding
      "====",         //
      "Zm9 ",         // trailing space
      "Zm 9",         // space inside
      " Zm9",         // leading space
      "Zm9v\nZm9",    // line break
      "Zm9vYm\r\n",   //
      "Zm-_",         // URL-safe letters
      std::string_view("Zm\0v", 4),
      "Zm9\xC3",      // a byte beyond ASCII
  };
  for (std::string_view text : refused) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    EXPECT_FALSE(DecodeBase64(text).has_value());
  }
}

}  // namespace
}  // namespace ombrix
