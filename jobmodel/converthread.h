#pragma once
// The conversion worker: one thread per run that turns every checked row of the job
// list into a job folder with the converted video, its thumbnail, a player and a page,
// and reports each item and the end of the run to the progress window by posted
// messages.
//
// Messages to the progress window, in this order per item:
//   WM_CONVERT_ITEM_BAR   (WParam = the item's length in seconds, LParam = the position
//                          of the current-item bar: 0 when the item starts, the length
//                          when it ends)
//   WM_CONVERTER_PROGRESS (from the converter, while it converts)
//   WM_CONVERT_ITEM_BAR   (the item's end)
//   WM_CONVERT_ITEM_DONE  (WParam = the item's result code, LParam = the item name text
//                          inside the item's record, unchanged until the run ends)
// and once per run, on every path, as the worker's last message:
//   WM_CONVERT_ALL_DONE   (0, 0)
//
// Rows of the job list and the DVD window's list are written only on the user-interface
// thread that owns both trees: the worker sends the window WM_CONVERT_TREE_WRITE
// (LParam = a const std::function<void()>* to run there) and waits for it.
//
// When the converter said why an item failed, the worker sends, before the item's
// WM_CONVERT_ITEM_DONE, WM_CONVERT_ITEM_REASON (WParam = the item name text as in
// WM_CONVERT_ITEM_DONE, LParam = the converter's text, valid during the call).
#include <cstdint>
#include <string>
#include <vector>

#include "jobmodel/mediaitem.h"
#include "jobmodel/rows.h"
#include "platform/core/messages.h"
#include "platform/core/threads.h"
#include "playermaker/morvbrindle.h"

namespace jobmodel {

constexpr platform::UINT WM_CONVERT_ITEM_DONE = platform::WM_USER + 2035;
constexpr platform::UINT WM_CONVERT_ITEM_BAR = platform::WM_USER + 2036;
constexpr platform::UINT WM_CONVERT_ALL_DONE = platform::WM_USER + 2037;
constexpr platform::UINT WM_CONVERT_TREE_WRITE = platform::WM_USER + 2038;
constexpr platform::UINT WM_CONVERT_ITEM_REASON = platform::WM_USER + 2039;

// The converter and the player maker as the worker reaches them; tests install fakes.
struct ConvertLibrary {
    decltype(&::setProgressHandle) setProgressHandle = ::setProgressHandle;
    decltype(&::setMessagePoster) setMessagePoster = ::setMessagePoster;
    decltype(&::createGroupMediaUIOptionForDVD) createGroupForDvd = ::createGroupMediaUIOptionForDVD;
    decltype(&::createGroupMediaUIOption) createGroup = ::createGroupMediaUIOption;
    decltype(&::createMediaUIOptionForDVD) createDvdInput = ::createMediaUIOptionForDVD;
    decltype(&::createMediaUIOption) createFileInput = ::createMediaUIOption;
    decltype(&::converteToMedia) convert = ::converteToMedia;
    decltype(&::getConvertFailureText) failureText = ::getConvertFailureText;
    decltype(&::freeGroupMediaUIOption) freeGroup = ::freeGroupMediaUIOption;
    decltype(&::freeConvertProgressInfo) freeProgressInfo = ::freeConvertProgressInfo;
    decltype(&::setUsingPreview) setUsingPreview = ::setUsingPreview;
    decltype(&::setPreviewSink) setPreviewSink = ::setPreviewSink;
    // Builds a player from a filled group (the group stays the caller's).
    decltype(&::generateFLVPlayer) generatePlayer = ::generateFLVPlayer;
};

// The library table in use; SetConvertLibrary(nullptr) restores the real libraries.
// Set it only while no run is going on.
const ConvertLibrary& ActiveConvertLibrary();
void SetConvertLibrary(const ConvertLibrary* library);

// The cancel query the converter calls: CancelState.
std::int32_t QueryConvertCancel();

// What a run reads: the job list, the DVD window's title list (may be null when no DVD
// is loaded), the progress window and the program folder (with a trailing "/") whose
// templates/AC_RunActiveContent.js the pages load.
struct ConvertRunSetup {
    JobRows* jobRows = nullptr;
    JobRows* dvdRows = nullptr;
    platform::HWND progressWindow = nullptr;
    std::string programFolder;
};

class ConverThread : public platform::TThread {
public:
    // Starts the run at once. ConvertOutputDir and CancelState must be set first; the
    // trees must stay unchanged until the end-of-run message has been handled.
    explicit ConverThread(ConvertRunSetup setup);
    ~ConverThread() override;

protected:
    void Execute() override;

private:
    const ConvertRunSetup setup_;
    // The checked rows in tree order, taken on the user-interface thread that owns the
    // tree; group members are never checked.
    std::vector<Row> checked_;
};

}  // namespace jobmodel
