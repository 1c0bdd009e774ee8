// File controls and the pattern and path rules of the file dialogs.
#include "platform/controls/filectrl.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <climits>
#include <cstdlib>

namespace platform {

std::vector<std::pair<std::string, std::string>> ParseFilter(const std::string& filter) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : filter) {
        if (c == '|') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) out.emplace_back(parts[i], parts[i + 1]);
    return out;
}

bool MatchesFilterMask(const std::string& name, const std::string& mask) {
    std::size_t start = 0;
    while (start <= mask.size()) {
        std::size_t end = mask.find(';', start);
        if (end == std::string::npos) end = mask.size();
        std::string pattern = mask.substr(start, end - start);
        while (!pattern.empty() && pattern.front() == ' ') pattern.erase(0, 1);
        while (!pattern.empty() && pattern.back() == ' ') pattern.pop_back();
        // "*.*" means every file, with or without a dot.
        if (pattern == "*.*" || pattern == "*") return true;
        if (!pattern.empty() && fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0) return true;
        start = end + 1;
    }
    return false;
}

std::string DisplayFileName(const std::string& name) {
    std::string out;
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(name[k]); };
    for (std::size_t i = 0; i < name.size();) {
        unsigned c = b(i);
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool ok = len > 0 && i + len <= name.size();
        for (std::size_t k = 1; ok && k < len; ++k) ok = (b(i + k) & 0xC0) == 0x80;
        if (ok && len == 2) ok = c >= 0xC2;
        if (ok && len == 3) ok = !(c == 0xE0 && b(i + 1) < 0xA0) && !(c == 0xED && b(i + 1) >= 0xA0);
        if (ok && len == 4) ok = !(c == 0xF0 && b(i + 1) < 0x90) && c <= 0xF4 && !(c == 0xF4 && b(i + 1) >= 0x90);
        if (!ok) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out.append(name, i, len);
        i += len;
    }
    return out;
}

std::string ExpandTypedPath(const std::string& typed, const std::string& base) {
    std::string path = typed;
    if (path == "~" || path.rfind("~/", 0) == 0) {
        const char* home = std::getenv("HOME");
        path = std::string(home ? home : "/") + path.substr(1);
    } else if (path.empty() || path[0] != '/') {
        path = base + "/" + path;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof(buffer)) ? std::string(buffer) : std::string("/");
}

namespace {

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Join(const std::string& dir, const std::string& name) { return dir == "/" ? "/" + name : dir + "/" + name; }

bool NameLess(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int x = std::tolower(static_cast<unsigned char>(a[i])), y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size() || (a.size() == b.size() && a < b);
}

}  // namespace

// ---------------------------------------------------------------- TFilterComboBox

// ---------------------------------------------------------------- TDriveComboBox

namespace {

bool PseudoFileSystem(const std::string& type, const std::string& dir) {
    static const char* const kPseudo[] = {"proc",     "sysfs",     "devtmpfs",  "devpts",    "cgroup",  "cgroup2",
                                          "securityfs", "pstore",  "debugfs",   "tracefs",   "configfs", "fusectl",
                                          "mqueue",   "hugetlbfs", "bpf",       "binfmt_misc", "autofs", "efivarfs",
                                          "rpc_pipefs", "nsfs",    "selinuxfs", "ramfs",     "overlay"};
    for (const char* p : kPseudo)
        if (type == p) return true;
    for (const char* tree : {"/proc", "/sys", "/dev", "/run"})
        if (dir == tree || dir.rfind(std::string(tree) + "/", 0) == 0) return true;
    return false;
}

// "\040" and the other three-digit octal escapes of a mounts table.
std::string Unescape(const std::string& s) {
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && octal(s[i + 1]) && octal(s[i + 2]) && octal(s[i + 3])) {
            int v = (s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0');
            if (v > 0 && v < 256) {
                out += char(v);
                i += 3;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

}  // namespace

std::vector<std::string> MountPoints(const std::string& mountsFile) {
    std::vector<std::string> points{"/"};
    FILE* f = std::fopen(mountsFile.c_str(), "re");
    if (!f) return points;
    std::string line;
    int c;
    auto take = [&] {
        // device dir type options ...
        std::vector<std::string> fields;
        std::string field;
        for (char ch : line) {
            if (ch == ' ' || ch == '\t') {
                if (!field.empty()) fields.push_back(field);
                field.clear();
            } else {
                field += ch;
            }
        }
        if (!field.empty()) fields.push_back(field);
        line.clear();
        if (fields.size() < 3) return;
        std::string dir = Unescape(fields[1]);
        if (dir.empty() || dir[0] != '/' || PseudoFileSystem(fields[2], dir)) return;
        if (std::find(points.begin(), points.end(), dir) == points.end()) points.push_back(dir);
    };
    while ((c = std::fgetc(f)) != EOF) {
        if (c == '\n')
            take();
        else if (line.size() < 65536)
            line += char(c);
    }
    take();
    std::fclose(f);
    return points;
}

TDriveComboBox::TDriveComboBox(TComponent* owner, const std::string& mountsFile)
    : TCustomComboBox(owner), mountsFile_(mountsFile) {
    SetStyle(csDropDownList);
    Update();
    SetDrive(CurrentFolder());
}

std::string TDriveComboBox::Drive() const {
    int i = ItemIndex();
    return i >= 0 ? Items()->Get(i) : std::string("/");
}

void TDriveComboBox::SetDrive(const std::string& path) {
    std::string full = ExpandTypedPath(path, "/");
    int best = -1;
    std::size_t bestLength = 0;
    for (int i = 0; i < Items()->Count(); ++i) {
        std::string p = Items()->Get(i);
        bool holds = p == "/" || full == p || full.rfind(p + "/", 0) == 0;
        if (holds && (best < 0 || p.size() > bestLength)) {
            best = i;
            bestLength = p.size();
        }
    }
    SetItemIndex(best);
}

void TDriveComboBox::Update() {
    std::string keep = ItemIndex() >= 0 ? Items()->Get(ItemIndex()) : std::string();
    Items()->Clear();
    for (const std::string& p : MountPoints(mountsFile_)) Items()->Add(p);
    int i = keep.empty() ? -1 : Items()->IndexOf(keep);
    SetItemIndex(i >= 0 ? i : 0);
}

TFilterComboBox::TFilterComboBox(TComponent* owner) : TCustomComboBox(owner) {
    SetStyle(csDropDownList);
    SetFilter("All files (*.*)|*.*");
}

void TFilterComboBox::SetFilter(const std::string& value) {
    filter_ = value;
    entries_ = ParseFilter(value);
    Items()->Clear();
    for (const auto& e : entries_) Items()->Add(e.first);
    SetItemIndex(entries_.empty() ? -1 : 0);
}

std::string TFilterComboBox::Mask() const {
    int i = ItemIndex();
    return i >= 0 && i < int(entries_.size()) ? entries_[std::size_t(i)].second : std::string("*.*");
}

// ---------------------------------------------------------------- TDirectoryListBox

TDirectoryListBox::TDirectoryListBox(TComponent* owner) : TCustomListBox(owner) {}

void TDirectoryListBox::SetDirectory(const std::string& value) {
    std::string dir = ExpandTypedPath(value, "/");
    directory_ = dir;
    paths_.clear();
    levels_.clear();
    Items()->BeginUpdate();
    Items()->Clear();
    // The ancestors, from the root down, each a level deeper than the one before.
    std::vector<std::string> chain{"/"};
    for (std::size_t i = 1; i < dir.size(); ++i)
        if (dir[i] == '/') chain.push_back(dir.substr(0, i));
    if (dir != "/") chain.push_back(dir);
    int current = 0;
    for (std::size_t d = 0; d < chain.size(); ++d) {
        std::string name = d == 0 ? "/" : chain[d].substr(chain[d].rfind('/') + 1);
        paths_.push_back(chain[d]);
        levels_.push_back(int(d));
        Items()->Add(DisplayFileName(name));
        current = int(d);
    }
    std::vector<std::string> subs;
    if (DIR* dp = opendir(dir.c_str())) {
        while (dirent* e = readdir(dp)) {
            std::string name = e->d_name;
            if (name == "." || name == ".." || name[0] == '.') continue;
            bool folder = e->d_type == DT_DIR || ((e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) && IsFolder(Join(dir, name)));
            if (folder) subs.push_back(name);
        }
        closedir(dp);
    }
    std::sort(subs.begin(), subs.end(), NameLess);
    for (const auto& name : subs) {
        paths_.push_back(Join(dir, name));
        levels_.push_back(int(chain.size()));
        Items()->Add(DisplayFileName(name));
    }
    Items()->EndUpdate();
    SetItemIndex(current);
    if (OnChange) OnChange(this);
}

std::string TDirectoryListBox::ItemPath(int index) const {
    return index >= 0 && index < int(paths_.size()) ? paths_[std::size_t(index)] : std::string();
}

int TDirectoryListBox::ItemLevel(int index) const {
    return index >= 0 && index < int(levels_.size()) ? levels_[std::size_t(index)] : 0;
}

void TDirectoryListBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
    if (OnDrawItem || index < 0 || index >= Count()) {
        TCustomListBox::DrawItem(index, rect, state);
        return;
    }
    // Each level is indented by the width of two blanks, drawn rather than typed into the
    // entry's text.
    TCanvas* canvas = Canvas();
    canvas->FillRect(rect);
    int indent = canvas->TextWidth(std::string(std::size_t(ItemLevel(index)) * 2, ' '));
    RECT r{rect.left + 2 + indent, rect.top, rect.right, rect.bottom};
    DrawText(TextDC(canvas), ItemText(index), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void TDirectoryListBox::Dispatch(TMessage& m) {
    if ((m.Msg == WM_LBUTTONDBLCLK) || (m.Msg == WM_KEYDOWN && m.WParam == VK_RETURN)) {
        TCustomListBox::Dispatch(m);
        std::string path = ItemPath(ItemIndex());
        if (!path.empty() && path != directory_) SetDirectory(path);
        return;
    }
    if (m.Msg == WM_GETDLGCODE) {
        TCustomListBox::Dispatch(m);
        // Enter opens the entry once the user has moved to another one.
        if (ItemPath(ItemIndex()) != directory_) m.Result |= DLGC_WANTALLKEYS;
        return;
    }
    TCustomListBox::Dispatch(m);
}

// ---------------------------------------------------------------- TFileListBox

TFileListBox::TFileListBox(TComponent* owner) : TCustomListBox(owner) {
    SetStyle(lbVirtual);
    OnData = [this](TWinControl*, int index, std::string& data) {
        if (index >= 0 && index < int(names_.size())) data = DisplayFileName(names_[std::size_t(index)]);
    };
}

void TFileListBox::SetDirectory(const std::string& value) {
    directory_ = value;
    Update();
}

void TFileListBox::SetMask(const std::string& value) {
    mask_ = value;
    Update();
}

void TFileListBox::Update() {
    names_.clear();
    if (DIR* dp = opendir(directory_.c_str())) {
        while (dirent* e = readdir(dp)) {
            std::string name = e->d_name;
            if (name[0] == '.') continue;
            bool folder = e->d_type == DT_DIR || ((e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) && IsFolder(Join(directory_, name)));
            if (!folder && MatchesFilterMask(name, mask_)) names_.push_back(std::move(name));
        }
        closedir(dp);
    }
    std::sort(names_.begin(), names_.end(), NameLess);
    SetItemIndex(-1);
    SetCount(int(names_.size()));
    SetTopIndex(0);
}

std::string TFileListBox::Path(int index) const {
    return index >= 0 && index < int(names_.size()) ? Join(directory_, names_[std::size_t(index)]) : std::string();
}

std::string TFileListBox::FileName() const { return Path(ItemIndex()); }

}  // namespace platform
