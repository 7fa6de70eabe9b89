#include "util/CompactStringSet.h"

#include <functional>

namespace quenlith {

namespace {

constexpr int tagShift = 48;
constexpr std::uint64_t positionMask = (std::uint64_t { 1 } << tagShift) - 1;

std::uint64_t hashOf(std::string_view text)
{
    return std::hash<std::string_view> {}(text);
}

std::uint64_t tagOf(std::uint64_t hash)
{
    return hash >> tagShift << tagShift;
}

} // namespace

CompactStringSet::CompactStringSet()
    : m_slots(std::size_t { 1 } << 12, 0)
{
}

std::size_t CompactStringSet::slotOf(std::string_view text, std::uint64_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint64_t entry = m_slots[slot];
        if (entry == 0)
            return slot;
        if ((entry & ~positionMask) == tagOf(hash)
            && m_strings.at((entry & positionMask) - 1) == text)
            return slot;
    }
}

std::optional<std::uint64_t> CompactStringSet::find(std::string_view text) const
{
    const std::uint64_t entry = m_slots[slotOf(text, hashOf(text))];
    if (entry == 0)
        return std::nullopt;
    return (entry & positionMask) - 1;
}

std::pair<std::uint64_t, bool> CompactStringSet::insert(std::string_view text)
{
    const std::uint64_t hash = hashOf(text);
    std::size_t slot = slotOf(text, hash);
    if (m_slots[slot] != 0)
        return { (m_slots[slot] & positionMask) - 1, false };
    // At most seven slots in ten are taken, so that a search ends soon.
    if ((m_count + 1) * 10 > m_slots.size() * 7) {
        grow();
        slot = slotOf(text, hash);
    }
    const std::uint64_t position = m_strings.add(text);
    m_slots[slot] = tagOf(hash) | (position + 1);
    ++m_count;
    return { position, true };
}

void CompactStringSet::grow()
{
    std::vector<std::uint64_t>(m_slots.size() * 2, 0).swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    m_strings.forEach([&](std::uint64_t position, const std::string &text) {
        const std::uint64_t hash = hashOf(text);
        std::size_t slot = hash & mask;
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = tagOf(hash) | (position + 1);
        return true;
    });
}

} // namespace quenlith
