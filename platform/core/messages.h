#pragma once
// Message queues and message targets.
//
// Every thread that uses them has one queue. A message target is a handle (HWND) from
// the handle table: AllocateHWnd registers a procedure under a new handle owned by the
// calling thread; the window layer registers real windows the same way and may replace
// the procedure later (SetHandleProc). Handles are never reused, so a message queued for
// a handle that is freed meanwhile is dropped, and the freed target is never touched.
//
//  - PostMessage / PostThreadMessage: from any thread, queued in the owning thread's
//    queue, first in first out.
//  - SendMessage: on the owning thread the procedure runs at once; from another thread
//    the call is carried to the owning thread, which runs it the next time it looks at
//    its queue (GetMessage, PeekMessage, a message wait, its own SendMessage, WaitFor),
//    and the sender waits for the result - running calls carried to it meanwhile, so two
//    threads sending to each other never deadlock. An exception the procedure raises
//    reaches the sender.
//  - GetMessage / PeekMessage return, in this order: posted messages, WM_QUIT (after
//    PostQuitMessage; it passes every filter), then WM_TIMER of a due timer - but a quit
//    or a due timer never waits behind more than kPostsBeforeQuitOrTimer posted messages
//    taken after it. Each queue holds at most kMessageQueueLimit posted messages: a post
//    to a full queue fails (FALSE).
//  - Timers (SetTimer) belong to a handle and an id, run on the current clock and keep
//    their rhythm; a due timer yields a single WM_TIMER however late the queue is read.
#include <cstddef>
#include <functional>

#include "platform/core/threads.h"
#include "platform/core/wintypes.h"

namespace platform {

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Wake masks of MsgWaitForMultipleObjects; any of them waits for any message.
constexpr DWORD QS_POSTMESSAGE = 0x0008;
constexpr DWORD QS_TIMER = 0x0010;
constexpr DWORD QS_SENDMESSAGE = 0x0040;
constexpr DWORD QS_ALLINPUT = 0x04FF;

// The filter handle that selects thread messages only (those posted with no handle).
inline const HWND HWND_THREAD_ONLY = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;  // GetCoarseTickCount64 when posted
    POINT pt;
    // Unused. It makes every field of the record whole 16-byte blocks: a copy of the
    // record is then three aligned moves, and a field read just after a copy is served
    // from that copy's store instead of waiting for it (a copy of 44 bytes overlaps).
    DWORD lPrivate = 0;
};

using TWndMethod = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// The handle table.
HWND AllocateHWnd(TWndMethod proc);
// Frees the handle: its timers stop, its queued messages are dropped. Unknown: no-op.
void DeallocateHWnd(HWND hwnd);
// Replaces the procedure of a live handle; false for an unknown handle.
bool SetHandleProc(HWND hwnd, TWndMethod proc);
TWndMethod GetHandleProc(HWND hwnd);
bool IsHandleAllocated(HWND hwnd);
// The thread that owns the handle (0 for an unknown handle).
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId = nullptr);

// How many posted messages a queue holds; posts beyond fail until the thread reads.
constexpr size_t kMessageQueueLimit = 10000;
// A quit or a due timer waits behind at most this many posted messages taken after it.
constexpr int kPostsBeforeQuitOrTimer = 32;

// Queues a message for hwnd's owning thread; a null hwnd posts a thread message to the
// calling thread. FALSE for an unknown handle, a thread without a queue or a full queue.
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
namespace detail {
// The window layer's input (mouse, keys): queued in order with posted messages but held
// to a limit of its own, so that a flood of posts never drops what the user does.
BOOL PostInputMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
}  // namespace detail
void PostQuitMessage(int exitCode);
// Returns the procedure's result; 0 for an unknown handle.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Waits for the next message for the calling thread. Filter: hwnd (nullptr: any; the
// handle: that handle's; HWND_THREAD_ONLY: thread messages) and message range (0, 0:
// all). Returns 0 for WM_QUIT, -1 for an unknown filter handle, else 1.
BOOL GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
// Runs the translator the window layer installed (keys to characters); FALSE without one.
BOOL TranslateMessage(const MSG* msg);
void SetMessageTranslator(std::function<bool(const MSG&)> translator);
// Calls the target's procedure; 0 for a thread message or a freed handle.
LRESULT DispatchMessage(const MSG* msg);
// Waits until one of the events (TEvent handles) is signalled (WAIT_OBJECT_0 + index,
// an auto-reset event is taken), or new input arrives for the calling thread
// (WAIT_OBJECT_0 + count): a message posted or a timer fallen due since the thread last
// read its queue with GetMessage or PeekMessage (messages it left there do not count),
// or a call carried from another thread, which the wait runs. Otherwise WAIT_TIMEOUT when
// the time-out passes on the current clock. waitAll is not supported (WAIT_FAILED).
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs,
                                DWORD wakeMask);

// Timers. Interval in ms, at least 10; setting an existing id restarts it. Returns the id
// (or 1 for id 0), 0 for an unknown handle.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

}  // namespace platform
