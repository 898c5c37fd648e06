// "Record Pages You Browse": stores the page shown in the integrated browser, and the frames,
// pictures, style sheets and scripts it needs, into the open project.
#pragma once

#include <string>

class CVQDoc;
class CVQDocNode;
class CVQInet;
class CVQParser;

class CVQPageRecorder {
public:
    // Runs on the user-interface thread, outside any download.
    explicit CVQPageRecorder(CVQDoc& doc) : m_doc(doc) {}

    // False when nothing was recorded: the page could not be fetched, the save directory not
    // created or the tree is full.
    bool Record(const std::string& address);

private:
    // The file the address is recorded from: the browser's cached copy, or a temporary copy
    // fetched now (temporary: to be deleted afterwards).
    bool Fetch(CVQInet& inet, const std::string& address, std::string& file, bool& temporary);
    // Copies file over the node's local file; true when the copy was made.
    bool Store(CVQDocNode& node, const std::string& file, bool& changed);
    void RecordDescendants(CVQInet& inet, CVQParser& parser, CVQDocNode& node);

    CVQDoc& m_doc;
    int m_nesting = 0;
};
