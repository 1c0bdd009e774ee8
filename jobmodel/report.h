#pragma once
// Problems the job model meets without stopping (an unreadable stored setting, a
// profile value of the wrong form) go to one reporter, which the program points at its
// message box and tests point at a recorder. Default: standard error.
#include <functional>
#include <string>

namespace jobmodel {

using JobModelReporter = std::function<void(const std::string& message)>;

// Installs a reporter (an empty one restores the default); returns the previous one.
JobModelReporter SetJobModelReporter(JobModelReporter reporter);
void ReportJobModelProblem(const std::string& message);

}  // namespace jobmodel
