// What follows the last start address of a download: the conversion pass, the AutoSync export,
// the run state, the status and log texts, the summary, the report's end and the front end's
// follow-up.
#pragma once

class CVQRunContext;

class CVQRunEnd {
public:
    explicit CVQRunEnd(CVQRunContext& run) : m_run(run) {}
    void Finish();

private:
    bool ShouldConvert() const;
    bool Countdown(int textId) const;

    CVQRunContext& m_run;
};
