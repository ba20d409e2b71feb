#pragma once
// Where every control sits on the 640 x 400 canvas, in the order it is
// attached (later ones draw on top), with the tag other code finds it by and
// the shade group a shading panel belongs to. The editor builds itself from
// this table; nothing positions itself.
#include <array>
#include <string_view>

namespace tonal_panel {

enum class ControlId {
  Background,
  Card,
  TargetLabel,
  TargetChip,
  Legend,
  Spectrum,
  Readouts,
  CorrectPill,
  FreezePill,
  KnobRow,
  CorrectShadeSpeed,
  CorrectShadeAmounts,
  FreezeShade,
  Divider,
  Loudness,
  LoudnessChip,
  Title,
  BypassPill,
  SettingsMenu,
  UpdatePill,
  BypassShade,
  PresetBar,
  Logo,
  StatusLine,
  CornerScale,
};

enum class ShadeGroup { None, Correct, Freeze, Bypass };

// Tags by which the idle loop and the controls find each other.
enum Tag : int {
  kNoTag = -1,
  kTitleTag = 0,
  kStatusTag = 1,
  kSpectrumTag = 2,
  kLegendTag = 3,
  kReadoutsTag = 4,
  kLoudnessTag = 5,
  kLoudnessChipTag = 6,
  kTargetChipTag = 7,
};

struct CanvasRect {
  int left, top, right, bottom;
  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
};

struct LayoutEntry {
  ControlId id;
  CanvasRect bounds;
  int tag = kNoTag;
  ShadeGroup shade = ShadeGroup::None;
};

inline constexpr CanvasRect kWholeCanvas{0, 0, 640, 400};

inline constexpr std::array<LayoutEntry, 25> kLayout{{
    {ControlId::Background, kWholeCanvas},
    {ControlId::Card, {10, 74, 630, 360}},
    {ControlId::TargetLabel, {22, 80, 72, 104}},
    {ControlId::TargetChip, {72, 81, 250, 103}, kTargetChipTag},
    {ControlId::Legend, {256, 80, 478, 104}, kLegendTag},
    {ControlId::Spectrum, {22, 108, 478, 252}, kSpectrumTag},
    {ControlId::Readouts, {110, 260, 482, 306}, kReadoutsTag},
    {ControlId::CorrectPill, {20, 256, 112, 278}},
    {ControlId::FreezePill, {20, 282, 112, 304}},
    {ControlId::KnobRow, {20, 308, 482, 360}},
    {ControlId::CorrectShadeSpeed, {20, 308, 112, 360}, kNoTag, ShadeGroup::Correct},
    {ControlId::CorrectShadeAmounts, {112, 308, 482, 360}, kNoTag, ShadeGroup::Correct},
    {ControlId::FreezeShade, {20, 308, 112, 360}, kNoTag, ShadeGroup::Freeze},
    {ControlId::Divider, {490, 82, 491, 352}},
    {ControlId::Loudness, {498, 82, 620, 354}, kLoudnessTag},
    {ControlId::LoudnessChip, {509, 230, 609, 252}, kLoudnessChipTag},
    {ControlId::Title, {20, 41, 504, 69}, kTitleTag},
    {ControlId::BypassPill, {534, 41, 620, 65}},
    {ControlId::SettingsMenu, {0, 0, 0, 0}},
    {ControlId::UpdatePill, {364, 41, 524, 65}},
    {ControlId::BypassShade, {10, 74, 630, 360}, kNoTag, ShadeGroup::Bypass},
    {ControlId::PresetBar, {0, 0, 640, 32}},
    {ControlId::Logo, {20, 371, 300, 389}},  // the SVG's width decides the right edge
    {ControlId::StatusLine, {300, 373, 620, 387}, kStatusTag},
    {ControlId::CornerScale, {626, 386, 638, 398}},
}};

constexpr const LayoutEntry& EntryOf(ControlId id) {
  for (const LayoutEntry& e : kLayout)
    if (e.id == id) return e;
  return kLayout[0];
}

// The knob row: six columns, each a ring knob over its caption.
struct KnobColumn {
  int centreX;
  int parameter;
  std::string_view captionPrefix;
  enum class LiveValue { None, Tilt, Band } live;
  int band;  // 1..4 for a band column (Low, Lo-Mid, Hi-Mid, High)
};
inline constexpr std::array<KnobColumn, 6> kKnobColumns{{
    {66, 9, "Speed ", KnobColumn::LiveValue::None, 0},
    {149, 5, "", KnobColumn::LiveValue::Tilt, 0},
    {223, 6, "", KnobColumn::LiveValue::Band, 1},
    {297, 7, "", KnobColumn::LiveValue::Band, 2},
    {371, 16, "", KnobColumn::LiveValue::Band, 3},
    {445, 8, "", KnobColumn::LiveValue::Band, 4},
}};
constexpr CanvasRect KnobBounds(int x) { return {x - 16, 310, x + 16, 342}; }
constexpr CanvasRect CaptionBounds(int x) { return {x - 37, 344, x + 37, 358}; }

// The title leaves 10 pixels before the update pill while the pill shows.
inline constexpr int kTitleRightWithoutPill = 504;
inline constexpr int kTitleGapBeforePill = 10;

}  // namespace tonal_panel
