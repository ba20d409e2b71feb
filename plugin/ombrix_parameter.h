#pragma once
// One host-visible parameter. The real (not normalised) value is kept as one
// atomic double so the audio thread and the correction worker read it whole
// without locks.
#include <atomic>
#include <functional>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/parameter_table.h"

namespace ombrix {

class OmbrixParameter final : public juce::AudioProcessorParameter {
 public:
  // Called after every change of the value, on the thread that made it.
  using ChangeHook = std::function<void(int index)>;

  OmbrixParameter(int index, ChangeHook onChange);

  double Real() const noexcept { return value_.load(std::memory_order_relaxed); }
  // Stores a real value (clamped to the range) and runs the change hook.
  void SetReal(double value);

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
  ChangeHook onChange_;
  std::atomic<double> value_;
};

}  // namespace ombrix
