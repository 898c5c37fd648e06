// The built-in string table: every text the user sees is looked up here by its number.
// A loaded language file may replace any entry through the override hook.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "desktop/resources/string_ids.h"

// The built-in text of an identifier; empty when the table has no such entry.
const char* VQBuiltinText(int id);

// The text for an identifier: the language override first, the built-in table second.
std::string VQText(int id);

// printf-style formatting of a looked-up text with the given arguments.
template <typename... Args> std::string VQFormat(int id, Args... args);

// Installs (or, with an empty function, removes) the language file's lookup. It answers
// std::nullopt for identifiers it does not translate.
using CVQTextOverride = std::function<std::optional<std::string>(int id)>;
void VQSetTextOverride(CVQTextOverride lookup);

std::string VQFormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

template <typename... Args> std::string VQFormat(int id, Args... args) {
    const std::string format = VQText(id);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    return VQFormatText(format.c_str(), args...);
#pragma GCC diagnostic pop
}
