#pragma once
// libmorvmessage: the short English text of every result code the program shows:
// the converter's (libs/morvconverter/morvconverter.h), the player maker's (601 to 607)
// and the program's own below.
#include <cstdint>

extern "C" {

// Result codes of the program itself for a row that never reached the converter.
enum ProgramResult : std::int32_t {
    prJobFolderFailed = 701,   // the job folder can neither be found nor created
    prSegmentNotFound = 702,   // a group member's segment row is gone
    prTitleNotFound = 703,     // the row's DVD title is not in the DVD list
    prNoInput = 704,           // the row gives the converter no input
};

// The text of a result code; an unknown code gives a generic text, never nullptr.
// The two further arguments are accepted for compatibility and not used. The text is
// static: the caller neither frees nor changes it.
__attribute__((visibility("default"))) const char* getErrorInfo(std::int32_t code, std::int32_t reserved,
                                                                 std::int32_t language);

}  // extern "C"
