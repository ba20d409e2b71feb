// Presets on real folders in a private data home, driven through a small
// stand-in for the plug-in that keeps a real PluginState and takes and
// restores it with the real state writer and reader.
#include "library/presets.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "library/plugin_state.h"
#include "library/base64.h"
#include "library/data_folders.h"
#include "library/file_helpers.h"
#include "support/temp_data_home.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;

using test::Put;
using test::Slurp;

std::vector<std::uint8_t> StateBytes(const PluginState& state) {
  ByteChunk chunk;
  WriteState(state, chunk);
  return chunk.Bytes();
}

// A state that differs from the default one in every part a preset carries.
PluginState SampleState(double shade) {
  PluginState s;
  s.colourScheme = 2;
  s.editorWidth = 960;
  s.editorHeight = 600;
  for (int i = 0; i < kNumParams; ++i) {
    const ParamSpec& p = Param(i);
    s.params[static_cast<std::size_t>(i)] = p.minValue + (p.maxValue - p.minValue) * shade;
  }
  s.target.kind = TargetKind::User;
  s.target.name = "Warm";
  s.target.curve.fill(-shade);
  s.resolution = 0;
  s.loudnessView = true;
  return s;
}

struct Dialog {
  std::string caption;
  std::string text;
  bool operator==(const Dialog&) const = default;
};

// SavePreset's outcome when it is known at once (false while a question waits).
bool SaveNow(PresetHost& host, const std::string& name, bool ask) {
  bool written = false;
  SavePreset(host, name, ask, [&written](bool w) { written = w; });
  return written;
}

// Stands in for the plug-in: its state, the changed mark, the pending save
// and the editor's dialogs, with a record of what the library asked of it.
class FakePresetHost : public PresetHost {
 public:
  PluginState state;
  bool editorOpen = true;
  bool answer = true;
  bool failSerialize = false;
  std::vector<Dialog> questions;
  std::vector<Dialog> messages;
  std::optional<std::string> pending;
  int reportedEdits = 0;
  int refreshes = 0;

  bool SerializeState(ByteChunk& chunk) override {
    if (failSerialize) return false;
    WriteState(state, chunk);
    return true;
  }
  int UnserializeState(const ByteChunk& chunk, int startPos) override {
    // Like the plug-in, whatever was read before the damage stays applied.
    return ReadState(chunk, startPos, state).position;
  }
  std::string PresetName() const override { return state.presetName; }
  void SetPresetName(const std::string& name) override { state.presetName = name; }
  bool PresetChanged() const override { return state.presetModified; }
  void SetPresetChanged(bool changed) override { state.presetModified = changed; }
  bool LoudnessView() const override { return state.loudnessView; }
  void SetLoudnessView(bool integrated) override { state.loudnessView = integrated; }
  void ReportParametersAsUserEdits() override { ++reportedEdits; }
  void RefreshEditorAfterLoad() override { ++refreshes; }
  void SetPendingPresetSave(const std::string& name) override { pending = name; }
  // Questions are answered with `answer` at once, or kept in `waiting` for a
  // test to answer later when answerLater is set.
  bool answerLater = false;
  EditorDialogs::Answer waiting;
  EditorDialogs Dialogs() const override {
    if (!editorOpen) return {};
    auto* self = const_cast<FakePresetHost*>(this);
    return {[self](const std::string& caption, const std::string& text, EditorDialogs::Answer answered) {
              self->questions.push_back({caption, text});
              if (self->answerLater)
                self->waiting = std::move(answered);
              else
                answered(self->answer);
            },
            [self](const std::string& caption, const std::string& text) { self->messages.push_back({caption, text}); }};
  }

  std::vector<std::uint8_t> Bytes() const { return StateBytes(state); }
};

std::string PresetText(const std::string& name, std::string_view base64State) {
  return "Ombrix preset 1\nname=" + name + "\nstate=" + std::string(base64State) + "\n";
}

std::vector<std::string> ListedNames() {
  std::vector<std::string> names;
  for (const PresetEntry& entry : ListPresets()) names.push_back(entry.name);
  return names;
}

class PresetsTest : public testing::Test {
 protected:
  fs::path PutPreset(const std::string& fileName, const std::string& name, const std::vector<std::uint8_t>& state) {
    const fs::path path = PresetsFolder() / fileName;
    Put(path, PresetText(name, EncodeBase64(state)));
    return path;
  }
  PresetEntry EntryAt(const fs::path& path) {
    PresetEntry entry;
    std::string reason;
    EXPECT_TRUE(ReadPresetFile(path, entry, reason)) << reason;
    return entry;
  }

  test::TempDataHome home_;
  FakePresetHost host_;
};

// --- File format and listing ---------------------------------------------------

TEST_F(PresetsTest, WrittenPresetReadsBackByteForByte) {
  const std::vector<std::uint8_t> state = StateBytes(SampleState(0.3));
  std::string reason;
  ASSERT_TRUE(WritePresetFile(PresetsFolder(), "Line\nbreak\rhere", state, reason)) << reason;

  const fs::path path = PresetsFolder() / "Line-break-here.ompreset";
  EXPECT_EQ(Slurp(path), PresetText("Line break here", EncodeBase64(state)));
  const PresetEntry entry = EntryAt(path);
  EXPECT_EQ(entry.name, "Line break here");
  EXPECT_EQ(entry.state, state);
  EXPECT_EQ(entry.path, path);
}

TEST_F(PresetsTest, ReaderAcceptsCrLfOtherKeysAnyOrderAndTakesTheFileNameForAMissingName) {
  const std::string state = EncodeBase64(StateBytes(PluginState{}));
  const fs::path path = PresetsFolder() / "From disk.ompreset";
  Put(path, "Ombrix preset 1\r\nstate=" + state + "\r\n\r\nno equals sign\r\nother=x\r\n");
  const PresetEntry entry = EntryAt(path);
  EXPECT_EQ(entry.name, "From disk");
  EXPECT_EQ(entry.state, StateBytes(PluginState{}));
}

TEST_F(PresetsTest, ListsReadablePresetsByNameAndHidesEveryOtherFile) {
  const std::vector<std::uint8_t> state = StateBytes(PluginState{});
  const std::string good = EncodeBase64(state);
  PutPreset("1.ompreset", "Zeta", state);
  PutPreset("2.ompreset", "alpha", state);
  PutPreset("3.ompreset", "Beta", state);
  const std::pair<std::string, std::string> hidden[] = {
      {"empty state", PresetText("x", "")},
      {"space", PresetText("x", " ")},
      {"space inside", PresetText("x", good.substr(0, 4) + " " + good.substr(5))},
      {"line break", PresetText("x", good.substr(0, 5) + "\n" + good.substr(5))},
      {"length", PresetText("x", good + "A")},
      {"early padding", PresetText("x", "AA==" + good)},
      {"url-safe", PresetText("x", "AA-_")},
      {"later bad state", PresetText("x", good) + "state=!!!!\n"},
      {"no state", "Ombrix preset 1\nname=x\n"},
      {"byte-order mark", "\xEF\xBB\xBF" + PresetText("x", good)},
      {"other header", "Ombrix preset 2\nname=x\nstate=" + good + "\n"},
      {"empty file", ""},
  };
  for (const auto& [fileName, text] : hidden) Put(PresetsFolder() / (fileName + ".ompreset"), text);
  Put(PresetsFolder() / "wrong case.OMPRESET", PresetText("x", good));
  fs::create_directories(PresetsFolder() / "folder.ompreset");

  EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Beta", "Zeta", "alpha"}));
}

TEST_F(PresetsTest, ReaderReasonsNameTheFile) {
  Put(PresetsFolder() / "foreign.ompreset", "Another preset 1\n");
  Put(PresetsFolder() / "stateless.ompreset", "Ombrix preset 1\nname=x\nstate=\n");
  PresetEntry entry;
  entry.name = "untouched";
  std::string reason;
  EXPECT_FALSE(ReadPresetFile(PresetsFolder() / "foreign.ompreset", entry, reason));
  EXPECT_EQ(reason, "not an Ombrix preset: foreign.ompreset");
  EXPECT_FALSE(ReadPresetFile(PresetsFolder() / "stateless.ompreset", entry, reason));
  EXPECT_EQ(reason, "the preset has no readable state: stateless.ompreset");
  EXPECT_FALSE(ReadPresetFile(PresetsFolder() / "missing.ompreset", entry, reason));
  EXPECT_EQ(reason, "not an Ombrix preset: missing.ompreset");
  EXPECT_EQ(entry.name, "untouched");
}

TEST_F(PresetsTest, CollidingFileNamesGetNumberedAndOwnFilesAreReused) {
  const std::vector<std::uint8_t> state = StateBytes(PluginState{});
  std::string reason;
  ASSERT_TRUE(WritePresetFile(PresetsFolder(), "A/B", state, reason));
  ASSERT_TRUE(WritePresetFile(PresetsFolder(), "A-B", state, reason));
  Put(PresetsFolder() / "A-B-2.ompreset", "not a preset");
  ASSERT_TRUE(WritePresetFile(PresetsFolder(), "A:B", state, reason));

  EXPECT_EQ(EntryAt(PresetsFolder() / "A-B.ompreset").name, "A/B");
  EXPECT_EQ(EntryAt(PresetsFolder() / "A-B-1.ompreset").name, "A-B");
  EXPECT_EQ(EntryAt(PresetsFolder() / "A-B-3.ompreset").name, "A:B");
  EXPECT_EQ(Slurp(PresetsFolder() / "A-B-2.ompreset"), "not a preset");
  EXPECT_EQ(PresetPathForName(PresetsFolder(), "A-B"), PresetsFolder() / "A-B-1.ompreset");
  EXPECT_EQ(PresetPathForName(PresetsFolder(), "A\nB"), PresetsFolder() / "A-B-4.ompreset");
  EXPECT_EQ(PresetPathForName(PresetsFolder(), " . "), PresetsFolder() / "Preset.ompreset");
}

TEST_F(PresetsTest, AStoredNameWithALineBreakFindsItsOwnFileAgain) {
  std::string reason;
  ASSERT_TRUE(WritePresetFile(PresetsFolder(), "A\nB", StateBytes(PluginState{}), reason));
  EXPECT_EQ(PresetPathForName(PresetsFolder(), "A\nB"), PresetsFolder() / "A-B.ompreset");
}

// --- Loading -----------------------------------------------------------------

TEST_F(PresetsTest, LoadingRestoresTheStateButKeepsTheLoudnessView) {
  PluginState saved = SampleState(0.75);
  saved.presetName = "inside the state";
  const fs::path path = PutPreset("Bright.ompreset", "Bright", StateBytes(saved));
  host_.state.presetName = "Old";
  host_.state.presetModified = true;
  host_.state.loudnessView = false;

  ASSERT_TRUE(LoadPresetByName(host_, "Bright"));

  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(host_.state.params, saved.params);
  EXPECT_EQ(host_.state.target.curve, saved.target.curve);
  EXPECT_EQ(host_.state.resolution, 0);
  EXPECT_FALSE(host_.state.loudnessView);
  EXPECT_EQ(host_.state.presetName, "Bright");
  EXPECT_FALSE(host_.state.presetModified);
  EXPECT_EQ(host_.reportedEdits, 1);
  EXPECT_EQ(host_.refreshes, 1);
}

TEST_F(PresetsTest, AStateOfAnotherProductShowsItsMessageAndChangesNothing) {
  std::vector<std::uint8_t> foreign = StateBytes(SampleState(0.5));
  foreign[0] = 'X';
  const std::vector<std::uint8_t> tooShort = {0x31, 0x53, 0x4D};
  host_.state = SampleState(0.2);
  host_.state.presetName = "Current";
  const std::vector<std::uint8_t> before = host_.Bytes();

  for (const auto& state : {foreign, tooShort}) {
    host_.messages.clear();
    EXPECT_FALSE(LoadPreset(host_, EntryAt(PutPreset("Foreign.ompreset", "Foreign", state))));
    EXPECT_EQ(host_.messages,
              (std::vector<Dialog>{{"Load preset", "Could not load the preset: it does not hold an Ombrix state."}}));
  }
  EXPECT_EQ(host_.Bytes(), before);
  EXPECT_EQ(host_.reportedEdits, 0);
}

TEST_F(PresetsTest, ADamagedStateShowsItsMessageAndLeavesThePluginAsItWas) {
  std::vector<std::uint8_t> cut = StateBytes(SampleState(0.9));
  cut.resize(60);  // inside the parameter values
  host_.state = SampleState(0.2);
  host_.state.presetName = "Current";
  const std::vector<std::uint8_t> before = host_.Bytes();

  EXPECT_FALSE(LoadPreset(host_, EntryAt(PutPreset("Cut.ompreset", "Cut", cut))));

  EXPECT_EQ(host_.messages, (std::vector<Dialog>{{"Load preset", "Could not load the preset: its state is damaged."}}));
  EXPECT_EQ(host_.Bytes(), before);
  EXPECT_EQ(host_.reportedEdits, 0);
}

TEST_F(PresetsTest, AFileChangedSinceListingShowsTheReadersReason) {
  const fs::path path = PutPreset("Gone.ompreset", "Gone", StateBytes(PluginState{}));
  const PresetEntry entry = EntryAt(path);
  Put(path, "Ombrix preset 1\nname=Gone\n");
  EXPECT_FALSE(LoadPreset(host_, entry));
  fs::remove(path);
  EXPECT_FALSE(LoadPreset(host_, entry));
  EXPECT_EQ(host_.messages,
            (std::vector<Dialog>{
                {"Load preset", "Could not load the preset: the preset has no readable state: Gone.ompreset"},
                {"Load preset", "Could not load the preset: not an Ombrix preset: Gone.ompreset"}}));
}

TEST_F(PresetsTest, ANameNoLongerListedSaysWhyAndChangesNothing) {
  // The bar listed these names; since then one file was damaged and one removed.
  Put(PresetsFolder() / "Broken.ompreset", "Ombrix preset 1\nname=Broken\nstate=\n");
  const std::vector<std::uint8_t> before = host_.Bytes();
  EXPECT_FALSE(LoadPresetByName(host_, "Broken"));
  EXPECT_FALSE(LoadPresetByName(host_, "Vanished"));
  EXPECT_FALSE(DeletePresetByName(host_, "Broken"));
  EXPECT_EQ(host_.Bytes(), before);
  EXPECT_EQ(host_.messages,
            (std::vector<Dialog>{
                {"Load preset", "Could not load the preset: the preset has no readable state: Broken.ompreset"},
                {"Load preset",
                 "Could not load the preset: it is no longer in the presets folder: \xE2\x80\x9CVanished\xE2\x80\x9D"},
                {"Delete preset", "Could not delete the preset: the preset has no readable state: Broken.ompreset"}}));
  EXPECT_TRUE(fs::exists(PresetsFolder() / "Broken.ompreset")) << "an unreadable file is never deleted";
}

TEST_F(PresetsTest, OfTwoPresetsWithOneNameTheChosenOneLoads) {
  PutPreset("twice-a.ompreset", "Twice", StateBytes(SampleState(0.3)));
  PutPreset("twice-b.ompreset", "Twice", StateBytes(SampleState(0.7)));
  const std::vector<PresetEntry> listed = ListPresets();
  ASSERT_EQ(listed.size(), 2u);
  for (int occurrence : {0, 1}) {
    ASSERT_TRUE(LoadPresetByName(host_, "Twice", occurrence));
    PluginState expected;
    ASSERT_GE(ReadState(ByteChunk(listed[static_cast<std::size_t>(occurrence)].state), 0, expected).position, 0);
    EXPECT_EQ(host_.state.params, expected.params) << occurrence;
  }
  ASSERT_TRUE(DeletePresetByName(host_, "Twice", 1));
  EXPECT_TRUE(fs::exists(listed[0].path));
  EXPECT_FALSE(fs::exists(listed[1].path));
}

// --- Saving ------------------------------------------------------------------

TEST_F(PresetsTest, SavingWritesAStateThatNamesItsPreset) {
  host_.state = SampleState(0.4);
  host_.state.presetModified = true;

  ASSERT_TRUE(SaveNow(host_, " \tMix bus\t ", false));

  const PresetEntry entry = EntryAt(PresetsFolder() / "Mix bus.ompreset");
  EXPECT_EQ(entry.name, "Mix bus");
  PluginState stored;
  ReadState(ByteChunk(entry.state), 0, stored);
  EXPECT_EQ(stored.presetName, "Mix bus");
  EXPECT_FALSE(stored.presetModified);
  EXPECT_EQ(stored.params, host_.state.params);
  EXPECT_EQ(host_.state.presetName, "Mix bus");
  EXPECT_FALSE(host_.state.presetModified);
  EXPECT_TRUE(host_.questions.empty());
}

TEST_F(PresetsTest, SavingANameThatExistsIsDeferredAndAsksBeforeReplacing) {
  const fs::path path = PutPreset("Warm.ompreset", "Warm", StateBytes(SampleState(0.1)));
  const std::string before = Slurp(path);
  host_.state = SampleState(0.6);
  host_.state.presetName = "Other";

  RequestPresetSave(host_, " Warm");  // trimmed before it is compared
  ASSERT_EQ(host_.pending, "Warm");
  EXPECT_EQ(Slurp(path), before);

  const Dialog question{"Save preset", "A preset named \"Warm\" already exists. Replace it?"};
  host_.answer = false;
  EXPECT_FALSE(SaveNow(host_, *host_.pending, true));
  host_.editorOpen = false;
  EXPECT_FALSE(SaveNow(host_, *host_.pending, true));
  EXPECT_EQ(host_.questions, std::vector<Dialog>{question});
  EXPECT_EQ(Slurp(path), before);
  EXPECT_EQ(host_.state.presetName, "Other");

  host_.editorOpen = true;
  host_.answer = true;
  EXPECT_TRUE(SaveNow(host_, *host_.pending, true));
  EXPECT_EQ(EntryAt(path).state, host_.Bytes());
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"Warm"});
}

TEST_F(PresetsTest, TheReplaceAnswerMayComeLaterAndOnlyYesSaves) {
  const fs::path path = PutPreset("Warm.ompreset", "Warm", StateBytes(SampleState(0.1)));
  const std::string before = Slurp(path);
  host_.state = SampleState(0.6);
  host_.state.presetName = "Other";
  host_.answerLater = true;
  std::vector<bool> outcomes;
  for (const bool yes : {false, true}) {
    SavePreset(host_, "Warm", true, [&outcomes](bool written) { outcomes.push_back(written); });
    ASSERT_TRUE(host_.waiting) << "the question is open";
    EXPECT_TRUE(outcomes.size() == (yes ? 1u : 0u)) << "nothing decided before the answer";
    EXPECT_EQ(Slurp(path), before);
    std::exchange(host_.waiting, {})(yes);
  }
  EXPECT_EQ(outcomes, (std::vector<bool>{false, true}));
  EXPECT_EQ(EntryAt(path).state, host_.Bytes());
  EXPECT_EQ(host_.state.presetName, "Warm");
}

TEST_F(PresetsTest, SavingUnderTheCurrentNameOrANewNameNeedsNoQuestion) {
  const fs::path path = PutPreset("Warm.ompreset", "Warm", StateBytes(SampleState(0.1)));
  host_.state = SampleState(0.6);
  host_.state.presetName = "Warm";

  RequestPresetSave(host_, "Warm");
  RequestPresetSave(host_, "Fresh");

  EXPECT_FALSE(host_.pending.has_value());
  EXPECT_TRUE(host_.questions.empty());
  EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Fresh", "Warm"}));
  PluginState stored;
  ReadState(ByteChunk(EntryAt(path).state), 0, stored);
  EXPECT_EQ(stored.params, SampleState(0.6).params);
}

TEST_F(PresetsTest, AFailedSaveRestoresTheNameAndChangedMark) {
  host_.state.presetName = "Before";
  host_.state.presetModified = true;

  host_.failSerialize = true;
  EXPECT_FALSE(SaveNow(host_, "New", false));
  host_.failSerialize = false;
  Put(PresetsFolder(), "a file where the folder should be");
  EXPECT_FALSE(SaveNow(host_, "New", false));

  const std::string newPath = PathToUtf8(PresetsFolder() / "New.ompreset");
  EXPECT_EQ(host_.messages,
            (std::vector<Dialog>{{"Save preset", "Could not save the preset: the state could not be taken"},
                                 {"Save preset", "Could not save the preset: could not write " + newPath}}));
  EXPECT_EQ(host_.state.presetName, "Before");
  EXPECT_TRUE(host_.state.presetModified);
}

TEST_F(PresetsTest, AnEmptyStateIsNeverWrittenOverAPreset) {
  const fs::path path = PutPreset("Warm.ompreset", "Warm", StateBytes(PluginState{}));
  const std::string before = Slurp(path);
  std::string reason;
  EXPECT_FALSE(WritePresetFile(PresetsFolder(), "Warm", {}, reason));
  EXPECT_EQ(reason, "the state could not be taken");
  EXPECT_EQ(Slurp(path), before);
}

TEST_F(PresetsTest, APresetTooLargeToReadBackIsNotWritten) {
  PluginState huge;
  huge.target.source = std::string(60000, 's');  // as a hostile project might carry
  std::string reason;
  EXPECT_FALSE(WritePresetFile(PresetsFolder(), "Huge", StateBytes(huge), reason));
  EXPECT_EQ(reason, "the preset is too large to save");
  EXPECT_FALSE(fs::exists(PresetsFolder() / "Huge.ompreset"));
}

// --- Deleting and the preset bar's callables ---------------------------------

TEST_F(PresetsTest, DeletingByASharedNameRemovesOnlyTheFirstFile) {
  const std::vector<std::uint8_t> state = StateBytes(PluginState{});
  PutPreset("dup-a.ompreset", "Dup", state);
  PutPreset("dup-b.ompreset", "Dup", state);
  host_.state.presetName = "Dup";

  EXPECT_TRUE(DeletePresetByName(host_, "Dup"));

  EXPECT_FALSE(fs::exists(PresetsFolder() / "dup-a.ompreset"));
  EXPECT_TRUE(fs::exists(PresetsFolder() / "dup-b.ompreset"));
  EXPECT_EQ(host_.state.presetName, "Dup");
  EXPECT_FALSE(DeletePresetByName(host_, "Nobody"));
}

TEST_F(PresetsTest, DeletingAVanishedFileShowsTheReason) {
  const PresetEntry entry = EntryAt(PutPreset("Gone.ompreset", "Gone", StateBytes(PluginState{})));
  fs::remove(entry.path);
  EXPECT_FALSE(DeletePreset(host_, entry));
  EXPECT_EQ(host_.messages,
            (std::vector<Dialog>{{"Delete preset", "Could not delete the preset: could not delete Gone.ompreset"}}));
}

TEST_F(PresetsTest, PresetBarCallablesWorkByName) {
  const PresetLibraryCallbacks bar = MakePresetLibraryCallbacks(host_);
  host_.state = SampleState(0.3);
  bar.saveByName("Keep");
  bar.saveByName("Twice");
  PutPreset("Twice copy.ompreset", "Twice", StateBytes(PluginState{}));

  EXPECT_EQ(bar.listNames(), (std::vector<std::string>{"Keep", "Twice", "Twice"}));
  EXPECT_EQ(bar.currentName(), "Twice");
  EXPECT_FALSE(bar.changed());

  host_.state = PluginState{};
  bar.loadByName("Keep", 0);
  EXPECT_EQ(host_.state.params, SampleState(0.3).params);
  EXPECT_EQ(bar.currentName(), "Keep");

  bar.deleteByName("Keep", 0);
  EXPECT_EQ(bar.listNames(), (std::vector<std::string>{"Twice", "Twice"}));
  EXPECT_TRUE(host_.messages.empty());
}

}  // namespace
}  // namespace ombrix
