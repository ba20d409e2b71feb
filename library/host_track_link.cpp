#include "library/host_track_link.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "library/reaper_host_interface.h"

namespace ombrix {
namespace {

constexpr std::size_t kTrackNameBufferSize = 512;
constexpr int kCustomColourFlag = 0x1000000;

// REAPER hands numbers back as doubles. A value that is not finite or lies
// outside int range counts as unreadable: converting it would be undefined.
std::optional<int> ToInt(double value) {
  if (!std::isfinite(value) || value < static_cast<double>(std::numeric_limits<int>::min()) ||
      value >= static_cast<double>(std::numeric_limits<int>::max()) + 1.0)
    return std::nullopt;
  return static_cast<int>(value);
}

std::uint8_t ToChannel(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

template <typename Function>
Function FetchFunction(IReaperHostApplication& host, const char* name) {
  return reinterpret_cast<Function>(host.getReaperApi(name));
}

// "#%d: %s", or "#%d" for an empty name.
std::string NumberedTitle(int number, const std::string& name) {
  std::string title = "#";
  title += std::to_string(number);
  if (!name.empty()) {
    title += ": ";
    title += name;
  }
  return title;
}

}  // namespace

HostTrackLink::~HostTrackLink() {
  if (hostInterface_ != nullptr) hostInterface_->release();
}

void HostTrackLink::Bind(Steinberg::FUnknown* hostContext) {
  if (hostInterface_ != nullptr || hostContext == nullptr) return;
  void* offered = nullptr;
  if (hostContext->queryInterface(kReaperHostApplicationIid, &offered) != Steinberg::kResultOk || offered == nullptr)
    return;
  hostInterface_ = static_cast<IReaperHostApplication*>(offered);
  GetSetMediaTrackInfo_String_ =
      FetchFunction<GetSetMediaTrackInfoStringFunction>(*hostInterface_, "GetSetMediaTrackInfo_String");
  GetMediaTrackInfo_Value_ = FetchFunction<GetMediaTrackInfoValueFunction>(*hostInterface_, "GetMediaTrackInfo_Value");
  ColorFromNative_ = FetchFunction<ColorFromNativeFunction>(*hostInterface_, "ColorFromNative");
}

void* HostTrackLink::CurrentTrack() const {
  return hostInterface_ != nullptr ? hostInterface_->getReaperParent(kReaperParentTrack) : nullptr;
}

std::optional<HostTrackName> HostTrackLink::ReadTrackName() const {
  if (hostInterface_ == nullptr || GetSetMediaTrackInfo_String_ == nullptr || GetMediaTrackInfo_Value_ == nullptr)
    return std::nullopt;
  void* track = CurrentTrack();
  if (track == nullptr) return std::nullopt;

  std::array<char, kTrackNameBufferSize> buffer{};
  if (!GetSetMediaTrackInfo_String_(track, "P_NAME", buffer.data(), false)) return std::nullopt;
  // The host gets no buffer size; never trust it to have terminated the text.
  buffer.back() = '\0';

  const std::optional<int> number = ToInt(GetMediaTrackInfo_Value_(track, "IP_TRACKNUMBER"));
  if (!number) return std::nullopt;
  return HostTrackName{*number, std::string(buffer.data())};
}

std::optional<RgbColour> HostTrackLink::ReadTrackColour() const {
  if (hostInterface_ == nullptr || GetMediaTrackInfo_Value_ == nullptr || ColorFromNative_ == nullptr)
    return std::nullopt;
  void* track = CurrentTrack();
  if (track == nullptr) return std::nullopt;

  const std::optional<int> custom = ToInt(GetMediaTrackInfo_Value_(track, "I_CUSTOMCOLOR"));
  if (!custom || (*custom & kCustomColourFlag) == 0) return std::nullopt;
  int red = 0;
  int green = 0;
  int blue = 0;
  ColorFromNative_(*custom & 0xFFFFFF, &red, &green, &blue);
  return RgbColour{ToChannel(red), ToChannel(green), ToChannel(blue)};
}

std::string TrackTitle(const HostTrackLink& link, const ChannelContextInfo& channel) {
  if (const std::optional<HostTrackName> track = link.ReadTrackName()) return NumberedTitle(track->number, track->name);
  if (channel.name.empty()) return {};
  if (!channel.index) return channel.name;
  return NumberedTitle(*channel.index, channel.name);
}

std::string TitleControlText(const std::string& title) { return title.empty() ? std::string(kUntitledText) : title; }

std::optional<RgbColour> TrackColour(const HostTrackLink& link, const ChannelContextInfo& channel) {
  if (const std::optional<RgbColour> colour = link.ReadTrackColour()) return colour;
  if ((channel.colour >> 24) == 0) return std::nullopt;
  return RgbColour{static_cast<std::uint8_t>(channel.colour >> 16), static_cast<std::uint8_t>(channel.colour >> 8),
                   static_cast<std::uint8_t>(channel.colour)};
}

int TrackColourKey(const HostTrackLink& link, const ChannelContextInfo& channel) {
  const std::optional<RgbColour> colour = TrackColour(link, channel);
  if (!colour) return -1;
  return colour->red * 65536 + colour->green * 256 + colour->blue;
}

std::optional<RgbColour> NormaliseBrightness(RgbColour colour) {
  const float luma = 0.2126f * colour.red + 0.7152f * colour.green + 0.0722f * colour.blue;
  if (luma < 1.0f) return std::nullopt;
  float factor = 1.0f;
  if (luma < 47.0f)
    factor = 47.0f / luma;
  else if (luma > 200.0f)
    factor = 200.0f / luma;
  const auto scale = [factor](std::uint8_t channel) {
    return static_cast<std::uint8_t>(std::clamp(static_cast<float>(channel) * factor, 0.0f, 255.0f));
  };
  return RgbColour{scale(colour.red), scale(colour.green), scale(colour.blue)};
}

RgbaColour DawAccentColour(const HostTrackLink& link, const ChannelContextInfo& channel, std::uint8_t alpha) {
  std::optional<RgbColour> accent;
  if (const std::optional<RgbColour> track = TrackColour(link, channel)) accent = NormaliseBrightness(*track);
  const RgbColour rgb = accent.value_or(kDawAccentFallback);
  return RgbaColour{rgb.red, rgb.green, rgb.blue, alpha};
}

}  // namespace ombrix
