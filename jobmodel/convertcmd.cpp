#include "jobmodel/convertcmd.h"

#include <filesystem>
#include <system_error>

#include "jobmodel/convertstate.h"
#include "jobmodel/dvdload.h"
#include "jobmodel/itemtree.h"
#include "platform/core/shell.h"
#include "platform/windows/messages.h"

namespace jobmodel {

namespace {

int Trimmed(const MediaItem* item) {
    return item && item->timeRange ? item->timeRange->end - item->timeRange->start : 0;
}

}  // namespace

bool HasCheckedRow(JobRows& jobTree) { return !jobTree.CheckedRows().empty(); }

int ConvertTotalSeconds(JobRows& jobTree) {
    long long total = 0;
    for (Row row : jobTree.CheckedRows()) {
        const MediaItem* item = jobTree.Item(row);
        if (item && (item->kind == mkMerge || item->kind == mkSlide)) {
            for (Row member = jobTree.FirstChild(row); member; member = jobTree.NextSibling(member))
                total += Trimmed(jobTree.Item(member));
        } else {
            total += Trimmed(item);
        }
    }
    return static_cast<int>(std::min<long long>(total, INT32_MAX));
}

bool StartConversion(ConvertCommand& command) {
    std::error_code error;
    std::filesystem::create_directories(command.outputFolder, error);
    if (!std::filesystem::is_directory(command.outputFolder, error)) {
        command.host.ShowMessage(kOutputFolderText + command.outputFolder);
        return false;
    }
    command.progress.TotalProgress().SetMax(ConvertTotalSeconds(command.jobTree));
    command.progress.JobList = &command.jobTree;
    command.progress.DvdList = command.dvdTree;
    command.progress.ProgramFolder = command.programFolder;
    command.host.ShowProgressWindow();
    return true;
}

bool ConvertClick(ConvertCommand& command) {
    if (!HasCheckedRow(command.jobTree)) {
        command.host.ShowMessage(kNoCheckedText);
        return false;
    }
    if (command.outputFolder.empty() || command.outputFolder.back() != '/') command.outputFolder += '/';
    ConvertOutputDir = command.outputFolder;
    CancelState = 0;
    TfrmConvert& p = command.progress;
    p.OneProgress().SetPosition(0);
    p.TotalProgress().SetPosition(0);
    p.OneProgress().SetMax(0);
    p.TotalProgress().SetMax(0);
    p.ShowResult().Clear();
    const bool shown = StartConversion(command);
    if (command.dvdTree) ResetDvdTimeRanges(*command.dvdTree);
    return shown;
}

bool OpenOutputFolder(const std::string& folder) {
    if (folder.empty()) return false;
    return platform::ShellExecuteResult(
               platform::ShellExecuteA(nullptr, "explore", folder.c_str(), nullptr, nullptr, platform::SW_SHOW)) > 32;
}

}  // namespace jobmodel
