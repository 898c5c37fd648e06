// The contents tree's address index: an open-addressing table from the hash of an address's
// lookup key to its node. No key is stored; a hit is confirmed on the node's own address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class CVQDocNode;

class CVQAddressIndex {
public:
    // Room for expected nodes without growing (at least the 800 entries a new table starts with).
    // Throws std::bad_alloc, as do Insert when the table must grow.
    explicit CVQAddressIndex(std::size_t expected);

    void Insert(CVQDocNode* node);
    // False when the node is not in the index.
    bool Remove(const CVQDocNode* node);
    // A node whose address is the same address as the given one (without fragment).
    CVQDocNode* Find(std::string_view address) const;

    std::size_t Size() const { return m_count; }
    std::size_t MemoryBytes() const;

    // Hash of the lookup key (cut at "#", one trailing slash off, lower case) without building it.
    static std::uint32_t KeyHash(std::string_view address);

private:
    void Resize(std::size_t capacity);
    void Place(CVQDocNode* node, std::uint32_t hash);

    std::vector<CVQDocNode*> m_nodes;    // null = free slot
    std::vector<std::uint32_t> m_hashes; // the key hash of the node in the same slot
    std::size_t m_mask = 0;
    std::size_t m_count = 0;
};
