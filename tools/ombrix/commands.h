#pragma once
// The subcommands of ombrix. Each takes the arguments after its name and
// returns the exit status; usage errors and failures may also be thrown as
// CommandError.
#include <string>
#include <vector>

namespace ombrix::cli {

int RunAnalyze(const std::vector<std::string>& arguments);
int RunLearn(const std::vector<std::string>& arguments);
int RunRender(const std::vector<std::string>& arguments);
int RunDemo(const std::vector<std::string>& arguments);
int RunScreenshot(const std::vector<std::string>& arguments);

// One line per subcommand, for "ombrix --help".
extern const char* const kAnalyzeSummary;
extern const char* const kLearnSummary;
extern const char* const kRenderSummary;
extern const char* const kDemoSummary;
extern const char* const kScreenshotSummary;

}  // namespace ombrix::cli
