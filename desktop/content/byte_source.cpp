// Files and memory texts as byte sources for the scanners.
#include "desktop/content/byte_source.h"

#include <cstdio>
#include <cstring>

namespace {

class CVQFileSource : public CVQByteSource {
public:
    explicit CVQFileSource(std::FILE* file) : m_file(file) {}
    ~CVQFileSource() override { std::fclose(m_file); }
    CVQFileSource(const CVQFileSource&) = delete;
    CVQFileSource& operator=(const CVQFileSource&) = delete;

protected:
    std::size_t ReadRaw(char* out, std::size_t max) override {
        return std::fread(out, 1, max, m_file);
    }

private:
    std::FILE* m_file;
};

class CVQTextSource : public CVQByteSource {
public:
    explicit CVQTextSource(std::string_view text) : m_text(text) {}

protected:
    std::size_t ReadRaw(char* out, std::size_t max) override {
        const std::size_t n = std::min(max, m_text.size());
        std::memcpy(out, m_text.data(), n);
        m_text.remove_prefix(n);
        return n;
    }

private:
    std::string_view m_text;
};

} // namespace

std::unique_ptr<CVQByteSource> CVQByteSource::OpenFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return nullptr;
    return std::make_unique<CVQFileSource>(file);
}

std::unique_ptr<CVQByteSource> CVQByteSource::FromText(std::string_view text) {
    return std::make_unique<CVQTextSource>(text);
}

std::size_t CVQByteSource::Read(char* out, std::size_t max) {
    while (max > 0) {
        const std::size_t n = ReadRaw(out, max);
        if (n == 0)
            return 0;
        const char* zero = static_cast<const char*>(std::memchr(out, 0, n));
        if (!zero)
            return n;
        m_droppedZeros = true;
        std::size_t kept = static_cast<std::size_t>(zero - out);
        for (std::size_t i = kept + 1; i < n; ++i)
            if (out[i] != 0)
                out[kept++] = out[i];
        if (kept > 0)
            return kept;
        // A block of nothing but zero bytes: read on rather than report the end.
    }
    return 0;
}
