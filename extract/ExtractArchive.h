// Extraction of one 7z package into a folder, with per-entry progress to a window.
#pragma once

#include <string>

namespace platform {
class Window;
}

// Extracts every entry of the archive at `archivePath` under `outputDir` (UTF-8, an
// existing folder; it is never created here), in archive order, with full paths. Before each
// entry it sends WM_INSTALL_PROGRESS to `progressWindow` (when not null) with the percentage
// of entries begun. Writes a plain-text log to standard output.
// Returns 0 when every entry was extracted, -1 when `archivePath` is null or `outputDir` is
// not an existing folder (nothing else happens then, not even the log), 1 on any other
// failure; what was extracted before a failure stays on disk.
int ExtractArchive(const char* archivePath, const std::string& outputDir,
                   platform::Window* progressWindow);
