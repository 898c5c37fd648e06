#include "desktop/resources/string_table.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

struct Entry {
    int id;
    const char* text;
};

constexpr Entry kEntries[] = {
#define VQ_STRING(name, id, text) {id, text},
#include "desktop/resources/strings_common.inc"
#include "desktop/resources/strings_project.inc"
#include "desktop/resources/strings_engine.inc"
#include "desktop/resources/strings_net.inc"
#include "desktop/resources/strings_content.inc"
#include "desktop/resources/strings_cli.inc"
#include "desktop/resources/strings_shell.inc"
#undef VQ_STRING
};

const std::vector<Entry>& SortedEntries() {
    static const std::vector<Entry> sorted = [] {
        std::vector<Entry> v(std::begin(kEntries), std::end(kEntries));
        std::sort(v.begin(), v.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; });
        return v;
    }();
    return sorted;
}

std::mutex& OverrideMutex() {
    static std::mutex m;
    return m;
}

CVQTextOverride& Override() {
    static CVQTextOverride lookup;
    return lookup;
}

} // namespace

const char* VQBuiltinText(int id) {
    const std::vector<Entry>& entries = SortedEntries();
    const auto it = std::lower_bound(entries.begin(), entries.end(), id,
                                     [](const Entry& e, int wanted) { return e.id < wanted; });
    return it != entries.end() && it->id == id ? it->text : "";
}

std::string VQText(int id) {
    {
        std::lock_guard lock(OverrideMutex());
        if (Override())
            if (std::optional<std::string> text = Override()(id))
                return *text;
    }
    return VQBuiltinText(id);
}

void VQSetTextOverride(CVQTextOverride lookup) {
    std::lock_guard lock(OverrideMutex());
    Override() = std::move(lookup);
}

std::string VQFormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (size > 0) {
        out.resize(static_cast<std::size_t>(size) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<std::size_t>(size));
    }
    va_end(args);
    return out;
}
