#pragma once
// Shell services: opening documents, links and folders with the desktop's own programs, and
// switching the computer off.
//
// Both reach the outside through an interface, so tests put recording stand-ins in:
// - TProcessLauncher starts a program from an argument vector (never through a shell, so no
//   character of a path or an address is ever interpreted); the default spawns it, does not
//   wait, and reaps it when it ends;
// - TPowerControl switches the computer off; the default runs `systemctl poweroff`.
#include <memory>
#include <string>
#include <vector>

#include "platform/core/wintypes.h"

namespace platform {

class TProcessLauncher {
public:
    virtual ~TProcessLauncher() = default;
    // Starts argv[0] (looked up on PATH) with the rest as its arguments. Returns false, with
    // errno's text in error, when the program could not be started.
    virtual bool Launch(const std::vector<std::string>& argv, std::string& error) = 0;
};

class TPowerControl {
public:
    virtual ~TPowerControl() = default;
    // Asks the system to switch off; false when the request could not be made.
    virtual bool PowerOff() = 0;
};

// The services in use (the spawning and systemctl ones unless replaced).
TProcessLauncher& ProcessLauncher();
TPowerControl& PowerControl();
// Replace the services; nullptr puts the default back. The previous one is returned.
std::unique_ptr<TProcessLauncher> SetProcessLauncher(std::unique_ptr<TProcessLauncher> launcher);
std::unique_ptr<TPowerControl> SetPowerControl(std::unique_ptr<TPowerControl> control);

// ShellExecuteA results: above 32 is success.
constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_PNF = 3;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_NOASSOC = 31;
constexpr int SE_SUCCESS = 42;

// verb "open" (or null): an address (scheme://...), a document or a folder goes to the
// desktop's opener (xdg-open); an executable file is started itself with parameters split at
// blanks (double quotes keep blanks together). verb "explore": a folder, in the file
// manager. An address is passed on as it stands, a local path made absolute (so that no name
// can read as an option of the program it goes to); a local path that does not exist gives SE_ERR_FNF
// (SE_ERR_PNF for "explore" on something that is not a folder), an unknown verb
// SE_ERR_NOASSOC, a program that cannot be started SE_ERR_ACCESSDENIED. The result is an
// HINSTANCE holding the number, as callers compare it with 32. Nothing waits for the child.
HINSTANCE ShellExecuteA(HWND hwnd, const char* verb, const char* file, const char* parameters, const char* directory,
                        int showCommand);
int ShellExecuteResult(HINSTANCE result);

// ExitWindowsEx flags the program passes; any request with EWX_SHUTDOWN or EWX_POWEROFF
// switches the computer off through PowerControl().
constexpr unsigned EWX_LOGOFF = 0x0;
constexpr unsigned EWX_SHUTDOWN = 0x1;
constexpr unsigned EWX_REBOOT = 0x2;
constexpr unsigned EWX_POWEROFF = 0x8;
BOOL ExitWindowsEx(unsigned flags, DWORD reason);

// Splits a parameter text at blanks; "..." keeps blanks inside one argument.
std::vector<std::string> SplitParameters(const std::string& parameters);

}  // namespace platform
