#pragma once
// One host-visible parameter. The real (not normalised) value is kept as one
// atomic double so the audio thread and the correction worker read it whole
// without locks. Its range is the real one with the parameter's own shape, so
// formats that show real values (LV2) show the units' values; its identifier,
// which LV2 hosts store, comes from its fixed name ("Correct Lo-Mid" is
// "correct_lo_mid"). VST3 addresses it by index.
#include <atomic>
#include <functional>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/parameter_table.h"

namespace ombrix {

// "Correct Lo-Mid" -> "correct_lo_mid".
juce::String ParameterIdForName(const char* name);

class OmbrixParameter final : public juce::RangedAudioParameter {
 public:
  // Called after every change of the value, on the thread that made it.
  using ChangeHook = std::function<void(int index)>;

  OmbrixParameter(int index, ChangeHook onChange);

  double Real() const noexcept { return value_.load(std::memory_order_relaxed); }
  // Stores a real value (clamped to the range) and runs the change hook.
  void SetReal(double value);

  const juce::NormalisableRange<float>& getNormalisableRange() const override { return range_; }
  float getValue() const override;
  void setValue(float normalised) override;
  float getDefaultValue() const override;
  juce::String getName(int maximumStringLength) const override;
  juce::String getLabel() const override { return {}; }
  int getNumSteps() const override;
  bool isDiscrete() const override;
  bool isBoolean() const override;
  juce::String getText(float normalised, int maximumStringLength) const override;
  float getValueForText(const juce::String& text) const override;

 private:
  double Clamp(double value) const;

  int index_;
  juce::NormalisableRange<float> range_;
  ChangeHook onChange_;
  std::atomic<double> value_;
};

}  // namespace ombrix
