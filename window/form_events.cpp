#include "form_events.h"

#include <optional>
#include <utility>

#include "error.h"
#include "error_report.h"
#include "form_design.h"
#include "problem_report.h"

namespace {

// Often enough to see the count move, seldom enough that a fast walk does
// not flood the window with captions.
constexpr std::chrono::milliseconds kProgressInterval{200};

std::string CaptionWithCount(const char* what, std::uint64_t files) {
    return std::string(kFormCaption) + " - " + what + " " + std::to_string(files) + " 个文件";
}

}  // namespace

std::string ProgressCaption(std::uint64_t filesListed) {
    return CaptionWithCount("已列出", filesListed);
}

std::string DoneCaption(std::uint64_t filesListed) {
    return CaptionWithCount("已生成", filesListed);
}

// What the walk's thread leaves for the window's: one of the two.
struct FormEvents::Outcome {
    std::optional<ClickSummary> summary;
    std::optional<Error> error;
};

FormEvents::FormEvents(NativeString programDirectory, FormFeedback& feedback)
    : generator_(std::move(programDirectory)), feedback_(feedback) {
    generator_.ObserveProgress(
        [this](std::uint64_t filesListed) { return OnProgress(filesListed); });
}

// Only reached with a walk running when the window ended some other way
// than through Unload; the feedback may be gone by then.
FormEvents::~FormEvents() {
    StopWalk();
}

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
    // Command1 is disabled while a walk runs; a press queued before that
    // still arrives.
    if (walk_.joinable()) {
        return;
    }
    feedback_.SetBusy(true);
    feedback_.SetCaption(ProgressCaption(0));
    abandon_ = false;
    lastProgress_ = std::chrono::steady_clock::now();
    outcome_ = std::make_unique<Outcome>();
    walk_ = std::thread(&FormEvents::Walk, this);
}

// On the walk's thread.
void FormEvents::Walk() {
    try {
        outcome_->summary = generator_.Command1_Click();
    } catch (const Error& error) {
        outcome_->error = error;
    }
    feedback_.Post([this] { Finish(); });
}

// On the walk's thread.
bool FormEvents::OnProgress(std::uint64_t filesListed) {
    if (abandon_) {
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastProgress_ >= kProgressInterval) {
        lastProgress_ = now;
        // Posted before the walk's end is, so never shown after it.
        feedback_.Post([this, filesListed] { feedback_.SetCaption(ProgressCaption(filesListed)); });
    }
    return true;
}

// The boxes come after the wait cursor is gone: they wait for the user.
void FormEvents::Finish() {
    if (!walk_.joinable()) {
        return;  // abandoned and reported on by Unload
    }
    walk_.join();
    const std::unique_ptr<Outcome> outcome = std::move(outcome_);
    feedback_.SetBusy(false);
    if (outcome->error) {
        feedback_.SetCaption(std::string(kFormCaption));
        feedback_.ShowError(ErrorReport(*outcome->error));
    } else if (outcome->summary->HasProblems()) {
        feedback_.SetCaption(std::string(kFormCaption));
        feedback_.ShowWarning(ProblemReport(*outcome->summary));
    } else {
        feedback_.SetCaption(DoneCaption(outcome->summary->LinesWritten()));
    }
}

// The walk stops at its next folder, and the click's list is thrown away.
void FormEvents::StopWalk() {
    if (walk_.joinable()) {
        abandon_ = true;
        walk_.join();
        outcome_.reset();
    }
}

bool FormEvents::Unload() {
    if (walk_.joinable()) {
        StopWalk();
        feedback_.SetCaption(std::string(kFormCaption));
    }
    try {
        generator_.Form_Unload();
        return true;
    } catch (const Error& error) {
        feedback_.ShowError(ErrorReport(error));
        return false;
    }
}
