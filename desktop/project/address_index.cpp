// Linear probing with backward-shift deletion, so that removals leave no tombstones behind.
#include "desktop/project/address_index.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/project/doc_node.h"

#include <algorithm>

namespace {

constexpr std::size_t kInitialEntries = 800;

std::size_t CapacityFor(std::size_t entries) {
    std::size_t capacity = 1024;
    while (capacity / 4 * 3 < entries)
        capacity *= 2;
    return capacity;
}

// The slot an entry would like: in the circular run from home to here, it may not be moved to
// hole unless its home lies outside (hole, here].
bool MayMoveTo(std::size_t home, std::size_t hole, std::size_t here) {
    if (hole <= here)
        return home <= hole || home > here;
    return home <= hole && home > here;
}

} // namespace

CVQAddressIndex::CVQAddressIndex(std::size_t expected) {
    Resize(CapacityFor(std::max(expected, kInitialEntries)));
}

std::uint32_t CVQAddressIndex::KeyHash(std::string_view address) {
    std::string_view key = address.substr(0, address.find('#'));
    if (!key.empty() && vq::IsSlash(key.back()))
        key.remove_suffix(1);
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (char c : key) {
        h ^= static_cast<unsigned char>(vq::AsciiLower(c));
        h *= 0x100000001b3ULL;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

void CVQAddressIndex::Resize(std::size_t capacity) {
    std::vector<CVQDocNode*> oldNodes(capacity, nullptr);
    std::vector<std::uint32_t> oldHashes(capacity, 0);
    oldNodes.swap(m_nodes);
    oldHashes.swap(m_hashes);
    m_mask = capacity - 1;
    for (std::size_t i = 0; i < oldNodes.size(); ++i)
        if (oldNodes[i])
            Place(oldNodes[i], oldHashes[i]);
}

void CVQAddressIndex::Place(CVQDocNode* node, std::uint32_t hash) {
    std::size_t i = hash & m_mask;
    while (m_nodes[i])
        i = (i + 1) & m_mask;
    m_nodes[i] = node;
    m_hashes[i] = hash;
}

void CVQAddressIndex::Insert(CVQDocNode* node) {
    if ((m_count + 1) > m_nodes.size() / 4 * 3)
        Resize(m_nodes.size() * 2);
    Place(node, KeyHash(node->Address()));
    ++m_count;
}

bool CVQAddressIndex::Remove(const CVQDocNode* node) {
    std::size_t hole = KeyHash(node->Address()) & m_mask;
    while (m_nodes[hole] != node) {
        if (!m_nodes[hole])
            return false;
        hole = (hole + 1) & m_mask;
    }
    for (std::size_t here = (hole + 1) & m_mask; m_nodes[here]; here = (here + 1) & m_mask) {
        if (!MayMoveTo(m_hashes[here] & m_mask, hole, here))
            continue;
        m_nodes[hole] = m_nodes[here];
        m_hashes[hole] = m_hashes[here];
        hole = here;
    }
    m_nodes[hole] = nullptr;
    --m_count;
    return true;
}

CVQDocNode* CVQAddressIndex::Find(std::string_view address) const {
    const std::uint32_t hash = KeyHash(address);
    for (std::size_t i = hash & m_mask; m_nodes[i]; i = (i + 1) & m_mask)
        if (m_hashes[i] == hash && vq::SameAddress(m_nodes[i]->Address(), address))
            return m_nodes[i];
    return nullptr;
}

std::size_t CVQAddressIndex::MemoryBytes() const {
    return m_nodes.capacity() * sizeof(CVQDocNode*) + m_hashes.capacity() * sizeof(std::uint32_t);
}
