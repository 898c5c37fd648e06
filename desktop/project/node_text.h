// A compact owned text for the contents tree: one pointer in the node, its length and bytes in
// one heap block, so that a million nodes do not pay for three string objects each.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

class CVQNodeText {
public:
    CVQNodeText() = default;
    explicit CVQNodeText(std::string_view text) { Assign(text); }
    CVQNodeText(const CVQNodeText& other) { Assign(other.View()); }
    CVQNodeText& operator=(const CVQNodeText& other);
    CVQNodeText(CVQNodeText&& other) noexcept : m_data(std::exchange(other.m_data, nullptr)) {}
    CVQNodeText& operator=(CVQNodeText&& other) noexcept;
    ~CVQNodeText() { Free(); }

    // Replaces the text; an empty text holds no block. Throws std::bad_alloc like std::string.
    void Assign(std::string_view text);
    std::string_view View() const;
    std::string Str() const { return std::string(View()); }
    bool Empty() const { return m_data == nullptr; }

private:
    void Free();

    char* m_data = nullptr; // a 32-bit length, then the bytes
};
