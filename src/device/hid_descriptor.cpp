#include "device/hid_descriptor.h"

#include "device/hid_usages.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace treadle {
namespace {

enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };

enum MainTag : std::uint8_t { kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB, kEndCollection = 0xC };

enum GlobalTag : std::uint8_t {
    kUsagePage = 0x0,
    kLogicalMinimum = 0x1,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB,
};

enum LocalTag : std::uint8_t { kUsage = 0x0, kUsageMinimum = 0x1, kUsageMaximum = 0x2 };

using hid::kButtonPage;
using hid::kKeyboardPage;
// Input item flags: bit 0 constant (padding), bit 1 variable (else array).
constexpr std::uint32_t kConstantFlag = 0x01;
constexpr std::uint32_t kVariableFlag = 0x02;

constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::uint64_t kMaxReportBits = static_cast<std::uint64_t>(kMaxReportLength - 1) * 8;

// The part of the global state that lengths and usages depend on.
struct Globals {
    std::uint32_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
    std::int32_t logicalMinimum = 0;
};

// Every usage of the local state, for the fields of an input item: a usage of 4 bytes
// carries its own page (bit 32 marks it), a shorter one takes the page in force.
struct LocalUsages {
    std::vector<std::uint64_t> list;
    bool hasMinimum = false;
    bool hasMaximum = false;
    std::uint64_t minimum = 0;
    std::uint64_t maximum = 0;
};

constexpr std::uint64_t kExtendedUsage = std::uint64_t{1} << 32;

std::uint64_t LocalUsage(std::uint32_t data, size_t dataSize) { return dataSize == 4 ? (kExtendedUsage | data) : data; }

// The page and usage of a local usage, with the global page for a short one.
std::pair<std::uint16_t, std::uint16_t> Resolve(std::uint64_t usage, std::uint32_t usagePage) {
    if ((usage & kExtendedUsage) != 0) {
        return {static_cast<std::uint16_t>((usage >> 16) & 0xFFFF), static_cast<std::uint16_t>(usage & 0xFFFF)};
    }
    return {static_cast<std::uint16_t>(usagePage), static_cast<std::uint16_t>(usage & 0xFFFF)};
}

std::int32_t SignedData(std::uint32_t data, size_t dataSize) {
    switch (dataSize) {
        case 1:
            return static_cast<std::int8_t>(data);
        case 2:
            return static_cast<std::int16_t>(data);
        default:
            return static_cast<std::int32_t>(data);
    }
}

// Records the keyboard and button fields of one input item that starts at `offset`.
void AddInputFields(ReportDescriptorInfo& info, const Globals& globals, const LocalUsages& usages, std::uint32_t flags,
                    std::uint64_t offset) {
    if ((flags & kConstantFlag) != 0 || globals.reportCount == 0) {
        return;
    }
    const auto reportId = static_cast<std::uint8_t>(globals.reportId);
    if ((flags & kVariableFlag) == 0) {
        std::uint64_t first = usages.hasMinimum ? usages.minimum : (usages.list.empty() ? 0 : usages.list.front());
        const auto [page, usage] = Resolve(first, globals.usagePage);
        if (page != kKeyboardPage || globals.reportSize == 0 || globals.reportSize > 16 ||
            info.inputArrays.size() >= kMaxInputFields) {
            return;
        }
        info.inputArrays.push_back({reportId, static_cast<std::uint32_t>(offset), globals.reportSize,
                                    globals.reportCount, page, globals.logicalMinimum, usage});
        return;
    }
    if (globals.reportSize != 1) {
        return;  // axes and other values: no key or button among them
    }
    // Past the last usage each further bit repeats it; those bits are not worth a field each,
    // and a huge count of them would only cost time.
    std::uint64_t distinct = 0;
    if (!usages.list.empty()) {
        distinct = usages.list.size();
    } else if (usages.hasMinimum) {
        const std::uint64_t low = usages.minimum & 0xFFFFFFFF;
        const std::uint64_t high = usages.hasMaximum ? usages.maximum & 0xFFFFFFFF : low + globals.reportCount;
        distinct = high >= low ? std::min<std::uint64_t>(high - low + 1, kMaxInputFields) : 1;
    }
    const std::uint64_t fields = std::min<std::uint64_t>(globals.reportCount, distinct);
    for (std::uint32_t i = 0; i < fields && info.inputBits.size() < kMaxInputFields; ++i) {
        std::uint64_t usage = 0;
        if (!usages.list.empty()) {
            usage = usages.list[std::min<size_t>(i, usages.list.size() - 1)];
        } else if (usages.hasMinimum) {
            usage = usages.minimum + i;
            if (usages.hasMaximum && (usage & 0xFFFFFFFF) > (usages.maximum & 0xFFFFFFFF)) {
                usage = usages.maximum;
            }
        } else {
            continue;  // a field without usage stands for nothing
        }
        const auto [page, id] = Resolve(usage, globals.usagePage);
        if (page == kKeyboardPage || page == kButtonPage) {
            info.inputBits.push_back({reportId, static_cast<std::uint32_t>(offset + i), page, id});
        }
    }
}

// A usage as written; a 4-byte usage carries its own page, a shorter one takes the usage
// page in force at the main item (as the Linux HID core reads it).
struct PendingUsage {
    bool present = false;
    bool hasPage = false;
    std::uint32_t value = 0;
};

enum Kind { kInputKind = 0, kOutputKind = 1, kFeatureKind = 2 };

struct ReportTally {
    std::array<std::uint64_t, 256> bits{};
    std::array<bool, 256> present{};
};

std::string At(size_t offset, const std::string& what) {
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "item at byte %zu: ", offset);
    return prefix + what;
}

const char* KindName(int kind) {
    switch (kind) {
        case kInputKind:
            return "input";
        case kOutputKind:
            return "output";
        default:
            return "feature";
    }
}

// Where a parse stands: the global state and its stack, the local state, the collections open
// and the bits of every report so far.
struct ParserState {
    ReportDescriptorInfo info;
    Globals globals;
    std::array<Globals, kMaxGlobalStackDepth> stack{};
    int stackDepth = 0;
    PendingUsage usage;
    LocalUsages usages;
    int depth = 0;
    std::array<ReportTally, 3> tallies{};
};

// One short item as read: where it starts, its type and tag, and its data, little-endian in
// `dataSize` bytes. A long item is only stepped over.
struct Item {
    size_t start = 0;
    bool isLong = false;
    std::uint8_t type = kReserved;
    std::uint8_t tag = 0;
    size_t dataSize = 0;
    std::uint32_t data = 0;
};

// Reads the item at `pos` and moves `pos` past it; an error text when the item runs past
// the end of the descriptor, else empty.
std::string ReadItem(std::span<const std::uint8_t> descriptor, size_t& pos, Item& item) {
    const size_t size = descriptor.size();
    item.start = pos;
    const std::uint8_t prefix = descriptor[pos++];
    if (prefix == kLongItemPrefix) {
        // bDataSize, bLongItemTag, data: no long items are defined, so only skip them.
        item.isLong = true;
        if (size - pos < 2) {
            return At(item.start, "long item is cut off before its size and tag");
        }
        const size_t dataSize = descriptor[pos];
        pos += 2;
        if (size - pos < dataSize) {
            return At(item.start, "long item claims " + std::to_string(dataSize) + " data bytes but only " +
                                      std::to_string(size - pos) + " remain");
        }
        pos += dataSize;
        return {};
    }
    static constexpr size_t kDataSizes[4] = {0, 1, 2, 4};
    item.dataSize = kDataSizes[prefix & 0x3];
    item.type = static_cast<std::uint8_t>((prefix >> 2) & 0x3);
    item.tag = static_cast<std::uint8_t>(prefix >> 4);
    if (size - pos < item.dataSize) {
        return At(item.start, "item claims " + std::to_string(item.dataSize) + " data bytes but only " +
                                  std::to_string(size - pos) + " remain");
    }
    for (size_t i = 0; i < item.dataSize; ++i) {
        item.data |= static_cast<std::uint32_t>(descriptor[pos + i]) << (8 * i);
    }
    pos += item.dataSize;
    return {};
}

// Collection: a top-level one is named by the first usage before it.
std::string OpenCollection(ParserState& state, const Item& item) {
    if (state.depth >= kMaxCollectionDepth) {
        return At(item.start, "collections are nested deeper than " + std::to_string(kMaxCollectionDepth) + " levels");
    }
    if (state.depth == 0) {
        std::uint16_t page = static_cast<std::uint16_t>(state.globals.usagePage);
        std::uint16_t id = 0;
        if (state.usage.present) {
            id = static_cast<std::uint16_t>(state.usage.value & 0xFFFF);
            if (state.usage.hasPage) {
                page = static_cast<std::uint16_t>(state.usage.value >> 16);
            }
        }
        state.info.topLevelCollections.emplace_back(page, id);
    }
    ++state.depth;
    return {};
}

// Input, Output or Feature: the item's fields lengthen the report of the ID in force.
std::string AddReportItem(ParserState& state, const Item& item, int kind) {
    const Globals& globals = state.globals;
    const std::uint64_t bits =
        static_cast<std::uint64_t>(globals.reportSize) * static_cast<std::uint64_t>(globals.reportCount);
    ReportTally& tally = state.tallies[static_cast<size_t>(kind)];
    const size_t id = globals.reportId;  // checked to be below 256 when set
    // Both terms are capped before the sum, so it cannot wrap.
    if (bits > kMaxReportBits || tally.bits[id] + bits > kMaxReportBits) {
        return At(item.start, std::string(KindName(kind)) + " report " + std::to_string(id) + " would be longer than " +
                                  std::to_string(kMaxReportLength - 1) + " bytes (report size " +
                                  std::to_string(globals.reportSize) + " x count " +
                                  std::to_string(globals.reportCount) + ")");
    }
    if (kind == kInputKind) {
        AddInputFields(state.info, globals, state.usages, item.data, tally.bits[id]);
    }
    tally.bits[id] += bits;
    tally.present[id] = true;
    if (kind == kInputKind && id != 0) {
        state.info.numberedInputReports = true;
    }
    return {};
}

std::string MainItem(ParserState& state, const Item& item) {
    std::string error;
    switch (item.tag) {
        case kInput:
            error = AddReportItem(state, item, kInputKind);
            break;
        case kOutput:
            error = AddReportItem(state, item, kOutputKind);
            break;
        case kFeature:
            error = AddReportItem(state, item, kFeatureKind);
            break;
        case kCollection:
            error = OpenCollection(state, item);
            break;
        case kEndCollection:
            if (state.depth == 0) {
                return At(item.start, "End Collection without an open collection");
            }
            --state.depth;
            break;
        default:
            break;  // a reserved main tag; like the local state, it is dropped
    }
    state.usage = {};
    state.usages = {};
    return error;
}

std::string GlobalItem(ParserState& state, const Item& item) {
    Globals& globals = state.globals;
    switch (item.tag) {
        case kUsagePage:
            globals.usagePage = item.data;
            break;
        case kReportSize:
            globals.reportSize = item.data;
            break;
        case kLogicalMinimum:
            globals.logicalMinimum = SignedData(item.data, item.dataSize);
            break;
        case kReportCount:
            globals.reportCount = item.data;
            break;
        case kReportId:
            if (item.data == 0 || item.data > 255) {
                return At(item.start, "report ID " + std::to_string(item.data) + " is outside 1 to 255");
            }
            globals.reportId = item.data;
            break;
        case kPush:
            if (state.stackDepth >= kMaxGlobalStackDepth) {
                return At(item.start, "Push nested deeper than " + std::to_string(kMaxGlobalStackDepth) + " levels");
            }
            state.stack[static_cast<size_t>(state.stackDepth++)] = globals;
            break;
        case kPop:
            if (state.stackDepth == 0) {
                return At(item.start, "Pop without a Push");
            }
            globals = state.stack[static_cast<size_t>(--state.stackDepth)];
            break;
        default:
            break;  // logical/physical extents, units: no bearing on lengths
    }
    return {};
}

void LocalItem(ParserState& state, const Item& item) {
    // Only the first usage counts: it names a collection.
    if ((item.tag == kUsage || item.tag == kUsageMinimum) && !state.usage.present) {
        state.usage.present = true;
        state.usage.hasPage = item.dataSize == 4;
        state.usage.value = item.data;
    }
    LocalUsages& usages = state.usages;
    if (item.tag == kUsage && usages.list.size() < kMaxInputFields) {
        usages.list.push_back(LocalUsage(item.data, item.dataSize));
    } else if (item.tag == kUsageMinimum) {
        usages.hasMinimum = true;
        usages.minimum = LocalUsage(item.data, item.dataSize);
    } else if (item.tag == kUsageMaximum) {
        usages.hasMaximum = true;
        usages.maximum = LocalUsage(item.data, item.dataSize);
    }
}

// Takes one short item into the state; an error text when the descriptor cannot be right.
std::string TakeItem(ParserState& state, const Item& item) {
    switch (item.type) {
        case kMain:
            return MainItem(state, item);
        case kGlobal:
            return GlobalItem(state, item);
        case kLocal:
            LocalItem(state, item);
            return {};
        default:
            return {};  // reserved item type: skipped
    }
}

// Each length: the report-ID byte and the bytes of the longest report of its kind.
void SetReportLengths(const std::array<ReportTally, 3>& tallies, ReportDescriptorInfo& info) {
    int* lengths[3] = {&info.inputReportLength, &info.outputReportLength, &info.featureReportLength};
    for (size_t kind = 0; kind < 3; ++kind) {
        for (size_t id = 0; id < 256; ++id) {
            if (tallies[kind].present[id]) {
                const int length = 1 + static_cast<int>((tallies[kind].bits[id] + 7) / 8);
                if (length > *lengths[kind]) {
                    *lengths[kind] = length;
                }
            }
        }
    }
}

}  // namespace

ReportDescriptorResult ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    ParserState state;
    std::string error;
    for (size_t pos = 0; pos < descriptor.size() && error.empty();) {
        Item item;
        error = ReadItem(descriptor, pos, item);
        if (error.empty() && !item.isLong) {
            error = TakeItem(state, item);
        }
    }
    if (error.empty() && state.depth != 0) {
        error = "the descriptor ends inside " + std::to_string(state.depth) + " open collection(s)";
    }
    if (!error.empty()) {
        return {{}, std::move(error)};
    }
    SetReportLengths(state.tallies, state.info);
    return {std::move(state.info), {}};
}

HidCaps CapsFromDescriptorInfo(const ReportDescriptorInfo& info) {
    HidCaps caps;
    caps.inputReportLength = info.inputReportLength;
    caps.outputReportLength = info.outputReportLength;
    caps.featureReportLength = info.featureReportLength;
    if (!info.topLevelCollections.empty()) {
        caps.usagePage = info.topLevelCollections.front().first;
        caps.usage = info.topLevelCollections.front().second;
    }
    return caps;
}

}  // namespace treadle
