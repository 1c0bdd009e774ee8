#include "platform/windows/devicemonitor.h"

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

#include "platform/core/messages.h"
#include "platform/windows/messages.h"

namespace platform {

namespace {

std::string Property(const TDeviceEvent& event, const char* name) {
    auto it = event.properties.find(name);
    return it == event.properties.end() ? std::string() : it->second;
}

bool IsOptical(const TDeviceEvent& event) {
    return event.subsystem == "block" && (OpticalDriveId(event.devnode) || Property(event, "ID_CDROM") == "1");
}

}  // namespace

char OpticalDriveId(const std::string& devnode) {
    const std::string prefix = "/dev/sr";
    if (devnode.size() <= prefix.size() || devnode.size() > prefix.size() + 2 || devnode.rfind(prefix, 0) != 0)
        return 0;
    int n = 0;
    for (size_t i = prefix.size(); i < devnode.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(devnode[i]))) return 0;
        n = n * 10 + (devnode[i] - '0');
    }
    return n <= 'Z' - 'D' ? static_cast<char>('D' + n) : 0;
}

WPARAM OpticalDeviceMessage(const TDeviceEvent& event) {
    if (!IsOptical(event)) return 0;
    if (event.action == "add") return DBT_DEVICEARRIVAL;
    if (event.action == "remove") return DBT_DEVICEREMOVECOMPLETE;
    // A medium put in or taken out shows as a change of the drive.
    if (event.action == "change" &&
        (Property(event, "DISK_MEDIA_CHANGE") == "1" || Property(event, "DISK_EJECT_REQUEST") == "1"))
        return Property(event, "ID_CDROM_MEDIA") == "1" ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    return 0;
}

TDeviceMonitor::TDeviceMonitor(HWND target) : target_(target) {}

TDeviceMonitor::~TDeviceMonitor() {
    if (thread_.joinable()) {
        const char stop = 1;
        (void)!write(wakePipe_[1], &stop, 1);
        thread_.join();
    }
    for (int fd : wakePipe_)
        if (fd >= 0) close(fd);
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

bool TDeviceMonitor::Start() {
    if (thread_.joinable()) return true;
    if (!udev_) udev_ = udev_new();
    if (!udev_) return false;
    if (!monitor_) {
        monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (!monitor_) return false;
        if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", "disk") < 0 ||
            udev_monitor_enable_receiving(monitor_) < 0) {
            udev_monitor_unref(monitor_);
            monitor_ = nullptr;
            return false;
        }
    }
    if (wakePipe_[0] < 0 && pipe2(wakePipe_, O_CLOEXEC) != 0) return false;
    thread_ = std::thread(&TDeviceMonitor::Listen, this);
    return true;
}

WPARAM TDeviceMonitor::Inject(const TDeviceEvent& event) {
    const WPARAM message = OpticalDeviceMessage(event);
    if (message) PostMessage(target_, WM_DEVICECHANGE, message, static_cast<LPARAM>(OpticalDriveId(event.devnode)));
    return message;
}

void TDeviceMonitor::Listen() {
    pollfd fds[2] = {{udev_monitor_get_fd(monitor_), POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (!device) continue;
        TDeviceEvent event;
        const char* action = udev_device_get_action(device);
        const char* subsystem = udev_device_get_subsystem(device);
        const char* node = udev_device_get_devnode(device);
        event.action = action ? action : "";
        event.subsystem = subsystem ? subsystem : "";
        event.devnode = node ? node : "";
        for (udev_list_entry* e = udev_device_get_properties_list_entry(device); e; e = udev_list_entry_get_next(e)) {
            const char* value = udev_list_entry_get_value(e);
            event.properties[udev_list_entry_get_name(e)] = value ? value : "";
        }
        udev_device_unref(device);
        Inject(event);
    }
}

}  // namespace platform
