// The compact text of the contents tree's nodes.
#include "desktop/project/node_text.h"

#include <cstring>
#include <limits>

CVQNodeText& CVQNodeText::operator=(const CVQNodeText& other) {
    if (this != &other)
        Assign(other.View());
    return *this;
}

CVQNodeText& CVQNodeText::operator=(CVQNodeText&& other) noexcept {
    if (this != &other) {
        Free();
        m_data = std::exchange(other.m_data, nullptr);
    }
    return *this;
}

void CVQNodeText::Assign(std::string_view text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max())
        text = text.substr(0, std::numeric_limits<std::uint32_t>::max());
    char* block = nullptr;
    if (!text.empty()) {
        const auto length = static_cast<std::uint32_t>(text.size());
        block = new char[sizeof length + text.size()];
        std::memcpy(block, &length, sizeof length);
        std::memcpy(block + sizeof length, text.data(), text.size());
    }
    Free();
    m_data = block;
}

std::string_view CVQNodeText::View() const {
    if (!m_data)
        return {};
    std::uint32_t length = 0;
    std::memcpy(&length, m_data, sizeof length);
    return {m_data + sizeof length, length};
}

void CVQNodeText::Free() {
    delete[] m_data;
    m_data = nullptr;
}
