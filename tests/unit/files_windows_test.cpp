// What only the Windows build has: the data folders that the shell names,
// UTF-16 paths at every system call, files other programs hold open, and
// thread names.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "dsp/audio_file_reader.h"
#include "library/current_target.h"
#include "library/data_folders.h"
#include "library/file_helpers.h"
#include "library/platform_files.h"
#include "library/platform_threads.h"
#include "library/presets.h"
#include "library/target_library.h"
#include "support/audio_fixtures.h"
#include "support/temp_data_home.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;

// The name of the tests, in UTF-8: letters from three scripts and a symbol
// outside the Basic Multilingual Plane's Latin blocks.
constexpr const char* kUnicodeName =
    "\xC3\x9Cn\xC3\xAF"
    "c\xC3\xB8"
    "d\xC3\xA9 \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC";
constexpr const wchar_t* kUnicodeNameWide = L"\u00DCn\u00EFc\u00F8d\u00E9 \u2713 \u65E5\u672C";

// The names of a folder's entries as the system spells them (UTF-16).
std::vector<std::wstring> WideNamesIn(const fs::path& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((folder / L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0) {
      names.emplace_back(found.cFileName);
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

TEST(WindowsDataFoldersTest, FoldersLieBelowLocalAppData) {
  test::TempDataHome home;
  const wchar_t* localAppData = _wgetenv(L"LOCALAPPDATA");
  ASSERT_NE(localAppData, nullptr);
  EXPECT_TRUE(fs::equivalent(home.Path(), fs::path(localAppData)));
  EXPECT_EQ(TargetsFolder(), home.Path() / "Ombrix" / "Targets");
  EXPECT_EQ(PresetsFolder(), home.Path() / "Ombrix" / "Presets");
  EXPECT_EQ(MakerSharedFolder(), home.Path() / "Kestrune" / "Shared");
  EXPECT_TRUE(TargetsFolder().is_absolute());
}

TEST(WindowsDataFoldersTest, UnicodeNamesReachTheFileSystemAsUtf16) {
  test::TempDataHome home;
  CurrentTarget current;
  TargetChoice learned;
  learned.kind = TargetKind::Learned;
  learned.name = "learned";
  learned.curve.fill(-3.0);
  learned.spread.fill(1.5);
  current.Set(learned);
  TargetSaveResult saved;
  SaveUserTarget(kUnicodeName, current, {}, [&saved](const TargetSaveResult& result) { saved = result; });
  ASSERT_EQ(saved.outcome, TargetSaveOutcome::Saved) << saved.reason;
  EXPECT_EQ(WideNamesIn(TargetsFolder()), std::vector<std::wstring>{std::wstring(kUnicodeNameWide) + L".omtarget"});
  const std::vector<TargetCurve> targets = ListUserTargets();
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0].name, kUnicodeName);
  EXPECT_EQ(targets[0].curve[0], -3.0);

  // A preset of that name in a folder of that name, listed and read back.
  const fs::path folder = home.Path() / PathFromUtf8(kUnicodeName) / PathFromUtf8(kUnicodeName);
  const std::vector<std::uint8_t> state(500, 0x5A);
  std::string reason;
  ASSERT_TRUE(WritePresetFile(folder, kUnicodeName, state, reason)) << reason;
  EXPECT_EQ(WideNamesIn(home.Path() / kUnicodeNameWide), std::vector<std::wstring>{kUnicodeNameWide});
  const std::vector<PresetEntry> presets = ListPresetsIn(folder);
  ASSERT_EQ(presets.size(), 1u);
  EXPECT_EQ(presets[0].name, kUnicodeName);
  EXPECT_EQ(presets[0].state, state);
  fs::remove_all(home.Path() / kUnicodeNameWide);
}

TEST(WindowsDataFoldersTest, AudioFilesOpenThroughUtf16Paths) {
  const fs::path folder = test::MakeFreshTestFolder("unicode") / kUnicodeNameWide;
  fs::create_directories(folder);
  const fs::path file = folder / (std::wstring(kUnicodeNameWide) + L".flac");
  const std::vector<float> mono = test_support::ProgrammeMaterial(7, 0.5, 44100.0);
  const std::vector<float> samples = test_support::Interleave({mono, mono});
  ASSERT_TRUE(test_support::WriteAudioFile(file, test_support::AudioFileFormat::kFlacPcm24, 44100, 2, samples));
  {
    std::string whyNot;
    const auto reader = dsp::AudioFileReader::Open(file, dsp::AudioContainer::kFlac, whyNot);
    ASSERT_NE(reader, nullptr) << whyNot;
    EXPECT_EQ(reader->Channels(), 2);
    EXPECT_EQ(reader->HeaderFrames(), samples.size() / 2);
  }
  fs::remove_all(folder.parent_path());
}

// Another program holds the document open and forbids deleting or replacing
// it (no FILE_SHARE_DELETE), as an editor or a virus scanner may.
TEST(WindowsFilesTest, AFileHeldByAnotherProgramIsLeftAsItWas) {
  test::TempDataHome home;
  const fs::path path = TargetsFolder() / "Warm.omtarget";
  test::Put(path, "old\n");
  HANDLE held = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::string error;
  const bool written = WriteDocumentAtomically(path, "new\n", error);
  ::CloseHandle(held);
  EXPECT_FALSE(written);
  EXPECT_EQ(error, "could not write " + PathToUtf8(path));
  EXPECT_EQ(test::Slurp(path), "old\n");
  EXPECT_EQ(WideNamesIn(TargetsFolder()), std::vector<std::wstring>{L"Warm.omtarget"});
  // Once it lets go, the save goes through.
  EXPECT_TRUE(WriteDocumentAtomically(path, "new\n", error)) << error;
  EXPECT_EQ(test::Slurp(path), "new\n");
}

TEST(WindowsFilesTest, ReadingWhileAnotherProgramWritesAndReplacingOnceItLetsGo) {
  test::TempDataHome home;
  const fs::path path = MakerSharedFolder() / "updates.json";
  ASSERT_TRUE(WriteServiceFileAtomically(path, "one\n"));
  // A writer that shares everything, as our own readers and writers do.
  HANDLE open =
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadSmallFile(path), "one\n");
  // A replacement that comes while the file is open waits for it to be let go.
  std::thread letGo([open] {
    ::Sleep(30);
    ::CloseHandle(open);
  });
  EXPECT_TRUE(WriteServiceFileAtomically(path, "two\n"));
  letGo.join();
  EXPECT_EQ(ReadSmallFile(path), "two\n");
  EXPECT_EQ(WideNamesIn(MakerSharedFolder()), std::vector<std::wstring>{L"updates.json"});
}

TEST(WindowsFilesTest, NewFilesAreCreatedOnlyWhereNothingStands) {
  const fs::path folder = test::MakeFreshTestFolder("new-files");
  EXPECT_EQ(platform::WriteNewFileDurably(folder / "fresh", "x"), platform::NewFileOutcome::kWritten);
  EXPECT_EQ(platform::WriteNewFileDurably(folder / "fresh", "y"), platform::NewFileOutcome::kNameTaken);
  EXPECT_EQ(test::Slurp(folder / "fresh"), "x");
  fs::create_directories(folder / "dir");
  EXPECT_EQ(platform::WriteNewFileDurably(folder / "dir", "x"), platform::NewFileOutcome::kNameTaken);
  EXPECT_EQ(platform::WriteNewFileDurably(folder / "no-folder" / "file", "x"), platform::NewFileOutcome::kNotMade);
  fs::remove_all(folder);
}

TEST(WindowsThreadsTest, ThreadNamesReachTheSystem) {
  platform::NameThisThread("ombrix-worker");
  using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  const auto getDescription = reinterpret_cast<GetDescription>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
  if (getDescription == nullptr) GTEST_SKIP() << "this Windows has no thread descriptions";
  PWSTR name = nullptr;
  ASSERT_TRUE(SUCCEEDED(getDescription(::GetCurrentThread(), &name)));
  EXPECT_STREQ(name, L"ombrix-worker");
  ::LocalFree(name);
}

}  // namespace
}  // namespace ombrix
