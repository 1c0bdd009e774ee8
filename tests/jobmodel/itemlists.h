#pragma once
// Job lists and DVD title lists built in memory for the conversion tests.
#include <cstring>
#include <deque>
#include <string>

#include "jobmodel/convertfrm.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/treerows.h"
#include "treeview/vststrings.h"

namespace jobmodel::itemlists {

struct Row {
    jobmodel::Row node;
    MediaItem* item;
};

// A job list and a DVD list whose rows are released when the lists go.
struct Lists {
    treeview::TVastStringTree jobTree{nullptr};
    treeview::TVastStringTree dvdTree{nullptr};
    TreeRows jobs{jobTree};
    TreeRows dvd{dvdTree};
    std::deque<DvdChapter> chapters;  // the DVD reader's chapter records
    ~Lists() {
        ClearItemTree(jobs);
        ClearItemTree(dvd);
    }

    // A row with fresh records; `parent` null makes a top-level row.
    Row Add(JobRows& list, jobmodel::Row parent, MediaItemKind kind, const std::string& name, int start = 0,
            int end = 0) {
        jobmodel::Row node = list.Add(parent);
        MediaItem& item = *list.Item(node);
        InitMediaItem(item);
        item.kind = kind;
        CopyTextField(item.name, name.c_str());
        SetItemRow(item.row, name.c_str(), nullptr, nullptr, (name + ".flv").c_str(), 2, 2);
        *item.timeRange = {start, end};
        return {node, &item};
    }

    // DVD list: disc row, one title named `title`, chapters of the given lengths.
    Row AddDvdTitle(const std::string& title, std::initializer_list<int> lengths) {
        jobmodel::Row disc = dvd.FirstChild(nullptr) ? dvd.FirstChild(nullptr) : Add(dvd, nullptr, mkFile, "disc").node;
        Row t = Add(dvd, disc, mkDvdTitle, title);
        t.item->dvdKind = mkDvdTitle;
        int n = 0;
        for (int length : lengths) {
            Row c = Add(dvd, t.node, mkDvdChapter, title + " chapter " + std::to_string(++n), 0, length);
            chapters.push_back(DvdChapter{});
            chapters.back().lengthSeconds = length;
            c.item->dvdChapter = &chapters.back();
            c.item->dvdKind = mkDvdChapter;
        }
        return t;
    }

    // The time ranges of a DVD title's chapters, as "start-end" joined by blanks.
    std::string ChapterRanges(jobmodel::Row title) {
        std::string out;
        for (jobmodel::Row c = dvd.FirstChild(title); c; c = dvd.NextSibling(c)) {
            const TimeRange& r = *dvd.Item(c)->timeRange;
            out += (out.empty() ? "" : " ") + std::to_string(r.start) + "-" + std::to_string(r.end);
        }
        return out;
    }
};

// An option record for the real converter: FLV (Sorenson video, MP3 sound) at 320x240
// with a thumbnail; the embedded player and its page when `swf`.
inline void RealFlvOptions(MediaItem& item, bool swf) {
    Drop(item.customSetting);
    item.customSetting = NewCustomSetting();
    CustomSetting& cs = *item.customSetting;
    std::strcpy(cs.FormatName, "flv");
    std::strcpy(cs.FileExtension, "flv");
    std::strcpy(cs.VideoEncoder, "flv");
    std::strcpy(cs.AudioEncoder, "libmp3lame");
    cs.VideoBitRate = 300, cs.AudioBitrate = 64, cs.Channel = 2, cs.SimpleRate = 22050;
    cs.Width = 320, cs.Height = 240, cs.FrameRate = 25;
    cs.IsGeneralFlv = 1;
    cs.IsGeneralThumbnail = 1;
    cs.IsGeneralSwf = swf;
    cs.IsGeneralHtml = swf;
    cs.SwfType = stEmbedded;
}

// Shows the window (starting its run) and handles its messages until the run's end
// message has arrived and the worker has ended.
inline void PumpRun(TfrmConvert& form) {
    form.FormShow();
    platform::MSG msg;
    while (!form.Finished() && platform::GetMessage(&msg, nullptr, 0, 0) > 0) platform::DispatchMessage(&msg);
    form.WaitForRun();
}

}  // namespace jobmodel::itemlists
