#pragma once
// File controls: a combo box of file-type filters, a list of folders and a list of files,
// for the file dialogs (and the skinned twins), with the pattern and path rules they share.
//
// Patterns ("*.jpg;*.jpeg") match names ignoring case; an empty pattern (as a trailing ";"
// leaves) matches nothing. Names that are not UTF-8 are shown with replacement characters
// and handed back as their own bytes. Nothing here changes the current directory.
#include <string>
#include <utility>
#include <vector>

#include "platform/controls/stdctrls.h"

namespace platform {

// The (description, patterns) pairs of a filter "Text (*.a)|*.a|All|*.*".
std::vector<std::pair<std::string, std::string>> ParseFilter(const std::string& filter);
// Whether a file name matches one of the ";"-separated patterns, ignoring case.
bool MatchesFilterMask(const std::string& name, const std::string& mask);
// The name as it can be shown: every byte that is not part of valid UTF-8 becomes U+FFFD.
std::string DisplayFileName(const std::string& name);
// A typed path made whole: "~" and "~/..." start at the home folder, a relative path at base;
// "." and ".." are resolved by the text alone.
std::string ExpandTypedPath(const std::string& typed, const std::string& base);
// The process's current directory, read only.
std::string CurrentFolder();

// The mount points a drive list shows, read from a mounts table (/proc/self/mounts): real
// file systems only (no proc, sysfs, cgroups, device or run-time trees), in the table's
// order, "/" first, each once; octal escapes ("\040") decoded. An unreadable table gives "/".
std::vector<std::string> MountPoints(const std::string& mountsFile = "/proc/self/mounts");

// A list of the mounted file systems, by their mount points; the one holding the current
// folder is chosen at first.
class TDriveComboBox : public TCustomComboBox {
public:
    explicit TDriveComboBox(TComponent* owner, const std::string& mountsFile = "/proc/self/mounts");
    // The chosen mount point ("/" when none).
    std::string Drive() const;
    // Chooses the mount point that holds path (the deepest one).
    void SetDrive(const std::string& path);
    // Reads the mounts table again, keeping the choice when it is still there.
    void Update();

private:
    std::string mountsFile_;
};

class TFilterComboBox : public TCustomComboBox {
public:
    explicit TFilterComboBox(TComponent* owner);
    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& value);
    // The patterns of the chosen entry ("*.*" without a filter).
    std::string Mask() const;

private:
    std::string filter_;
    std::vector<std::pair<std::string, std::string>> entries_;
};

// The folders above the current one (indented by depth) and the ones inside it. Double
// click or Enter on an entry opens it. An entry's text is the folder's name alone (the
// indent is drawn), so typing a folder's first letters finds it.
class TDirectoryListBox : public TCustomListBox {
public:
    explicit TDirectoryListBox(TComponent* owner);
    const std::string& Directory() const { return directory_; }
    // Reads the folder; an unreadable one shows its ancestors only.
    void SetDirectory(const std::string& value);
    // The folder an entry stands for.
    std::string ItemPath(int index) const;
    // How deep an entry is drawn: 0 for "/", one more for each folder below it.
    int ItemLevel(int index) const;
    void Dispatch(TMessage& message) override;
    TNotifyEvent OnChange;

protected:
    void DrawItem(int index, TRect rect, TOwnerDrawState state) override;

private:
    std::string directory_;
    std::vector<std::string> paths_;
    std::vector<int> levels_;
};

// The files of a folder that match a mask, sorted by name, as a virtual list (a folder of
// many thousands of files shows without delay).
class TFileListBox : public TCustomListBox {
public:
    explicit TFileListBox(TComponent* owner);
    const std::string& Directory() const { return directory_; }
    void SetDirectory(const std::string& value);
    const std::string& Mask() const { return mask_; }
    void SetMask(const std::string& value);
    // Reads the folder again.
    void Update();
    // The file names as found (bytes), in the list's order.
    const std::vector<std::string>& Names() const { return names_; }
    // The chosen file's full path ("" when none).
    std::string FileName() const;
    std::string Path(int index) const;

private:
    std::string directory_;
    std::string mask_ = "*.*";
    std::vector<std::string> names_;
};

}  // namespace platform
