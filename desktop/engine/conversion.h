// The link conversion of an open project: what links become, the test the parser asks while it
// marks pages, the pass after a download and the "Convert Links" command, wired to the project
// and to its download engine.
#pragma once

#include "desktop/engine/conversion_pass.h"
#include "desktop/engine/download_filter.h"
#include "desktop/engine/link_conversion.h"

class CVQDoc;
class CVQDownloadEngine;

class CVQConversion {
public:
    // Installs the link converter on the project; the object must not outlive it.
    explicit CVQConversion(CVQDoc& doc);
    ~CVQConversion();
    CVQConversion(const CVQConversion&) = delete;
    CVQConversion& operator=(const CVQConversion&) = delete;

    // The engine's conversion rule and its hook for the pass after a download.
    void Install(CVQDownloadEngine& engine);

    CVQLinkConversion& Links() { return m_links; }
    CVQConversionPass& Pass() { return m_pass; }

private:
    CVQDoc& m_doc;
    CVQDownloadFilter m_filter;
    CVQLinkConversion m_links;
    CVQConversionPass m_pass;
};
