#pragma once
// A fresh, private data home for one test: creates a new folder under
// $OMBRIX_TEST_TMP (or the system's temporary folder when that is not set),
// points XDG_DATA_HOME at it, and on destruction restores XDG_DATA_HOME as it
// was and removes the folder with everything in it. TargetsFolder(),
// PresetsFolder() and MakerSharedFolder() then lie inside Path().
//
// On Windows the system names the folder: Path() is the real %LOCALAPPDATA%,
// whose Ombrix and Kestrune folders are emptied before and after, so these
// tests run only in a scratch profile (the build's wine prefix, which sets
// OMBRIX_TEST_SCRATCH_PROFILE=1) and one program at a time.
//
//   ombrix::test::TempDataHome home;
//   WriteTargetFile(...);  // lands in home.Path() / "Ombrix" / "Targets"
//
// Environment variables are process-wide: use one at a time, on the test's
// main thread, and stop threads that read the folders before it goes.
#include <filesystem>
#include <optional>
#include <string>

namespace ombrix::test {

class TempDataHome {
 public:
  TempDataHome();
  ~TempDataHome();
  TempDataHome(const TempDataHome&) = delete;
  TempDataHome& operator=(const TempDataHome&) = delete;

  // The folder that XDG_DATA_HOME names while this object lives.
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::optional<std::string> previous_;
};


// Sets (value non-null) or unsets (value null) one environment variable for
// the life of this object, then restores what was there. The same caution as
// above applies: no other thread may read the environment meanwhile.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const char* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// A fresh empty folder under $OMBRIX_TEST_TMP or the temporary folder, for tests that need
// scratch space without touching the environment; the caller removes it.
std::filesystem::path MakeFreshTestFolder(const std::string& prefix);

// The whole content of a file ("" when it cannot be read).
std::string Slurp(const std::filesystem::path& path);

// Writes bytes to path, creating its folder first.
void Put(const std::filesystem::path& path, const std::string& bytes);

}  // namespace ombrix::test
