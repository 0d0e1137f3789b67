// The program's start-up run for real on the demo game, with the open main
// window handed to a test, which the runner closes afterwards.
#pragma once

#include <functional>
#include <string>

#include "support/temp_folder.h"

namespace tarnwick {
class CTarnwickApp;
class CTarnwickDlg;
}

namespace tarnwick::test {

struct ProgramWindowOptions_T {
    std::string settings;       // more lines for the [SYSTEM] section
    bool withCaptures = true;   // the demo's CaptureList.xml beside the program
    bool withMusic = true;      // a real music player (else silent music)
    bool freshSettings = true;  // false: start again on what the last run wrote
    // A home folder for start-up to search for the game; the demo game's
    // folder is then not stored. Without one, the demo game is stored and
    // start-up sees a home with nothing in it.
    std::string home;
};

using WindowTest = std::function<void(CTarnwickDlg&, CTarnwickApp&)>;

// Writes the settings into program's folder, runs start-up and the test.
void RunProgramWindow(const TempFolder& program, const ProgramWindowOptions_T& options, const WindowTest& test);

// Runs the event loop until done() or the time-out; gives done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

bool HaveAudioOutput();

}  // namespace tarnwick::test
