#pragma once
// The shared state of one conversion run. The user-interface thread sets it before the
// worker starts; the worker and the converter's callbacks read and update it.
#include <atomic>
#include <string>

namespace jobmodel {

// The output folder with a trailing "/", copied when Convert is clicked.
extern std::string ConvertOutputDir;
// The current job folder with a trailing "/".
extern std::string ConvertJobDir;
// cancelNone while running, cancelByUser once the user asked to stop.
constexpr int cancelNone = 0;
constexpr int cancelByUser = 1;
extern std::atomic<int> CancelState;
// Seconds of source converted so far in this run.
extern std::atomic<int> TotalConvertedSeconds;

}  // namespace jobmodel
