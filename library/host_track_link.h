#pragma once
// Which track the plug-in sits on and what colour that track has, as the host
// tells it: REAPER through its host extension, any other VST3 host through the
// channel context. The editor shows the result as its title and, with the
// "DAW color" theme, as its accent colour.
//
// Binding and polling both happen on the message thread: the VST3 host sets
// the plug-in up on its main thread, and the idle timer and the editor's
// drawing run there too.
#include <cstdint>
#include <optional>
#include <string>

namespace Steinberg {
class FUnknown;
}

namespace ombrix {

class IReaperHostApplication;

// What a VST3 host reported about the channel the plug-in sits on. The plug-in
// fills it whenever the host reports new track properties.
struct ChannelContextInfo {
  std::string name;          // UTF-8, empty when the host gave none
  std::optional<int> index;  // as the host gives it; absent when it never reaches the plug-in
  std::uint32_t colour = 0;  // ARGB, alpha in the top byte; 0 when the host gave none
};

struct RgbColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const RgbColour&) const = default;
};

struct RgbaColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t alpha = 0;
  bool operator==(const RgbaColour&) const = default;
};

struct HostTrackName {
  int number = 0;
  std::string name;
};

// The REAPER side: the host extension and the three track functions fetched
// from it, all null until a binding succeeds and fixed from then on.
class HostTrackLink {
 public:
  using GetSetMediaTrackInfoStringFunction = bool (*)(void* track, const char* parmName, char* buffer,
                                                      bool setNewValue);
  using GetMediaTrackInfoValueFunction = double (*)(void* track, const char* parmName);
  using ColorFromNativeFunction = void (*)(int colour, int* red, int* green, int* blue);

  HostTrackLink() = default;
  ~HostTrackLink();
  HostTrackLink(const HostTrackLink&) = delete;
  HostTrackLink& operator=(const HostTrackLink&) = delete;

  // Asks the host context for REAPER's extension; when it is offered, keeps a
  // reference to it and fetches the track functions (any of them may be
  // missing). A host without it leaves the link empty. Once bound, later
  // calls change nothing.
  void Bind(Steinberg::FUnknown* hostContext);
  bool IsBound() const { return hostInterface_ != nullptr; }

  // Number and name of the instance's track, asked afresh on every call.
  // Nothing without the extension or its functions, without a track, when the
  // name cannot be read or the number is not a whole number in int range.
  std::optional<HostTrackName> ReadTrackName() const;

  // The track's custom colour, asked afresh on every call; nothing when no
  // custom colour is set or it cannot be read.
  std::optional<RgbColour> ReadTrackColour() const;

 private:
  void* CurrentTrack() const;

  IReaperHostApplication* hostInterface_ = nullptr;
  GetSetMediaTrackInfoStringFunction GetSetMediaTrackInfo_String_ = nullptr;
  GetMediaTrackInfoValueFunction GetMediaTrackInfo_Value_ = nullptr;
  ColorFromNativeFunction ColorFromNative_ = nullptr;
};

// "#3: Drums" or "#3" from REAPER; else "#2: Bass" from the channel context
// (just "Bass" when the index did not reach the plug-in); else empty.
std::string TrackTitle(const HostTrackLink& link, const ChannelContextInfo& channel);

// What the editor's title control shows for a title: the title, or the
// product's wordmark while there is none.
inline constexpr const char* kUntitledText = "OMBRIX";
std::string TitleControlText(const std::string& title);

// The track colour: REAPER's custom colour first, else an opaque-enough
// channel colour, else nothing.
std::optional<RgbColour> TrackColour(const HostTrackLink& link, const ChannelContextInfo& channel);

// The track colour packed as 0xRRGGBB, or -1 without one; the idle loop
// re-themes the editor when it changes.
int TrackColourKey(const HostTrackLink& link, const ChannelContextInfo& channel);

// Brightens a dark colour until its Rec. 709 luma reaches 47 and darkens a
// light one down to 200, so an accent stays readable on the dark background.
// Nothing for a colour too close to black (luma below 1) to carry a hue.
std::optional<RgbColour> NormaliseBrightness(RgbColour colour);

// Accent for the "DAW color" theme: the normalised track colour, or this
// fallback green without a usable colour.
inline constexpr RgbColour kDawAccentFallback{21, 232, 121};
RgbaColour DawAccentColour(const HostTrackLink& link, const ChannelContextInfo& channel, std::uint8_t alpha);

}  // namespace ombrix
