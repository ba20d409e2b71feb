#include "plugin/ombrix_parameter.h"

#include "core/eq_design.h"

#include <algorithm>
#include <cmath>

namespace ombrix {

namespace {

juce::NormalisableRange<float> RangeOf(int index) {
  const ParamSpec& p = Param(index);
  return juce::NormalisableRange<float>(
      static_cast<float>(p.minValue), static_cast<float>(p.maxValue),
      [index](float, float, float normalised) { return static_cast<float>(FromNormalised(index, normalised)); },
      [index](float, float, float value) { return static_cast<float>(ToNormalised(index, value)); });
}

}  // namespace

juce::String ParameterIdForName(const char* name) {
  juce::String id;
  bool gap = false;
  for (const char* c = name; *c != '\0'; ++c) {
    const auto ch = static_cast<juce::juce_wchar>(static_cast<unsigned char>(*c));
    if (juce::CharacterFunctions::isLetterOrDigit(ch)) {
      if (gap && id.isNotEmpty()) id << '_';
      id << juce::CharacterFunctions::toLowerCase(ch);
      gap = false;
    } else {
      gap = true;
    }
  }
  return id;
}

OmbrixParameter::OmbrixParameter(int index, ChangeHook onChange)
    : juce::RangedAudioParameter(juce::ParameterID(ParameterIdForName(Param(index).name), 1), Param(index).name),
      index_(index),
      range_(RangeOf(index)),
      onChange_(std::move(onChange)),
      value_(Param(index).defaultValue) {}

double OmbrixParameter::Clamp(double value) const {
  const ParamSpec& p = Param(index_);
  if (!std::isfinite(value)) return p.defaultValue;
  if (p.kind == ParamKind::Bool) return IsOn(value) ? 1.0 : 0.0;
  return std::clamp(value, p.minValue, p.maxValue);
}

void OmbrixParameter::SetReal(double value) {
  value_.store(Clamp(value), std::memory_order_relaxed);
  if (onChange_) onChange_(index_);
}

float OmbrixParameter::getValue() const { return static_cast<float>(ToNormalised(index_, Real())); }

void OmbrixParameter::setValue(float normalised) { SetReal(FromNormalised(index_, normalised)); }

float OmbrixParameter::getDefaultValue() const {
  return static_cast<float>(ToNormalised(index_, Param(index_).defaultValue));
}

juce::String OmbrixParameter::getName(int maximumStringLength) const {
  return juce::String(Param(index_).name).substring(0, maximumStringLength);
}

int OmbrixParameter::getNumSteps() const {
  return Param(index_).kind == ParamKind::Bool ? 2 : juce::AudioProcessor::getDefaultNumParameterSteps();
}

bool OmbrixParameter::isDiscrete() const { return Param(index_).kind == ParamKind::Bool; }

bool OmbrixParameter::isBoolean() const { return Param(index_).kind == ParamKind::Bool; }

juce::String OmbrixParameter::getText(float normalised, int maximumStringLength) const {
  return juce::String(FormatParamValue(index_, Clamp(FromNormalised(index_, normalised))))
      .substring(0, maximumStringLength);
}

float OmbrixParameter::getValueForText(const juce::String& text) const {
  const ParamSpec& p = Param(index_);
  const juce::String trimmed = text.trim();
  if (p.kind == ParamKind::Bool) {
    const bool on = trimmed.equalsIgnoreCase("on") || trimmed.getDoubleValue() >= 0.5;
    return on ? 1.0f : 0.0f;
  }
  double value = trimmed.getDoubleValue();
  if (p.display == ParamDisplay::Crossover && trimmed.containsIgnoreCase("khz")) value *= 1000.0;
  if (p.display == ParamDisplay::TiltSlope) value = TiltGainForSlope(value, kTiltDisplayRate);
  return static_cast<float>(ToNormalised(index_, Clamp(value)));
}

}  // namespace ombrix
