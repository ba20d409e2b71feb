// The update feed and the cache text on arbitrary bytes: evaluation never
// offers an update that breaks the rules, and any cache reads back the same
// after it was written out.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "library/update_check.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrune::updates;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (const auto info = EvaluateFeed(text, "ombrix", "0.4.10")) {
    const auto version = ParseVersion(info->version);
    Check(version.has_value());
    Check(*version > (std::array<int, 3>{0, 4, 10}));
    Check(info->page.starts_with(kWebSite));
    Check(IsAcceptablePagePath(std::string_view(info->page).substr(kWebSite.size())));
  }

  if (const auto version = ParseVersion(text)) {
    for (int number : *version) Check(number >= 0 && number <= 9999);
  }

  const UpdateCache cache = ParseUpdateCache(text);
  // Whatever feed a cache holds, its text fits the cache limit and reads back.
  const std::string written = UpdateCacheText(cache);
  Check(written.size() <= kMaxCacheBytes);
  const UpdateCache again = ParseUpdateCache(written);
  Check(again.checkedAt == cache.checkedAt);
  Check(again.feed == cache.feed);
  return 0;
}
