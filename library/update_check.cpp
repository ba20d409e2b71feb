#include "library/update_check.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "library/data_folders.h"
#include "library/file_helpers.h"
#include "library/json.h"

namespace kestrune::updates {
namespace {

std::int64_t SystemNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Anything at all at the path, a dangling link included. A status that
// cannot be determined, and a path that is not absolute, count as nothing.
bool AnythingExistsAt(const std::filesystem::path& path) {
  if (!path.is_absolute()) return false;
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  return !error && status.type() != std::filesystem::file_type::not_found;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A double with an integral value that fits a signed 64-bit integer.
std::optional<std::int64_t> IntegralValue(double value) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!std::isfinite(value) || std::trunc(value) != value || value < -kLimit || value >= kLimit) return std::nullopt;
  return static_cast<std::int64_t>(value);
}

std::optional<JsonValue> ParseObject(std::string_view text, std::size_t maxBytes) {
  if (text.size() > maxBytes) return std::nullopt;
  auto value = ParseJson(text);
  if (!value || !value->IsObject()) return std::nullopt;
  return value;
}

// Due after the interval, or at once when the stamp lies in the future (a
// clock that was set back). Computed without signed overflow.
bool IsDue(std::int64_t checkedAt, std::int64_t now) {
  if (checkedAt > now) return true;
  return static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(checkedAt) >=
         static_cast<std::uint64_t>(kCheckIntervalSeconds);
}

}  // namespace

UpdateCheckConfig MakeUpdateCheckConfig(std::string productId, std::string currentVersion) {
  UpdateCheckConfig config;
  config.productId = std::move(productId);
  config.currentVersion = std::move(currentVersion);
  config.dataFolder = ombrix::MakerSharedFolder();
  config.feedAddress = std::string(kDefaultFeedAddress);
  return config;
}

std::optional<std::array<int, 3>> ParseVersion(std::string_view text) {
  std::array<int, 3> numbers{};
  std::size_t pos = 0;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    const std::size_t start = pos;
    int value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && pos - start < 4) value = value * 10 + (text[pos++] - '0');
    if (pos == start || (pos < text.size() && IsDigit(text[pos]))) return std::nullopt;
    numbers[i] = value;
  }
  if (pos != text.size()) return std::nullopt;
  return numbers;
}

bool IsAcceptablePagePath(std::string_view page) {
  if (page.empty() || page.size() > 100 || page[0] != '/' || page.starts_with("//")) return false;
  for (const char c : page) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !IsDigit(c) && c != '#' && c != '-' && c != '/' && c != '_') return false;
  }
  return true;
}

std::optional<UpdateInfo> EvaluateFeed(std::string_view feed, std::string_view productId,
                                       std::string_view currentVersion) {
  if (feed.empty()) return std::nullopt;
  const auto document = ParseObject(feed, kMaxHttpBodyBytes);
  if (!document) return std::nullopt;
  const JsonValue* entry = document->Find(productId);
  if (entry == nullptr || !entry->IsObject()) return std::nullopt;
  const JsonValue* version = entry->Find("version");
  const JsonValue* page = entry->Find("page");
  if (version == nullptr || !version->IsString() || page == nullptr || !page->IsString()) return std::nullopt;
  if (!IsAcceptablePagePath(page->text)) return std::nullopt;
  const auto offered = ParseVersion(version->text);
  const auto current = ParseVersion(currentVersion);
  if (!offered || !current || *offered <= *current) return std::nullopt;
  return UpdateInfo{version->text, std::string(kWebSite) + page->text};
}

std::string UpdateCacheText(const UpdateCache& cache) {
  return "{\"version\":1,\"checked_at\":" + std::to_string(cache.checkedAt) + ",\"feed\":" + QuoteJson(cache.feed) +
         "}\n";
}

UpdateCache ParseUpdateCache(std::string_view text) {
  UpdateCache cache;
  const auto document = ParseObject(text, kMaxCacheBytes);
  if (!document) return cache;
  if (const JsonValue* checkedAt = document->Find("checked_at"); checkedAt != nullptr && checkedAt->IsNumber()) {
    cache.checkedAt = IntegralValue(checkedAt->number).value_or(0);
  }
  if (const JsonValue* feed = document->Find("feed");
      feed != nullptr && feed->IsString() && feed->text.size() <= kMaxHttpBodyBytes && ParseJson(feed->text)) {
    cache.feed = feed->text;
  }
  return cache;
}

UpdateCache ReadUpdateCache(const std::filesystem::path& dataFolder) {
  const auto text = ombrix::ReadFileUpTo(dataFolder / kCacheFileName, kMaxCacheBytes);
  return text ? ParseUpdateCache(*text) : UpdateCache{};
}

bool WriteUpdateCache(const std::filesystem::path& dataFolder, const UpdateCache& cache) {
  return ombrix::WriteServiceFileAtomically(dataFolder / kCacheFileName, UpdateCacheText(cache));
}

UpdateCheck::UpdateCheck(UpdateCheckConfig config) : config_(std::move(config)) {
  if (!config_.now) config_.now = &SystemNow;
  if (!config_.fetch) {
    config_.fetch = [](const std::string& address) { return HttpGet(address, kFetchTimeoutSeconds); };
  }
  if (!config_.allowed) config_.allowed = [] { return true; };
  if (const char* address = std::getenv(kFeedAddressVariable); address != nullptr && *address != '\0') {
    config_.feedAddress = address;
  }
  Refresh();
}

std::filesystem::path UpdateCheck::CachePath() const { return config_.dataFolder / kCacheFileName; }
std::filesystem::path UpdateCheck::SwitchOffPath() const { return config_.dataFolder / kSwitchOffFileName; }

void UpdateCheck::CheckNow() {
  if (AnythingExistsAt(SwitchOffPath())) return;
  if (!config_.allowed()) return;
  UpdateCache cache = ReadUpdateCache(config_.dataFolder);
  const std::int64_t now = config_.now();
  if (!IsDue(cache.checkedAt, now)) return;
  // Stamp the attempt before making it: every other instance then waits its
  // ten minutes whether or not this fetch succeeds. No stamp, no fetch.
  cache.checkedAt = now;
  if (!WriteUpdateCache(config_.dataFolder, cache)) return;

  HttpResult response = config_.fetch(config_.feedAddress);
  if (response.status != 200 || response.body.size() > kMaxHttpBodyBytes || !ParseObject(response.body, kMaxHttpBodyBytes)) return;
  cache.feed = std::move(response.body);
  WriteUpdateCache(config_.dataFolder, cache);
}

void UpdateCheck::Refresh() {
  const bool enabled = !AnythingExistsAt(SwitchOffPath());
  std::optional<UpdateInfo> available;
  if (enabled) {
    available = EvaluateFeed(ReadUpdateCache(config_.dataFolder).feed, config_.productId, config_.currentVersion);
  }
  std::lock_guard guard(lock_);
  if (enabled != state_.enabled || available != state_.available) {
    // Wraps around instead of overflowing.
    state_.changeCount = static_cast<std::int32_t>(static_cast<std::uint32_t>(state_.changeCount) + 1u);
  }
  state_.enabled = enabled;
  state_.available = std::move(available);
}

void UpdateCheck::SetEnabled(bool enabled) {
  const std::filesystem::path path = SwitchOffPath();
  if (enabled) {
    std::error_code ignored;
    if (path.is_absolute()) std::filesystem::remove(path, ignored);
  } else {
    ombrix::WriteServiceFileAtomically(path, kSwitchOffText);
  }
  Refresh();
}

bool UpdateCheck::IsEnabled() const {
  std::lock_guard guard(lock_);
  return state_.enabled;
}

std::optional<UpdateInfo> UpdateCheck::Available() const {
  std::lock_guard guard(lock_);
  return state_.available;
}

std::int32_t UpdateCheck::ChangeCount() const {
  std::lock_guard guard(lock_);
  return state_.changeCount;
}

UpdateState UpdateCheck::State() const {
  std::lock_guard guard(lock_);
  return state_;
}

}  // namespace kestrune::updates
