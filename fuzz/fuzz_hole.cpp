// Any bytes as a hole's text: read, refused with a line and a reason or
// taken, and a hole taken has a finite height everywhere on it and a tee and
// cup on its fairway. Half the inputs are first spelled out in the words and
// numbers the language is made of, so that statements are read often.
#include "hole.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

namespace {

const char *const kPieces[] = {
    "name EN x\n", "name FR x\n", "name ES x\n", "name DE x\n", "name IT x\n", "name PT x\n",
    "name JP x\n", "par ",        "music m\n",   "area ",       "slope ",      "bump ",
    "bank ",       "wall ",       "block ",      "drop ",       "gate ",       "lift ",
    "tee ",        "cup ",        "camera c ",   "trail ",      "surface ",    "height ",
    "closed",      "trigger ",    "0 ",          "1 ",          "-2 ",         "0.5 ",
    "8 ",          "nan ",        "1e30 ",       "grass ",      "\n",          "#",
};

std::string spelled_out(const uint8_t *data, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += kPieces[data[i] % std::size(kPieces)];
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text = size && data[0] % 2
                                 ? spelled_out(data + 1, size - 1)
                                 : std::string(reinterpret_cast<const char *>(data), size);
    HoleSpec hole;
    std::string error;
    if (!read_hole(text, &hole, &error)) {
        if (error.empty()) {
            std::abort(); // a refusal always says why
        }
        return 0;
    }
    for (const Area &area : hole.areas) {
        for (const Point2 &corner : area.corners) {
            if (!std::isfinite(hole.height_at(corner.x, corner.z))) {
                std::abort();
            }
        }
    }
    if (!std::isfinite(hole.height_at(hole.cup.x, hole.cup.z)) ||
        !std::isfinite(hole.height_at(hole.tee.x, hole.tee.z))) {
        std::abort();
    }
    return 0;
}
