#pragma once
// Loading DVDs: the drive menu, the decision whether a new DVD replaces the loaded one,
// the parse, the DVD tree (the disc row, its titles, their chapters), the player's title
// record, full time ranges after a run, the job list's stream menus, and drives that
// come and go. The DVD window's record-level steps (its stream combos, OK and Cancel)
// are here too.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "jobmodel/itemtree.h"
#include "jobmodel/jobhost.h"
#include "jobmodel/rows.h"

namespace jobmodel {

// The reader and the converter as the DVD loading reaches them; tests install fakes.
struct DvdLibrary {
    decltype(&::getAllDVDRomInfo) getAllDVDRomInfo = ::getAllDVDRomInfo;
    decltype(&::parseDVD) parseDVD = ::parseDVD;
    decltype(&::parseIFO) parseIFO = ::parseIFO;
    decltype(&::createGroupMediaUIOptionForDVD) createGroupForDvd = ::createGroupMediaUIOptionForDVD;
    decltype(&::createMediaUIOptionForDVD) createDvdInput = ::createMediaUIOptionForDVD;
    decltype(&::getDVDProperties) getDVDProperties = ::getDVDProperties;
    decltype(&::freeGroupMediaUIOption) freeGroup = ::freeGroupMediaUIOption;
};
// The table in use; nullptr restores the real libraries.
const DvdLibrary& ActiveDvdLibrary();
void SetDvdLibrary(const DvdLibrary* library);

constexpr const char* kReplaceDvdText = "Load a new DVD will clear the last one, do you want to load a new one?";
constexpr const char* kReplaceDvdCaption = "Information";

// What the main window keeps for DVD loading.
struct DvdLoadState {
    std::string loadedPath;      // the DVD of the last successful parse; empty at start
    std::string chosenSource;    // the folder or IFO file the user chose last
    int driveCount = 0;          // entries of the last drive query
    int nonDvdDriveCount = 0;    // of which not DVD drives
    char currentDrive = 0;       // drive id of the last folder load, 0 none
    bool deviceChangeSeen = false;
    bool reopen = false;         // the DVD window shows the loaded DVD again (not a fresh parse)
    DvdDisc* loadedDisc = nullptr;
    bool removalPending = false; // a drive went while a modal window or a run was open
    std::string systemRoot = "/";  // where the mount table is read (tests: a fake root)
};

// ---- drives ----

// Queries the drives: the entries of the menu after its two fixed ones (caption drive
// id + ":\" + text). False when the query failed (the entries are then empty).
bool BuildDriveMenu(DvdLoadState& state, std::vector<DriveMenuEntry>& entries);
// The root a drive entry loads: its id + ":\".
std::string DriveRootOf(char driveId);
// The drive a path names: the drive id of "E:\" (any case, "\" or "/" or nothing after
// the colon), else the optical drive mounted where the path lies, else 0.
char DriveIdOfPath(const std::string& path, const std::string& systemRoot = "/");

// ---- the DVD tree ----

// "title_" + volume + "_" + nn, or "chapter_" + volume + "_" + nn + "_" + cc, where the
// volume text is the two characters after the first "_" of the IFO file's name.
std::string DvdRowName(const DvdTitle& title, const DvdChapter* chapter);
// The row's media information, unless it has one: the converter's answer for the row's
// chapter (a title: its first), a title's duration its length from the reader.
void CreateDvdMediaInfo(MediaItem& row);
// Clears the tree and builds it from the disc: the disc row, every present title and
// chapter, the titles checked and expanded, the first title selected.
void BuildDvdTree(JobRows& dvdTree, DvdDisc* disc, JobHost& host);

// Loads a DVD folder (or drive root) or an IFO file, asking whether it replaces the
// loaded DVD; shows the DVD window on a successful parse or a reopen. A failed parse
// tells the user and forgets the loaded path (the tree was cleared).
void LoadDvdFolder(DvdLoadState& state, JobRows& jobTree, JobRows& dvdTree, const std::string& path,
                   JobHost& host);
void LoadIfoFile(DvdLoadState& state, JobRows& jobTree, JobRows& dvdTree,
                 const std::string& path, JobHost& host);

// ---- device changes ----

// The main window's WM_DEVICECHANGE: on an arrival or a removal the drive menu is built
// again (host.DriveMenuChanged). A removal of the drive the loaded DVD came from (the
// event's drive id, or the drive no longer listed) removes that disc's rows from the job
// list, group copies included, and tells the user; while a modal window or a run is
// open it waits (RunPendingDvdRemoval). Returns 0, the message result.
std::intptr_t OnDeviceChange(DvdLoadState& state, JobRows& jobTree, std::uintptr_t event,
                             std::intptr_t driveId, JobHost& host);
// A removal that waited: acts now (the main window calls it when its modal window closed).
void RunPendingDvdRemoval(DvdLoadState& state, JobRows& jobTree, JobHost& host);
// Removes every job-list row that comes from the disc, as Delete does; returns how many
// top-level rows went.
int RemoveDiscRows(JobRows& jobTree, const DvdDisc* disc);

// ---- the player's title record, time ranges, stream menus ----

// Fills the record from the row's DVD title; false (record unchanged) for a row without one.
bool FillDvdPlaybackInfo(DvdPlaybackInfo& info, const MediaItem& row);
// From the first selected row, else the first top-level row; with skipRoot, the first
// top-level row (the disc) fills nothing.
bool FillSelectedDvdPlaybackInfo(DvdPlaybackInfo& info, JobRows& tree, bool skipRoot);
// Every title and chapter of the DVD tree gets {0, its duration}.
void ResetDvdTimeRanges(JobRows& dvdTree);

struct StreamMenus {
    bool streamsEnabled = false;  // "Audio Track" and "Subtitle"
    bool moveEnabled = false;     // "Move Up" and "Move Down"
    std::vector<std::pair<std::string, int>> audio;      // caption, tag (stream id; -1 none)
    std::vector<std::pair<std::string, int>> subtitles;  // the last is "No Subtitle", -1
};
// The job list's stream menus for a row (a row without a DVD title offers "No Audio"
// and "No Subtitle" only).
StreamMenus ItemStreamMenus(const MediaItem& row);
// A stream menu entry clicked: its tag becomes the first selected row's audio or
// subtitle id, and the choice reaches the group members of the same name.
void ApplyStreamChoice(JobRows& jobTree, bool audio, int tag);
void PropagateTrackChoice(JobRows& jobTree, const MediaItem& row);

// ---- the DVD window's records ----

// The combos' entries: entry i is stream i; audio "No Audio" alone when the title has
// none; subtitles end with "No Subtitle".
std::vector<std::string> DvdAudioEntries(const MediaItem& row);
std::vector<std::string> DvdSubtitleEntries(const MediaItem& row);
// The entry that shows the row's choice.
int SelectedAudioEntry(const MediaItem& row);
int SelectedSubtitleEntry(const MediaItem& row);
// Entry `index` chosen: the row's id (a title's chapters take it too).
void ChooseAudioEntry(JobRows& dvdTree, Row node, int index);
void ChooseSubtitleEntry(JobRows& dvdTree, Row node, int index);
// The previous and next buttons after a selection change. The play button is enabled
// for every row but the disc row, which disables all three.
enum class NavButton { Unchanged, Enabled, Disabled };
struct DvdNavButtons {
    bool play = false;
    NavButton previous = NavButton::Unchanged;
    NavButton next = NavButton::Unchanged;
};
DvdNavButtons DvdNavigation(const JobRows& dvdTree, Row selected);
// The row Previous and Next move to; null when the selection stays.
Row PreviousDvdRow(const JobRows& dvdTree, Row selected);
Row NextDvdRow(const JobRows& dvdTree, Row selected);

// OK: the job list becomes the DVD tree's checked rows (the disc row never), sharing
// their records, each destination its name up to the first "." + ".flv".
void CopyCheckedToJobList(JobRows& dvdTree, JobRows& jobTree);
// Cancel: after a fresh parse the job list is emptied; a reopen leaves it alone.
void CancelDvdWindow(const DvdLoadState& state, JobRows& jobTree);

}  // namespace jobmodel
