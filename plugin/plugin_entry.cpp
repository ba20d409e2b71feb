// The factory's create function. Constructions of instances never overlap:
// shared one-time set-up (FFT planning, factory targets) stays simple.
#include <mutex>

#include "plugin/ombrix.h"

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() {
  static std::mutex constructionLock;
  std::lock_guard<std::mutex> lock(constructionLock);
  return new ombrix::Ombrix();
}
