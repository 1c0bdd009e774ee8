#pragma once
// morvprofile: the output-profile catalogue of the program's "profile" folder.
//
// Each *.xml file of the folder is one profile (format: docs/profile.md, schema
// docs/profile.xsd). praseXMLFolder reads them, in file-name order, into one
// contiguous array of ProfileEntry records. The library allocates and owns every
// record; they stay valid and unchanged until the process ends (a later call makes a
// new catalogue and leaves earlier ones alone).
//
// Fields keep the order, types and text widths the program reads; the reserved areas
// are the library's own. Texts are UTF-8, zero-terminated, cut at a character boundary.
#include <cstdint>

extern "C" {

// Kinds of a parameter's values.
enum ProfileParamKind : std::int32_t {
    ProfileKindInteger = 1,  // whole number
    ProfileKindText = 2,     // text, used as it stands
    ProfileKindDecimal = 3,  // decimal number ("." as separator)
};

struct ProfileOption {
    char* DisplayText;        // shown in the option lists
    char Reserved[36];
    char Value[516];          // as the conversion uses it
};

struct ProfileParam {
    char Name[648];           // "ar", "ac", "acodec", "ab", "vcodec", "b", "r", "s", ...
    std::int32_t Kind;        // ProfileParamKind
    char Reserved[80];
    ProfileOption* Options;
    std::int32_t OptionCount;
    std::int32_t DefaultIndex;  // always names one of the options
    char Reserved2[516];
};

struct ProfileEntry {
    char SourceFile[512];     // the file this entry was read from (file name only)
    char ProfileName[556];
    char* DisplayName;
    char Reserved[76];
    char FormatName[128];     // the converter's output format (a muxer name)
    char FileExtension[132];  // without the dot
    std::int32_t Unused;
    std::int32_t FormatNumber;
    char Reserved2[44];
    ProfileParam* Params;
    std::int32_t ParamCount;
};

struct ProfileList {
    ProfileEntry* Entries;
    std::int32_t Count;
};

// Reads every *.xml profile of `folder` into `list`. A file that is not a valid
// profile is skipped (the others are still read). Returns 0 when every file was read,
// the number of skipped files otherwise, or -1 when the folder cannot be listed (the
// list is then empty). Never throws.
__attribute__((visibility("default"))) int praseXMLFolder(const char* folder, ProfileList* list);

// The reasons for the files skipped by the last call, one line each ("file: reason"),
// or "" when none. Valid until the next call.
__attribute__((visibility("default"))) const char* getProfileErrors();

}
