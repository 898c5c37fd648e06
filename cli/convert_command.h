// "Convert Links" in the terminal: the conversion pass over an open project, its progress as
// percentages, Ctrl+C as Cancel, and the project saved afterwards.
#pragma once

class CVQDoc;
class CVQTerminalObserver;
struct CVQCliContext;

namespace vq {

// scope is kConvertNewFiles or kConvertAllFiles; returns an exit code (0 converted, 4 cancelled,
// 1 when a file could not be rewritten or the project not saved).
int ConvertProject(const CVQCliContext& context, CVQDoc& doc, CVQTerminalObserver& observer,
                   int scope);

} // namespace vq
