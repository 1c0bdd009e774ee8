#include "playermaker/prepare.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "playermaker/script.h"

namespace morvbrindle {

int TruncToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

float ControlBarHeightFromSkin(std::string_view skinFile, float current) {
    std::string_view name = skinFile;
    if (auto dot = name.rfind('.'); dot != std::string_view::npos) name = name.substr(0, dot);
    float height = current;
    // Parts are examined right to left, so the leftmost "_h" part has the last word.
    for (auto cut = name.rfind('_'); cut != std::string_view::npos; cut = name.rfind('_')) {
        std::string_view part = name.substr(cut + 1);
        name = name.substr(0, cut);
        if (part.empty() || part[0] != 'h') continue;
        long long number = 0;
        for (std::size_t i = 1; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) {
            number = std::min<long long>(number * 10 + (part[i] - '0'), INT_MAX);
        }
        height = static_cast<float>(number);
    }
    return height;
}

int CheckOptions(const KbnUIGroupOption& group) {
    if (!group.generate || !group.player) return kbnErrBadOptions;
    if (FieldText(group.outputPath).empty()) return kbnErrBadOptions;
    const KbnUIPlayerOption& p = *group.player;
    if (p.width < 1 || p.height < 1) return kbnErrBadOptions;
    if (!std::isfinite(p.frameRate) || p.frameRate <= 0.0f || p.frameRate >= 256.0f) return kbnErrBadOptions;
    if (group.generate->swfType != stProgressive && (group.mediaCount < 1 || !group.media[0])) {
        return kbnErrBadOptions;
    }
    return 0;
}

namespace {

int ScaledBy(int value, float scale) { return TruncToInt(static_cast<float>(value) * scale); }

}  // namespace

void PrepareOptions(KbnUIGroupOption& group) {
    KbnUIPlayerOption& p = *group.player;
    p.controlBarHeight = ControlBarHeightFromSkin(FieldText(p.skinFile), p.controlBarHeight);

    KbnUIOverlayADOption* overlay = group.overlay;
    KbnUIInsertAdOption* credits[] = {group.headCredit, group.tailCredit};
    const auto threeQuarters = [](int size) { return TruncToInt(size * 0.75); };
    if (overlay) overlay->fontSize = threeQuarters(overlay->fontSize);
    for (KbnUIInsertAdOption* credit : credits) {
        if (credit) credit->fontSize = threeQuarters(credit->fontSize);
    }

    p.scale = 1.0f;
    if (!group.isPreview || (p.width == kPreviewWidth && p.height == kPreviewHeight)) return;

    // The player's size uses the factor itself, the decoration and credits the factor
    // rounded to single precision.
    const double f = std::min(static_cast<double>(kPreviewHeight) / p.height,
                              static_cast<double>(kPreviewWidth) / p.width);
    p.width = TruncToInt(p.width * f);
    p.height = TruncToInt(p.height * f);
    p.scale = static_cast<float>(f);
    if (overlay) {
        for (int* field : {&overlay->x, &overlay->y, &overlay->width, &overlay->height, &overlay->fontSize}) {
            *field = ScaledBy(*field, p.scale);
        }
    }
    for (KbnUIInsertAdOption* credit : credits) {
        if (!credit) continue;
        for (int* field : {&credit->x, &credit->y, &credit->fontSize}) *field = ScaledBy(*field, p.scale);
    }
}

}  // namespace morvbrindle
