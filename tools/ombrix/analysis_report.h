#pragma once
// How analyses are shown: a block of text per file, one JSON object per file
// (numbers always with "." and the -150 "nothing measured" value as null),
// and two analyses side by side.
#include <optional>
#include <string>
#include <string_view>

#include "tools/ombrix/file_analysis.h"

namespace ombrix::cli {

// Whether the file held less than its header said, and the note that says so
// ("<file>: cut short: ...").
bool CutShort(const FileAnalysis& analysis);
std::string CutShortNote(const FileAnalysis& analysis);

// Several lines, each ending in LF. The analysis must be ok.
std::string FormatAnalysisText(const FileAnalysis& analysis);

// One line without a line end; failed analyses give {"file":..,"ok":false,"error":..}.
// With withPlot, the object ends with "plot" and "loudness_plot": the two
// pictures' paths, or null.
std::string FormatAnalysisJson(const FileAnalysis& analysis, bool withPlot = false,
                               const std::optional<std::string>& plot = std::nullopt,
                               const std::optional<std::string>& loudnessPlot = std::nullopt);

// The summary of several files as one programme (AlbumAnalysis): a block of
// text headed "Album: N files as one programme", or one JSON object with
// "album": true and "files": N.
std::string FormatAlbumText(const FileAnalysis& album, int files);
std::string FormatAlbumJson(const FileAnalysis& album, int files);

// Two successful analyses in two columns under the given headings.
std::string FormatComparisonText(const FileAnalysis& left, const FileAnalysis& right, std::string_view leftHeading,
                                 std::string_view rightHeading);

}  // namespace ombrix::cli
