// The user's target library on real folders in a private data home: listing,
// saving with its questions, and deleting by stored name.
#include "library/target_library.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "library/data_folders.h"
#include "library/file_helpers.h"
#include "support/temp_data_home.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;
using dsp::GridCurve;
using dsp::kGridPoints;

GridCurve Ramp(double start, double step) {
  GridCurve values{};
  for (std::size_t i = 0; i < kGridPoints; ++i) values[i] = start + step * static_cast<double>(i);
  return values;
}

using test::Put;
using test::Slurp;

void PutTarget(const std::string& fileName, const std::string& storedName, double level = 0.0) {
  Put(TargetsFolder() / fileName, WriteTargetText(storedName, "", Ramp(level, 0.0), Ramp(0.0, 0.0)));
}

std::vector<std::string> ListedNames() {
  std::vector<std::string> names;
  for (const TargetCurve& target : ListUserTargets()) names.push_back(target.name);
  return names;
}

TargetChoice LearnedFromFile() {
  TargetChoice choice;
  choice.kind = TargetKind::Learned;
  choice.name = "song";
  choice.source = "song.flac";
  choice.curve = Ramp(-20.0, 0.125);
  choice.spread = Ramp(1.0, 0.0);
  return choice;
}

// Records each question and answers with a fixed reply, at once.
struct Confirmer {
  bool answer = true;
  std::vector<std::string> asked;
  ConfirmTargetReplace Callable() {
    return [this](const std::string& name, TargetAnswer reply) {
      asked.push_back(name);
      reply(answer);
    };
  }
};

// The outcomes when they are known at once (the confirmers above answer at once).
TargetSaveResult SaveNow(const std::string& name, CurrentTarget& current, const ConfirmTargetReplace& confirm) {
  TargetSaveResult result{TargetSaveOutcome::Failed, "no answer"};
  SaveUserTarget(name, current, confirm, [&result](const TargetSaveResult& r) { result = r; });
  return result;
}
TargetDeleteResult DeleteNow(CurrentTarget& current, const ConfirmTargetDelete& confirm) {
  TargetDeleteResult result{TargetDeleteOutcome::Failed, "no answer"};
  DeleteUserTarget(current, confirm, [&result](const TargetDeleteResult& r) { result = r; });
  return result;
}

class TargetLibraryTest : public testing::Test {
 protected:
  test::TempDataHome home_;
  CurrentTarget current_;
};

TEST_F(TargetLibraryTest, ListsReadableTargetsByStoredNameInByteOrder) {
  PutTarget("first.omtarget", "Zeta");
  PutTarget("second.omtarget", "alpha");
  PutTarget("third.omtarget", "Beta", -3.0);
  Put(TargetsFolder() / "Nameless.omtarget", "Ombrix target 1\npoints=180\ncurve=" + FormatLevels(Ramp(0, 0)) + "\n");
  // Invisible: another header, another grid, an incomplete curve, a byte-order
  // mark, the wrong extension, a folder with the right one.
  Put(TargetsFolder() / "header.omtarget", "Ombrix target 2\nname=H\npoints=180\ncurve=" + FormatLevels(Ramp(0, 0)));
  Put(TargetsFolder() / "grid.omtarget", "Ombrix target 1\nname=G\npoints=181\ncurve=" + FormatLevels(Ramp(0, 0)));
  Put(TargetsFolder() / "short.omtarget", "Ombrix target 1\nname=S\npoints=180\ncurve=1 2 3\n");
  Put(TargetsFolder() / "bom.omtarget", "\xEF\xBB\xBF" + WriteTargetText("B", "", Ramp(0, 0), Ramp(0, 0)));
  Put(TargetsFolder() / "upper.OMTARGET", WriteTargetText("U", "", Ramp(0, 0), Ramp(0, 0)));
  fs::create_directories(TargetsFolder() / "folder.omtarget");

  EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Beta", "Nameless", "Zeta", "alpha"}));
  const std::vector<TargetCurve> targets = ListUserTargets();
  EXPECT_EQ(targets[0].path, TargetsFolder() / "third.omtarget");
  EXPECT_DOUBLE_EQ(targets[0].curve[100], -3.0);
  EXPECT_FALSE(targets[0].factory);
}

TEST_F(TargetLibraryTest, MissingFolderListsNothingAndCreatesNothing) {
  EXPECT_TRUE(ListUserTargets().empty());
  EXPECT_FALSE(fs::exists(TargetsFolder()));
}

TEST_F(TargetLibraryTest, PathForNameUsesTheCleanedNameAndFallback) {
  EXPECT_EQ(TargetPathForName("Bright/Airy: 2"), TargetsFolder() / "Bright-Airy- 2.omtarget");
  EXPECT_EQ(TargetPathForName("  .. "), TargetsFolder() / "Target.omtarget");
}

TEST_F(TargetLibraryTest, SavingWritesTheTrimmedNameAndMakesItTheCurrentUserTarget) {
  current_.Set(LearnedFromFile());
  Confirmer confirmer;
  const TargetSaveResult result = SaveNow(" \tA/B  ", current_, confirmer.Callable());

  EXPECT_EQ(result.outcome, TargetSaveOutcome::Saved);
  EXPECT_TRUE(confirmer.asked.empty());
  const fs::path file = TargetsFolder() / "A-B.omtarget";
  const TargetChoice learned = LearnedFromFile();
  EXPECT_EQ(Slurp(file), WriteTargetText("A/B", "song.flac", learned.curve, learned.spread));
  const TargetChoice now = current_.Get();
  EXPECT_EQ(now.kind, TargetKind::User);
  EXPECT_EQ(now.name, "A/B");
  EXPECT_EQ(now.source, "song.flac");
  EXPECT_EQ(now.curve, learned.curve);
  EXPECT_EQ(now.spread, learned.spread);
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"A/B"});
}

TEST_F(TargetLibraryTest, SavingWithoutSourceWritesNoSourceLine) {
  ASSERT_EQ(SaveNow("Flat", current_, {}).outcome, TargetSaveOutcome::Saved);
  EXPECT_EQ(Slurp(TargetsFolder() / "Flat.omtarget").find("source="), std::string::npos);
}

TEST_F(TargetLibraryTest, EmptyAndReservedNamesWriteNothing) {
  const std::pair<std::string, TargetSaveOutcome> cases[] = {
      {"", TargetSaveOutcome::EmptyName},
      {" \t ", TargetSaveOutcome::EmptyName},
      {"Balanced", TargetSaveOutcome::ReservedName},
      {" Balanced\t", TargetSaveOutcome::ReservedName},
  };
  for (const auto& [name, outcome] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(SaveNow(name, current_, {}).outcome, outcome);
  }
  EXPECT_FALSE(fs::exists(TargetsFolder()));
  EXPECT_EQ(current_.Get().kind, TargetKind::Balanced);

  EXPECT_EQ(SaveNow("balanced", current_, {}).outcome, TargetSaveOutcome::Saved);
  EXPECT_EQ(current_.Get().name, "balanced");
}

TEST_F(TargetLibraryTest, CollidingFileNameAsksAndDecliningChangesNothing) {
  PutTarget("A-B.omtarget", "A/B", 5.0);
  const std::string before = Slurp(TargetsFolder() / "A-B.omtarget");
  current_.Set(LearnedFromFile());

  Confirmer declining;
  declining.answer = false;
  EXPECT_EQ(SaveNow("A-B", current_, declining.Callable()).outcome, TargetSaveOutcome::Declined);
  EXPECT_EQ(declining.asked, std::vector<std::string>{"A-B"});
  // No editor to ask is a No as well.
  EXPECT_EQ(SaveNow("A-B", current_, {}).outcome, TargetSaveOutcome::Declined);

  EXPECT_EQ(Slurp(TargetsFolder() / "A-B.omtarget"), before);
  EXPECT_EQ(current_.Get().kind, TargetKind::Learned);
  EXPECT_EQ(current_.Get().name, "song");

  Confirmer accepting;
  EXPECT_EQ(SaveNow("A-B", current_, accepting.Callable()).outcome, TargetSaveOutcome::Saved);
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"A-B"});
}

TEST_F(TargetLibraryTest, FolderInTheWayIsOfferedThenFailsWithTheWriteReason) {
  const fs::path path = TargetsFolder() / "Warm.omtarget";
  fs::create_directories(path);
  current_.Set(LearnedFromFile());
  Confirmer confirmer;

  const TargetSaveResult result = SaveNow("Warm", current_, confirmer.Callable());

  EXPECT_EQ(confirmer.asked, std::vector<std::string>{"Warm"});
  EXPECT_EQ(result.outcome, TargetSaveOutcome::Failed);
  EXPECT_EQ(result.reason, "could not write " + PathToUtf8(path));
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(current_.Get().kind, TargetKind::Learned);
}

TEST_F(TargetLibraryTest, DeletingRemovesEveryFileStoringTheNameAndKeepsTheCurve) {
  current_.Set(LearnedFromFile());
  ASSERT_EQ(SaveNow("Warm", current_, {}).outcome, TargetSaveOutcome::Saved);
  PutTarget("renamed by hand.omtarget", "Warm");
  PutTarget("Other.omtarget", "Other");
  Confirmer confirmer;

  EXPECT_EQ(DeleteNow(current_, confirmer.Callable()).outcome, TargetDeleteOutcome::Deleted);

  EXPECT_EQ(confirmer.asked, std::vector<std::string>{"Warm"});
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"Other"});
  const TargetChoice now = current_.Get();
  EXPECT_EQ(now.kind, TargetKind::Learned);
  EXPECT_EQ(now.name, "Warm");
  EXPECT_EQ(now.source, "song.flac");
  EXPECT_EQ(now.curve, LearnedFromFile().curve);
}

TEST_F(TargetLibraryTest, DeletingAVanishedFileStillTurnsTheTargetLearned) {
  ASSERT_EQ(SaveNow("Warm", current_, {}).outcome, TargetSaveOutcome::Saved);
  fs::remove(TargetsFolder() / "Warm.omtarget");
  EXPECT_EQ(DeleteNow(current_, Confirmer{}.Callable()).outcome, TargetDeleteOutcome::Deleted);
  EXPECT_EQ(current_.Get().kind, TargetKind::Learned);
}

TEST_F(TargetLibraryTest, AHugeTargetIsSavedSoThatItCanBeListedAndDeleted) {
  // Finite but huge values, as a state, a preset or a file may carry them:
  // they enter the current target clamped, whatever the way in.
  TargetChoice huge = LearnedFromFile();
  huge.curve.fill(1e300);
  huge.curve[0] = -1e300;
  huge.spread.fill(1e300);
  current_.Set(huge);
  EXPECT_EQ(current_.Get().curve[1], kTargetLevelLimitDb);
  EXPECT_EQ(current_.Get().curve[0], -kTargetLevelLimitDb);
  EXPECT_EQ(current_.Get().spread[0], kTargetSpreadLimitDb);

  ASSERT_EQ(SaveNow("Huge", current_, {}).outcome, TargetSaveOutcome::Saved);
  EXPECT_LT(fs::file_size(TargetsFolder() / "Huge.omtarget"), 4096u);
  const std::vector<TargetCurve> listed = ListUserTargets();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, "Huge");
  EXPECT_EQ(listed[0].curve, current_.Get().curve);
  EXPECT_EQ(DeleteNow(current_, Confirmer{}.Callable()).outcome, TargetDeleteOutcome::Deleted);
  EXPECT_FALSE(fs::exists(TargetsFolder() / "Huge.omtarget"));
}

TEST_F(TargetLibraryTest, ATargetTooLargeToReadBackIsNotWritten) {
  current_.Set(LearnedFromFile());
  const std::string longName(70000, 'n');
  const TargetSaveResult result = SaveNow(longName, current_, {});
  EXPECT_EQ(result.outcome, TargetSaveOutcome::Failed);
  EXPECT_EQ(result.reason, "the target is too large to save");
  EXPECT_FALSE(fs::exists(TargetPathForName(longName)));
  EXPECT_EQ(current_.Get().kind, TargetKind::Learned);
}

TEST_F(TargetLibraryTest, DeletingSucceedsAndLeavesAnUnreadableFileWhereTheTargetWasSaved) {
  GridCurve huge{};
  huge.fill(1e300);
  const struct {
    const char* what;
    std::string text;
  } unreadable[] = {
      // As an older version wrote a target with huge values: over 100 KB.
      {"too large to read", WriteTargetText("Warm", "", huge, huge)},
      {"damaged", "Ombrix target 1\nname=Warm\npoints=180\ncurve=1 2 3\n"},
  };
  for (const auto& file : unreadable) {
    SCOPED_TRACE(file.what);
    ASSERT_EQ(SaveNow("Warm", current_, [](const std::string&, TargetAnswer reply) { reply(true); }).outcome,
              TargetSaveOutcome::Saved);
    Put(TargetsFolder() / "Warm.omtarget", file.text);
    const TargetDeleteResult result = DeleteNow(current_, Confirmer{}.Callable());
    EXPECT_EQ(result.outcome, TargetDeleteOutcome::Deleted);
    EXPECT_EQ(Slurp(TargetsFolder() / "Warm.omtarget"), file.text) << "the unreadable file is kept as it was";
    EXPECT_EQ(current_.Get().kind, TargetKind::Learned);
    EXPECT_EQ(current_.Get().name, "Warm");
  }

  // A readable file there that stores another name is another target's:
  // this one is simply gone.
  ASSERT_EQ(SaveNow("A/B", current_, [](const std::string&, TargetAnswer reply) { reply(true); }).outcome,
            TargetSaveOutcome::Saved);
  PutTarget("A-B.omtarget", "A-B");
  EXPECT_EQ(DeleteNow(current_, Confirmer{}.Callable()).outcome, TargetDeleteOutcome::Deleted);
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"A-B"});
}

TEST_F(TargetLibraryTest, DeletingNeedsAUserTargetAndAYes) {
  Confirmer confirmer;
  EXPECT_EQ(DeleteNow(current_, confirmer.Callable()).outcome, TargetDeleteOutcome::NotUserTarget);
  EXPECT_TRUE(confirmer.asked.empty());

  ASSERT_EQ(SaveNow("Warm", current_, {}).outcome, TargetSaveOutcome::Saved);
  confirmer.answer = false;
  EXPECT_EQ(DeleteNow(current_, confirmer.Callable()).outcome, TargetDeleteOutcome::Declined);
  EXPECT_EQ(DeleteNow(current_, {}).outcome, TargetDeleteOutcome::Declined);
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"Warm"});
  EXPECT_EQ(current_.Get().kind, TargetKind::User);
}

TEST_F(TargetLibraryTest, ATargetInstalledWhileTheQuestionIsOpenStays) {
  ASSERT_EQ(SaveNow("Warm", current_, {}).outcome, TargetSaveOutcome::Saved);
  // The question stays open; meanwhile a reference file's result arrives.
  TargetAnswer waiting;
  std::optional<TargetDeleteResult> result;
  DeleteUserTarget(
      current_, [&waiting](const std::string&, TargetAnswer reply) { waiting = std::move(reply); },
      [&result](const TargetDeleteResult& r) { result = r; });
  ASSERT_TRUE(waiting);
  EXPECT_FALSE(result);
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"Warm"}) << "nothing goes before the answer";
  current_.Set(LearnedFromFile());
  waiting(true);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->outcome, TargetDeleteOutcome::Deleted);
  EXPECT_TRUE(ListedNames().empty());
  EXPECT_EQ(current_.Get().name, "song");
}

TEST_F(TargetLibraryTest, TheTargetSavedIsTheOneCurrentWhenTheReplaceAnswerComes) {
  ASSERT_EQ(SaveNow("Warm", current_, {}).outcome, TargetSaveOutcome::Saved);
  TargetAnswer waiting;
  std::optional<TargetSaveResult> result;
  SaveUserTarget(
      " Warm ", current_, [&waiting](const std::string&, TargetAnswer reply) { waiting = std::move(reply); },
      [&result](const TargetSaveResult& r) { result = r; });
  ASSERT_TRUE(waiting);
  current_.Set(LearnedFromFile());
  waiting(true);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->outcome, TargetSaveOutcome::Saved);
  const TargetChoice now = current_.Get();
  EXPECT_EQ(now.kind, TargetKind::User);
  EXPECT_EQ(now.name, "Warm");
  EXPECT_EQ(now.source, "song.flac");
}

}  // namespace
}  // namespace ombrix
