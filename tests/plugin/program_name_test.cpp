// The plug-in's one program carries the loaded preset's name, so hosts that
// list programs never show a nameless one.
#include <gtest/gtest.h>

#include "library/plugin_state.h"
#include "plugin/ombrix.h"
#include "temp_data_home.h"

namespace ombrix {
namespace {

TEST(ProgramNameTest, IsTheLoadedPresetOrDefault) {
  test::TempDataHome home;
  Ombrix plugin;
  ASSERT_EQ(plugin.getNumPrograms(), 1);
  EXPECT_EQ(plugin.getProgramName(0), "Default");

  PluginState state;
  state.presetName = "Nachtfahrt \xC3\xBC";
  ByteChunk chunk;
  WriteState(state, chunk);
  plugin.UnserializeState(chunk.Bytes().data(), static_cast<int>(chunk.Bytes().size()), 0);
  EXPECT_EQ(plugin.getProgramName(0), juce::String::fromUTF8("Nachtfahrt \xC3\xBC"));

  state.presetName.clear();
  ByteChunk cleared;
  WriteState(state, cleared);
  plugin.UnserializeState(cleared.Bytes().data(), static_cast<int>(cleared.Bytes().size()), 0);
  EXPECT_EQ(plugin.getProgramName(0), "Default");
}

}  // namespace
}  // namespace ombrix
