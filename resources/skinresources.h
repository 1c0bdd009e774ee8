#pragma once
// Data compiled into the program from the build-time generators.

namespace skinresources {

// Registers the pictures of the built-in control styles ("DEEPBLUE_BUTTON", ...) as bitmap
// resources. Safe to call more than once.
void RegisterStyleArt();

}  // namespace skinresources
