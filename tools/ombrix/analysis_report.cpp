#include "tools/ombrix/analysis_report.h"

#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "dsp/audio_file_reader.h"
#include "library/json.h"
#include "library/locale_free_numbers.h"

namespace ombrix::cli {

namespace {

constexpr std::array<const char*, dsp::kBandCount> kBandNames{"Low", "Lo-Mid", "Hi-Mid", "High"};
constexpr int kLabelWidth = 18;
constexpr int kColumnWidth = 24;

bool Measured(double value) { return value > dsp::kNothingMeasured; }

// "+1.23" / "-0.40"; a value that rounds to zero shows as "+0.00".
std::string Signed(double value, int decimals) {
  std::string text = FormatFixed(value, decimals);
  if (text.find_first_not_of("-0.") == std::string::npos) text = FormatFixed(0.0, decimals);
  if (text[0] != '-') text.insert(text.begin(), '+');
  return text;
}

std::string Level(double value, const char* unit) {
  return Measured(value) ? FormatFixed(value, 1) + " " + unit : std::string("none");
}

std::string Padded(std::string text, int width) {
  if (static_cast<int>(text.size()) < width) text.append(static_cast<std::size_t>(width) - text.size(), ' ');
  return text;
}

std::string ChannelsText(int channels) {
  if (channels == 1) return "mono";
  if (channels == 2) return "stereo";
  return std::to_string(channels) + " channels, first two measured";
}

std::string DurationText(const FileAnalysis& a) {
  std::string text = FormatFixed(a.durationSeconds, 1) + " s";
  if (a.fromSeconds > 0.0) text += ", from " + FormatFixed(a.fromSeconds, 1) + " s";
  if (CutShort(a)) text += ", cut short: its header says " + FormatFixed(a.headerDurationSeconds, 1) + " s";
  return text;
}

std::string BalanceHeading(const FileAnalysis& a) {
  const dsp::Crossovers& c = a.target.crossovers;
  return "Tonal balance against \"" + a.target.name + "\" (crossovers " + FormatFixed(c.low, 0) + ", " +
         FormatFixed(c.mid, 0) + ", " + FormatFixed(c.high, 0) + " Hz)";
}

std::string TiltText(const FileAnalysis& a) {
  return a.balance ? Signed(a.balance->tilt, 2) + " dB/octave" : std::string("-");
}

std::string BandText(const FileAnalysis& a, std::size_t band) {
  if (!a.balance) return "-";
  return Signed(a.balance->band[band], 1) + " dB (weight " + FormatFixed(a.balance->weight[band], 2) + ")";
}

std::string JsonNumber(double value, int decimals) { return FormatFixed(value, decimals); }
std::string JsonLevel(double value) { return Measured(value) ? JsonNumber(value, 3) : std::string("null"); }

}  // namespace

bool CutShort(const FileAnalysis& a) { return a.headerDurationSeconds > 0.0; }

std::string CutShortNote(const FileAnalysis& a) {
  return a.file + ": cut short: " + FormatFixed(a.durationSeconds, 1) + " s of the " +
         FormatFixed(a.headerDurationSeconds, 1) + " s its header says are there; measured as it is";
}

namespace {

std::string PlrOf(const FileAnalysis& a) {
  return Level(dsp::PeakToLoudnessRatio(a.maxTruePeakDbtp, a.integratedLufs), "LU");
}

// From the loudness lines on: what a file and an album both report.
void AppendFigures(const FileAnalysis& a, std::string& out) {
  auto line = [&out](const std::string& label, const std::string& value) {
    out += "  " + Padded(label, kLabelWidth - 2) + value + "\n";
  };
  line("Integrated", Level(a.integratedLufs, "LUFS"));
  line("Max short-term", Level(a.maxShortTermLufs, "LUFS"));
  line("Max true peak", Level(a.maxTruePeakDbtp, "dBTP"));
  line("Max momentary", Level(a.maxMomentaryLufs, "LUFS"));
  line("Loudness range", Level(a.loudnessRangeLu, "LU"));
  line("PLR", PlrOf(a));
  out += "  " + BalanceHeading(a) + "\n";
  if (!a.balance) {
    out += "    not measured: " + a.balanceError + "\n";
    return;
  }
  auto bandLine = [&out](const std::string& label, const std::string& value) {
    out += "    " + Padded(label, kLabelWidth - 4) + value + "\n";
  };
  bandLine("Tilt", TiltText(a));
  for (std::size_t b = 0; b < dsp::kBandCount; ++b) bandLine(kBandNames[b], BandText(a, b));
}

void AppendJsonFigures(const FileAnalysis& a, std::string& out) {
  using kestrune::updates::QuoteJson;
  out += ",\"integrated_lufs\":" + JsonLevel(a.integratedLufs);
  out += ",\"max_short_term_lufs\":" + JsonLevel(a.maxShortTermLufs);
  out += ",\"max_true_peak_dbtp\":" + JsonLevel(a.maxTruePeakDbtp);
  out += ",\"max_momentary_lufs\":" + JsonLevel(a.maxMomentaryLufs);
  out += ",\"loudness_range_lu\":" + JsonLevel(a.loudnessRangeLu);
  out += ",\"plr_lu\":" + JsonLevel(dsp::PeakToLoudnessRatio(a.maxTruePeakDbtp, a.integratedLufs));
  out += ",\"target\":" + QuoteJson(a.target.name);
  const dsp::Crossovers& c = a.target.crossovers;
  out += ",\"crossovers_hz\":[" + JsonNumber(c.low, 1) + "," + JsonNumber(c.mid, 1) + "," + JsonNumber(c.high, 1) + "]";
  if (a.balance) {
    out += ",\"tonal_balance\":{\"tilt_db_per_octave\":" + JsonNumber(a.balance->tilt, 3) + ",\"bands\":[";
    for (std::size_t b = 0; b < dsp::kBandCount; ++b) {
      if (b > 0) out += ",";
      out += "{\"band\":" + QuoteJson(kBandNames[b]) + ",\"deviation_db\":" + JsonNumber(a.balance->band[b], 3) +
             ",\"weight\":" + JsonNumber(a.balance->weight[b], 3) + "}";
    }
    out += "]},\"tonal_balance_error\":null";
  } else {
    out += ",\"tonal_balance\":null,\"tonal_balance_error\":" + QuoteJson(a.balanceError);
  }
}

}  // namespace

std::string FormatAnalysisText(const FileAnalysis& a) {
  std::string out = a.file + "\n";
  out += "  " + Padded("Duration", kLabelWidth - 2) + DurationText(a) + " (" + FormatFixed(a.sampleRate, 0) + " Hz, " +
         ChannelsText(a.channels) + ")\n";
  AppendFigures(a, out);
  return out;
}

std::string FormatAnalysisJson(const FileAnalysis& a, bool withPlot, const std::optional<std::string>& plot,
                               const std::optional<std::string>& loudnessPlot) {
  using kestrune::updates::QuoteJson;
  std::string out = "{\"file\":" + QuoteJson(a.file);
  if (!a.ok) return out + ",\"ok\":false,\"error\":" + QuoteJson(a.error) + "}";
  out += ",\"ok\":true";
  out += ",\"sample_rate\":" + JsonNumber(a.sampleRate, 0);
  out += ",\"channels\":" + std::to_string(a.channels);
  out += ",\"duration_s\":" + JsonNumber(a.durationSeconds, 3);
  out += ",\"from_s\":" + JsonNumber(a.fromSeconds, 3);
  out += std::string(",\"cut_short\":") + (CutShort(a) ? "true" : "false");
  out += ",\"header_duration_s\":" + (CutShort(a) ? JsonNumber(a.headerDurationSeconds, 3) : std::string("null"));
  AppendJsonFigures(a, out);
  if (withPlot) {
    out += ",\"plot\":" + (plot ? QuoteJson(*plot) : std::string("null"));
    out += ",\"loudness_plot\":" + (loudnessPlot ? QuoteJson(*loudnessPlot) : std::string("null"));
  }
  return out + "}";
}

std::string FormatAlbumText(const FileAnalysis& album, int files) {
  std::string out = "Album: " + std::to_string(files) + (files == 1 ? " file" : " files") + " as one programme\n";
  out += "  " + Padded("Duration", kLabelWidth - 2) + FormatFixed(album.durationSeconds, 1) + " s\n";
  AppendFigures(album, out);
  return out;
}

std::string FormatAlbumJson(const FileAnalysis& album, int files) {
  std::string out = "{\"album\":true,\"files\":" + std::to_string(files);
  out += ",\"duration_s\":" + JsonNumber(album.durationSeconds, 3);
  AppendJsonFigures(album, out);
  return out + "}";
}

std::string FormatComparisonText(const FileAnalysis& left, const FileAnalysis& right, std::string_view leftHeading,
                                 std::string_view rightHeading) {
  std::string out;
  auto row = [&out](const std::string& label, const std::string& l, const std::string& r) {
    out += Padded(label, kLabelWidth) + Padded(l, kColumnWidth) + r + "\n";
  };
  row("", std::string(leftHeading), std::string(rightHeading));
  row("File", dsp::FileNameUtf8(PathFromUtf8(left.file)), dsp::FileNameUtf8(PathFromUtf8(right.file)));
  row("Duration", DurationText(left), DurationText(right));
  row("Integrated", Level(left.integratedLufs, "LUFS"), Level(right.integratedLufs, "LUFS"));
  row("Max short-term", Level(left.maxShortTermLufs, "LUFS"), Level(right.maxShortTermLufs, "LUFS"));
  row("Max true peak", Level(left.maxTruePeakDbtp, "dBTP"), Level(right.maxTruePeakDbtp, "dBTP"));
  out += BalanceHeading(left) + "\n";
  row("  Tilt", TiltText(left), TiltText(right));
  for (std::size_t b = 0; b < dsp::kBandCount; ++b)
    row(std::string("  ") + kBandNames[b], BandText(left, b), BandText(right, b));
  for (const FileAnalysis* a : {&left, &right})
    if (!a->balance) out += "  (" + a->file + ": tonal balance not measured: " + a->balanceError + ")\n";
  return out;
}

}  // namespace ombrix::cli
