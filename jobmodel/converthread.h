#pragma once
// The conversion worker: one thread per run that turns every checked row of the job
// list into a job folder with the converted video, its thumbnail, a player and a page,
// and reports each item and the end of the run to the progress window by posted
// messages. It works from a plan of the checked rows copied when the run starts
// (jobmodel/convertplan.h), so the lists may change while it runs.
//
// Messages to the progress window, in this order per item:
//   WM_CONVERT_ITEM_BAR   (WParam = the item's length in seconds, LParam = the position
//                          of the current-item bar: 0 when the item starts, the length
//                          when it ends)
//   WM_CONVERTER_PROGRESS (from the converter, while it converts)
//   WM_CONVERT_ITEM_BAR   (the item's end)
//   WM_CONVERT_ITEM_DONE  (WParam = the item's result code, LParam = the item name text
//                          inside the plan's copy of the record, valid while the worker
//                          object lives)
// and once per run, on every path, as the worker's last message:
//   WM_CONVERT_ALL_DONE   (0, 0)
//
// Rows of the job list and the DVD window's list are read and written only on the
// user-interface thread that owns both lists: the worker sends the window
// WM_CONVERT_TREE_WRITE (LParam = a const std::function<void()>* to run there) and waits
// for it. A write finds its row again by the record it belongs to; a row deleted
// meanwhile gets none.
//
// When the converter said why an item failed, the worker sends, before the item's
// WM_CONVERT_ITEM_DONE, WM_CONVERT_ITEM_REASON (WParam = the item name text as in
// WM_CONVERT_ITEM_DONE, LParam = the converter's text, valid during the call).
#include <cstdint>
#include <string>
#include <vector>

#include "jobmodel/convertplan.h"
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

// What a run reads: the job list (its plan is made when the run starts), the DVD
// window's title list (may be null when no DVD is loaded), the progress window and the
// program folder (with a trailing "/") whose templates/AC_RunActiveContent.js the pages
// load. The lists are touched only on the user-interface thread.
struct ConvertRunSetup {
    JobRows* jobRows = nullptr;
    JobRows* dvdRows = nullptr;
    platform::HWND progressWindow = nullptr;
    std::string programFolder;
};

class ConverThread : public platform::TThread {
public:
    // Makes the plan from the job list and starts the run at once; called on the
    // user-interface thread that owns the lists. ConvertOutputDir and CancelState must
    // be set first.
    explicit ConverThread(ConvertRunSetup setup);
    ~ConverThread() override;

protected:
    void Execute() override;

private:
    const ConvertRunSetup setup_;
    // The run's jobs, copied from the job list on the user-interface thread that owns it.
    ConvertPlan plan_;
};

}  // namespace jobmodel
