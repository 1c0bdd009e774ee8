#pragma once
// Optical drives coming and going: a udev monitor of block devices that posts
// WM_DEVICECHANGE to a window when an optical drive or its medium arrives (WParam
// DBT_DEVICEARRIVAL) or goes (DBT_DEVICEREMOVECOMPLETE). LParam is the drive id of the
// device (/dev/srN: 'D' + N, as the DVD reader names drives), 0 when it has none.
//
// The monitor listens on its own thread and only posts; without a udev daemon (or
// netlink) it starts nothing and Start says so. Tests inject events through Inject,
// which takes the same road as an event from udev.
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "platform/core/wintypes.h"

struct udev;
struct udev_monitor;

namespace platform {

constexpr WPARAM DBT_DEVNODES_CHANGED = 0x0007;
constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;

// One event as udev reports it: its action ("add", "remove", "change"), the device's
// subsystem and node, and its properties.
struct TDeviceEvent {
    std::string action;
    std::string subsystem = "block";
    std::string devnode;
    std::map<std::string, std::string> properties;
};

// What the event means to the program: DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE, or
// 0 for an event that is not about an optical drive or its medium.
WPARAM OpticalDeviceMessage(const TDeviceEvent& event);
// The drive id of a device node ("/dev/sr1" gives 'E'); 0 for any other node.
char OpticalDriveId(const std::string& devnode);

class TDeviceMonitor {
public:
    explicit TDeviceMonitor(HWND target);
    ~TDeviceMonitor();  // stops the thread
    TDeviceMonitor(const TDeviceMonitor&) = delete;
    TDeviceMonitor& operator=(const TDeviceMonitor&) = delete;

    // Starts listening to udev; false (and nothing runs) when udev cannot be reached.
    bool Start();
    bool Running() const { return thread_.joinable(); }
    // Handles the event as if udev had sent it: posts its message when it has one.
    // Returns the message posted (0 for none).
    WPARAM Inject(const TDeviceEvent& event);

private:
    void Listen();
    HWND target_;
    ::udev* udev_ = nullptr;
    ::udev_monitor* monitor_ = nullptr;
    int wakePipe_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace platform
