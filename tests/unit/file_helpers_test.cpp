// Data folders, file names for display names, listing, reading and the
// atomic write procedures.
#include "library/file_helpers.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <string>

#include "library/data_folders.h"
#include "library/platform_files.h"
#include "library/platform_folders.h"
#include "support/temp_data_home.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;

using test::Put;
using test::Slurp;

std::set<std::string> NamesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(PathToUtf8(entry.path().filename()));
  return names;
}

std::string FileNameFor(std::string_view name) {
  return PathToUtf8(FileNameForName("/data", name, ".omtarget", "Target").filename());
}

// --- Data folders -----------------------------------------------------------

TEST(DataFoldersTest, FoldersLieBelowXdgDataHome) {
  test::TempDataHome home;
  EXPECT_EQ(ProductFolder(), home.Path() / "Ombrix");
  EXPECT_EQ(TargetsFolder(), home.Path() / "Ombrix" / "Targets");
  EXPECT_EQ(PresetsFolder(), home.Path() / "Ombrix" / "Presets");
  EXPECT_EQ(MakerSharedFolder(), home.Path() / "Kestrune" / "Shared");
  EXPECT_FALSE(fs::exists(home.Path() / "Ombrix"));  // nothing is created in advance
}

// XDG_DATA_HOME and HOME name the folder on Linux; Windows asks the shell.
#ifndef _WIN32
TEST(DataFoldersTest, FoldersAreComputedAfreshOnEveryCall) {
  test::TempDataHome first;
  const fs::path before = TargetsFolder();
  {
    test::TempDataHome second;
    EXPECT_EQ(TargetsFolder(), second.Path() / "Ombrix" / "Targets");
  }
  EXPECT_EQ(TargetsFolder(), before);
}

TEST(DataFoldersTest, EmptyOrRelativeXdgDataHomeFallsBackToHome) {
  test::ScopedEnvironment home("HOME", "/home/someone");
  {
    test::ScopedEnvironment xdg("XDG_DATA_HOME", "");
    EXPECT_EQ(TargetsFolder(), fs::path("/home/someone/.local/share/Ombrix/Targets"));
  }
  {
    test::ScopedEnvironment xdg("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(MakerSharedFolder(), fs::path("/home/someone/.local/share/Kestrune/Shared"));
  }
  {
    test::ScopedEnvironment xdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(PresetsFolder(), fs::path("/home/someone/.local/share/Ombrix/Presets"));
  }
}

TEST(DataFoldersTest, UnusableHomeFallsBackToThePasswordDatabase) {
  test::ScopedEnvironment xdg("XDG_DATA_HOME", nullptr);
  for (const char* value : {static_cast<const char*>(nullptr), "", "relative-home"}) {
    test::ScopedEnvironment home("HOME", value);
    const auto folder = platform::LocalDataFolder();
    // Wherever the password database points, the answer is absolute or nothing.
    if (folder) {
      EXPECT_TRUE(folder->is_absolute()) << *folder;
      EXPECT_EQ(TargetsFolder(), *folder / "Ombrix" / "Targets");
    } else {
      EXPECT_TRUE(TargetsFolder().empty());
    }
  }
}

#endif

TEST(DataFoldersTest, NoDataFolderMeansNoRelativePaths) {
  // With no folder the helpers never act relative to the working folder.
  const fs::path path = FileNameForName(fs::path(), "Warm", ".omtarget", "Target");
  EXPECT_FALSE(path.is_absolute());
  std::string error;
  EXPECT_FALSE(WriteDocumentAtomically(path, "x", error));
  EXPECT_EQ(error, kNoDataFolderReason);
  EXPECT_FALSE(WriteServiceFileAtomically(fs::path("updates.json"), "x"));
  EXPECT_FALSE(fs::exists(fs::current_path() / "Warm.omtarget"));
  EXPECT_FALSE(fs::exists(fs::current_path() / "updates.json"));
  EXPECT_FALSE(ReadSmallFile(fs::path("Warm.omtarget")));
  EXPECT_TRUE(ListFilesWithExtension(fs::path(), ".omtarget").empty());
  EXPECT_FALSE(RemoveDocument(path, error));
  EXPECT_EQ(error, "could not delete Warm.omtarget");
}

// --- File names -------------------------------------------------------------

TEST(FileNameForNameTest, ForbiddenCharactersBecomeHyphens) {
  EXPECT_EQ(FileNameFor("Bright/Airy: 2"), "Bright-Airy- 2.omtarget");
  EXPECT_EQ(FileNameFor("a\"b*c/d:e<f>g?h\\i|j"), "a-b-c-d-e-f-g-h-i-j.omtarget");
  EXPECT_EQ(FileNameFor(std::string("a\x01\x1f\tb") + '\0' + "c"), "a---b-c.omtarget");
  EXPECT_EQ(FileNameFor("Caf\xC3\xA9 \x7F"), "Caf\xC3\xA9 \x7F.omtarget");
}

TEST(FileNameForNameTest, SpacesAndFullStopsAreTrimmed) {
  EXPECT_EQ(FileNameFor("  ..Warm.. "), "Warm.omtarget");
  EXPECT_EQ(FileNameFor("  Deep Low  "), "Deep Low.omtarget");
  EXPECT_EQ(FileNameFor("v1.2"), "v1.2.omtarget");
}

TEST(FileNameForNameTest, EmptyNamesUseTheFallback) {
  EXPECT_EQ(FileNameFor(""), "Target.omtarget");
  EXPECT_EQ(FileNameFor("    "), "Target.omtarget");
  EXPECT_EQ(FileNameFor(" . .. . "), "Target.omtarget");
  EXPECT_EQ(FileNameForName("/p", "..", ".ompreset", "Preset"), fs::path("/p/Preset.ompreset"));
}

TEST(FileNameForNameTest, LongNamesAreCutTo80Bytes) {
  EXPECT_EQ(FileNameFor(std::string(100, 'a')), std::string(80, 'a') + ".omtarget");
  EXPECT_EQ(FileNameFor(std::string(80, 'a')), std::string(80, 'a') + ".omtarget");
  // The cut comes before trimming: trailing spaces at the cut go too.
  EXPECT_EQ(FileNameFor(std::string(78, 'a') + "  bbbb"), std::string(78, 'a') + ".omtarget");
}

TEST(FileNameForNameTest, TheCutNeverSplitsACharacter) {
  const std::string e = "\xC3\xA9";  // two bytes
  // Bytes 79 and 80 (from 0) are one character: it is dropped whole.
  EXPECT_EQ(FileNameFor(std::string(79, 'a') + e + "zz"), std::string(79, 'a') + ".omtarget");
  // 40 two-byte characters are exactly 80 bytes and stay whole.
  std::string forty;
  for (int i = 0; i < 40; ++i) forty += e;
  EXPECT_EQ(FileNameFor(forty), forty + ".omtarget");
  EXPECT_EQ(FileNameFor(forty + e), forty + ".omtarget");
  // A four-byte character over the limit.
  const std::string smile = "\xF0\x9F\x98\x80";
  EXPECT_EQ(FileNameFor(std::string(78, 'a') + smile), std::string(78, 'a') + ".omtarget");
  EXPECT_EQ(FileNameFor(std::string(76, 'a') + smile + "b"), std::string(76, 'a') + smile + ".omtarget");
  // A run of stray continuation bytes: the cut moves five to the left at a
  // time, then to the nearest byte before it that is not a continuation byte,
  // which is dropped as if it began a character.
  EXPECT_EQ(FileNameFor(std::string(70, 'a') + std::string(20, '\x80')), std::string(69, 'a') + ".omtarget");
  EXPECT_EQ(FileNameFor(std::string(100, '\x80')), "Target.omtarget");
}

TEST(FileNameForNameTest, ReservedDeviceNamesGetAHyphen) {
  EXPECT_EQ(FileNameFor("NUL"), "NUL-.omtarget");
  EXPECT_EQ(FileNameFor("con"), "con-.omtarget");
  EXPECT_EQ(FileNameFor("nul.txt"), "nul.txt-.omtarget");
  EXPECT_EQ(FileNameFor("COM1"), "COM1-.omtarget");
  EXPECT_EQ(FileNameFor("lpt9"), "lpt9-.omtarget");
  EXPECT_EQ(FileNameFor("Lpt1.mix"), "Lpt1.mix-.omtarget");
  EXPECT_EQ(FileNameFor("  aux.."), "aux-.omtarget");
  EXPECT_EQ(FileNameFor("PRN"), "PRN-.omtarget");
  EXPECT_EQ(FileNameFor("COM0"), "COM0.omtarget");
  EXPECT_EQ(FileNameFor("COM10"), "COM10.omtarget");
  EXPECT_EQ(FileNameFor("CONSOLE"), "CONSOLE.omtarget");
  EXPECT_EQ(FileNameFor("AUX1"), "AUX1.omtarget");
  EXPECT_EQ(FileNameFor("LPT"), "LPT.omtarget");
  EXPECT_EQ(FileNameFor("x.NUL"), "x.NUL.omtarget");
}

TEST(FileNameForNameTest, TheFileLiesInTheFolder) {
  EXPECT_EQ(FileNameForName("/x/Ombrix/Targets", "Warm", ".omtarget", "Target"),
            fs::path("/x/Ombrix/Targets/Warm.omtarget"));
}

TEST(FileNameForNameTest, Utf8PathsRoundTrip) {
  const std::string text = "/d/Caf\xC3\xA9 \xF0\x9F\x98\x80";
  EXPECT_EQ(PathToUtf8(PathFromUtf8(text)), text);
}

// --- Listing ----------------------------------------------------------------

class FilesTest : public ::testing::Test {
 protected:
  test::TempDataHome home_;
  const fs::path folder_ = home_.Path() / "Ombrix" / "Targets";
};

TEST_F(FilesTest, ListingAMissingFolderIsEmptyAndCreatesNothing) {
  EXPECT_TRUE(ListFilesWithExtension(folder_, ".omtarget").empty());
  EXPECT_FALSE(fs::exists(folder_));
  EXPECT_FALSE(fs::exists(folder_.parent_path()));
}

TEST_F(FilesTest, ListingAFileInsteadOfAFolderIsEmpty) {
  Put(folder_, "not a folder");
  EXPECT_TRUE(ListFilesWithExtension(folder_, ".omtarget").empty());
}

TEST_F(FilesTest, ListingTakesRegularFilesWithExactlyTheExtension) {
  for (const char* name : {"a.omtarget", "b c.omtarget", "x.OMTARGET", "x.omtarget.partial", ".omtarget",
                           "y.omtarget.tmp-123", "z.ompreset", "noext", "w.x.omtarget"}) {
    Put(folder_ / name, "x");
  }
  fs::create_directories(folder_ / "dir.omtarget");
  std::set<std::string> expected{"a.omtarget", "b c.omtarget", "w.x.omtarget"};
#ifndef _WIN32
  fs::create_symlink(folder_ / "a.omtarget", folder_ / "link.omtarget");
  fs::create_symlink(folder_ / "gone", folder_ / "dangling.omtarget");
  expected.insert("link.omtarget");
#endif
  std::set<std::string> listed;
  for (const fs::path& path : ListFilesWithExtension(folder_, ".omtarget")) {
    EXPECT_EQ(path.parent_path(), folder_);
    listed.insert(PathToUtf8(path.filename()));
  }
  EXPECT_EQ(listed, expected);
}

#ifndef _WIN32
TEST_F(FilesTest, ListingThroughALinkedFolder) {
  Put(folder_ / "a.omtarget", "x");
  fs::create_directory_symlink(folder_, home_.Path() / "linked");
  EXPECT_EQ(ListFilesWithExtension(home_.Path() / "linked", ".omtarget").size(), 1u);
}
#endif

// --- Reading ----------------------------------------------------------------

TEST_F(FilesTest, ReadsSmallFilesExactly) {
  const std::string bytes = std::string("a\r\nb\n\0c", 7) + "\xFF";
  Put(folder_ / "a.omtarget", bytes);
  EXPECT_EQ(ReadSmallFile(folder_ / "a.omtarget"), bytes);
  Put(folder_ / "empty.omtarget", "");
  EXPECT_EQ(ReadSmallFile(folder_ / "empty.omtarget"), std::string());
}

TEST_F(FilesTest, ReadsUpTo65536Bytes) {
  Put(folder_ / "limit", std::string(65536, 'x'));
  Put(folder_ / "over", std::string(65537, 'x'));
  ASSERT_TRUE(ReadSmallFile(folder_ / "limit"));
  EXPECT_EQ(ReadSmallFile(folder_ / "limit")->size(), 65536u);
  EXPECT_FALSE(ReadSmallFile(folder_ / "over"));
}

TEST_F(FilesTest, ReadingWhatIsNotAFileGivesNothing) {
  EXPECT_FALSE(ReadSmallFile(folder_ / "missing"));
  fs::create_directories(folder_);
  EXPECT_FALSE(ReadSmallFile(folder_));
#ifndef _WIN32
  ASSERT_EQ(mkfifo((folder_ / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ReadSmallFile(folder_ / "fifo"));  // and does not block
#endif
}

// --- Writing documents ------------------------------------------------------

TEST_F(FilesTest, WritingCreatesTheFolderChain) {
  const fs::path path = folder_ / "Warm.omtarget";
  std::string error = "untouched";
  ASSERT_TRUE(WriteDocumentAtomically(path, "curve\n", error));
  EXPECT_EQ(error, "untouched");
  EXPECT_EQ(Slurp(path), "curve\n");
  EXPECT_EQ(NamesIn(folder_), std::set<std::string>{"Warm.omtarget"});
}

TEST_F(FilesTest, WritingReplacesTheOldContent) {
  const fs::path path = folder_ / "Warm.omtarget";
  Put(path, std::string(5000, 'o'));
  std::string error;
  ASSERT_TRUE(WriteDocumentAtomically(path, "new", error));
  EXPECT_EQ(Slurp(path), "new");
  EXPECT_EQ(NamesIn(folder_), std::set<std::string>{"Warm.omtarget"});
}

TEST_F(FilesTest, ALeftoverPartialFileIsReplacedByTheNextWrite) {
  const fs::path path = folder_ / "Warm.omtarget";
  Put(fs::path(path.string() + ".partial"), "half a fi");
  std::string error;
  ASSERT_TRUE(WriteDocumentAtomically(path, "whole", error));
  EXPECT_EQ(Slurp(path), "whole");
  EXPECT_EQ(NamesIn(folder_), std::set<std::string>{"Warm.omtarget"});
}

TEST_F(FilesTest, AFailedMoveLeavesNoPartialFile) {
  // A folder standing where the file should be: the temporary file is
  // written, the move onto the path fails.
  const fs::path path = folder_ / "Warm.omtarget";
  fs::create_directories(path / "inside");
  std::string error;
  EXPECT_FALSE(WriteDocumentAtomically(path, "new", error));
  EXPECT_EQ(error, "could not write " + path.string());
  EXPECT_TRUE(fs::is_directory(path / "inside"));
  EXPECT_EQ(NamesIn(folder_), std::set<std::string>{"Warm.omtarget"});
}

TEST_F(FilesTest, AFolderThatCannotBeMadeFailsTheWrite) {
  // A path below a regular file: neither the folder nor the file can exist.
  Put(home_.Path() / "Ombrix", "a file, not a folder");
  const fs::path path = folder_ / "Warm.omtarget";
  std::string error;
  EXPECT_FALSE(WriteDocumentAtomically(path, "new", error));
  EXPECT_EQ(error, "could not write " + path.string());
  EXPECT_EQ(Slurp(home_.Path() / "Ombrix"), "a file, not a folder");
}

// (Windows: files_windows_test.cpp has a writer refused by another program.)
#ifndef _WIN32
TEST_F(FilesTest, AFailedWriteLeavesTheOldFileUntouched) {
  const fs::path path = folder_ / "Warm.omtarget";
  const std::string old = "old content\n";
  Put(path, old);
  std::string error;
  if (geteuid() != 0) {
    // Not root: a read-only folder refuses the temporary file.
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(WriteDocumentAtomically(path, std::string(5000, 'n'), error));
    fs::permissions(folder_, fs::perms::owner_all);
  } else {
    // Root writes into read-only folders; a file-size limit still stops the
    // write half-way, after the temporary file was created.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteDocumentAtomically(path, std::string(5000, 'n'), error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
  }
  EXPECT_EQ(error, "could not write " + path.string());
  EXPECT_EQ(Slurp(path), old);
  EXPECT_EQ(NamesIn(folder_), std::set<std::string>{"Warm.omtarget"});
}
#endif

TEST_F(FilesTest, ErrorTextsCarryTheUtf8Path) {
  const fs::path path = FileNameForName(folder_, "Caf\xC3\xA9", ".omtarget", "Target");
  fs::create_directories(path);
  std::string error;
  EXPECT_FALSE(WriteDocumentAtomically(path, "x", error));
  EXPECT_EQ(error, "could not write " + PathToUtf8(folder_) + static_cast<char>(fs::path::preferred_separator) +
                       "Caf\xC3\xA9.omtarget");
}

TEST_F(FilesTest, TemporaryFilesOlderThanADayAreRemovedByTheNextWrite) {
  const fs::path path = folder_ / "Warm.omtarget";
  const auto dayAndHourAgo = fs::file_time_type::clock::now() - std::chrono::hours(25);
  const auto putOld = [&](const std::string& name) {
    Put(folder_ / name, "left by a crash");
    fs::last_write_time(folder_ / name, dayAndHourAgo);
  };
  putOld("Cool.omtarget.partial-Ab3xYz");
  putOld("Cool.omtarget.partial");
  putOld("updates.json.tmp-3141592653");
  // Kept: another writer's temporary file of a moment ago, old files that are
  // not temporaries, and a link at a temporary name.
  Put(folder_ / "Warm.omtarget.partial-Qr7sT9", "being written");
  putOld("Old.omtarget");
  putOld("notes.partial-of-mine.txt");
  std::set<std::string> kept{"Warm.omtarget", "Warm.omtarget.partial-Qr7sT9", "Old.omtarget",
                             "notes.partial-of-mine.txt"};
#ifndef _WIN32
  fs::create_symlink(folder_ / "Old.omtarget", folder_ / "Link.omtarget.partial-Zz9Zz9");
  kept.insert("Link.omtarget.partial-Zz9Zz9");
#endif

  std::string error;
  ASSERT_TRUE(WriteDocumentAtomically(path, "whole", error));
  EXPECT_EQ(NamesIn(folder_), kept);
}

#ifndef _WIN32
TEST_F(FilesTest, ANewFileIsNeverWrittenThroughALinkStandingAtItsName) {
  const fs::path outside = home_.Path() / "outside.txt";
  Put(outside, "not ours");
  fs::create_directories(folder_);
  fs::create_symlink(outside, folder_ / "to-outside");
  fs::create_symlink(home_.Path() / "nowhere.txt", folder_ / "dangling");
  EXPECT_EQ(platform::WriteNewFileDurably(folder_ / "to-outside", "x"), platform::NewFileOutcome::kNameTaken);
  EXPECT_EQ(platform::WriteNewFileDurably(folder_ / "dangling", "x"), platform::NewFileOutcome::kNameTaken);
  EXPECT_EQ(Slurp(outside), "not ours");
  EXPECT_FALSE(fs::exists(home_.Path() / "nowhere.txt"));
  EXPECT_EQ(platform::WriteNewFileDurably(folder_ / "fresh", "x"), platform::NewFileOutcome::kWritten);
  EXPECT_EQ(platform::WriteNewFileDurably(folder_ / "fresh", "y"), platform::NewFileOutcome::kNameTaken);
  EXPECT_EQ(Slurp(folder_ / "fresh"), "x");
  EXPECT_EQ(platform::WriteNewFileDurably(folder_ / "no-folder" / "file", "x"), platform::NewFileOutcome::kNotMade);
}
#endif

// --- Writing service files --------------------------------------------------

TEST_F(FilesTest, ServiceFilesAreWrittenThroughARandomTemporaryName) {
  const fs::path shared = home_.Path() / "Kestrune" / "Shared";
  ASSERT_TRUE(WriteServiceFileAtomically(shared / "updates.json", "one\n"));
  ASSERT_TRUE(WriteServiceFileAtomically(shared / "updates.json", "two\n"));
  EXPECT_EQ(Slurp(shared / "updates.json"), "two\n");
  EXPECT_EQ(NamesIn(shared), std::set<std::string>{"updates.json"});
}

TEST_F(FilesTest, AFailedServiceWriteLeavesNoTemporaryFile) {
  const fs::path shared = home_.Path() / "Kestrune" / "Shared";
  fs::create_directories(shared / "updates.json");
  EXPECT_FALSE(WriteServiceFileAtomically(shared / "updates.json", "x"));
  EXPECT_EQ(NamesIn(shared), std::set<std::string>{"updates.json"});
  Put(home_.Path() / "blocker", "file");
  EXPECT_FALSE(WriteServiceFileAtomically(home_.Path() / "blocker" / "updates.json", "x"));
}

// --- Removing ---------------------------------------------------------------

TEST_F(FilesTest, RemovingAFile) {
  Put(folder_ / "Warm.omtarget", "x");
  std::string error = "untouched";
  EXPECT_TRUE(RemoveDocument(folder_ / "Warm.omtarget", error));
  EXPECT_EQ(error, "untouched");
  EXPECT_FALSE(fs::exists(folder_ / "Warm.omtarget"));
}

TEST_F(FilesTest, RemovingAMissingFileNamesTheFile) {
  std::string error;
  EXPECT_FALSE(RemoveDocument(folder_ / "Gone.omtarget", error));
  EXPECT_EQ(error, "could not delete Gone.omtarget");
}

TEST_F(FilesTest, RemovingAFolderFails) {
  fs::create_directories(folder_ / "Dir.omtarget");
  std::string error;
  EXPECT_FALSE(RemoveDocument(folder_ / "Dir.omtarget", error));
  EXPECT_EQ(error, "could not delete Dir.omtarget");
  EXPECT_TRUE(fs::is_directory(folder_ / "Dir.omtarget"));
}

}  // namespace
}  // namespace ombrix
