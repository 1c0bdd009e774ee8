#pragma once
// The output-profile catalogue the program keeps for the whole run, and the working
// option records built from its default profile.
#include <string>
#include <vector>

#include "libs/morvprofile/morvprofile.h"

namespace jobmodel {

// The display name of the profile that seeds the working records.
inline constexpr const char* kDefaultProfileDisplayName = "Normal quality(Flash Video Files)";
// The profile list's last line, chosen when codec values are set by hand.
inline constexpr const char* kCustomProfileLine = "Custom";

// Filled once per run by LoadProfileCatalogue.
extern ProfileList ProfileCatalogue;

// Builds both working records (CurrentCustomSetting and DefaultCustomSetting) from the
// entry: the defaults of InitCustomSetting, then the default option of each parameter
// the table of profileparams.h knows (letter case counts), then the profile's name,
// extension, format name and number. A value that is not of its
// parameter's form is skipped with a report and the field keeps its default.
void BuildDefaultSettings(int entryIndex);

// What the profile list shows: one line per entry in catalogue order, then "Custom";
// `selected` is the line of the default profile (-1 when there is none).
struct ProfileLines {
    std::vector<std::string> lines;
    int selected = -1;
};

// Reads the profile folder into ProfileCatalogue and builds the working records from the
// entry displayed as "Normal quality(Flash Video Files)" (the last one when several
// match). Without such an entry they are built from the first entry, and without any
// entry from the defaults alone, so that the working records always exist afterwards.
ProfileLines LoadProfileCatalogue(const std::string& folder);

}  // namespace jobmodel
