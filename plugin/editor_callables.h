#pragma once
// Everything the editor's controls may ask of the plug-in, as callables the
// layout hands to each control. All of them run on the message thread.
#include <functional>
#include <string>
#include <vector>

#include "core/eq_design.h"
#include "dsp/correction_engine.h"
#include "dsp/loudness_reading.h"
#include "dsp/editor_snapshot.h"
#include "library/presets.h"

namespace ombrix {

class Ombrix;

struct EditorCallables {
  std::function<const dsp::SpectrumView&()> spectrumSnapshot;
  std::function<dsp::Readouts()> readouts;
  std::function<dsp::LoudnessReading()> loudnessReading;
  std::function<double(const CorrectionGains&, std::size_t band)> bandGainCaption;
  std::function<double(const CorrectionGains&)> tiltCaption;  // dB per octave
  std::function<bool()> correcting;
  std::function<bool()> presetModified;
  std::function<std::string()> presetName;
  std::function<std::vector<std::string>()> presetNames;
  std::function<int()> colourScheme;
  std::function<void(int)> setColourScheme;
  std::function<int()> resolution;
  std::function<void(int)> setResolution;
  std::function<void()> toggleLoudnessView;
  std::function<void()> toggleLoudnessViewAndResetMeters;
  std::function<void(const std::string&)> loudnessTargetFromText;
  std::function<void(const std::string&)> saveTargetAs;
  std::function<void(const std::string&)> savePresetAs;
  std::function<void(const std::string&)> loadPreset;
  std::function<void(const std::string&)> deletePreset;
  std::function<void()> startLearning;
  std::function<void()> finishLearning;
  std::function<void()> cancelLearning;
  std::function<void(const std::string&)> learnFromReferenceFile;  // the path the file chooser returned
  std::function<bool()> updateChecksEnabled;
  std::function<void()> toggleUpdateChecks;
};

// The extensions the reference-file chooser offers.
inline constexpr const char* kReferenceFileExtensions = "wav wave aif aiff aifc mp3 flac";

EditorCallables MakeEditorCallables(Ombrix& plugin);

}  // namespace ombrix
