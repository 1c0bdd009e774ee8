#pragma once
// libmorvmessage: the short English text of every result code the program shows:
// the converter's (libs/morvconverter/morvconverter.h), the player maker's (601 to 615)
// and the program's own below.
#include <cstdint>

extern "C" {

// Result codes of the program itself for a row: one that never reached the converter,
// or one whose output was made but a later step of the row failed.
enum ProgramResult : std::int32_t {
    prJobFolderFailed = 701,   // the job folder can neither be found nor created
    prSegmentNotFound = 702,   // a group member's segment row is gone
    prTitleNotFound = 703,     // the row's DVD title is not in the DVD list
    prNoInput = 704,           // the row gives the converter no input
    // Steps after a successful conversion; the row's line names the first that failed.
    prThumbnailFailed = 705,   // the thumbnail picture was not written
    prPlayerFailed = 706,      // the player could not be built
    prPageFailed = 707,        // the HTML page could not be written
    prScriptCopyFailed = 708,  // the page script could not be copied beside the page
    prRowAborted = 709,        // an unexpected error stopped the row (and the run)
};

// The text of a result code; an unknown code gives a generic text, never nullptr.
// The two further arguments are accepted for compatibility and not used. The text is
// static: the caller neither frees nor changes it.
__attribute__((visibility("default"))) const char* getErrorInfo(std::int32_t code, std::int32_t reserved,
                                                                 std::int32_t language);

}  // extern "C"
