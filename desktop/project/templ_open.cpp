// Opening a template as a new project or over the open one: the steps that need the project.
#include "desktop/project/doc.h"
#include "desktop/project/templ.h"

bool CVQTempl::OpenAsNewProject(CVQDoc& doc, const std::string& path) {
    doc.NewProject();
    if (!Read(path, doc.Settings()))
        return doc.Load(path);
    // The project exists only in memory until it is saved under this name.
    doc.SetPathName(ProjectPathFor(path));
    if (CVQDocNode* root = doc.Tree().Root(); root && !doc.Settings().title.empty())
        doc.Tree().SetTitle(root, doc.Settings().title);
    doc.SettingsChanged();
    doc.SetModified(true);
    doc.TreeNotice(doc.Tree().Root(), VQTreeChange::Reloaded);
    return true;
}

bool CVQTempl::ApplyToProject(CVQDoc& doc, const std::string& path) {
    // A template that fails halfway must not leave the project's settings half replaced.
    CVQPrjSettings settings = doc.Settings();
    if (!Read(path, settings))
        return false;
    doc.Settings() = std::move(settings);
    doc.SettingsChanged();
    doc.SetModified(true);
    doc.TreeNotice(doc.Tree().Root(), VQTreeChange::Reloaded);
    return true;
}
