#include "tools/ombrix/frequency_plot.h"

#include <cmath>
#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/parameter_table.h"
#include "dsp/grid_curves.h"
#include "editor/frequency_display_control.h"
#include "editor/palette.h"
#include "editor/text_entry.h"
#include "editor/text_style.h"
#include "library/file_helpers.h"
#include "library/format_db.h"
#include "library/host_track_link.h"
#include "library/locale_free_numbers.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/png_file.h"

namespace ombrix::cli {
namespace {

// In logical pixels, drawn at twice the size.
constexpr int kWidth = 640;
constexpr int kHeight = 300;
constexpr float kScale = 2.0f;
// The level scale takes the room on the left.
const juce::Rectangle<int> kPlotBox = juce::Rectangle<int>::leftTopRightBottom(44, 12, 628, 268);
constexpr double kLevelStep = 6.0;  // dB between labelled levels, as the display's grid lines
constexpr double kWindowDb = 48.0;  // the display's height in dB
const juce::Rectangle<float> kCaptionBox = juce::Rectangle<float>::leftTopRightBottom(14, 272, 626, 296);
// The editor's default display resolution (1 octave).
constexpr int kResolution = 2;

std::string Signed(double value, int decimals) {
  std::string text = FormatFixed(value, decimals);
  if (text.find_first_not_of("-0.") == std::string::npos) text = FormatFixed(0.0, decimals);
  if (text[0] != '-') text.insert(text.begin(), '+');
  return text;
}

// The view the editor would build had it listened to the whole file.
dsp::SpectrumView ViewOf(const FileAnalysis& analysis) {
  const int m = dsp::ResolutionHalfWidth(kResolution);
  dsp::SpectrumView view;
  view.valid = dsp::ValidPointsAt(analysis.sampleRate);
  view.target = dsp::SmoothAcrossFrequency(analysis.target.levels, view.valid, m, dsp::SmoothingMode::kPowerAverage);
  view.spread = dsp::SmoothAcrossFrequency(analysis.target.spread, view.valid, m, dsp::SmoothingMode::kPlainAverage);
  dsp::GridCurve powers{};
  for (std::size_t i = 0; i < dsp::kGridPoints; ++i) powers[i] = std::pow(10.0, (*analysis.longTermLevels)[i] / 10.0);
  view.inputSpectrum = dsp::SmoothAcrossFrequency(dsp::LevelMatch(view.valid, powers, view.target), view.valid, m,
                                                  dsp::SmoothingMode::kPowerAverage);
  // No short-term input: its area stays below the plot.
  view.inputFast.fill(-300.0);
  view.inputValid = true;
  return view;
}

// Labels at the display's level lines ("+6 dB", "0 dB", "−6 dB"), relative
// to the target's level, to the left of the plot.
void DrawLevelScale(juce::Graphics& g, const tonal_panel::SpectrumControl& plot) {
  const tonal_panel::TextStyle style = tonal_panel::text_styles::Small()
                                           .WithColour(tonal_panel::text_styles::kColours.textDim)
                                           .WithJustification(tonal_panel::kFar);
  const double top = plot.TopLevel();
  for (double v = std::floor(top / kLevelStep) * kLevelStep; v > top - kWindowDb; v -= kLevelStep) {
    const float y = plot.YOfLevel(v);
    if (y < kPlotBox.getY() + 4.0f) continue;
    const std::string text = kestrune::controls::FormatDb(v, true, true) + " dB";
    tonal_panel::DrawText(g, style, juce::String::fromUTF8(text.c_str()),
                          {static_cast<float>(kPlotBox.getX()) - 44.0f, y - 6.0f, 40.0f, 12.0f});
  }
}

// The crossovers the balance was fitted with stand in for the parameters;
// nothing can be edited.
ParameterCallables CrossoverValues(const dsp::Crossovers& crossovers) {
  ParameterCallables parameters;
  parameters.value = [crossovers](int index) {
    if (index == kLowCrossover) return crossovers.low;
    if (index == kMidCrossover) return crossovers.mid;
    if (index == kHighCrossover) return crossovers.high;
    return Param(index).defaultValue;
  };
  parameters.beginGesture = [](int) {};
  parameters.setDuringGesture = [](int, double) {};
  parameters.endGesture = [](int) {};
  return parameters;
}

}  // namespace

std::filesystem::path PlotPath(const std::filesystem::path& folder, const std::string& file,
                               std::set<std::filesystem::path>& taken) {
  const std::string name = dsp::FileNameUtf8(PathFromUtf8(file));
  std::filesystem::path path = folder / PathFromUtf8(name + ".png");
  for (int n = 2; taken.count(path) != 0; ++n)
    path = folder / PathFromUtf8(name + " (" + std::to_string(n) + ").png");
  taken.insert(path);
  return path;
}

std::string PlotCaption(const FileAnalysis& a) {
  std::string caption = dsp::FileNameUtf8(PathFromUtf8(a.file)) + "    ";
  caption += a.integratedLufs > dsp::kNothingMeasured ? FormatFixed(a.integratedLufs, 1) + " LUFS integrated"
                                                      : std::string("no integrated loudness");
  if (a.balance) caption += "    tilt " + Signed(a.balance->tilt, 2) + " dB/octave";
  return caption + " against \"" + a.target.name + "\"";
}

void WriteSpectrumPlot(const FileAnalysis& analysis, const std::filesystem::path& png) {
  if (!analysis.longTermLevels) throw Failure(analysis.file + ": no long-term spectrum to draw");
  const juce::SharedResourcePointer<tonal_panel::EditorTypefaces> typefaces;
  const tonal_panel::Palette palette = tonal_panel::MakePalette(tonal_panel::ThemeAccent(0, kDawAccentFallback));
  const dsp::SpectrumView view = ViewOf(analysis);

  juce::Component canvas;
  tonal_panel::TextEntry entry(canvas);
  tonal_panel::SpectrumControl plot(
      {kLowCrossover, kMidCrossover, kHighCrossover}, palette, tonal_panel::text_styles::Small(),
      [&view]() -> const dsp::SpectrumView& { return view; }, CrossoverValues(analysis.target.crossovers), entry);
  plot.PlaceOnCanvas(kPlotBox);

  juce::Image picture(juce::Image::ARGB, static_cast<int>(kWidth * kScale), static_cast<int>(kHeight * kScale), true);
  {
    juce::Graphics g(picture);
    g.addTransform(juce::AffineTransform::scale(kScale));
    g.fillAll(tonal_panel::fixed_colours::Card());
    {
      const juce::Graphics::ScopedSaveState saved(g);
      g.setOrigin(plot.getPosition());
      plot.paintEntireComponent(g, true);
    }
    DrawLevelScale(g, plot);
    tonal_panel::DrawText(g, tonal_panel::text_styles::Label().WithColour(palette.text).WithSize(11.0f),
                          juce::String::fromUTF8(PlotCaption(analysis).c_str()), kCaptionBox);
  }

  WritePngFile(picture, png);
}

}  // namespace ombrix::cli
