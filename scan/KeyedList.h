#pragma once

#include "util/Error.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace quenlith {

// An ordered collection that keeps insertion order, gives its items by 1-based position and
// indexes them by a unique text key. Items are held by value.
template <typename T> class KeyedList {
public:
    // Appends `item` under `key`; throws Error(DuplicateKey) when the key is already present.
    void add(const T &item, const std::string &key)
    {
        if (m_positionOfKey.count(key) != 0)
            throw Error(ErrorNumber::DuplicateKey,
                "This key is already associated with an element of this collection");
        m_items.push_back(item);
        m_keys.push_back(key);
        m_positionOfKey.emplace(key, static_cast<int>(m_items.size()));
    }

    int Count() const
    {
        return static_cast<int>(m_items.size());
    }

    // The item at 1-based `position`; throws Error when out of range.
    const T &Item(int position) const
    {
        checkPosition(position);
        return m_items[static_cast<std::size_t>(position - 1)];
    }

    // The item under `key`; throws Error when no item has it.
    const T &Item(const std::string &key) const
    {
        const auto found = m_positionOfKey.find(key);
        if (found == m_positionOfKey.end())
            throw Error(5, "Invalid procedure call or argument: no item with key " + key);
        return m_items[static_cast<std::size_t>(found->second - 1)];
    }

    const std::string &keyAt(int position) const
    {
        checkPosition(position);
        return m_keys[static_cast<std::size_t>(position - 1)];
    }

    bool contains(const std::string &key) const
    {
        return m_positionOfKey.count(key) != 0;
    }

    // Insertion order.
    typename std::vector<T>::const_iterator begin() const
    {
        return m_items.begin();
    }
    typename std::vector<T>::const_iterator end() const
    {
        return m_items.end();
    }

private:
    void checkPosition(int position) const
    {
        if (position < 1 || position > Count())
            throw Error(9, "Subscript out of range");
    }

    std::vector<T> m_items;
    std::vector<std::string> m_keys;
    std::unordered_map<std::string, int> m_positionOfKey;
};

} // namespace quenlith
