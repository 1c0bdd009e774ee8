#pragma once
// The add-file command: one file row per accepted file, in the dialog's order.
//
// Probing a file can take long (a slow disc, a network folder), so the probes run on
// worker threads while the user-interface thread keeps handling its messages (painting
// included): the command runs a message loop of its own until every row is in. Rows
// are appended on the user-interface thread in the dialog's order, in batches, each
// batch inside one update bracket of the tree. A batch takes every row that is ready,
// within a bounded time, and batches are spaced a frame apart while the probes are the
// slower side, so the thread and the tree work once per batch rather than once per file.
// However the command ends (a quit included), it returns at once: a probe still running
// is left to end on its own, and what it finds is dropped.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jobmodel/jobhost.h"
#include "jobmodel/jobrows.h"

namespace jobmodel {

// The longest path the command takes, in characters (not bytes).
constexpr std::size_t kMaxAddPathCharacters = 199;
constexpr const char* kPathTooLongText = "Can't load the file,Its name is too lang!";

// The converter's probe as the command reaches it; tests install stand-ins. getFileInfo
// fills a zero-filled record whose path is written and returns 0 for a file the
// converter supports; isSupportFormat answers for a path that does not fit the record.
struct FileProbeLibrary {
    std::function<std::int32_t(MediaInfo*)> getFileInfo;
    std::function<std::int32_t(const char*)> isSupportFormat;
};
// The probe in use; nullptr restores the converter's.
const FileProbeLibrary& ActiveFileProbe();
void SetFileProbe(const FileProbeLibrary* probe);

struct AddFilesOptions {
    int threads = 0;       // probing threads; 0: one per processor
    int batchRows = 1024;  // rows appended in one update bracket at most
    std::chrono::milliseconds batchTime{8};      // and for at most this long
    // At least this long from one batch's start to the next's while files are still being
    // probed; a batch cut short by its limits is followed at once.
    std::chrono::milliseconds batchSpacing{16};
};

struct AddFilesResult {
    int added = 0;         // rows appended
    int skipped = 0;       // files the converter does not support
    bool stopped = false;  // a path was too long: the files after it were not added
    bool quit = false;     // the program was asked to end meanwhile (the quit is posted again)
};

// Adds the files at the end of the top level. Unsupported files are skipped silently;
// the first supported path longer than kMaxAddPathCharacters shows the message followed
// by the path and ends the command there (the rows before it stay). The working option
// record is read once. When the command was not stopped, the selection becomes the last
// top-level row.
AddFilesResult AddMediaFiles(JobRows& tree, const std::vector<std::string>& paths, JobHost& host,
                             const AddFilesOptions& options = {});

// The number of characters of a UTF-8 text (bytes that do not continue a character).
std::size_t CharacterCount(const std::string& text);

}  // namespace jobmodel
