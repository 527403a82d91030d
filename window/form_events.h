#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "error.h"
#include "list_generator.h"
#include "native_text.h"

// What a platform's window does with the outcome of an event.
class FormFeedback {
  public:
    virtual ~FormFeedback() = default;

    // A modal box with the error icon, titled with the form's caption. UTF-8.
    virtual void ShowError(const std::string& text) = 0;

    // A modal box with the warning icon, titled with the form's caption. UTF-8.
    virtual void ShowWarning(const std::string& text) = 0;

    // While a walk runs: the wait cursor, and Command1 disabled, so that
    // neither the mouse nor Enter or Space starts a second one.
    virtual void SetBusy(bool busy) = 0;

    // The window's caption. UTF-8.
    virtual void SetCaption(const std::string& caption) = 0;

    // The text on Command1, which also tells how a walk is getting on and
    // how the last click ended. UTF-8.
    virtual void SetCommandText(const std::string& text) = 0;

    // Label1's text: what the last click did (OutcomeText), or, when empty,
    // the form's own text, which says where the folders go. UTF-8.
    virtual void SetOutcome(const std::string& text) = 0;

    // Runs the task on the window's thread once the events before it have
    // been handled. Called from any thread; tasks run in the order posted.
    // Never waits: a close may be waiting for it.
    virtual void Post(std::function<void()> task) = 0;
};

// "已列出 N 项": Command1 while a walk runs.
std::string ListedText(std::uint64_t filesListed);

// "已生成 N 项": Command1 after a click that wrote its list.
std::string GeneratedText(std::uint64_t filesListed);

// "Obey文件生成工具 - 已列出 N 个文件" while a walk runs.
std::string ProgressCaption(std::uint64_t filesListed);

// "Obey文件生成工具 - 已生成 N 个文件" after a click without problems.
std::string DoneCaption(std::uint64_t filesListed);

// What a click that wrote its list did, for Label1: the files listed and
// the change from the earlier list, "已生成 N 个文件 (+12 −3)"; what the
// patterns of ROFS.exclude left out, when there are any; and on a line of
// its own the patterns that left out nothing, so that a mistyped one shows.
std::string OutcomeText(const ClickSummary& summary);

// The caption after a click without problems: DoneCaption and the rest of
// the outcome, on one line, for the taskbar.
std::string OutcomeCaption(const ClickSummary& summary);

// The three handled events of the window, wired to the list generation, with
// the reports the user sees. Every error stops here: the window decides
// from the result whether the program goes on. All but the walk itself run
// on the window's thread; the walk runs on a thread of its own, so that the
// window repaints and takes a close request while it runs.
class FormEvents {
  public:
    FormEvents(NativeString programDirectory, FormFeedback& feedback);
    ~FormEvents();

    // Before the window is shown. False when the list could not be opened:
    // the error has been reported, and the window must not be shown.
    bool Load();

    // A press of Command1: starts a walk, unless one runs already. When it
    // ends, an error is reported and the list stays open with what it held,
    // so that the user can mend the cause and press again; problems of the
    // walk are reported as a warning. A walk that cannot be started is an
    // error of the click too.
    void Click();

    // The window is going away. A walk that runs is abandoned, the list
    // keeping what it held before the press; a walk that has not stopped
    // within kCloseWait (a listing on a drive that no longer answers) is
    // left to end with the process, keeping the lock of the list's folder
    // until then. False when closing the list failed, which has then been
    // reported. Only the first call closes anything (the list is let go of
    // even when its closing fails), so that the several ways a window can
    // end do not report twice.
    bool Unload();

    static constexpr std::chrono::milliseconds kCloseWait{100};

  private:
    struct Walk;

    static void RunWalk(const std::shared_ptr<Walk>& walk,
                        const std::shared_ptr<ListGenerator>& generator);
    void ShowProgress(const std::shared_ptr<Walk>& walk, std::uint64_t filesListed);
    void Finish(const std::shared_ptr<Walk>& walk);
    void Ended(const Error* error, const ClickSummary* summary);
    bool LetGoOfWalk(std::chrono::steady_clock::time_point deadline);

    // Shared with the walk's thread, which may outlive this object.
    std::shared_ptr<ListGenerator> generator_;
    FormFeedback& feedback_;
    NativeString sourceFolder_;
    std::shared_ptr<Walk> walk_;
    std::thread thread_;
};
