// The saved-state layout: a full round trip and the damaged chunks a host or
// an older version may hand back.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "library/plugin_state.h"

namespace ombrix {
namespace {

PluginState SampleState() {
  PluginState s;
  s.colourScheme = 3;
  s.editorWidth = 960;
  s.editorHeight = 600;
  s.presetName = "Warm mix \xC3\xA9";
  s.presetModified = true;
  for (int i = 0; i < kNumParams; ++i) {
    const ParamSpec& p = Param(i);
    s.params[static_cast<std::size_t>(i)] = p.minValue + (p.maxValue - p.minValue) * (i + 1) / 19.0;
  }
  s.hostBypass = true;
  s.target.kind = TargetKind::Learned;
  s.target.name = "song";
  s.target.source = "song.flac";
  for (std::size_t i = 0; i < dsp::kGridPoints; ++i) {
    s.target.curve[i] = -0.125 * static_cast<double>(i);
    s.target.spread[i] = 0.01 * static_cast<double>(i);
  }
  s.resolution = 0;
  s.loudnessView = true;
  return s;
}

ByteChunk Written(const PluginState& s) {
  ByteChunk chunk;
  WriteState(s, chunk);
  return chunk;
}

// A copy of the chunk cut to its first n bytes.
ByteChunk Cut(const ByteChunk& chunk, int n) {
  return ByteChunk(std::vector<std::uint8_t>(chunk.Bytes().begin(), chunk.Bytes().begin() + n));
}

constexpr int kHeaderBytes = 4 * 5;  // tag, version, colour, width, height
int PresetNameBytes(const PluginState& s) { return 4 + static_cast<int>(s.presetName.size()); }
int AfterField9(const PluginState& s) { return kHeaderBytes + PresetNameBytes(s) + 8 + 8 * kNumParams; }

TEST(PluginState, RoundTripRestoresEveryField) {
  const PluginState saved = SampleState();
  const ByteChunk chunk = Written(saved);
  EXPECT_EQ(chunk.Size(), 3108 + static_cast<int>(saved.presetName.size() + saved.target.name.size() +
                                                    saved.target.source.size()));
  PluginState read;
  const StateReadResult r = ReadState(chunk, 0, read);
  EXPECT_FALSE(r.plainParameterList);
  EXPECT_TRUE(r.targetAccepted);
  EXPECT_EQ(r.position, chunk.Size() - 4) << "stops before the last host-bypass field";
  EXPECT_EQ(read.colourScheme, 3);
  EXPECT_EQ(read.editorWidth, 960);
  EXPECT_EQ(read.editorHeight, 600);
  EXPECT_EQ(read.presetName, saved.presetName);
  EXPECT_TRUE(read.presetModified);
  EXPECT_EQ(read.params, saved.params);
  EXPECT_EQ(read.target.kind, TargetKind::Learned);
  EXPECT_EQ(read.target.name, "song");
  EXPECT_EQ(read.target.source, "song.flac");
  EXPECT_EQ(read.target.curve, saved.target.curve);
  EXPECT_EQ(read.target.spread, saved.target.spread);
  EXPECT_EQ(read.resolution, 0);
  EXPECT_TRUE(read.loudnessView);
}

TEST(PluginState, TargetValuesAreKeptInTheirRange) {
  PluginState saved = SampleState();
  saved.target.curve[0] = 1e300;
  saved.target.curve[1] = -1e300;
  saved.target.spread[0] = -3.0;
  saved.target.spread[1] = 1e300;
  PluginState read;
  ASSERT_TRUE(ReadState(Written(saved), 0, read).targetAccepted);
  EXPECT_EQ(read.target.curve[0], 200.0);
  EXPECT_EQ(read.target.curve[1], -200.0);
  EXPECT_EQ(read.target.curve[2], saved.target.curve[2]);
  EXPECT_EQ(read.target.spread[0], 0.0);
  EXPECT_EQ(read.target.spread[1], 200.0);
  EXPECT_EQ(read.target.spread[2], saved.target.spread[2]);
}

TEST(PluginState, TagsAreStoredAsReversedCharacters) {
  const ByteChunk chunk = Written(SampleState());
  EXPECT_EQ(chunk.Bytes()[0], 0x31);
  EXPECT_EQ(chunk.Bytes()[1], 0x53);
  EXPECT_EQ(chunk.Bytes()[2], 0x4D);
  EXPECT_EQ(chunk.Bytes()[3], 0x4F);
}

TEST(PluginState, ChunkEndingAfterHostBypassKeepsParametersAndGivesBuiltInTarget) {
  const PluginState saved = SampleState();
  const ByteChunk chunk = Cut(Written(saved), AfterField9(saved) + 4);
  PluginState read = SampleState();  // the reader must not keep what was there
  const StateReadResult r = ReadState(chunk, 0, read);
  EXPECT_EQ(r.position, AfterField9(saved));
  EXPECT_EQ(read.params, saved.params);
  EXPECT_EQ(read.presetName, saved.presetName);
  EXPECT_FALSE(r.targetAccepted);
  EXPECT_EQ(read.target.kind, TargetKind::Balanced);
  EXPECT_EQ(read.target.name, "Balanced");
  EXPECT_EQ(read.target.curve, dsp::GridCurve{});
  EXPECT_EQ(read.resolution, 2);
  EXPECT_FALSE(read.loudnessView);
}

// Rewrites the parameter count and the values after it.
ByteChunk WithParameterCount(const PluginState& s, int count) {
  ByteChunk chunk;
  chunk.PutInt(kStateTag);
  chunk.PutInt(1);
  chunk.PutInt(s.colourScheme);
  chunk.PutInt(s.editorWidth);
  chunk.PutInt(s.editorHeight);
  chunk.PutString(s.presetName);
  chunk.PutInt(0);
  chunk.PutInt(count);
  for (int i = 0; i < count; ++i) chunk.PutDouble(i < kNumParams ? s.params[static_cast<std::size_t>(i)] : 1e9);
  chunk.PutInt(0);
  return chunk;
}

TEST(PluginState, ParameterCountsOtherThanEighteen) {
  const PluginState saved = SampleState();
  PluginState read;
  StateReadResult r = ReadState(WithParameterCount(saved, 20), 0, read);
  EXPECT_EQ(read.params, saved.params) << "values beyond the 18th are read and ignored";
  EXPECT_EQ(r.position, AfterField9(saved) + 16);

  r = ReadState(WithParameterCount(saved, 10), 0, read);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(read.params[static_cast<std::size_t>(i)], i < 10 ? saved.params[static_cast<std::size_t>(i)] : Param(i).defaultValue) << i;

  const ByteChunk full = WithParameterCount(saved, 18);
  r = ReadState(Cut(full, AfterField9(saved) - 12), 0, read);
  EXPECT_EQ(r.position, -1) << "values cut short";
}

TEST(PluginState, OddHeaderValuesAreMendedOnRead) {
  PluginState saved = SampleState();
  saved.editorWidth = 700;
  saved.editorHeight = 400;
  saved.colourScheme = 9;
  PluginState read;
  const StateReadResult r = ReadState(Written(saved), 0, read);
  EXPECT_EQ(read.editorWidth, 640);
  EXPECT_EQ(read.editorHeight, 400);
  ASSERT_TRUE(r.editorSize.has_value());
  EXPECT_EQ(read.colourScheme, 0);
}

TEST(PluginState, DamagedTargetBlockGivesBuiltInTargetEvenWithAValidResolution) {
  struct Case { const char* what; void (*damage)(PluginState&); };
  const Case cases[] = {
      {"kind 4", [](PluginState& s) { s.target.kind = static_cast<TargetKind>(4); }},
      {"one NaN", [](PluginState& s) { s.target.spread[77] = std::numeric_limits<double>::quiet_NaN(); }},
      {"infinity", [](PluginState& s) { s.target.curve[0] = -std::numeric_limits<double>::infinity(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PluginState saved = SampleState();
    c.damage(saved);
    PluginState read;
    const StateReadResult r = ReadState(Written(saved), 0, read);
    EXPECT_FALSE(r.targetAccepted);
    EXPECT_EQ(read.target.name, "Balanced");
    EXPECT_EQ(read.resolution, 2);
    EXPECT_FALSE(read.loudnessView);
    EXPECT_EQ(read.params, saved.params);
  }
}

TEST(PluginState, ChunkWithoutOurTagIsAPlainParameterList) {
  ByteChunk chunk;
  const double values[] = {1.0, -20.0, 5000.0, 1e9};  // the last is clamped to its range
  for (double v : values) chunk.PutDouble(v);
  PluginState read;
  const StateReadResult r = ReadState(chunk, 0, read);
  EXPECT_TRUE(r.plainParameterList);
  EXPECT_EQ(r.paramsRead, 4);
  EXPECT_EQ(read.params[0], 1.0);
  EXPECT_EQ(read.params[1], -20.0);
  EXPECT_EQ(read.params[2], 800.0);
  EXPECT_EQ(read.params[3], 16000.0);
  EXPECT_EQ(r.position, -1) << "fewer values than parameters";
}

TEST(PluginState, ResolutionOutOfRangeLeavesDefaultAndPosition) {
  PluginState saved = SampleState();
  saved.resolution = 3;
  saved.loudnessView = true;
  PluginState read;
  const ByteChunk chunk = Written(saved);
  const StateReadResult r = ReadState(chunk, 0, read);
  EXPECT_TRUE(r.targetAccepted);
  EXPECT_EQ(read.resolution, 2);
  // The loudness view block is then looked for at the resolution tag and not found.
  EXPECT_FALSE(read.loudnessView);
  EXPECT_EQ(r.position, chunk.Size() - 7 * 4) << "just after the target block";
}

}  // namespace
}  // namespace ombrix
