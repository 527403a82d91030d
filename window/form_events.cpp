#include "form_events.h"

#include <optional>
#include <utility>

#include "error.h"
#include "error_report.h"
#include "problem_report.h"

namespace {

class BusyScope {
  public:
    explicit BusyScope(FormFeedback& feedback) : feedback_(feedback) { feedback_.SetBusy(true); }
    ~BusyScope() { feedback_.SetBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    FormFeedback& feedback_;
};

}  // namespace

FormEvents::FormEvents(FileSystem& fileSystem, NativeString programDirectory,
                       FormFeedback& feedback)
    : generator_(fileSystem, std::move(programDirectory)), feedback_(feedback) {}

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
    ClickSummary summary;
    std::optional<Error> failure;
    {
        BusyScope busy(feedback_);
        try {
            summary = generator_.Command1_Click();
        } catch (const Error& error) {
            failure = error;
        }
    }
    // The boxes come after the wait cursor is gone: they wait for the user.
    if (failure) {
        feedback_.ShowError(ErrorReport(*failure));
    } else if (summary.HasProblems()) {
        feedback_.ShowWarning(ProblemReport(summary));
    }
}

bool FormEvents::Unload() {
    try {
        bool cancel = false;
        generator_.Form_Unload(&cancel);
        return true;
    } catch (const Error& error) {
        feedback_.ShowError(ErrorReport(error));
        return false;
    }
}
