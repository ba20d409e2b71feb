#include "tools/ombrix/loudness_plot.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <juce_gui_basics/juce_gui_basics.h>

#include "dsp/audio_file_reader.h"
#include "dsp/loudness_meter.h"
#include "editor/palette.h"
#include "editor/text_style.h"
#include "library/format_db.h"
#include "library/host_track_link.h"
#include "library/locale_free_numbers.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/png_file.h"

namespace ombrix::cli {
namespace {

using tonal_panel::DrawText;
using tonal_panel::TextStyle;

// In logical pixels, drawn at twice the size, like the spectrum picture.
constexpr int kWidth = 640;
constexpr int kHeight = 300;
constexpr float kScale = 2.0f;
const juce::Rectangle<float> kPlotBox = juce::Rectangle<float>::leftTopRightBottom(56, 12, 628, 248);
const juce::Rectangle<float> kCaptionBox = juce::Rectangle<float>::leftTopRightBottom(14, 272, 626, 296);
constexpr double kLevelStep = 6.0;   // LU between level lines
constexpr double kLevelSpan = 36.0;  // LU shown from the top down
constexpr double kBlockSeconds = 0.1;

const juce::Colour kGridLine = tonal_panel::Argb(13, 250, 250, 250);

juce::String Utf8(const std::string& text) { return juce::String::fromUTF8(text.c_str()); }

std::string Lufs(double value) {
  return value > dsp::kNothingMeasured ? FormatFixed(value, 1) + " LUFS" : std::string("none");
}

struct Scale {
  double top = 0.0;  // LUFS at the top edge
  double seconds = 0.0;

  float Y(double lufs) const {
    const double v = std::clamp(lufs, top - kLevelSpan, top);
    return kPlotBox.getY() + static_cast<float>((top - v) / kLevelSpan) * kPlotBox.getHeight();
  }
  float X(double time) const {
    return kPlotBox.getX() + static_cast<float>(seconds > 0.0 ? time / seconds : 0.0) * kPlotBox.getWidth();
  }
};

// The top edge: a level line at least 3 LU above the loudest value shown.
double TopLevel(const FileAnalysis& a, double target) {
  double loudest = std::max({target, a.integratedLufs, a.maxMomentaryLufs, a.maxShortTermLufs});
  return std::ceil((loudest + 3.0) / kLevelStep) * kLevelStep;
}

// From the first block whose window lies wholly inside the file: before it
// the window still holds the silence before the start.
juce::Path TracePath(const std::vector<float>& trace, int windowBlocks, const Scale& scale) {
  juce::Path path;
  const auto first = static_cast<std::size_t>(windowBlocks - 1);
  for (std::size_t i = first; i < trace.size(); ++i) {
    const juce::Point<float> p{scale.X(static_cast<double>(i + 1) * kBlockSeconds), scale.Y(trace[i])};
    if (i == first)
      path.startNewSubPath(p);
    else
      path.lineTo(p);
  }
  return path;
}

void DashedLevel(juce::Graphics& g, const Scale& scale, double lufs, juce::Colour colour) {
  const float y = scale.Y(lufs);
  const std::array<float, 2> dashes{5.0f, 3.0f};
  g.setColour(colour);
  g.drawDashedLine(juce::Line<float>(kPlotBox.getX(), y, kPlotBox.getRight(), y), dashes.data(),
                   static_cast<int>(dashes.size()), 1.0f);
}

void DrawAxes(juce::Graphics& g, const Scale& scale) {
  const TextStyle labels = tonal_panel::text_styles::Small().WithColour(tonal_panel::text_styles::kColours.textDim);
  g.setColour(kGridLine);
  for (double v = scale.top; v >= scale.top - kLevelSpan; v -= kLevelStep) {
    const float y = scale.Y(v);
    g.fillRect(kPlotBox.getX(), y - 0.5f, kPlotBox.getWidth(), 1.0f);
    DrawText(g, labels.WithJustification(tonal_panel::kFar), Utf8(kestrune::controls::FormatDb(v, false, true)),
             {kPlotBox.getX() - 40.0f, y - 6.0f, 34.0f, 12.0f});
    g.setColour(kGridLine);
  }
  DrawText(g, labels.WithJustification(tonal_panel::kFar), "LUFS",
           {kPlotBox.getX() - 40.0f, kPlotBox.getBottom() + 3.0f, 34.0f, 12.0f});
  const double step = TimeStep(scale.seconds);
  for (double t = 0.0; t <= scale.seconds + 1e-9; t += step) {
    const float x = scale.X(t);
    g.setColour(kGridLine);
    g.fillRect(x - 0.5f, kPlotBox.getY(), 1.0f, kPlotBox.getHeight());
    // The first label starts at the left edge, clear of the unit.
    if (t == 0.0)
      DrawText(g, labels.WithJustification(tonal_panel::kNear), Utf8(MinutesSeconds(t)),
               {x, kPlotBox.getBottom() + 3.0f, 48.0f, 12.0f});
    else
      DrawText(g, labels, Utf8(MinutesSeconds(t)), {x - 24.0f, kPlotBox.getBottom() + 3.0f, 48.0f, 12.0f});
  }
}

// Line samples and names in the top right corner.
void DrawLegend(juce::Graphics& g, const tonal_panel::Palette& palette) {
  const TextStyle legend = tonal_panel::text_styles::Legend();
  const struct {
    const char* name;
    juce::Colour colour;
    bool dashed;
  } entries[] = {{"SHORT-TERM", palette.accent, false},
                 {"MOMENTARY", palette.textDim, false},
                 {"INTEGRATED", palette.text, true},
                 {"TARGET", palette.amber, true}};
  float x = kPlotBox.getRight() - 8.0f;
  for (auto it = std::rbegin(entries); it != std::rend(entries); ++it) {
    const float width = tonal_panel::TextWidth(legend, it->name);
    x -= width;
    DrawText(g, legend, it->name, {x, kPlotBox.getY() + 4.0f, width + 2.0f, 12.0f});
    x -= 16.0f;
    const float y = kPlotBox.getY() + 10.0f;
    g.setColour(it->colour);
    if (it->dashed) {
      g.fillRect(x, y - 0.5f, 5.0f, 1.0f);
      g.fillRect(x + 8.0f, y - 0.5f, 4.0f, 1.0f);
    } else {
      g.fillRect(x, y - 0.75f, 12.0f, 1.5f);
    }
    x -= 12.0f;
  }
}

std::string Caption(const FileAnalysis& a) {
  std::string caption = dsp::FileNameUtf8(PathFromUtf8(a.file)) + "    ";
  caption += a.integratedLufs > dsp::kNothingMeasured ? Lufs(a.integratedLufs) + " integrated"
                                                      : std::string("no integrated loudness");
  if (a.loudnessRangeLu > dsp::kNothingMeasured) caption += "    LRA " + FormatFixed(a.loudnessRangeLu, 1) + " LU";
  if (a.maxMomentaryLufs > dsp::kNothingMeasured) caption += "    max momentary " + Lufs(a.maxMomentaryLufs);
  return caption;
}

}  // namespace

std::filesystem::path LoudnessPlotPath(const std::filesystem::path& spectrumPlot) {
  std::filesystem::path path = spectrumPlot;
  return path.replace_extension(".loudness.png");
}

std::string MinutesSeconds(double seconds) {
  const long s = std::lround(std::max(seconds, 0.0));
  return std::to_string(s / 60) + ":" + (s % 60 < 10 ? "0" : "") + std::to_string(s % 60);
}

double TimeStep(double totalSeconds) {
  constexpr std::array<double, 13> kSteps{1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
  for (double step : kSteps)
    if (totalSeconds / step <= 8.0) return step;
  return std::ceil(totalSeconds / 8.0 / 3600.0) * 3600.0;
}

void WriteLoudnessPlot(const FileAnalysis& analysis, double loudnessTarget, const std::filesystem::path& png) {
  const juce::SharedResourcePointer<tonal_panel::EditorTypefaces> typefaces;
  const tonal_panel::Palette palette = tonal_panel::MakePalette(tonal_panel::ThemeAccent(0, kDawAccentFallback));
  Scale scale;
  scale.top = TopLevel(analysis, loudnessTarget);
  scale.seconds = std::max(static_cast<double>(analysis.shortTermTrace.size()) * kBlockSeconds, kBlockSeconds);

  juce::Image picture(juce::Image::ARGB, static_cast<int>(kWidth * kScale), static_cast<int>(kHeight * kScale), true);
  {
    juce::Graphics g(picture);
    g.addTransform(juce::AffineTransform::scale(kScale));
    g.fillAll(tonal_panel::fixed_colours::Card());
    g.setColour(palette.ink);
    g.fillRect(kPlotBox);
    DrawAxes(g, scale);
    {
      const juce::Graphics::ScopedSaveState saved(g);
      g.reduceClipRegion(kPlotBox.toNearestInt());
      g.setColour(palette.textDim);
      g.strokePath(TracePath(analysis.momentaryTrace, dsp::LoudnessMeter::kGatingBlocks, scale), juce::PathStrokeType(0.8f));
      g.setColour(palette.accent);
      g.strokePath(TracePath(analysis.shortTermTrace, dsp::LoudnessMeter::kRingBlocks, scale),
                   juce::PathStrokeType(1.6f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
      if (analysis.integratedLufs > dsp::kNothingMeasured) DashedLevel(g, scale, analysis.integratedLufs, palette.text);
      DashedLevel(g, scale, loudnessTarget, palette.amber);
    }
    DrawLegend(g, palette);
    DrawText(g, tonal_panel::text_styles::Label().WithColour(palette.text).WithSize(11.0f), Utf8(Caption(analysis)),
             kCaptionBox);
  }
  WritePngFile(picture, png);
}

}  // namespace ombrix::cli
