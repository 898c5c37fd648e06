// Rules of higher floors that the project's lower parts apply: the engine's acceptance test for a
// found link and the conversion pass's test for a link. The engine installs them on the project.
#pragma once

class CVQDoc;
class CVQDocNode;

class CVQLinkRules {
public:
    virtual ~CVQLinkRules() = default;

    // Allowed and the level check for a found link (a redirect target, a parsed link).
    virtual bool AcceptFoundLink(CVQDoc& doc, CVQDocNode& node) = 0;

    // Whether the conversion pass would rewrite a link to node in a stored page.
    virtual bool WouldBeConverted(const CVQDoc& doc, const CVQDocNode& node) = 0;
};
