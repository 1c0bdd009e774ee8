// The part and state tables of the element enumerations.
#include "treeview/themesrv.h"

namespace treeview {

namespace {
struct PartState {
    std::int8_t part;
    std::int8_t state;
};
}  // namespace

static const PartState kTThemedButton[30] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6},
    {2, 7}, {2, 8}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {3, 6}, {3, 7}, {3, 8}, {3, 9}, {3, 10}, {3, 11},
    {3, 12}, {4, 1}, {4, 2}, {5, 1},
};
TThemedElementDetails GetElementDetails(TThemedButton value) {
    const PartState& entry = kTThemedButton[static_cast<int>(value) < 30 ? static_cast<int>(value) : 0];
    return {teButton, entry.part, entry.state};
}

static const PartState kTThemedClock[3] = {
    {0, 1}, {0, 2}, {1, 1},
};
TThemedElementDetails GetElementDetails(TThemedClock value) {
    const PartState& entry = kTThemedClock[static_cast<int>(value) < 3 ? static_cast<int>(value) : 0];
    return {teClock, entry.part, entry.state};
}

static const PartState kTThemedComboBox[6] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {1, 4},
};
TThemedElementDetails GetElementDetails(TThemedComboBox value) {
    const PartState& entry = kTThemedComboBox[static_cast<int>(value) < 6 ? static_cast<int>(value) : 0];
    return {teComboBox, entry.part, entry.state};
}

static const PartState kTThemedEdit[10] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {1, 7}, {2, 1},
};
TThemedElementDetails GetElementDetails(TThemedEdit value) {
    const PartState& entry = kTThemedEdit[static_cast<int>(value) < 10 ? static_cast<int>(value) : 0];
    return {teEdit, entry.part, entry.state};
}

static const PartState kTThemedExplorerBar[33] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5},
    {3, 6}, {4, 1}, {4, 2}, {4, 3}, {5, 1}, {6, 1}, {6, 2}, {6, 3}, {7, 1}, {7, 2}, {7, 3}, {8, 1}, {9, 1},
    {10, 1}, {10, 2}, {10, 3}, {11, 1}, {11, 2}, {11, 3}, {12, 1},
};
TThemedElementDetails GetElementDetails(TThemedExplorerBar value) {
    const PartState& entry = kTThemedExplorerBar[static_cast<int>(value) < 33 ? static_cast<int>(value) : 0];
    return {teExplorerBar, entry.part, entry.state};
}

static const PartState kTThemedHeader[13] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}, {3, 1}, {3, 2}, {3, 3}, {4, 1}, {4, 2},
};
TThemedElementDetails GetElementDetails(TThemedHeader value) {
    const PartState& entry = kTThemedHeader[static_cast<int>(value) < 13 ? static_cast<int>(value) : 0];
    return {teHeader, entry.part, entry.state};
}

static const PartState kTThemedListview[11] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 1}, {3, 1}, {4, 1}, {5, 1},
};
TThemedElementDetails GetElementDetails(TThemedListview value) {
    const PartState& entry = kTThemedListview[static_cast<int>(value) < 11 ? static_cast<int>(value) : 0];
    return {teListView, entry.part, entry.state};
}

static const PartState kTThemedMenu[10] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1},
};
TThemedElementDetails GetElementDetails(TThemedMenu value) {
    const PartState& entry = kTThemedMenu[static_cast<int>(value) < 10 ? static_cast<int>(value) : 0];
    return {teMenu, entry.part, entry.state};
}

static const PartState kTThemedPage[18] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {3, 1}, {3, 2}, {3, 3},
    {3, 4}, {4, 1}, {4, 2}, {4, 3}, {4, 4},
};
TThemedElementDetails GetElementDetails(TThemedPage value) {
    const PartState& entry = kTThemedPage[static_cast<int>(value) < 18 ? static_cast<int>(value) : 0];
    return {tePage, entry.part, entry.state};
}

static const PartState kTThemedProgress[6] = {
    {0, 1}, {0, 2}, {1, 1}, {2, 1}, {3, 1}, {4, 1},
};
TThemedElementDetails GetElementDetails(TThemedProgress value) {
    const PartState& entry = kTThemedProgress[static_cast<int>(value) < 6 ? static_cast<int>(value) : 0];
    return {teProgress, entry.part, entry.state};
}

static const PartState kTThemedRebar[18] = {
    {0, 1}, {0, 2}, {1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {3, 6}, {4, 1}, {4, 2}, {4, 3},
    {4, 4}, {5, 1}, {5, 2}, {5, 3}, {5, 4},
};
TThemedElementDetails GetElementDetails(TThemedRebar value) {
    const PartState& entry = kTThemedRebar[static_cast<int>(value) < 18 ? static_cast<int>(value) : 0];
    return {teRebar, entry.part, entry.state};
}

static const PartState kTThemedScrollBar[52] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {1, 7}, {1, 8}, {1, 9}, {1, 10}, {1, 11},
    {1, 12}, {1, 13}, {1, 14}, {1, 15}, {1, 16}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {3, 1}, {3, 2}, {3, 3},
    {3, 4}, {4, 1}, {4, 2}, {4, 3}, {4, 4}, {5, 1}, {5, 2}, {5, 3}, {5, 4}, {6, 1}, {6, 2}, {6, 3}, {6, 4},
    {7, 1}, {7, 2}, {7, 3}, {7, 4}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {9, 1}, {9, 2}, {9, 3}, {9, 4}, {10, 1},
    {10, 2},
};
TThemedElementDetails GetElementDetails(TThemedScrollBar value) {
    const PartState& entry = kTThemedScrollBar[static_cast<int>(value) < 52 ? static_cast<int>(value) : 0];
    return {teScrollBar, entry.part, entry.state};
}

static const PartState kTThemedSpin[18] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {3, 1}, {3, 2}, {3, 3},
    {3, 4}, {4, 1}, {4, 2}, {4, 3}, {4, 4},
};
TThemedElementDetails GetElementDetails(TThemedSpin value) {
    const PartState& entry = kTThemedSpin[static_cast<int>(value) < 18 ? static_cast<int>(value) : 0];
    return {teSpin, entry.part, entry.state};
}

static const PartState kTThemedStartPanel[17] = {
    {0, 1}, {0, 2}, {1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1},
    {9, 2}, {9, 3}, {10, 1}, {11, 1},
};
TThemedElementDetails GetElementDetails(TThemedStartPanel value) {
    const PartState& entry = kTThemedStartPanel[static_cast<int>(value) < 17 ? static_cast<int>(value) : 0];
    return {teStartPanel, entry.part, entry.state};
}

static const PartState kTThemedStatus[5] = {
    {0, 1}, {0, 2}, {1, 1}, {2, 1}, {3, 1},
};
TThemedElementDetails GetElementDetails(TThemedStatus value) {
    const PartState& entry = kTThemedStatus[static_cast<int>(value) < 5 ? static_cast<int>(value) : 0];
    return {teStatus, entry.part, entry.state};
}

static const PartState kTThemedTab[44] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {3, 1},
    {3, 2}, {3, 3}, {3, 4}, {3, 5}, {4, 1}, {4, 2}, {4, 3}, {4, 4}, {4, 5}, {5, 1}, {5, 2}, {5, 3}, {5, 4},
    {5, 5}, {6, 1}, {6, 2}, {6, 3}, {6, 4}, {6, 5}, {7, 1}, {7, 2}, {7, 3}, {7, 4}, {7, 5}, {8, 1}, {8, 2},
    {8, 3}, {8, 4}, {8, 5}, {9, 1}, {10, 1},
};
TThemedElementDetails GetElementDetails(TThemedTab value) {
    const PartState& entry = kTThemedTab[static_cast<int>(value) < 44 ? static_cast<int>(value) : 0];
    return {teTab, entry.part, entry.state};
}

static const PartState kTThemedTaskBand[5] = {
    {0, 1}, {0, 2}, {1, 1}, {2, 1}, {3, 1},
};
TThemedElementDetails GetElementDetails(TThemedTaskBand value) {
    const PartState& entry = kTThemedTaskBand[static_cast<int>(value) < 5 ? static_cast<int>(value) : 0];
    return {teTaskBand, entry.part, entry.state};
}

static const PartState kTThemedTaskBar[3] = {
    {0, 1}, {0, 2}, {1, 1},
};
TThemedElementDetails GetElementDetails(TThemedTaskBar value) {
    const PartState& entry = kTThemedTaskBar[static_cast<int>(value) < 3 ? static_cast<int>(value) : 0];
    return {teTaskBar, entry.part, entry.state};
}

static const PartState kTThemedToolBar[38] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5},
    {2, 6}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {3, 6}, {4, 1}, {4, 2}, {4, 3}, {4, 4}, {4, 5}, {4, 6},
    {5, 1}, {5, 2}, {5, 3}, {5, 4}, {5, 5}, {5, 6}, {6, 1}, {6, 2}, {6, 3}, {6, 4}, {6, 5}, {6, 6},
};
TThemedElementDetails GetElementDetails(TThemedToolBar value) {
    const PartState& entry = kTThemedToolBar[static_cast<int>(value) < 38 ? static_cast<int>(value) : 0];
    return {teToolBar, entry.part, entry.state};
}

static const PartState kTThemedToolTip[13] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {2, 1}, {2, 2}, {3, 1}, {3, 2}, {4, 1}, {4, 2}, {5, 1}, {5, 2}, {5, 3},
};
TThemedElementDetails GetElementDetails(TThemedToolTip value) {
    const PartState& entry = kTThemedToolTip[static_cast<int>(value) < 13 ? static_cast<int>(value) : 0];
    return {teToolTip, entry.part, entry.state};
}

static const PartState kTThemedTrackBar[36] = {
    {0, 1}, {0, 2}, {1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {4, 1}, {4, 2}, {4, 3}, {4, 4},
    {4, 5}, {5, 1}, {5, 2}, {5, 3}, {5, 4}, {5, 5}, {6, 1}, {6, 2}, {6, 3}, {6, 4}, {6, 5}, {7, 1}, {7, 2},
    {7, 3}, {7, 4}, {7, 5}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {9, 1}, {10, 1},
};
TThemedElementDetails GetElementDetails(TThemedTrackBar value) {
    const PartState& entry = kTThemedTrackBar[static_cast<int>(value) < 36 ? static_cast<int>(value) : 0];
    return {teTrackBar, entry.part, entry.state};
}

static const PartState kTThemedTrayNotify[4] = {
    {0, 1}, {0, 2}, {1, 1}, {2, 1},
};
TThemedElementDetails GetElementDetails(TThemedTrayNotify value) {
    const PartState& entry = kTThemedTrayNotify[static_cast<int>(value) < 4 ? static_cast<int>(value) : 0];
    return {teTrayNotify, entry.part, entry.state};
}

static const PartState kTThemedTreeview[10] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 1}, {2, 2}, {3, 1},
};
TThemedElementDetails GetElementDetails(TThemedTreeview value) {
    const PartState& entry = kTThemedTreeview[static_cast<int>(value) < 10 ? static_cast<int>(value) : 0];
    return {teTreeview, entry.part, entry.state};
}

static const PartState kTThemedWindow[117] = {
    {0, 1}, {0, 2}, {1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}, {3, 1}, {3, 2}, {3, 3}, {4, 1}, {4, 2},
    {4, 3}, {5, 1}, {5, 2}, {5, 3}, {6, 1}, {6, 2}, {6, 3}, {7, 1}, {7, 2}, {8, 1}, {8, 2}, {9, 1}, {9, 2},
    {10, 1}, {10, 2}, {11, 1}, {11, 2}, {12, 1}, {12, 2}, {13, 1}, {13, 2}, {13, 3}, {13, 4}, {13, 5},
    {14, 1}, {14, 2}, {14, 3}, {14, 4}, {14, 5}, {15, 1}, {15, 2}, {15, 3}, {15, 4}, {15, 5}, {16, 1},
    {16, 2}, {16, 3}, {16, 4}, {16, 5}, {17, 1}, {17, 2}, {17, 3}, {17, 4}, {17, 5}, {18, 1}, {18, 2},
    {18, 3}, {18, 4}, {18, 5}, {19, 1}, {19, 2}, {19, 3}, {19, 4}, {19, 5}, {20, 1}, {20, 2}, {20, 3},
    {20, 4}, {20, 5}, {21, 1}, {21, 2}, {21, 3}, {21, 4}, {21, 5}, {22, 1}, {22, 2}, {22, 3}, {22, 4},
    {22, 5}, {23, 1}, {23, 2}, {23, 3}, {23, 4}, {23, 5}, {24, 1}, {24, 2}, {24, 3}, {24, 4}, {24, 5},
    {25, 1}, {25, 2}, {25, 3}, {25, 4}, {26, 1}, {26, 2}, {26, 3}, {26, 4}, {27, 1}, {27, 2}, {27, 3},
    {27, 4}, {28, 1}, {28, 2}, {28, 3}, {28, 4}, {29, 1}, {30, 1}, {31, 1}, {32, 1}, {33, 1}, {34, 1},
    {35, 1}, {36, 1}, {37, 1},
};
TThemedElementDetails GetElementDetails(TThemedWindow value) {
    const PartState& entry = kTThemedWindow[static_cast<int>(value) < 117 ? static_cast<int>(value) : 0];
    return {teWindow, entry.part, entry.state};
}

}  // namespace treeview
