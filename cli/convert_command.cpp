// The conversion pass run from the terminal.
#include "cli/convert_command.h"

#include "cli/cli_context.h"
#include "cli/interrupt_guard.h"
#include "cli/terminal_observer.h"
#include "desktop/engine/conversion.h"
#include "desktop/project/doc.h"
#include "desktop/resources/string_table.h"

namespace {

// A line every tenth of the walk; an interrupt since the start cancels the pass.
class CVQTerminalConversionProgress : public CVQConversionProgress {
public:
    explicit CVQTerminalConversionProgress(CVQTerminalObserver& observer)
        : m_observer(observer), m_interrupts(CVQInterruptGuard::Count()) {}

    bool KeepGoing(int percent) override {
        if (percent / 10 > m_shown / 10) {
            m_shown = percent;
            m_observer.Line(VQFormat(IDS_CLI_CONVERT_PROGRESS, percent));
        }
        return CVQInterruptGuard::Count() == m_interrupts;
    }

private:
    CVQTerminalObserver& m_observer;
    const int m_interrupts;
    int m_shown = 0;
};

} // namespace

namespace vq {

int ConvertProject(const CVQCliContext& context, CVQDoc& doc, CVQTerminalObserver& observer,
                   int scope) {
    CVQInterruptGuard guard;
    CVQConversion conversion(doc);
    CVQTerminalConversionProgress progress(observer);
    observer.Line(VQText(IDS_ENGINE_CONVERTING));
    const CVQConversionResult result =
        conversion.Pass().ConvertCommand(doc, scope, nullptr, &progress);
    // Nodes lose their conversion marks as they are visited, so a cancelled pass is saved too.
    if (!doc.Save())
        return context.Fail(VQFormat(IDS_CLI_NOT_SAVED, doc.PathName().c_str()));
    context.out << VQFormat(IDS_CLI_CONVERTED, std::to_string(result.rewritten).c_str(),
                            std::to_string(result.failed).c_str())
                << '\n';
    context.out.flush();
    if (result.ended)
        return kExitStopped;
    if (result.failed > 0)
        return context.Fail(VQText(IDS_CLI_CONVERT_FAILED));
    return kExitCompleted;
}

} // namespace vq
