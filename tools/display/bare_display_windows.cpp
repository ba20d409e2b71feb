#include <windows.h>

#include "tools/display/bare_display.h"

namespace ombrix::host {

// Windows always has a desktop for the framework's windows.
void PrepareBareDisplay() {}

bool DisplayAvailable() { return GetSystemMetrics(SM_CXSCREEN) > 0; }

}  // namespace ombrix::host
