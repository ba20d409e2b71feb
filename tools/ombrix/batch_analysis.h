#pragma once
// Analysing several files at once, up to one file per processor core, the
// longest first (by the length their headers state).
#include <functional>
#include <string>
#include <vector>

#include "tools/ombrix/file_analysis.h"
#include "tools/ombrix/progress.h"

namespace ombrix::cli {

// `report` runs on the calling thread once per file, in the order given, as
// soon as that file and all before it are done. The progress counts decoded
// frames of all files together.
void AnalyseFiles(const std::vector<std::string>& files, const AnalysisRequest& request, Progress& progress,
                  const std::function<void(const FileAnalysis&)>& report);

}  // namespace ombrix::cli
