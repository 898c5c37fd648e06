// Handling one tag the page scan cut out: its text cleaned, its row's handler, its links
// delivered, and the tags inside it handled in turn.
#pragma once

#include "desktop/content/link_sink.h"
#include "desktop/content/page_scanner.h"
#include "desktop/content/tag_handlers.h"
#include "desktop/content/tag_text.h"

class CVQTagProcessor : public CVQPageScanner::Receiver {
public:
    // Depth of tags inside tags that are still handled.
    static constexpr int kMaxNesting = 100;
    // The tags inside one tag are handled as long as their texts together stay within this
    // many times the tag's own length: tags nested in a chain (each one the rest of the one
    // around it) would otherwise cost the square of their length.
    static constexpr std::size_t kNestedWorkFactor = 8;

    CVQTagProcessor(const CVQTagHandlers& handlers, CVQLinkSink& sink)
        : m_handlers(handlers), m_sink(sink) {}

    void Tag(int row, std::string_view text, std::size_t offset) override;
    bool KeepGoing() override { return m_sink.KeepGoing(); }

private:
    void Handle(int row, const CVQTagText& text, int depth, std::size_t& budget);
    void ScanInside(int row, const CVQTagText& text, int depth, std::size_t& budget);

    const CVQTagHandlers& m_handlers;
    CVQLinkSink& m_sink;
    bool m_titleSeen = false;
    // The outermost tag being handled, as it stands in the page.
    std::string_view m_raw;
    std::size_t m_rawOffset = 0;
};
