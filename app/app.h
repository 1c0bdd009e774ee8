#pragma once
// Program start-up.

// Creates the windows once each, in order (the main window first, the DVD window last),
// runs the message loop until the main window closes and returns the exit status: 0 after
// a normal close; 1 when start-up failed, after one message box that says why.
int RunApplication();
