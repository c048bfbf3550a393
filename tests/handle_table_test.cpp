// The handle table every HID platform keeps its open interfaces in.
#include "device/handle_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace treadle {
namespace {

TEST(HandleTable, HandlesArePositiveAndNeverGivenTwice) {
    HandleTable<std::string> table;
    const HidHandle a = table.Add("a");
    const HidHandle b = table.Add("b");
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_NE(a, b);
    ASSERT_TRUE(table.Remove(a));
    ASSERT_TRUE(table.Remove(b));
    // The table is empty again, and still the next interface gets a number of its own.
    const HidHandle c = table.Add("c");
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    EXPECT_EQ(table.Find(a), nullptr);
    EXPECT_EQ(table.Find(b), nullptr);
    ASSERT_NE(table.Find(c), nullptr);
    EXPECT_EQ(*table.Find(c), "c");
}

TEST(HandleTable, OnlyOpenHandlesAreFoundAndRemoved) {
    HandleTable<int> table;
    const HidHandle open = table.Add(7);
    const HidHandle closed = table.Add(8);
    ASSERT_TRUE(table.Remove(closed));
    for (const HidHandle handle : {HidHandle{0}, HidHandle{-1}, closed, open + closed + 1}) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(table.Find(handle), nullptr);
        EXPECT_EQ(std::as_const(table).Find(handle), nullptr);
        EXPECT_FALSE(table.Remove(handle));
        EXPECT_FALSE(table.Take(handle).has_value());
    }
    EXPECT_EQ(table.Count(), 1u);
    // What is found is the entry itself, not a copy.
    *table.Find(open) = 9;
    EXPECT_EQ(*std::as_const(table).Find(open), 9);
}

TEST(HandleTable, TakeHandsOverTheEntryAndForgetsTheHandle) {
    HandleTable<std::unique_ptr<int>> table;
    const HidHandle handle = table.Add(std::make_unique<int>(5));
    std::optional<std::unique_ptr<int>> taken = table.Take(handle);
    ASSERT_TRUE(taken.has_value());
    ASSERT_NE(*taken, nullptr);
    EXPECT_EQ(**taken, 5);
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.Find(handle), nullptr);
    EXPECT_FALSE(table.Remove(handle));
}

TEST(HandleTable, IterationVisitsTheOpenHandlesInTheOrderTheyWereGiven) {
    HandleTable<char> table;
    std::vector<HidHandle> handles;
    for (char c : std::string("abcde")) {
        handles.push_back(table.Add(c));
    }
    ASSERT_TRUE(table.Remove(handles[1]));
    ASSERT_TRUE(table.Remove(handles[3]));
    std::vector<HidHandle> seen;
    std::string entries;
    for (const auto& [handle, entry] : std::as_const(table)) {
        seen.push_back(handle);
        entries += entry;
    }
    EXPECT_EQ(seen, (std::vector<HidHandle>{handles[0], handles[2], handles[4]}));
    EXPECT_EQ(entries, "ace");
    EXPECT_EQ(table.Count(), 3u);
}

}  // namespace
}  // namespace treadle
