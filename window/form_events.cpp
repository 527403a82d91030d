#include "form_events.h"

#include <utility>

#include "error.h"
#include "error_report.h"
#include "problem_report.h"

FormEvents::FormEvents(NativeString programDirectory, FormFeedback& feedback)
    : generator_(std::move(programDirectory)), feedback_(feedback) {}

bool FormEvents::Load() {
    try {
        generator_.Form_Load();
        return true;
    } catch (const Error& error) {
        feedback_.ShowError(ErrorReport(error));
        return false;
    }
}

void FormEvents::Click() {
    // The boxes come after the wait cursor is gone: they wait for the user.
    feedback_.SetBusy(true);
    try {
        const ClickSummary summary = generator_.Command1_Click();
        feedback_.SetBusy(false);
        if (summary.HasProblems()) {
            feedback_.ShowWarning(ProblemReport(summary));
        }
    } catch (const Error& error) {
        feedback_.SetBusy(false);
        feedback_.ShowError(ErrorReport(error));
    }
}

bool FormEvents::Unload() {
    try {
        generator_.Form_Unload();
        return true;
    } catch (const Error& error) {
        feedback_.ShowError(ErrorReport(error));
        return false;
    }
}
