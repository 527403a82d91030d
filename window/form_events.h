#pragma once

#include <string>

#include "list_generator.h"
#include "native_text.h"

// What a platform's window does with the outcome of an event.
class FormFeedback {
  public:
    virtual ~FormFeedback() = default;

    // A modal box with the error icon, titled with the caption. UTF-8.
    virtual void ShowError(const std::string& text) = 0;

    // A modal box with the warning icon, titled with the caption. UTF-8.
    virtual void ShowWarning(const std::string& text) = 0;

    // The wait cursor, on while a walk runs.
    virtual void SetBusy(bool busy) = 0;
};

// The three handled events of the window, wired to the list generation, with
// the reports the user sees. Every error stops here: the window decides
// from the result whether the program goes on.
class FormEvents {
  public:
    FormEvents(NativeString programDirectory, FormFeedback& feedback);

    // Before the window is shown. False when the list could not be opened:
    // the error has been reported, and the window must not be shown.
    bool Load();

    // A press of Command1. An error is reported and the list stays open with
    // everything written so far, so that the user can mend the cause and
    // press again; problems of the walk are reported as a warning.
    void Click();

    // The window is going away. False when closing the list failed, which
    // has then been reported. Only the first call closes anything (the list
    // is let go of even when its closing fails), so that the several ways a
    // window can end do not report twice.
    bool Unload();

  private:
    ListGenerator generator_;
    FormFeedback& feedback_;
};
