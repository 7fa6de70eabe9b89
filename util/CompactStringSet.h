#pragma once

#include "util/RecordSpool.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace quenlith {

// A set of strings that keeps the strings in a RecordSpool and, in memory, 8 to 16 bytes per
// string: a slot of its spool position and 16 bits of its hash. A hash that matches is checked
// against the string itself, so that the set is exact. Not thread-safe.
class CompactStringSet {
public:
    CompactStringSet();

    // The key of `text` in the set, if it holds it.
    std::optional<std::uint64_t> find(std::string_view text) const;
    // Adds `text`; returns its key and whether it was new.
    std::pair<std::uint64_t, bool> insert(std::string_view text);

private:
    // The slot that holds `text`, or the empty one where it would go.
    std::size_t slotOf(std::string_view text, std::uint64_t hash) const;
    void grow();

    std::vector<std::uint64_t> m_slots; // 0: empty; else tag << 48 | (spool position + 1)
    std::size_t m_count = 0;
    RecordSpool m_strings;
};

} // namespace quenlith
