#include "jobmodel/customstore.h"

#include <cstring>
#include <sys/stat.h>

#include "jobmodel/customsetting.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/profiles.h"
#include "jobmodel/report.h"
#include "platform/core/exceptions.h"
#include "platform/core/registry.h"
#include "platform/core/sysutils.h"

namespace jobmodel {

namespace {

template <class T>
T Get(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void Put(unsigned char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

bool IsFile(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ToText(const CustomSettingField& f, const unsigned char* p) {
    switch (f.kind) {
    case FieldKind::ByteFlag: return BoolToText(*p);
    case FieldKind::Integer: return platform::IntToStr(Get<std::int32_t>(p));
    case FieldKind::Float64: return platform::FloatToStr(Get<double>(p));
    case FieldKind::Float32: return platform::FloatToStr(static_cast<double>(Get<float>(p)));
    case FieldKind::Colour: {
        RGBColor c = Get<RGBColor>(p);
        return platform::IntToStr((c.r & 0xFF) + (c.g & 0xFF) * 256 + (c.b & 0xFF) * 65536);
    }
    case FieldKind::Text: return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), f.width));
    }
    return {};
}

// Stores the text form of one value into its field; raises EConvertError when it is not
// a number of the field's form.
void FromText(const CustomSettingField& f, unsigned char* p, const std::string& text) {
    switch (f.kind) {
    case FieldKind::ByteFlag: *p = platform::StrToInt(text) != 0 ? 1 : 0; break;
    case FieldKind::Integer: Put<std::int32_t>(p, platform::StrToInt(text)); break;
    case FieldKind::Float64: Put<double>(p, platform::StrToFloat(text)); break;
    case FieldKind::Float32: Put<float>(p, static_cast<float>(platform::StrToFloat(text))); break;
    case FieldKind::Colour: {
        std::int64_t n = platform::StrToInt64(text);
        Put<RGBColor>(p, RGBColor{static_cast<int>(n & 0xFF), static_cast<int>((n >> 8) & 0xFF),
                                  static_cast<int>((n >> 16) & 0xFF)});
        break;
    }
    case FieldKind::Text: {
        // A credit picture that no longer exists is forgotten; the decoration keeps its path.
        bool picture = std::strcmp(f.name, "Head_imagePath") == 0 || std::strcmp(f.name, "Tail_imagePath") == 0;
        CopyTextField(reinterpret_cast<char*>(p), f.width, picture && !IsFile(text) ? "" : text.c_str());
        break;
    }
    }
}

void OpenCustomKey(platform::TRegistry& reg) {
    reg.SetRootKey(platform::HKEY_CURRENT_USER);
    if (!reg.OpenKey(kCompanyKey, false)) reg.OpenKey(kCompanyKey, true);
    reg.CloseKey();
    if (!reg.OpenKey(kCustomKey, true)) {
        throw platform::ERegistryException(std::string("Failed to create key ") + kCustomKey);
    }
}

std::string ReadValue(platform::TRegistry& reg, const char* name) {
    return reg.ValueExists(name) ? reg.ReadString(name) : std::string();
}

// The last problem reported, so a setting that stays unreadable is not reported at
// every add and every DVD load.
std::string g_lastProblem;

}  // namespace

std::string BoolToText(std::uint8_t value) { return platform::IntToStr(value); }

void SaveCustomSetting() {
    if (!CurrentCustomSetting) return;
    platform::TRegistry reg;
    // Every value of the record in one transaction: one write of the store, never half a record.
    reg.BeginBatch();
    OpenCustomKey(reg);
    const auto* base = reinterpret_cast<const unsigned char*>(CurrentCustomSetting);
    for (const CustomSettingField& f : CustomSettingFields()) {
        if (f.stored) reg.WriteString(f.name, ToText(f, base + f.offset));
    }
    reg.CommitBatch();
    reg.CloseKey();
}

bool LoadCustomSetting() {
    if (!CurrentCustomSetting) return false;
    const CustomSettingField* current = nullptr;
    try {
        platform::TRegistry reg;
        OpenCustomKey(reg);
        std::string profile = ReadValue(reg, "ProfileName");
        if (profile.empty() || profile == "0") return false;

        CustomSetting copy;
        CopyCustomSetting(copy, *CurrentCustomSetting);
        auto* base = reinterpret_cast<unsigned char*>(&copy);
        auto fields = CustomSettingFields();
        // The first five values come first; the rest only when they hold the user's own
        // defaults (IsCustom 1).
        for (size_t i = 0; i < fields.size() && fields[i].stored; ++i) {
            if (i == 5 && copy.IsCustom == 0) break;
            current = &fields[i];
            FromText(fields[i], base + fields[i].offset, ReadValue(reg, fields[i].name));
        }
        reg.CloseKey();
        // The format is not stored: it is the saved profile's.
        for (int i = ProfileCatalogue.Count - 1; i >= 0; --i) {
            const ProfileEntry& entry = ProfileCatalogue.Entries[i];
            if (FieldText(copy.ProfileName) != entry.ProfileName) continue;
            CopyTextField(copy.FormatName, entry.FormatName);
            CopyTextField(copy.FileExtension, entry.FileExtension);
            copy.FormatNumber = entry.FormatNumber;
            break;
        }
        CopyCustomSetting(*CurrentCustomSetting, copy);
        return true;
    } catch (const platform::Exception& e) {
        std::string problem = std::string("The saved default settings cannot be read") +
                              (current ? std::string(" (value \"") + current->name + "\")" : std::string()) + ": " +
                              e.what() + ". The current settings are kept.";
        if (problem != g_lastProblem) {
            g_lastProblem = problem;
            ReportJobModelProblem(problem);
        }
        return false;
    }
}

}  // namespace jobmodel
