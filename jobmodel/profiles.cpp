#include "jobmodel/profiles.h"

#include <cstring>

#include "jobmodel/customsetting.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/profileparams.h"
#include "jobmodel/report.h"
#include "platform/core/sysutils.h"

namespace jobmodel {

ProfileList ProfileCatalogue{nullptr, 0};

namespace {

// The working records live as long as the program; building them again re-initialises
// the same storage, which is what "new records" means to every reader of the pointers.
CustomSetting g_current;
CustomSetting g_default;

// Stores one parameter's default value into the record field its rule names; throws
// EConvertError when the value is not of the form the field needs.
void ApplyParam(CustomSetting& cs, const ProfileParam& p) {
    if (p.OptionCount <= 0 || p.DefaultIndex < 0 || p.DefaultIndex >= p.OptionCount) return;
    const ProfileParamRule* rule = FindProfileParamRule(p);
    if (!rule) return;
    const char* raw = p.Options[p.DefaultIndex].Value;
    std::string value(raw, strnlen(raw, sizeof p.Options[0].Value));
    switch (rule->value) {
    case ProfileValue::Whole: cs.*rule->whole = platform::StrToInt(value); break;
    case ProfileValue::Text: CopyTextField(cs.*rule->text, value.c_str()); break;
    case ProfileValue::Decimal: cs.*rule->decimal = static_cast<float>(platform::StrToFloat(value)); break;
    case ProfileValue::FrameSize: {
        size_t x = value.find('x');
        if (x == std::string::npos) throw platform::EConvertError("'" + value + "' is not a frame size of the form WxH");
        int width = platform::StrToInt(value.substr(0, x));
        int height = platform::StrToInt(value.substr(x + 1));
        cs.Width = width;
        cs.Height = height;
        break;
    }
    }
}

}  // namespace

void BuildDefaultSettings(int entryIndex) {
    InitCustomSetting(g_current);
    CurrentCustomSetting = &g_current;
    DefaultCustomSetting = &g_default;
    if (entryIndex < 0 || entryIndex >= ProfileCatalogue.Count || !ProfileCatalogue.Entries) {
        CopyCustomSetting(g_default, g_current);
        return;
    }
    const ProfileEntry& e = ProfileCatalogue.Entries[entryIndex];
    for (int i = 0; i < e.ParamCount; ++i) {
        try {
            ApplyParam(g_current, e.Params[i]);
        } catch (const platform::EConvertError& error) {
            ReportJobModelProblem(std::string("Output profile \"") + e.ProfileName + "\", parameter \"" +
                                  e.Params[i].Name + "\": " + error.what() + "; its default is kept.");
        }
    }
    CopyTextField(g_current.ProfileName, e.ProfileName);
    CopyTextField(g_current.FileExtension, e.FileExtension);
    CopyTextField(g_current.FormatName, e.FormatName);
    g_current.FormatNumber = e.FormatNumber;
    CopyCustomSetting(g_default, g_current);
}

ProfileLines LoadProfileCatalogue(const std::string& folder) {
    int skipped = praseXMLFolder(folder.c_str(), &ProfileCatalogue);
    if (skipped != 0) {
        ReportJobModelProblem("Some output profiles could not be read:\n" + std::string(getProfileErrors()));
    }
    ProfileLines result;
    for (int i = 0; i < ProfileCatalogue.Count; ++i) {
        const char* display = ProfileCatalogue.Entries[i].DisplayName;
        result.lines.emplace_back(display ? display : "");
        if (result.lines.back() == kDefaultProfileDisplayName) result.selected = i;
    }
    result.lines.emplace_back(kCustomProfileLine);
    // Without the default profile the first one serves, and without any profile the
    // defaults alone do: later steps always find both working records.
    BuildDefaultSettings(result.selected >= 0 ? result.selected : (ProfileCatalogue.Count > 0 ? 0 : -1));
    return result;
}

}  // namespace jobmodel
