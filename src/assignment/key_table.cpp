#include "assignment/key_table.h"

#include <array>

namespace treadle {
namespace {

constexpr std::array kFixedLow{
    FixedKey{12, "Insert", 0x49}, FixedKey{13, "PrtSC", 0x46}, FixedKey{14, "Delete", 0x4C},
    FixedKey{15, "Pause", 0x48},  FixedKey{16, "-", 0x2D},     FixedKey{17, "=", 0x2E},
    FixedKey{18, "Backspace", 0x2A}, FixedKey{19, "Home", 0x4A}, FixedKey{20, "End", 0x4D},
    FixedKey{21, "Numlock", 0x53}, FixedKey{22, "Scroll", 0x47}, FixedKey{23, ",", 0x36},
    FixedKey{24, ".", 0x37},      FixedKey{25, ";", 0x33},     FixedKey{26, "'", 0x34},
    // The backslash key carries usage 0x32 (Non-US # and ~), not 0x31.
    FixedKey{27, "\\", 0x32},     FixedKey{28, "/", 0x38},     FixedKey{29, "[", 0x2F},
    FixedKey{30, "]", 0x30},      FixedKey{31, "Menu", 0x65},  FixedKey{32, "↑", 0x52},
    FixedKey{33, "↓", 0x51},      FixedKey{34, "←", 0x50},     FixedKey{35, "→", 0x4F},
    FixedKey{36, "Esc", 0x29},    FixedKey{37, "~", 0x35},     FixedKey{38, "Tab", 0x2B},
    FixedKey{39, "Caps", 0x39},   FixedKey{40, "0", 0x27},
};

constexpr std::array kFixedHigh{
    FixedKey{76, " ", 0x2C},   FixedKey{77, "PgUp", 0x4B}, FixedKey{78, "PgDn", 0x4E}, FixedKey{80, "Enter", 0x28},
    FixedKey{81, "Num", 0x53}, FixedKey{82, "/", 0x54},    FixedKey{83, "*", 0x55},    FixedKey{84, "-", 0x56},
    FixedKey{85, "7", 0x5F},   FixedKey{86, "8", 0x60},    FixedKey{87, "9", 0x61},    FixedKey{88, "+", 0x57},
    FixedKey{89, "4", 0x5C},   FixedKey{90, "5", 0x5D},    FixedKey{91, "6", 0x5E},    FixedKey{92, "1", 0x59},
    FixedKey{93, "2", 0x5A},   FixedKey{94, "3", 0x5B},    FixedKey{95, "Ent", 0x58},  FixedKey{96, "0", 0x62},
    FixedKey{97, "./Del", 0x63},
};

}  // namespace

std::span<const FixedKey> FixedKeysLow() { return kFixedLow; }
std::span<const FixedKey> FixedKeysHigh() { return kFixedHigh; }

std::vector<KeyTableEntry> KeyTableStep(int step) {
    std::vector<KeyTableEntry> keys;
    switch (step) {
        case 1:  // F1 to F12
            for (int i = 0; i <= 11; ++i) {
                keys.push_back({i, "F" + std::to_string(i + 1), 58 + i});
            }
            break;
        case 3:
            for (const FixedKey& k : kFixedLow) {
                keys.push_back({k.index, k.caption, k.usage});
            }
            break;
        case 4:  // 1 to 9
            for (int i = 1; i <= 9; ++i) {
                keys.push_back({40 + i, std::to_string(i), 29 + i});
            }
            break;
        case 5:  // A to Z
            for (int i = 0; i <= 25; ++i) {
                keys.push_back({50 + i, std::string(1, static_cast<char>('A' + i)), 4 + i});
            }
            break;
        case 6:
            for (const FixedKey& k : kFixedHigh) {
                keys.push_back({k.index, k.caption, k.usage});
            }
            break;
        default:
            break;
    }
    return keys;
}

}  // namespace treadle
