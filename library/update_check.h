#pragma once
// The update check shared by the maker's plug-ins: a JSON feed on the maker's
// server names the current version and page of each product; the last good
// feed and the time of the last attempt live in "updates.json" in the maker's
// shared folder, so that all plug-ins together fetch at most once every 10
// minutes; while "updates-off" exists there, nothing is fetched or shown.
// Every failure is silent and leaves the previous result in place.
//
// Threads: the service worker (service_worker.h) calls CheckNow and Refresh;
// the user-interface thread calls SetEnabled and reads IsEnabled, Available,
// ChangeCount or State. Only the state below is guarded by the lock; files
// are read and written outside it.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "library/platform_http.h"

namespace kestrune::updates {

// The maker's web site and its one update feed, "/updates.json" on the same
// host, which lists all of the maker's products. Page addresses are the site
// followed by the page path a feed gives, so "/plugins/ombrix" opens
// https://kestrune.com/plugins/ombrix. KESTRUNE_UPDATES_URL replaces the feed
// address; page addresses always start with the built-in web site.
inline constexpr std::string_view kWebSite = "https://kestrune.com";
inline constexpr std::string_view kDefaultFeedAddress = "https://kestrune.com/updates.json";
inline constexpr const char* kFeedAddressVariable = "KESTRUNE_UPDATES_URL";

inline constexpr std::string_view kCacheFileName = "updates.json";
inline constexpr std::string_view kSwitchOffFileName = "updates-off";
inline constexpr std::string_view kSwitchOffText =
    "The Kestrune plug-ins do not check for updates while this file is here.\n";

// The largest cache text that an accepted feed (at most kMaxHttpBodyBytes of
// JSON) can make. Quoting turns each byte of a JSON text into at most two:
// only '"', '\\', tab, LF and CR are escaped, and no other byte below 0x20
// can stand in valid JSON. Around the feed are the other members: at most
// 58 bytes with a 20-character stamp.
inline constexpr std::size_t kMaxCacheBytes = 2 * kMaxHttpBodyBytes + 64;

inline constexpr std::int64_t kCheckIntervalSeconds = 600;
inline constexpr int kFetchTimeoutSeconds = 8;

struct UpdateCheckConfig {
  std::string productId;                       // the product's key in the feed, such as "ombrix"
  std::string currentVersion;                  // such as "0.4.10"
  std::filesystem::path dataFolder;            // the maker's shared folder
  std::string feedAddress;                     // replaced by KESTRUNE_UPDATES_URL when that is set
  std::function<std::int64_t()> now;           // seconds since 1970 UTC; default: the system clock
  std::function<HttpResult(const std::string& address)> fetch;  // default: HttpGet with 8 s
  std::function<bool()> allowed;               // default: always true
};

// The configuration a plug-in uses: the maker's shared folder, the default
// feed address and the default operations.
UpdateCheckConfig MakeUpdateCheckConfig(std::string productId, std::string currentVersion);

struct UpdateInfo {
  std::string version;  // as the feed writes it
  std::string page;     // kWebSite followed by the feed's page path
  bool operator==(const UpdateInfo&) const = default;
};

struct UpdateCache {
  std::int64_t checkedAt = 0;  // seconds since 1970 of the last attempt; 0 before the first
  std::string feed;            // the raw text of the last good feed; empty when there is none
};

// A consistent copy of the checker's shared state.
struct UpdateState {
  bool enabled = true;
  std::optional<UpdateInfo> available;
  std::int32_t changeCount = 0;
};

// Three numbers of 1 to 4 digits separated by single full stops, such as
// "0.4.10", and nothing else.
std::optional<std::array<int, 3>> ParseVersion(std::string_view text);

// Whether a feed's page path is one this checker opens: 1 to 100 bytes,
// starting with "/" but not "//", only ASCII letters, digits, "#", "-", "/", "_".
bool IsAcceptablePagePath(std::string_view page);

// The update a feed text announces for productId when it is newer than
// currentVersion, or nothing.
std::optional<UpdateInfo> EvaluateFeed(std::string_view feed, std::string_view productId,
                                       std::string_view currentVersion);

// The cache text: {"version":1,"checked_at":N,"feed":"..."} and LF.
std::string UpdateCacheText(const UpdateCache& cache);
// Reads a cache text of up to kMaxCacheBytes; anything unreadable counts as
// an empty cache.
UpdateCache ParseUpdateCache(std::string_view text);
UpdateCache ReadUpdateCache(const std::filesystem::path& dataFolder);
bool WriteUpdateCache(const std::filesystem::path& dataFolder, const UpdateCache& cache);

class UpdateCheck {
 public:
  // Fills in missing operations, applies KESTRUNE_UPDATES_URL, then Refresh()
  // so that a feed cached by an earlier run shows at once, without network.
  explicit UpdateCheck(UpdateCheckConfig config);
  UpdateCheck(const UpdateCheck&) = delete;
  UpdateCheck& operator=(const UpdateCheck&) = delete;

  // Fetches the feed when it is due (10 minutes after the last attempt of
  // any instance, or at once when the stamp lies in the future), stamping the
  // attempt in the cache first. Called by the service worker only.
  void CheckNow();

  // Re-reads the switch-off file and the cache and recomputes the available
  // update; counts a change when enabled or the update differs.
  void Refresh();

  // Removes (true) or writes (false) the switch-off file, then Refresh().
  void SetEnabled(bool enabled);

  bool IsEnabled() const;
  std::optional<UpdateInfo> Available() const;
  std::int32_t ChangeCount() const;
  UpdateState State() const;

  const UpdateCheckConfig& Config() const { return config_; }
  std::filesystem::path CachePath() const;
  std::filesystem::path SwitchOffPath() const;

 private:
  UpdateCheckConfig config_;
  mutable std::mutex lock_;
  UpdateState state_;  // guarded by lock_
};

}  // namespace kestrune::updates
