#include "form_events.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "error.h"
#include "error_report.h"
#include "form_design.h"
#include "problem_report.h"

namespace {

// Often enough to see the count move, seldom enough that a fast walk does
// not flood the window with captions.
constexpr std::chrono::milliseconds kProgressInterval{200};

std::string CountText(const char* what, std::uint64_t count, const char* unit) {
    return std::string(what) + " " + std::to_string(count) + " " + unit;
}

std::string Caption() {
    return std::string(kFormCaption);
}

std::string Command1Text() {
    return std::string(kControls[0].text);
}

// The lock, unless the deadline passes first. Tried every millisecond rather
// than with timed_mutex::try_lock_until, whose pthread_mutex_clocklock
// ThreadSanitizer does not see, taking its unlock for a fault.
bool LockBy(std::mutex& mutex, std::chrono::steady_clock::time_point deadline) {
    while (!mutex.try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

// "项" rather than the caption's "个文件": two characters fewer, so that a
// count of six digits fits on the button at the system's font.
std::string ListedText(std::uint64_t filesListed) {
    return CountText("已列出", filesListed, "项");
}

std::string GeneratedText(std::uint64_t filesListed) {
    return CountText("已生成", filesListed, "项");
}

std::string ProgressCaption(std::uint64_t filesListed) {
    return Caption() + " - " + CountText("已列出", filesListed, "个文件");
}

std::string DoneCaption(std::uint64_t filesListed) {
    return Caption() + " - " + CountText("已生成", filesListed, "个文件");
}

namespace {

// At most this many patterns are named, so that the label keeps to its two
// lines; the rest are counted.
constexpr std::size_t kNamedIdlePatterns = 3;

// The outcome after the count: the change, then what the patterns did.
std::string OutcomeRest(const ClickSummary& summary, const char* lineBreak) {
    std::string text;
    if (const std::optional<ListChangeCounts>& changes = summary.Changes()) {
        text +=
            " (+" + std::to_string(changes->added) + " −" + std::to_string(changes->removed) + ")";
    }
    if (summary.PatternCount() != 0) {
        text += "，已排除 " + std::to_string(summary.LeftOut()) + " 项";
    }
    const std::vector<IdlePattern>& idle = summary.IdlePatterns();
    if (!idle.empty()) {
        text += lineBreak;
        text += "未排除任何项的规则：";
        for (std::size_t i = 0; i < idle.size() && i < kNamedIdlePatterns; ++i) {
            text += (i == 0 ? "" : "、") + ReportableText(DisplayText(idle[i].pattern));
        }
        if (idle.size() > kNamedIdlePatterns) {
            text += " 等 " + std::to_string(idle.size()) + " 条";
        }
    }
    return text;
}

}  // namespace

std::string OutcomeText(const ClickSummary& summary) {
    return CountText("已生成", summary.LinesWritten(), "个文件") + OutcomeRest(summary, "\n");
}

std::string OutcomeCaption(const ClickSummary& summary) {
    return DoneCaption(summary.LinesWritten()) + OutcomeRest(summary, "；");
}

// One press's walk, as its thread and the window share it. The thread may
// outlive the window: a listing on a drive that stopped answering does not
// return, and a close does not wait for it.
struct FormEvents::Walk {
    Walk(FormEvents* owner, FormFeedback* window) : events(owner), feedback(window) {}

    // Hands a task to the window unless the window has let go of the walk.
    // The lock is held across the hand-over, so that once the window holds
    // it and has cleared the feedback, no task can follow.
    void Post(std::function<void()> task) {
        if (abandoned) {
            return;
        }
        const std::lock_guard<std::mutex> lock(feedbackMutex);
        if (feedback != nullptr) {
            feedback->Post(std::move(task));
        }
    }

    // On the walk's thread. The first count is shown at once, the rest at
    // intervals.
    static bool OnProgress(const std::shared_ptr<Walk>& walk, std::uint64_t filesListed) {
        if (walk->abandoned) {
            return false;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!walk->progressShown || now - walk->lastProgress >= kProgressInterval) {
            walk->progressShown = true;
            walk->lastProgress = now;
            // Posted before the walk's end is, so never shown after it.
            walk->Post([walk, filesListed] { walk->events->ShowProgress(walk, filesListed); });
        }
        return true;
    }

    FormEvents* const events;
    std::atomic<bool> abandoned{false};
    std::mutex feedbackMutex;
    FormFeedback* feedback;  // null once the window has let go

    // The walk's thread's alone.
    bool progressShown = false;
    std::chrono::steady_clock::time_point lastProgress;

    // Written by the walk's thread before it ends: one of the two.
    std::optional<ClickSummary> summary;
    std::optional<Error> error;

    std::mutex endMutex;
    std::condition_variable endChanged;
    bool ended = false;
};

FormEvents::FormEvents(NativeString programDirectory, FormFeedback& feedback)
    : generator_(std::make_shared<ListGenerator>(std::move(programDirectory))),
      feedback_(feedback),
      sourceFolder_(generator_->SourcePath()) {
    // "ROFS/" is opened as a folder; an error names it as "ROFS".
    while (!sourceFolder_.empty() && sourceFolder_.back() == kSeparator) {
        sourceFolder_.pop_back();
    }
}

// Only reached with a walk running when the window ended some other way
// than through Unload; the feedback may be gone by then.
FormEvents::~FormEvents() {
    if (walk_ != nullptr) {
        LetGoOfWalk(std::chrono::steady_clock::now());
    }
}

bool FormEvents::Load() {
    try {
        generator_->Form_Load();
        return true;
    } catch (const Error& error) {
        feedback_.ShowError(ErrorReport(error, sourceFolder_));
        return false;
    }
}

void FormEvents::Click() {
    // Command1 is disabled while a walk runs; a press queued before that
    // still arrives.
    if (walk_ != nullptr || generator_ == nullptr) {
        return;
    }
    feedback_.SetBusy(true);
    feedback_.SetCaption(ProgressCaption(0));
    feedback_.SetCommandText(ListedText(0));
    feedback_.SetOutcome({});
    std::optional<Error> error;
    try {
        auto walk = std::make_shared<Walk>(this, &feedback_);
        generator_->ObserveProgress(
            [walk](std::uint64_t filesListed) { return Walk::OnProgress(walk, filesListed); });
        thread_ = std::thread(&FormEvents::RunWalk, walk, generator_);
        walk_ = std::move(walk);
        return;
    } catch (const std::system_error&) {
        // No thread could be started: the system's limit on threads or
        // processes is reached.
        error = NoThreadError();
    } catch (const std::bad_alloc&) {
        error = OutOfMemoryError();
    }
    Ended(&*error, nullptr);
}

// On the walk's thread, which holds the generator and the walk as long as it
// runs, whatever happened to the window meanwhile.
void FormEvents::RunWalk(const std::shared_ptr<Walk>& walk,
                         const std::shared_ptr<ListGenerator>& generator) {
    try {
        walk->summary = generator->Command1_Click();
    } catch (const Error& error) {
        walk->error = error;
    }
    walk->Post([walk] { walk->events->Finish(walk); });
    const std::lock_guard<std::mutex> lock(walk->endMutex);
    walk->ended = true;
    walk->endChanged.notify_all();
}

void FormEvents::ShowProgress(const std::shared_ptr<Walk>& walk, std::uint64_t filesListed) {
    if (walk == walk_) {
        feedback_.SetCaption(ProgressCaption(filesListed));
        feedback_.SetCommandText(ListedText(filesListed));
    }
}

void FormEvents::Finish(const std::shared_ptr<Walk>& walk) {
    if (walk != walk_) {
        return;  // abandoned by Unload
    }
    thread_.join();
    walk_.reset();
    Ended(walk->error ? &*walk->error : nullptr, walk->summary ? &*walk->summary : nullptr);
}

// The boxes come after the wait cursor is gone: they wait for the user.
void FormEvents::Ended(const Error* error, const ClickSummary* summary) {
    feedback_.SetBusy(false);
    if (error != nullptr) {
        feedback_.SetCaption(Caption());
        feedback_.SetCommandText(Command1Text());
        feedback_.ShowError(ErrorReport(*error, sourceFolder_));
        return;
    }
    feedback_.SetCommandText(GeneratedText(summary->LinesWritten()));
    feedback_.SetOutcome(OutcomeText(*summary));
    if (summary->HasProblems()) {
        feedback_.SetCaption(Caption());
        feedback_.ShowWarning(ProblemReport(*summary));
    } else {
        feedback_.SetCaption(OutcomeCaption(*summary));
    }
}

// The walk stops at its next folder and its list is thrown away. True when
// it ended by the deadline; else its thread is left to end by itself, or
// with the process.
bool FormEvents::LetGoOfWalk(std::chrono::steady_clock::time_point deadline) {
    const std::shared_ptr<Walk> walk = std::move(walk_);
    walk->abandoned = true;
    // Not had only while the walk's thread is handing over a task, which
    // it then does for the last time.
    if (LockBy(walk->feedbackMutex, deadline)) {
        walk->feedback = nullptr;
        walk->feedbackMutex.unlock();
    }
    bool ended;
    {
        std::unique_lock<std::mutex> lock(walk->endMutex);
        ended = walk->endChanged.wait_until(lock, deadline, [&] { return walk->ended; });
    }
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    return ended;
}

bool FormEvents::Unload() {
    if (generator_ == nullptr) {
        return true;
    }
    const std::shared_ptr<ListGenerator> generator = std::move(generator_);
    if (walk_ != nullptr) {
        const bool ended = LetGoOfWalk(std::chrono::steady_clock::now() + kCloseWait);
        feedback_.SetCaption(Caption());
        if (!ended) {
            // The walk's thread may still write its temporary files: the
            // lock stays with it, so that no other program takes the folder
            // before it is done.
            return true;
        }
    }
    try {
        generator->Form_Unload();
        return true;
    } catch (const Error& error) {
        feedback_.ShowError(ErrorReport(error, sourceFolder_));
        return false;
    }
}
