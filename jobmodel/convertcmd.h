#pragma once
// The main window's Convert command: everything the worker and the progress window take
// from the main window, the progress window shown modally, and afterwards the DVD
// window's titles and chapters given their whole lengths back. Also the two buttons
// beside the output folder field.
#include <string>

#include "jobmodel/convertfrm.h"
#include "jobmodel/jobhost.h"

namespace jobmodel {

constexpr const char* kNoCheckedText = "No one is checked!";
constexpr const char* kOutputFolderText = "Can't create the output folder: ";

// Whether any row of the job list is checked.
bool HasCheckedRow(JobRows& jobTree);
// The run's length: the checked rows' trimmed lengths in tree order, children included;
// a merge or slide group counts every member, checked or not.
int ConvertTotalSeconds(JobRows& jobTree);

struct ConvertCommand {
    std::string& outputFolder;           // the main window's output folder (gets its "/")
    JobRows& jobTree;
    JobRows* dvdTree;                    // null before any DVD was loaded
    TfrmConvert& progress;
    std::string programFolder;           // with its trailing "/"
    JobHost& host;
};

// Convert: with no checked row the message and nothing else. Otherwise the output folder
// ends with "/" and is copied for the run, the cancel state and the progress window are
// reset, StartConversion runs, and the DVD tree's time ranges are reset (also when the
// run did not start). Returns whether the progress window was shown.
bool ConvertClick(ConvertCommand& command);
// Makes the output folder with its parents (the user is told when it cannot be made and
// no run starts), sets the total bar and the window's inputs, and shows the window.
bool StartConversion(ConvertCommand& command);

// "Find target": opens the folder in the file manager; an empty text does nothing.
// Returns whether it was handed on.
bool OpenOutputFolder(const std::string& folder);

}  // namespace jobmodel
