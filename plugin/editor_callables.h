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
#include "library/host_track_link.h"
#include "library/target_curve.h"
#include "library/update_check.h"

namespace ombrix {

class Ombrix;

// Reading and editing parameters by index. Edits reach the host as gestures
// (begin, one or more values, end), so automation records them.
struct ParameterCallables {
  std::function<double(int index)> value;  // the real (not normalised) value
  std::function<void(int index)> beginGesture;
  std::function<void(int index, double value)> setDuringGesture;  // real value, clamped
  std::function<void(int index)> endGesture;
};

// One whole edit: begin, set, end.
void SetAsGesture(const ParameterCallables& parameters, int index, double value);

// A loudness target typed as text: the number's magnitude as LUFS below zero
// (a typed 14 means -14), snapped to 0.5 LU and limited to -36..-6, set as one
// gesture. Text without a number changes nothing.
void SetLoudnessTargetFromText(const ParameterCallables& parameters, const std::string& text);

// The current target as the target chip and menu show it.
struct TargetSummary {
  TargetKind kind = TargetKind::Balanced;
  std::string name;
  std::string source;  // the reference file it was learned from, or empty
};

struct EditorCallables {
  ParameterCallables parameters;
  std::function<TargetSummary()> currentTarget;
  std::function<std::vector<std::string>()> factoryTargetNames;
  std::function<void()> selectBalancedTarget;
  std::function<void(const std::string& name)> selectFactoryTarget;
  std::function<std::vector<TargetCurve>()> userTargets;  // the library as it stands, sorted by name
  std::function<void(const TargetCurve& target)> selectUserTarget;
  std::function<void()> deleteCurrentTarget;  // asks first
  std::function<bool()> learning;
  std::function<double()> learnedSeconds;
  std::function<bool()> analysingReferenceFile;
  std::function<const CorrectionGains&()> appliedGains;  // as the audio path uses them
  std::function<std::string()> titleText;                  // what the title shows now
  std::function<float()> windowScale;
  std::function<void(float)> setWindowScale;
  std::function<float()> initialDrawScale;
  // The host never makes a window smaller than it opened: the editor opens at
  // its smallest size and grows to the initial scale once it is shown.
  bool opensAtSmallestSize = false;
  std::function<void()> editorClosing;  // the editor is about to go
  // A resize of the open editor, in the host's pixels at screen scale q.
  std::function<void(int w, int h, float q)> rememberEditorSize;
  std::function<RgbColour()> dawAccent;  // the track colour, brightness-normalised, or the fallback
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
  std::function<void(const std::string&, int occurrence)> loadPreset;
  std::function<void(const std::string&, int occurrence)> deletePreset;
  std::function<void()> startLearning;
  std::function<void()> finishLearning;
  std::function<void()> cancelLearning;
  std::function<void(const std::string&)> learnFromReferenceFile;  // the path the file chooser returned
  std::function<bool()> updateChecksEnabled;
  std::function<void()> toggleUpdateChecks;
  std::function<kestrune::updates::UpdateState()> updateState;  // a consistent copy
  std::function<void(const std::string& address)> openUrl;      // in the user's browser
};

// The extensions the reference-file chooser offers.
inline constexpr const char* kReferenceFileExtensions = "wav wave aif aiff aifc mp3 flac ogg oga opus";

EditorCallables MakeEditorCallables(Ombrix& plugin);

}  // namespace ombrix
