// The update check against a real HTTP server on 127.0.0.1, with an injected
// clock and a private data home.
#include "library/update_check.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <mutex>
#include <optional>
#include <string>

#include "library/data_folders.h"
#include "library/file_helpers.h"
#include "library/json.h"
#include "support/loopback_http_server.h"
#include "support/temp_data_home.h"

namespace kestrune::updates {
namespace {

namespace fs = std::filesystem;
using ombrix::test::CannedResponse;
using ombrix::test::HttpRequestRecord;
using ombrix::test::LoopbackHttpServer;
using ombrix::test::Respond;

constexpr std::int64_t kNow = 1'765'000'000;  // an ordinary moment in December 2025

std::string FeedFor(std::string_view version, std::string_view page = "/plugins/ombrix") {
  return R"({"other":{"version":"9.9.9","page":"/x"},"ombrix":{"version":")" + std::string(version) +
         R"(","page":")" + std::string(page) + R"("}})";
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  UpdateCheckConfig Config(std::int64_t now) {
    UpdateCheckConfig config = MakeUpdateCheckConfig("ombrix", "0.4.10");
    config.feedAddress = server_.Url("/updates.json");
    config.now = [now] { return now; };
    return config;
  }

  void Serve(CannedResponse response) {
    std::lock_guard guard(mutex_);
    response_ = std::move(response);
  }

  void SeedCache(std::int64_t checkedAt, const std::string& feed) {
    ASSERT_TRUE(WriteUpdateCache(shared_, UpdateCache{checkedAt, feed}));
  }

  UpdateCache Cache() const { return ReadUpdateCache(shared_); }

  ombrix::test::ScopedEnvironment noProxy_{"no_proxy", "*"};
  ombrix::test::ScopedEnvironment noOverride_{kFeedAddressVariable, nullptr};
  ombrix::test::TempDataHome home_;
  const fs::path shared_ = ombrix::MakerSharedFolder();
  std::mutex mutex_;
  CannedResponse response_ = Respond(200, FeedFor("0.5.0"));
  LoopbackHttpServer server_{[this](const HttpRequestRecord&) {
    std::lock_guard guard(mutex_);
    return response_;
  }};
};

const std::string kSite(kWebSite);

// --- Fetching and the shared stamp --------------------------------------------

TEST_F(UpdateCheckTest, TheFirstCheckFetchesAndASecondInstanceAMinuteLaterDoesNot) {
  UpdateCheck first(Config(kNow));
  EXPECT_FALSE(first.Available());
  first.CheckNow();
  first.Refresh();
  EXPECT_EQ(server_.RequestCount(), 1);
  ASSERT_TRUE(first.Available());
  EXPECT_EQ(first.Available()->version, "0.5.0");
  EXPECT_EQ(first.Available()->page, kSite + "/plugins/ombrix");

  UpdateCheck second(Config(kNow + 60));
  EXPECT_EQ(second.Available(), first.Available());  // from the cache, at construction
  second.CheckNow();
  second.Refresh();
  EXPECT_EQ(server_.RequestCount(), 1);
  EXPECT_EQ(second.Available(), first.Available());

  UpdateCheck later(Config(kNow + 599));
  later.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 1);
  UpdateCheck tenMinutesLater(Config(kNow + 600));
  tenMinutesLater.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 2);
}

TEST_F(UpdateCheckTest, TheRequestIsAPlainGetOfTheFeed) {
  UpdateCheck check(Config(kNow));
  check.CheckNow();
  ASSERT_EQ(server_.RequestCount(), 1);
  const HttpRequestRecord request = server_.Requests()[0];
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/updates.json");
  EXPECT_EQ(request.Header("User-Agent"), "Kestrune plug-in");
  EXPECT_EQ(request.CountHeader("Accept"), 1);
  EXPECT_EQ(request.Header("Accept"), "application/json");
}

TEST_F(UpdateCheckTest, TheCacheHoldsStampAndFeedInOneLine) {
  UpdateCheck check(Config(kNow));
  check.CheckNow();
  const std::string feed = FeedFor("0.5.0");
  EXPECT_EQ(Slurp(shared_ / "updates.json"),
            "{\"version\":1,\"checked_at\":1765000000,\"feed\":" + QuoteJson(feed) + "}\n");
  EXPECT_EQ(Cache().checkedAt, kNow);
  EXPECT_EQ(Cache().feed, feed);
}

TEST_F(UpdateCheckTest, ACacheStampedInTheFutureTriggersAFetch) {
  SeedCache(kNow + 3600, "");
  UpdateCheck check(Config(kNow));
  check.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 1);
  EXPECT_EQ(Cache().checkedAt, kNow);
  EXPECT_EQ(Cache().feed, FeedFor("0.5.0"));
}

TEST_F(UpdateCheckTest, TheStampIsWrittenBeforeTheFetch) {
  std::optional<UpdateCache> seenDuringFetch;
  UpdateCheckConfig config = Config(kNow);
  config.fetch = [&](const std::string&) {
    seenDuringFetch = ReadUpdateCache(shared_);
    return HttpResult{};  // a failed exchange
  };
  SeedCache(kNow - 700, FeedFor("0.4.11"));
  UpdateCheck check(config);
  check.CheckNow();
  ASSERT_TRUE(seenDuringFetch);
  EXPECT_EQ(seenDuringFetch->checkedAt, kNow);
  EXPECT_EQ(seenDuringFetch->feed, FeedFor("0.4.11"));
}

struct BadResponse {
  const char* name;
  CannedResponse response;
};

class BadResponseTest : public UpdateCheckTest, public ::testing::WithParamInterface<BadResponse> {};

TEST_P(BadResponseTest, LeavesTheCachedFeedButKeepsTheNewStamp) {
  const std::string oldFeed = FeedFor("0.4.11");
  SeedCache(kNow - 700, oldFeed);
  Serve(GetParam().response);
  UpdateCheck check(Config(kNow));
  ASSERT_TRUE(check.Available());
  check.CheckNow();
  check.Refresh();
  EXPECT_EQ(server_.RequestCount(), 1);
  EXPECT_EQ(Cache().checkedAt, kNow);
  EXPECT_EQ(Cache().feed, oldFeed);
  ASSERT_TRUE(check.Available());
  EXPECT_EQ(check.Available()->version, "0.4.11");
}

CannedResponse Oversized(bool announced) {
  // A well-formed object, one byte too long.
  std::string body = FeedFor("0.5.0");
  body.insert(1, kMaxHttpBodyBytes + 1 - body.size(), ' ');
  CannedResponse response = Respond(200, body);
  response.sendContentLength = announced;
  return response;
}

CannedResponse Redirect() {
  CannedResponse response = Respond(302, "");
  response.headers.emplace_back("Location", "/elsewhere.json");
  return response;
}

INSTANTIATE_TEST_SUITE_P(
    UpdateCheck, BadResponseTest,
    ::testing::Values(BadResponse{"NotFound", Respond(404, FeedFor("0.5.0"))},
                      BadResponse{"ServerError", Respond(500, "")},
                      BadResponse{"BodyOf65537Bytes", Oversized(true)},
                      BadResponse{"BodyOf65537BytesUnannounced", Oversized(false)},
                      BadResponse{"JsonArray", Respond(200, "[" + FeedFor("0.5.0") + "]")},
                      BadResponse{"JsonString", Respond(200, QuoteJson(FeedFor("0.5.0")))},
                      BadResponse{"BrokenJson", Respond(200, FeedFor("0.5.0") + ",")},
                      BadResponse{"EmptyBody", Respond(200, "")},
                      BadResponse{"Redirect", Redirect()}),
    [](const ::testing::TestParamInfo<BadResponse>& info) { return std::string(info.param.name); });

// Large feeds whose quoting makes the cache larger than a small file: the
// cache must still read back, or every instance would fetch at every turn.
struct LargeFeed {
  const char* name;
  std::string body;
};

class LargeFeedTest : public UpdateCheckTest, public ::testing::WithParamInterface<LargeFeed> {};

TEST_P(LargeFeedTest, IsFetchedOnceShowsTheUpdateAndIsNotFetchedAgainWithinTenMinutes) {
  const std::string& body = GetParam().body;
  ASSERT_LE(body.size(), kMaxHttpBodyBytes);
  ASSERT_TRUE(ParseJson(body));
  Serve(Respond(200, body));
  UpdateCheck first(Config(kNow));
  first.CheckNow();
  first.Refresh();
  EXPECT_EQ(server_.RequestCount(), 1);
  ASSERT_TRUE(first.Available());
  EXPECT_EQ(first.Available()->version, "0.5.0");

  const std::string text = Slurp(shared_ / "updates.json");
  EXPECT_GT(text.size(), ombrix::kSmallFileLimit);
  EXPECT_LE(text.size(), kMaxCacheBytes);
  EXPECT_EQ(Cache().checkedAt, kNow);
  EXPECT_EQ(Cache().feed, body);

  UpdateCheck fiveMinutesLater(Config(kNow + 300));
  EXPECT_EQ(fiveMinutesLater.Available(), first.Available());
  fiveMinutesLater.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 1);
  UpdateCheck tenMinutesLater(Config(kNow + 600));
  tenMinutesLater.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 2);
}

LargeFeed FeedWithNotes(const char* name, std::size_t size, std::string_view unit) {
  std::string notes;
  const std::string feed = FeedFor("0.5.0");
  const std::size_t room = size - feed.size() - std::string_view(R"(,"notes":"")").size();
  while (notes.size() + unit.size() <= room) notes += unit;
  std::string body = feed;
  body.insert(body.size() - 1, R"(,"notes":")" + notes + "\"");
  return {name, body};
}

LargeFeed FeedPaddedWithLineBreaks(const char* name, std::size_t size) {
  std::string body = FeedFor("0.5.0");
  body.insert(1, size - body.size(), '\n');
  return {name, body};
}

INSTANTIATE_TEST_SUITE_P(
    Feeds, LargeFeedTest,
    ::testing::Values(FeedWithNotes("SixtyKilobytesOfQuotesBackslashesAndLineEnds", 60000, R"(\"\\\n\r\t)"),
                      // Every byte doubles when quoted: the largest cache there can be.
                      FeedPaddedWithLineBreaks("LargestFeedOfLineBreaks", kMaxHttpBodyBytes)),
    [](const ::testing::TestParamInfo<LargeFeed>& info) { return std::string(info.param.name); });

TEST(UpdateCacheTest, TheLargestFeedWithTheLongestStampFitsTheCacheLimit) {
  std::string feed = FeedFor("0.5.0");
  feed.insert(1, kMaxHttpBodyBytes - feed.size(), '\n');
  const UpdateCache cache{std::numeric_limits<std::int64_t>::min(), feed};
  const std::string text = UpdateCacheText(cache);
  EXPECT_LE(text.size(), kMaxCacheBytes);
  const UpdateCache read = ParseUpdateCache(text);
  EXPECT_EQ(read.checkedAt, cache.checkedAt);
  EXPECT_EQ(read.feed, feed);
}

TEST_F(UpdateCheckTest, ARedirectIsNotFollowed) {
  Serve(Redirect());
  UpdateCheck check(Config(kNow));
  check.CheckNow();
  check.Refresh();
  ASSERT_EQ(server_.RequestCount(), 1);
  EXPECT_EQ(server_.Requests()[0].target, "/updates.json");
  EXPECT_FALSE(check.Available());
}

TEST_F(UpdateCheckTest, AFeedWithoutThisProductIsStoredButShowsNothing) {
  Serve(Respond(200, R"({"other":{"version":"9.9.9","page":"/x"}})"));
  UpdateCheck check(Config(kNow));
  check.CheckNow();
  check.Refresh();
  EXPECT_EQ(Cache().feed, R"({"other":{"version":"9.9.9","page":"/x"}})");
  EXPECT_FALSE(check.Available());
}

TEST_F(UpdateCheckTest, AnUnwritableDataFolderMeansNoFetch) {
  std::ofstream(home_.Path() / "Kestrune", std::ios::binary) << "a file where the folder should be";
  UpdateCheck check(Config(kNow));
  check.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 0);
}

TEST_F(UpdateCheckTest, NothingIsFetchedWhenNotAllowed) {
  UpdateCheckConfig config = Config(kNow);
  config.allowed = [] { return false; };
  UpdateCheck check(config);
  check.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 0);
  EXPECT_FALSE(fs::exists(shared_ / "updates.json"));
}

TEST_F(UpdateCheckTest, AnOversizedOrBrokenCacheCountsAsEmpty) {
  fs::create_directories(shared_);
  // A good cache, but padded beyond the largest one an accepted feed can make.
  std::string oversized = UpdateCacheText(UpdateCache{kNow, FeedFor("0.5.0")});
  oversized.insert(1, kMaxCacheBytes + 1 - oversized.size(), ' ');
  std::ofstream(shared_ / "updates.json", std::ios::binary) << oversized;
  UpdateCheck check(Config(kNow));
  check.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 1);
  EXPECT_EQ(Cache().checkedAt, kNow);  // rewritten

  std::ofstream(shared_ / "updates.json", std::ios::binary) << R"({"checked_at":)" << kNow;
  UpdateCheck again(Config(kNow + 1));
  again.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 2);
}

// --- The feed address ----------------------------------------------------------

TEST_F(UpdateCheckTest, TheEnvironmentVariableReplacesTheFeedAddress) {
  ombrix::test::ScopedEnvironment override(kFeedAddressVariable, server_.Url("/from-environment.json").c_str());
  UpdateCheckConfig config = Config(kNow);
  config.feedAddress = "http://127.0.0.1:1/never-asked.json";
  UpdateCheck check(config);
  EXPECT_EQ(check.Config().feedAddress, server_.Url("/from-environment.json"));
  check.CheckNow();
  check.Refresh();
  ASSERT_EQ(server_.RequestCount(), 1);
  EXPECT_EQ(server_.Requests()[0].target, "/from-environment.json");
  ASSERT_TRUE(check.Available());
  EXPECT_EQ(check.Available()->page, kSite + "/plugins/ombrix");  // the built-in site stays
}

TEST_F(UpdateCheckTest, AnEmptyEnvironmentVariableIsIgnored) {
  ombrix::test::ScopedEnvironment override(kFeedAddressVariable, "");
  UpdateCheck check(Config(kNow));
  EXPECT_EQ(check.Config().feedAddress, server_.Url("/updates.json"));
}

TEST(UpdateCheckDefaultsTest, DefaultsAreTheMakersFeedTheSharedFolderAndTheSystemClock) {
  ombrix::test::ScopedEnvironment noOverride(kFeedAddressVariable, nullptr);
  ombrix::test::TempDataHome home;
  UpdateCheckConfig config = MakeUpdateCheckConfig("ombrix", "0.4.10");
  EXPECT_EQ(config.dataFolder, ombrix::MakerSharedFolder());
  EXPECT_EQ(config.feedAddress, kDefaultFeedAddress);
  EXPECT_FALSE(config.now);
  EXPECT_FALSE(config.fetch);
  EXPECT_FALSE(config.allowed);
  UpdateCheck check(config);
  EXPECT_EQ(check.Config().feedAddress, "https://kestrune.com/updates.json");
  ASSERT_TRUE(check.Config().now && check.Config().fetch && check.Config().allowed);
  const auto systemNow = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_NEAR(static_cast<double>(check.Config().now()), static_cast<double>(systemNow), 5.0);
  EXPECT_TRUE(check.Config().allowed());
  EXPECT_TRUE(check.IsEnabled());
  EXPECT_FALSE(check.Available());
  EXPECT_EQ(check.ChangeCount(), 0);
  EXPECT_FALSE(fs::exists(home.Path() / "Kestrune"));  // construction writes nothing
}

// --- Switching off -------------------------------------------------------------

TEST_F(UpdateCheckTest, ASwitchOffFileMadeByHandStopsFetchingAndHidesTheUpdate) {
  SeedCache(kNow - 700, FeedFor("0.5.0"));
  UpdateCheck check(Config(kNow));
  ASSERT_TRUE(check.Available());
  const std::int32_t before = check.ChangeCount();

  std::ofstream(shared_ / "updates-off") << "";
  check.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 0);
  EXPECT_EQ(Cache().checkedAt, kNow - 700);
  EXPECT_TRUE(check.Available());  // until the next Refresh
  check.Refresh();
  EXPECT_FALSE(check.IsEnabled());
  EXPECT_FALSE(check.Available());
  EXPECT_EQ(check.ChangeCount(), before + 1);

  // Anything at the path counts, a folder too.
  fs::remove(shared_ / "updates-off");
  fs::create_directory(shared_ / "updates-off");
  check.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 0);

  fs::remove(shared_ / "updates-off");
  check.Refresh();
  EXPECT_TRUE(check.IsEnabled());
  EXPECT_TRUE(check.Available());
  EXPECT_EQ(check.ChangeCount(), before + 2);
  check.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 1);
}

TEST_F(UpdateCheckTest, SetEnabledWritesAndRemovesTheSwitchOffFile) {
  SeedCache(kNow, FeedFor("0.5.0"));
  UpdateCheck check(Config(kNow));
  ASSERT_TRUE(check.Available());
  const std::int32_t before = check.ChangeCount();

  check.SetEnabled(false);
  EXPECT_EQ(Slurp(shared_ / "updates-off"),
            "The Kestrune plug-ins do not check for updates while this file is here.\n");
  EXPECT_FALSE(check.IsEnabled());
  EXPECT_FALSE(check.Available());
  EXPECT_EQ(check.ChangeCount(), before + 1);
  // Another instance sees the switch at construction.
  EXPECT_FALSE(UpdateCheck(Config(kNow)).IsEnabled());

  check.SetEnabled(true);
  EXPECT_FALSE(fs::exists(shared_ / "updates-off"));
  EXPECT_TRUE(check.IsEnabled());
  ASSERT_TRUE(check.Available());  // the cached update shows at once
  EXPECT_EQ(check.Available()->version, "0.5.0");
  EXPECT_EQ(check.ChangeCount(), before + 2);
  check.SetEnabled(true);  // nothing to remove: no change
  EXPECT_EQ(check.ChangeCount(), before + 2);
  EXPECT_EQ(server_.RequestCount(), 0);
}

TEST_F(UpdateCheckTest, OnlyVisibleChangesAreCounted) {
  UpdateCheck check(Config(kNow));
  EXPECT_EQ(check.ChangeCount(), 0);
  check.Refresh();
  EXPECT_EQ(check.ChangeCount(), 0);
  SeedCache(kNow, FeedFor("0.5.0"));
  check.Refresh();
  EXPECT_EQ(check.ChangeCount(), 1);
  SeedCache(kNow + 5, FeedFor("0.5.0"));  // a new stamp alone changes nothing visible
  check.Refresh();
  EXPECT_EQ(check.ChangeCount(), 1);
  SeedCache(kNow, FeedFor("0.5.1"));
  check.Refresh();
  EXPECT_EQ(check.ChangeCount(), 2);
  SeedCache(kNow, FeedFor("0.5.1", "/other"));
  check.Refresh();
  EXPECT_EQ(check.ChangeCount(), 3);
  SeedCache(kNow, FeedFor("0.4.10"));
  check.Refresh();
  EXPECT_EQ(check.ChangeCount(), 4);
  const UpdateState state = check.State();
  EXPECT_TRUE(state.enabled);
  EXPECT_FALSE(state.available);
  EXPECT_EQ(state.changeCount, 4);
}

// --- Versions and pages --------------------------------------------------------

TEST(UpdateVersionTest, ParseVersionTakesThreeShortNumbers) {
  EXPECT_EQ(ParseVersion("0.4.10"), (std::array<int, 3>{0, 4, 10}));
  EXPECT_EQ(ParseVersion("0000.9999.0001"), (std::array<int, 3>{0, 9999, 1}));
  for (const char* bad : {"", "0.4", "0.4.10.1", "0.4.10-beta", "v0.4.10", "0.4.10 ", " 0.4.10", "0..10", "0.4.",
                          ".4.10", "0.4.12345", "12345.0.0", "0.4.1a", "0,4,10", "-1.0.0", "+1.0.0", "0.4.10\n"}) {
    EXPECT_FALSE(ParseVersion(bad)) << bad;
  }
}

std::optional<std::string> NewerIn(std::string_view version) {
  auto info = EvaluateFeed(FeedFor(version), "ombrix", "0.4.10");
  if (!info) return std::nullopt;
  return info->version;
}

TEST(UpdateVersionTest, OnlyANewerVersionIsAnUpdate) {
  EXPECT_FALSE(NewerIn("0.4.10"));
  EXPECT_FALSE(NewerIn("0.4.9"));
  EXPECT_FALSE(NewerIn("0.3.99"));
  EXPECT_FALSE(NewerIn("0.04.010"));  // the same numbers written differently
  EXPECT_EQ(NewerIn("0.4.11"), "0.4.11");
  EXPECT_EQ(NewerIn("0.5.0"), "0.5.0");
  EXPECT_EQ(NewerIn("1.0.0"), "1.0.0");
  EXPECT_EQ(NewerIn("0.04.11"), "0.04.11");  // shown as the feed writes it
  EXPECT_FALSE(NewerIn("1.0"));
  EXPECT_FALSE(NewerIn("1.0.0-beta"));
  // Numeric, not textual, comparison.
  EXPECT_TRUE(EvaluateFeed(FeedFor("0.10.0"), "ombrix", "0.9.99"));
  EXPECT_FALSE(EvaluateFeed(FeedFor("0.9.99"), "ombrix", "0.10.0"));
  // A current version that does not parse never reports an update.
  EXPECT_FALSE(EvaluateFeed(FeedFor("9.0.0"), "ombrix", "0.4"));
}

TEST(UpdateFeedTest, OneFeedOnTheSiteHostAndPagesOpenOnThatSite) {
  EXPECT_EQ(kDefaultFeedAddress, "https://kestrune.com/updates.json");
  // What the update pill opens for a feed page.
  const auto info = EvaluateFeed(FeedFor("0.5.0", "/plugins/ombrix"), "ombrix", "0.4.10");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->page, "https://kestrune.com/plugins/ombrix");
}

TEST(UpdateVersionTest, PagePathsAreCheckedStrictly) {
  auto pageOf = [](std::string_view page) -> std::optional<std::string> {
    auto info = EvaluateFeed(FeedFor("0.5.0", page), "ombrix", "0.4.10");
    if (!info) return std::nullopt;
    return info->page;
  };
  EXPECT_EQ(pageOf("/plugins/ombrix"), kSite + "/plugins/ombrix");
  EXPECT_EQ(pageOf("/"), kSite + "/");
  EXPECT_EQ(pageOf("/Ombrix_0-5/#download"), kSite + "/Ombrix_0-5/#download");
  EXPECT_EQ(pageOf("/" + std::string(99, 'a')), kSite + "/" + std::string(99, 'a'));
  EXPECT_FALSE(pageOf("/" + std::string(100, 'a')));  // 101 bytes
  EXPECT_FALSE(pageOf(""));
  EXPECT_FALSE(pageOf("plugins"));
  EXPECT_FALSE(pageOf("//evil.example/x"));
  EXPECT_FALSE(pageOf("/a?b=1"));
  EXPECT_FALSE(pageOf("/a.html"));
  EXPECT_FALSE(pageOf("/caf\xC3\xA9"));
  EXPECT_FALSE(pageOf("/a b"));
  EXPECT_FALSE(pageOf("/a%20b"));
  EXPECT_FALSE(pageOf("/a\\\\b"));
  EXPECT_FALSE(pageOf("https://evil.example"));
}

TEST(UpdateFeedTest, TheFeedMustHoldThisProductWithStrings) {
  auto evaluate = [](std::string_view feed) { return EvaluateFeed(feed, "ombrix", "0.4.10"); };
  EXPECT_FALSE(evaluate(""));
  EXPECT_FALSE(evaluate("[]"));
  EXPECT_FALSE(evaluate("{}"));
  EXPECT_FALSE(evaluate(R"({"ombrix":"0.5.0"})"));
  EXPECT_FALSE(evaluate(R"({"ombrix":{"version":"0.5.0"}})"));
  EXPECT_FALSE(evaluate(R"({"ombrix":{"page":"/p"}})"));
  EXPECT_FALSE(evaluate(R"({"ombrix":{"version":0.5,"page":"/p"}})"));
  EXPECT_FALSE(evaluate(R"({"ombrix":{"version":"0.5.0","page":["/p"]}})"));
  EXPECT_FALSE(evaluate(R"({"Ombrix":{"version":"0.5.0","page":"/p"}})"));
  EXPECT_FALSE(evaluate(FeedFor("0.5.0") + "x"));
  // The first member of a name counts, in the feed and in the entry.
  EXPECT_FALSE(evaluate(R"({"ombrix":1,"ombrix":{"version":"0.5.0","page":"/p"}})"));
  auto info = evaluate(R"({"ombrix":{"version":"0.6.0","page":"/p","version":"0.7.0","extra":[1,2]}})");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->version, "0.6.0");
  std::string big = FeedFor("0.5.0");
  big.insert(1, kMaxHttpBodyBytes + 1 - big.size(), ' ');
  EXPECT_FALSE(evaluate(big));
}

// --- The cache text -------------------------------------------------------------

TEST(UpdateCacheTest, TextIsCompactWithThreeMembersInOrder) {
  EXPECT_EQ(UpdateCacheText(UpdateCache{}), "{\"version\":1,\"checked_at\":0,\"feed\":\"\"}\n");
  EXPECT_EQ(UpdateCacheText(UpdateCache{-5, "{\"a\":\"b\"}"}),
            "{\"version\":1,\"checked_at\":-5,\"feed\":\"{\\\"a\\\":\\\"b\\\"}\"}\n");
  const UpdateCache cache{kNow, FeedFor("0.5.0")};
  const UpdateCache back = ParseUpdateCache(UpdateCacheText(cache));
  EXPECT_EQ(back.checkedAt, cache.checkedAt);
  EXPECT_EQ(back.feed, cache.feed);
}

TEST(UpdateCacheTest, UnusableMembersReadAsEmpty) {
  auto read = [](std::string_view text) { return ParseUpdateCache(text); };
  EXPECT_EQ(read("").checkedAt, 0);
  EXPECT_EQ(read("[1]").checkedAt, 0);
  EXPECT_EQ(read(R"({"checked_at":12})").checkedAt, 12);
  EXPECT_EQ(read(R"({"checked_at":-12})").checkedAt, -12);
  EXPECT_EQ(read(R"({"checked_at":1.2e3})").checkedAt, 1200);
  EXPECT_EQ(read(R"({"checked_at":1.5})").checkedAt, 0);
  EXPECT_EQ(read(R"({"checked_at":"12"})").checkedAt, 0);
  EXPECT_EQ(read(R"({"checked_at":1e19})").checkedAt, 0);
  EXPECT_EQ(read(R"({"checked_at":-9223372036854775808})").checkedAt, INT64_MIN);
  EXPECT_EQ(read(R"({"checked_at":9223372036854775808})").checkedAt, 0);
  EXPECT_EQ(read(R"({"checked_at":1e999})").checkedAt, 0);
  EXPECT_EQ(read(R"({"checked_at":7,"checked_at":9})").checkedAt, 7);
  EXPECT_EQ(read(R"({"version":99,"checked_at":7,"feed":"{}"})").feed, "{}");
  EXPECT_EQ(read(R"({"feed":"[1,2]"})").feed, "[1,2]");  // any JSON is kept; evaluation wants an object
  EXPECT_EQ(read(R"({"feed":"{"})").feed, "");
  EXPECT_EQ(read(R"({"feed":{}})").feed, "");
  EXPECT_EQ(read(R"({"feed":"{}","feed":"[]"})").feed, "{}");
  EXPECT_EQ(read(R"({"checked_at":7,"feed":"{}")").checkedAt, 0);  // broken JSON
}

TEST_F(UpdateCheckTest, AVeryOldOrOddStampIsDueWithoutOverflow) {
  SeedCache(INT64_MIN, "");
  UpdateCheck check(Config(kNow));
  check.CheckNow();
  EXPECT_EQ(server_.RequestCount(), 1);
}

// --- HttpGet -------------------------------------------------------------------

class HttpGetTest : public UpdateCheckTest {};

TEST_F(HttpGetTest, ReturnsStatusAndBody) {
  Serve(Respond(200, "hello"));
  const HttpResult result = HttpGet(server_.Url("/x"), 8);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, "hello");
  EXPECT_EQ(result.retryAfter, 0);
  Serve(Respond(404, "missing"));
  const HttpResult missing = HttpGet(server_.Url("/y"), 8);
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.body, "missing");
}

TEST_F(HttpGetTest, SendsNoCookiesItWasGiven) {
  CannedResponse response = Respond(200, "{}");
  response.headers.emplace_back("Set-Cookie", "session=abc; Path=/");
  Serve(response);
  HttpGet(server_.Url("/a"), 8);
  HttpGet(server_.Url("/a"), 8);
  ASSERT_EQ(server_.RequestCount(), 2);
  for (const HttpRequestRecord& request : server_.Requests()) EXPECT_EQ(request.CountHeader("Cookie"), 0);
}

TEST_F(HttpGetTest, ReadsRetryAfterWithinOneHour) {
  auto retryAfter = [&](const char* value) {
    CannedResponse response = Respond(503, "");
    response.headers.emplace_back("Retry-After", value);
    Serve(response);
    const HttpResult result = HttpGet(server_.Url("/"), 8);
    EXPECT_EQ(result.status, 503);
    return result.retryAfter;
  };
  EXPECT_EQ(retryAfter("120"), 120);
  EXPECT_EQ(retryAfter("1"), 1);
  EXPECT_EQ(retryAfter("3600"), 3600);
  EXPECT_EQ(retryAfter("0"), 0);
  EXPECT_EQ(retryAfter("3601"), 0);
  EXPECT_EQ(retryAfter("soon"), 0);
}

TEST_F(HttpGetTest, ReturnsARedirectAsItIs) {
  Serve(Redirect());
  const HttpResult result = HttpGet(server_.Url("/updates.json"), 8);
  EXPECT_EQ(result.status, 302);
  EXPECT_EQ(server_.RequestCount(), 1);
}

TEST_F(HttpGetTest, RefusesBodiesOverTheLimit) {
  Serve(Respond(200, std::string(kMaxHttpBodyBytes, 'x')));
  EXPECT_EQ(HttpGet(server_.Url("/"), 8).body.size(), kMaxHttpBodyBytes);
  Serve(Respond(200, std::string(kMaxHttpBodyBytes + 1, 'x')));
  const HttpResult announced = HttpGet(server_.Url("/"), 8);
  EXPECT_EQ(announced.status, 0);
  EXPECT_TRUE(announced.body.empty());
}

TEST_F(HttpGetTest, AbortsAnOversizedBodyAsSoonAsItExceedsTheLimit) {
  // No length announced, and the server keeps the connection open after
  // 70000 bytes: only stopping at the limit returns quickly.
  CannedResponse response = Respond(200, std::string(70000, 'x'));
  response.sendContentLength = false;
  response.holdOpenAfterBody = std::chrono::seconds(6);
  Serve(response);
  const auto start = std::chrono::steady_clock::now();
  const HttpResult result = HttpGet(server_.Url("/"), 8);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.body.empty());
}

TEST_F(HttpGetTest, GivesUpAfterTheTimeOut) {
  CannedResponse response = Respond(200, "{}");
  response.delayBeforeResponse = std::chrono::seconds(6);
  Serve(response);
  const auto start = std::chrono::steady_clock::now();
  const HttpResult result = HttpGet(server_.Url("/"), 1);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(result.status, 0);
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::seconds(4));
}

TEST_F(HttpGetTest, FailuresGiveStatusZero) {
  const std::string port = std::to_string(server_.Port());
  EXPECT_EQ(HttpGet("", 8).status, 0);
  EXPECT_EQ(HttpGet("not an address", 8).status, 0);
  EXPECT_EQ(HttpGet("ftp://127.0.0.1:" + port + "/", 8).status, 0);
  EXPECT_EQ(HttpGet("file:///etc/hostname", 8).status, 0);
  EXPECT_EQ(HttpGet("http://" + std::string(300, 'a') + "/", 8).status, 0);
  EXPECT_EQ(HttpGet(server_.Url("/" + std::string(2100, 'a')), 8).status, 0);
  EXPECT_EQ(server_.RequestCount(), 0);
  // TLS spoken to a plain HTTP server fails the handshake.
  EXPECT_EQ(HttpGet("https://127.0.0.1:" + port + "/", 1).status, 0);
  // Nobody listens on port 1.
  EXPECT_EQ(HttpGet("http://127.0.0.1:1/", 1).status, 0);
}

}  // namespace
}  // namespace kestrune::updates
