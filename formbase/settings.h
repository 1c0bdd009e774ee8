#pragma once
// The four program settings of the registry key "\Software\VelmoraSoft\Lumacast\setting":
// output folder, snapshot folder, the update check at start and the skin document.
#include <string>

// The setting key and its parent, as the options dialog writes them too.
inline constexpr const char* kMakerKey = "\\Software\\VelmoraSoft";
inline constexpr const char* kSettingKey = "\\Software\\VelmoraSoft\\Lumacast\\setting";

struct ProgramSettings {
    std::string OutputFolder;    // the conversion's output folder
    std::string SnapshotFolder;  // the preview snapshots' folder
    int AutoUpdate = 0;          // non-zero: the update check runs at start
    std::string SkinPath;        // the skin document in use
};

// The program folder, ending in "/": the executable's, unless a test set another.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);  // "" restores the executable's

// The user's home folder: $HOME when it is an absolute path, else the password database's.
std::string HomeFolder();
// programDir + "Images/DefaultImage.xml".
std::string DefaultSkinPath(const std::string& programDir);

// Reads the settings into `settings`, creating the keys when missing. Empty values (also
// "0") take the defaults: "$HOME/VelmoraSoft Product OutPut/", "$HOME/VelmoraSoft Product
// Snapshot/" (not created), 0, and the default skin; "AutoUpdate" is written back as "0"
// when it is empty, "0" or not a whole number, "Skin" as the default path when it is empty
// or names no existing file. Whatever the store holds, nothing is thrown: a value that
// cannot be used and a store that cannot be written are reported (jobmodel's reporter) and
// the defaults stand.
void LoadProgramSettings(ProgramSettings& settings, const std::string& programDir);

// Writes "Skin" (after the skin in use had to change at start); a store that cannot be
// written is reported.
void StoreSkinSetting(const std::string& skinPath);
