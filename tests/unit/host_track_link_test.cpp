// Track title, track colour and the "DAW color" accent, against a fake REAPER
// host that implements the extension interface and the three track functions.
#include "library/host_track_link.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "library/reaper_host_interface.h"

namespace ombrix {
namespace {

constexpr double kNoNumber = std::numeric_limits<double>::quiet_NaN();

// One track as the fake host stores it. Colours are native values: 0x00BBGGRR
// plus the custom-colour flag in bit 24.
struct FakeTrack {
  double number = 3;
  std::string name;
  bool nameReadable = true;
  bool terminateName = true;
  double customColour = 0;
};

bool FakeGetSetMediaTrackInfoString(void* track, const char* parmName, char* buffer, bool setNewValue) {
  const auto& fake = *static_cast<const FakeTrack*>(track);
  if (setNewValue || std::strcmp(parmName, "P_NAME") != 0 || !fake.nameReadable) return false;
  if (fake.terminateName) {
    std::strcpy(buffer, fake.name.c_str());
  } else {
    std::memcpy(buffer, fake.name.data(), 512);  // fills the whole buffer, no terminator
  }
  return true;
}

double FakeGetMediaTrackInfoValue(void* track, const char* parmName) {
  const auto& fake = *static_cast<const FakeTrack*>(track);
  if (std::strcmp(parmName, "IP_TRACKNUMBER") == 0) return fake.number;
  if (std::strcmp(parmName, "I_CUSTOMCOLOR") == 0) return fake.customColour;
  return 0;
}

void FakeColorFromNative(int colour, int* red, int* green, int* blue) {
  if ((colour >> 24) != 0) {  // the flag must not reach the colour split
    *red = 255, *green = 0, *blue = 255;
    return;
  }
  *red = colour & 0xFF;
  *green = (colour >> 8) & 0xFF;
  *blue = (colour >> 16) & 0xFF;
}

// Serves as the host context and as the extension it hands out.
class FakeReaperHost : public IReaperHostApplication {
 public:
  FakeTrack* track = nullptr;
  std::set<std::string> withheldFunctions;
  bool offersExtension = true;
  int references = 1;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
    *obj = nullptr;
    if (!offersExtension || std::memcmp(iid, kReaperHostApplicationIid, sizeof(Steinberg::TUID)) != 0)
      return Steinberg::kNoInterface;
    addRef();
    *obj = static_cast<IReaperHostApplication*>(this);
    return Steinberg::kResultOk;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return static_cast<Steinberg::uint32>(++references); }
  Steinberg::uint32 PLUGIN_API release() override { return static_cast<Steinberg::uint32>(--references); }

  void* PLUGIN_API getReaperApi(const char* functionName) override {
    const std::string name = functionName;
    if (withheldFunctions.count(name) != 0) return nullptr;
    if (name == "GetSetMediaTrackInfo_String") return reinterpret_cast<void*>(&FakeGetSetMediaTrackInfoString);
    if (name == "GetMediaTrackInfo_Value") return reinterpret_cast<void*>(&FakeGetMediaTrackInfoValue);
    if (name == "ColorFromNative") return reinterpret_cast<void*>(&FakeColorFromNative);
    return nullptr;
  }
  void* PLUGIN_API getReaperParent(Steinberg::uint32 which) override {
    return which == kReaperParentTrack ? track : nullptr;
  }
  void* PLUGIN_API reaperExtended(Steinberg::uint32, void*, void*, void*) override { return nullptr; }
};

TEST(HostTrackLinkTest, BindsOnlyToAHostOfferingTheExtensionAndReleasesItAtTheEnd) {
  FakeReaperHost plainHost;
  plainHost.offersExtension = false;
  FakeReaperHost reaper;
  FakeTrack drums{3, "Drums"};
  reaper.track = &drums;
  {
    HostTrackLink link;
    link.Bind(nullptr);
    link.Bind(&plainHost);
    EXPECT_FALSE(link.IsBound());

    link.Bind(&reaper);
    EXPECT_TRUE(link.IsBound());
    EXPECT_EQ(reaper.references, 2);

    FakeReaperHost later;
    link.Bind(&later);
    EXPECT_EQ(later.references, 1);
    EXPECT_EQ(TrackTitle(link, {}), "#3: Drums");
  }
  EXPECT_EQ(reaper.references, 1);
}

TEST(HostTrackLinkTest, TitleComesFromReaperThenFromTheChannelContext) {
  const std::string longName(600, 'x');
  struct Case {
    const char* what;
    bool reaper;
    bool hasTrack;
    FakeTrack track;
    const char* withheld;
    ChannelContextInfo channel;
    std::string title;
  };
  const Case cases[] = {
      {"named track", true, true, {3, "Drums"}, "", {"Bass", 2, 0}, "#3: Drums"},
      {"unnamed track", true, true, {3, ""}, "", {"Bass", 2, 0}, "#3"},
      {"number printed as given", true, true, {-1, "MASTER"}, "", {}, "#-1: MASTER"},
      {"unterminated name", true, true, {12, longName, true, false}, "", {}, "#12: " + longName.substr(0, 511)},
      {"no track", true, false, {}, "", {"Bass", 2, 0}, "#2: Bass"},
      {"name read fails", true, true, {3, "Drums", false}, "", {"Bass", 2, 0}, "#2: Bass"},
      {"number not finite", true, true, {kNoNumber, "Drums"}, "", {"Bass", 2, 0}, "#2: Bass"},
      {"number out of range", true, true, {1e12, "Drums"}, "", {"Bass", 2, 0}, "#2: Bass"},
      {"no name function", true, true, {3, "Drums"}, "GetSetMediaTrackInfo_String", {"Bass", 2, 0}, "#2: Bass"},
      {"no value function", true, true, {3, "Drums"}, "GetMediaTrackInfo_Value", {"Bass", 2, 0}, "#2: Bass"},
      {"channel only", false, false, {}, "", {"Bass", 2, 0}, "#2: Bass"},
      {"channel without index", false, false, {}, "", {"Bass", std::nullopt, 0}, "Bass"},
      {"channel without name", false, false, {}, "", {"", 2, 0xFF112233}, ""},
      {"nothing at all", false, false, {}, "", {}, ""},
  };
  for (const Case& c : cases) {
    FakeReaperHost host;
    FakeTrack track = c.track;
    host.track = c.hasTrack ? &track : nullptr;
    host.withheldFunctions = {c.withheld};
    HostTrackLink link;
    if (c.reaper) link.Bind(&host);
    EXPECT_EQ(TrackTitle(link, c.channel), c.title) << c.what;
  }
}

TEST(HostTrackLinkTest, TitleControlShowsTheWordmarkWithoutATitle) {
  EXPECT_EQ(TitleControlText(""), "OMBRIX");
  EXPECT_EQ(TitleControlText("#2: Bass"), "#2: Bass");
}

TEST(HostTrackLinkTest, RenamingTheTrackShowsOnTheNextRead) {
  FakeReaperHost host;
  FakeTrack track{3, "Drums"};
  host.track = &track;
  HostTrackLink link;
  link.Bind(&host);
  EXPECT_EQ(TrackTitle(link, {}), "#3: Drums");
  track.name = "Kick";
  EXPECT_EQ(TrackTitle(link, {}), "#3: Kick");
  host.track = nullptr;  // the plug-in moved off a track: asked afresh, never cached
  EXPECT_EQ(TrackTitle(link, {}), "");
}

TEST(HostTrackLinkTest, ColourKeyComesFromTheCustomColourThenTheChannelColour) {
  constexpr int kFlag = 0x1000000;
  struct Case {
    const char* what;
    bool reaper;
    bool hasTrack;
    double customColour;
    const char* withheld;
    std::uint32_t channelColour;
    int key;
  };
  const Case cases[] = {
      {"custom colour", true, true, kFlag | 0x332211, "", 0xFF445566, 0x112233},
      {"custom black", true, true, kFlag, "", 0xFF445566, 0x000000},
      {"flag clear", true, true, 0x332211, "", 0xFF445566, 0x445566},
      {"flag clear, no channel colour", true, true, 0x332211, "", 0, -1},
      {"colour not finite", true, true, kNoNumber, "", 0xFF445566, 0x445566},
      {"no track", true, false, kFlag | 0x332211, "", 0xFF445566, 0x445566},
      {"no colour split", true, true, kFlag | 0x332211, "ColorFromNative", 0xFF445566, 0x445566},
      {"no value function", true, true, kFlag | 0x332211, "GetMediaTrackInfo_Value", 0xFF445566, 0x445566},
      {"channel only", false, false, 0, "", 0x80FFFFFF, 0xFFFFFF},
      {"transparent channel colour", false, false, 0, "", 0x00445566, -1},
      {"nothing at all", false, false, 0, "", 0, -1},
  };
  for (const Case& c : cases) {
    FakeReaperHost host;
    FakeTrack track{3, "Drums", true, true, c.customColour};
    host.track = c.hasTrack ? &track : nullptr;
    host.withheldFunctions = {c.withheld};
    HostTrackLink link;
    if (c.reaper) link.Bind(&host);
    EXPECT_EQ(TrackColourKey(link, {"", std::nullopt, c.channelColour}), c.key) << c.what;
  }
}

TEST(HostTrackLinkTest, DawAccentNormalisesTheTrackColourOrFallsBack) {
  struct Case {
    const char* what;
    std::optional<RgbColour> track;
    RgbColour accent;
  };
  const Case cases[] = {
      {"black", RgbColour{0, 0, 0}, {21, 232, 121}},
      {"no colour", std::nullopt, {21, 232, 121}},
      {"white dimmed to luma 200", RgbColour{255, 255, 255}, {200, 200, 200}},
      {"dark blue brightened and limited", RgbColour{0, 0, 100}, {0, 0, 255}},
      {"darker blue", RgbColour{0, 0, 60}, {0, 0, 255}},
      {"dark grey brightened to luma 47", RgbColour{10, 10, 10}, {47, 47, 47}},
      {"mid colour kept", RgbColour{100, 150, 50}, {100, 150, 50}},
      {"dark red", RgbColour{40, 0, 0}, {221, 0, 0}},
  };
  for (const Case& c : cases) {
    // The same colour reached through REAPER and through the channel context.
    FakeReaperHost host;
    FakeTrack track;
    if (c.track)
      track.customColour = 0x1000000 | (c.track->blue << 16) | (c.track->green << 8) | c.track->red;
    host.track = &track;
    HostTrackLink reaper;
    reaper.Bind(&host);
    EXPECT_EQ(DawAccentColour(reaper, {}, 255), (RgbaColour{c.accent.red, c.accent.green, c.accent.blue, 255}))
        << c.what;

    const HostTrackLink none;
    ChannelContextInfo channel;
    if (c.track) channel.colour = 0xFF000000u | (c.track->red << 16) | (c.track->green << 8) | c.track->blue;
    EXPECT_EQ(DawAccentColour(none, channel, 128), (RgbaColour{c.accent.red, c.accent.green, c.accent.blue, 128}))
        << c.what;
  }
}

TEST(HostTrackLinkTest, BrightnessNormalisationRejectsColoursTooDarkToCarryAHue) {
  EXPECT_FALSE(NormaliseBrightness({0, 0, 0}));
  EXPECT_FALSE(NormaliseBrightness({0, 0, 13}));  // luma 0.94
  EXPECT_EQ(NormaliseBrightness({0, 0, 14}), (RgbColour{0, 0, 255}));
  EXPECT_EQ(NormaliseBrightness({255, 0, 0}), (RgbColour{255, 0, 0}));  // luma 54: untouched
}

}  // namespace
}  // namespace ombrix
