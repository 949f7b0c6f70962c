// The application object: starts the drawing and window libraries, runs the main window as
// a modal dialog and shuts down when it closes. Command-line arguments are not read, and
// nothing stops a second copy of the program from running beside the first.
#pragma once

#include <cstdint>
#include <string>

#include "service/HttpClient.h"

class CInstallerApp {
public:
    // `updateEndpoint` is handed to the main window's update query.
    explicit CInstallerApp(std::string updateEndpoint = ORVIK_UPDATE_URL);

    // Runs the whole program and returns false, so no message loop follows. When a worker of
    // the main window outlives the window's bounded waits, the process ends right after the
    // modal run (see InitInstance) instead of returning.
    bool InitInstance();
    // Shuts the drawing library down; the process exit code.
    int ExitInstance();

    // Non-zero while the window library is started (the drawing library's start-up result).
    std::uintptr_t m_gdiplusToken = 0;

private:
    std::string m_updateEndpoint;
};
