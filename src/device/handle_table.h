// The open handles of a HID platform and what it keeps of each.
//
// Handles are counted up from 1 and never given out twice in a table's life, so a handle that
// was closed finds nothing, never the entry of an interface opened after it.
#pragma once

#include "device/hid_platform.h"

#include <cstddef>
#include <map>
#include <optional>
#include <utility>

namespace treadle {

template <typename Entry>
class HandleTable {
  public:
    using Entries = std::map<HidHandle, Entry>;

    // Keeps an entry under a new handle and returns the handle.
    HidHandle Add(Entry entry) {
        const HidHandle handle = next_++;
        entries_.emplace(handle, std::move(entry));
        return handle;
    }

    // The entry of an open handle; nullptr for any other number.
    Entry* Find(HidHandle handle) {
        const auto it = entries_.find(handle);
        return it == entries_.end() ? nullptr : &it->second;
    }
    const Entry* Find(HidHandle handle) const {
        const auto it = entries_.find(handle);
        return it == entries_.end() ? nullptr : &it->second;
    }

    // Forgets a handle; false when it was not open.
    bool Remove(HidHandle handle) { return entries_.erase(handle) == 1; }

    // Forgets a handle and hands over its entry, for a caller that lets go of what the entry
    // holds after it has left the table's lock; nothing when the handle was not open.
    std::optional<Entry> Take(HidHandle handle) {
        const auto it = entries_.find(handle);
        if (it == entries_.end()) {
            return std::nullopt;
        }
        std::optional<Entry> entry(std::move(it->second));
        entries_.erase(it);
        return entry;
    }

    std::size_t Count() const { return entries_.size(); }

    // (handle, entry) pairs in the order the handles were given out.
    typename Entries::iterator begin() { return entries_.begin(); }
    typename Entries::iterator end() { return entries_.end(); }
    typename Entries::const_iterator begin() const { return entries_.begin(); }
    typename Entries::const_iterator end() const { return entries_.end(); }

  private:
    Entries entries_;
    HidHandle next_ = 1;
};

}  // namespace treadle
