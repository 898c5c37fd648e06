// The test that decides whether a text found in a script, a style, an event attribute or a
// loosely read attribute value is an address worth following.
#pragma once

#include "desktop/content/text_span.h"
#include "desktop/project/file_classifier.h"

#include <cstddef>
#include <string_view>

class CVQLinkTest {
public:
    // Only the start of a text is examined.
    static constexpr std::size_t kExaminedChars = 259;

    explicit CVQLinkTest(const CVQFileClassifier& classifier) : m_classifier(classifier) {}

    // The part of text that is the link, or not Found(): a text holding a protocol prefix
    // gives the part from that prefix to the first blank; any other text passes when it ends
    // in "/" or its extension is in one of the project's lists. Texts with quotes, "@", ";" or
    // parentheses fail, and so do "." and extensions written alone (".htm").
    CVQSpan Test(std::string_view text) const;
    bool Passes(std::string_view text) const { return Test(text).Found(); }

private:
    const CVQFileClassifier& m_classifier;
};
