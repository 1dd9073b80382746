// A hash index from texts to the first item stored under each text.
//
// Open addressing over one flat table of 16-byte slots: a lookup costs one or
// two cache misses, where a node-based map costs a chain of them and one
// allocation per entry. The key is not copied: `KeyOf` reads it from the item.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace cxl {

template <typename T, std::string_view (*KeyOf)(const T&)>
class FirstIndex {
public:
    // Stores `item` under its key unless the key has an item already: the
    // first item of a key is the one found. False when it had one.
    bool insertFirst(T* item) {
        if ((size_ + 1) * 4 > slots_.size() * 3) rehash(slots_.empty() ? 16 : slots_.size() * 2);
        const std::string_view key = KeyOf(*item);
        const std::uint64_t hash = hashOf(key);
        Slot& slot = probe(key, hash);
        if (slot.item != nullptr) return false;
        slot = Slot{item, hash};
        ++size_;
        return true;
    }

    // Room for `items` in all, made at once rather than by doubling.
    void reserve(std::size_t items) {
        std::size_t capacity = 16;
        while (items * 4 > capacity * 3) capacity *= 2;
        if (capacity > slots_.size()) rehash(capacity);
    }

    [[nodiscard]] T* find(std::string_view key) const {
        if (slots_.empty()) return nullptr;
        return const_cast<FirstIndex*>(this)->probe(key, hashOf(key)).item;
    }

private:
    struct Slot {
        T* item = nullptr;  // none: the slot is free
        std::uint64_t hash = 0;
    };

    static std::uint64_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

    // The slot holding `key`, or the free slot where it would go.
    Slot& probe(std::string_view key, std::uint64_t hash) {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.item == nullptr) return slot;
            if (slot.hash == hash && KeyOf(*slot.item) == key) return slot;
        }
    }

    void rehash(std::size_t capacity) {
        std::vector<Slot> old(capacity);
        old.swap(slots_);
        const std::size_t mask = capacity - 1;
        for (const Slot& slot : old) {
            if (slot.item == nullptr) continue;
            std::size_t i = static_cast<std::size_t>(slot.hash) & mask;
            while (slots_[i].item != nullptr) i = (i + 1) & mask;
            slots_[i] = slot;
        }
    }

    std::vector<Slot> slots_;
    std::size_t size_ = 0;
};

}  // namespace cxl
