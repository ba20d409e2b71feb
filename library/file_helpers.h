#pragma once
// File names for display names, folder listing, small-file reading and the two
// atomic write procedures through which every file of the plug-in is written.
//
// Failures come back as a bool, plus (for documents) a short lower-case
// reason without a final full stop that callers append to a sentence of their
// own: "could not write " + the full path, "could not delete " + the file name.
//
// Only absolute paths are worked on. A relative or empty path (the data
// folder could not be named, see data_folders.h) is never resolved against
// the working folder: listing and reading find nothing, writing fails with
// kNoDataFolderReason, removing fails with the usual "could not delete ".
//
// No locks are held; every operation may run on any thread, and files are
// opened so that other processes may read and write them meanwhile.
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ombrix {

// Files larger than this are not read.
inline constexpr std::size_t kSmallFileLimit = 65536;

// Display names are cut to at most this many bytes of UTF-8.
inline constexpr std::size_t kMaxFileNameBytes = 80;

// Temporary files are named after the file they will replace: P + marker +
// "-" + six random letters or digits. Listings never show them (their
// extension is not a document's); ones older than kStaleTemporaryAge, left by
// a writer that crashed, are removed by the next write into their folder.
inline constexpr std::string_view kDocumentTemporaryMarker = ".partial";
inline constexpr std::string_view kServiceTemporaryMarker = ".tmp";
inline constexpr std::chrono::hours kStaleTemporaryAge{24};

// The reason given when a write is asked for a path that is not absolute.
inline constexpr std::string_view kNoDataFolderReason = "could not find the user's data folder";

// UTF-8 text <-> file-system path, with no character lost either way.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string PathToUtf8(const std::filesystem::path& path);

// The full path of the file that holds a display name: forbidden characters
// become "-", the name is cut to 80 bytes without splitting a character,
// leading and trailing spaces and full stops go, an empty result becomes the
// fallback, reserved device names (CON, PRN, AUX, NUL, COM1..9, LPT1..9,
// before the first ".") get a "-" appended, then the extension follows.
// The Windows rules apply on every system so that files can travel.
// Never fails.
std::filesystem::path FileNameForName(const std::filesystem::path& folder, std::string_view name,
                                      std::string_view extension, std::string_view fallback);

// The regular files (after following links) of folder whose extension (the
// file name from its last "." on; ".omtarget" alone has none) equals the
// given one exactly, in the order in which the file system lists them. A
// missing folder, or one that is not a directory, gives an empty list and
// creates nothing. May throw std::filesystem::filesystem_error while
// enumerating; callers turn that into an empty result.
std::vector<std::filesystem::path> ListFilesWithExtension(const std::filesystem::path& folder,
                                                          std::string_view extension);

// The file's bytes as they are, or nothing when it cannot be opened or holds
// more than kSmallFileLimit bytes.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path);
// The same with another limit, for the one file that may be larger (the
// update cache).
std::optional<std::string> ReadFileUpTo(const std::filesystem::path& path, std::size_t maxBytes);

// Writes a target or preset: creates the missing folders, creates a new
// temporary file of this write's own beside P (P + ".partial-" + six random
// characters; never through a link standing there), writes and flushes it,
// moves it onto P and flushes the folder. Any number of writers, in any
// number of processes, may write P at the same moment: each move puts one
// whole text in place, the last move wins, and a reader of P sees either
// the old or a new text whole, never an empty or mixed file. On failure
// returns false with error = "could not write " + P; P keeps its previous
// content and no temporary file of this write remains.
bool WriteDocumentAtomically(const std::filesystem::path& path, std::string_view bytes, std::string& error);

// Writes a file shared between plug-in instances and processes (the update
// cache, the switch-off file) exactly like WriteDocumentAtomically, through
// P + ".tmp-" + six random characters, and reports only success or failure.
bool WriteServiceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Removes the file at path. On failure (no such file, a folder there, no
// permission) returns false with error = "could not delete " + the file name
// (the last path element only).
bool RemoveDocument(const std::filesystem::path& path, std::string& error);

}  // namespace ombrix
