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
// With withPlot, the object ends with "plot": the picture's path, or null.
std::string FormatAnalysisJson(const FileAnalysis& analysis, bool withPlot = false,
                               const std::optional<std::string>& plot = std::nullopt);

// Two successful analyses in two columns under the given headings.
std::string FormatComparisonText(const FileAnalysis& left, const FileAnalysis& right, std::string_view leftHeading,
                                 std::string_view rightHeading);

}  // namespace ombrix::cli
