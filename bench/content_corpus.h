// Generated pages for the content benchmarks: large documentation pages, pages dense with
// links, pages with big inline scripts and styles, and a typical mix.
#pragma once

#include <string>

namespace vqbench {

enum class PageKind { Documentation, LinkDense, ScriptsAndStyles, Typical };

const char* PageKindName(PageKind kind);

// A page of about targetBytes; the same kind and size always give the same text.
std::string MakePage(PageKind kind, std::size_t targetBytes);

} // namespace vqbench
