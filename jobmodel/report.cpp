#include "jobmodel/report.h"

#include <cstdio>

namespace jobmodel {

namespace {
JobModelReporter g_reporter;
}

JobModelReporter SetJobModelReporter(JobModelReporter reporter) {
    JobModelReporter old = std::move(g_reporter);
    g_reporter = std::move(reporter);
    return old;
}

void ReportJobModelProblem(const std::string& message) {
    if (g_reporter) {
        g_reporter(message);
    } else {
        std::fprintf(stderr, "lumacast: %s\n", message.c_str());
    }
}

}  // namespace jobmodel
