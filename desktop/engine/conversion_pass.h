// The conversion pass: after a download, or on the "Convert Links" command, the stored pages,
// style sheets, scripts and WML documents of the tree (or of a branch) are rewritten so that the
// copy browses offline.
#pragma once

#include "desktop/content/parser.h"
#include "desktop/engine/link_conversion.h"

#include <cstddef>

class CVQDoc;
class CVQDocNode;

// The progress window of the command.
class CVQConversionProgress {
public:
    virtual ~CVQConversionProgress() = default;
    // percent of the nodes visited so far (0-100); false when the user cancelled.
    virtual bool KeepGoing(int percent) = 0;
};

enum VQConversionScope : int { kConvertAllFiles = 0, kConvertNewFiles = 1 };

struct CVQConversionResult {
    std::size_t visited = 0;
    std::size_t rewritten = 0; // files the rewriters were run on
    std::size_t failed = 0;    // of those, files that could not be read or written
    bool ended = false;        // stopped or cancelled before the end of the walk
};

class CVQConversionPass {
public:
    // conversion decides what the links become; it is installed on the project for the pass
    // when the project has no link converter.
    explicit CVQConversionPass(CVQLinkConversion& conversion) : m_conversion(conversion) {}

    // Convert: scope kConvertNewFiles rewrites only pages marked for conversion, kConvertAllFiles
    // every stored one; branch limits the pass to a subtree. Without progress the pass is the one
    // after a download: it shows its percentage in the status text and ends when a stop clears
    // the project's converting flag. The scope is kept as the project's conversion scope, and
    // every node visited loses its mark.
    CVQConversionResult Convert(CVQDoc& doc, int scope, CVQDocNode* branch = nullptr,
                                CVQConversionProgress* progress = nullptr);

    // The pass after a download: new files only.
    CVQConversionResult ConvertAfterDownload(CVQDoc& doc);

    // "Convert Links" and "Convert this Branch links": a project that converts no links is
    // converted as if it converted the downloaded ones, and keeps its setting.
    CVQConversionResult ConvertCommand(CVQDoc& doc, int scope, CVQDocNode* branch,
                                       CVQConversionProgress* progress);

private:
    bool Prepare(CVQDoc& doc, CVQDocNode* branch);
    bool RewriteNode(CVQDocNode& node, CVQDoc& doc);

    CVQLinkConversion& m_conversion;
    CVQParser m_parser;
};
