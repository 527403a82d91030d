#pragma once

#include <stdexcept>
#include <string>

#include "native_text.h"

// The one failure type of the program: the platform's own error number (errno
// on POSIX, GetLastError on Windows) with the platform's description of it, in
// UTF-8, and the path of the file or folder it concerns where there is one.
class Error : public std::runtime_error {
  public:
    Error(long number, std::string description);

    long Number() const { return number_; }
    const std::string& Description() const { return description_; }
    const NativeString& Path() const { return path_; }

    // Names the file or folder the error concerns.
    Error& At(NativeView path) {
        path_ = NativeString(path);
        return *this;
    }

  private:
    long number_;
    std::string description_;
    NativeString path_;
};

// Descriptions in English from now on where the system has them, as build
// logs expect, rather than in the user's language (the command line).
void PreferEnglishDescriptions();

// Descriptions in Chinese from now on, the window's language, whatever the
// user's locale: on POSIX the common errors in the Windows build's words; on
// Windows where the system has Chinese texts. So that a box's words, its
// advice included, stay in one language.
void PreferChineseDescriptions();

// The error the last failed platform call left behind.
Error LastError();

// The error for a given platform number, described by the platform.
Error ErrorFromNumber(long number);

// The platform's "invalid argument" error.
Error InvalidArgumentError();

// The platform's error for a folder that is not there ("path not found").
Error MissingFolderError();

// The platform's "not enough memory" error.
Error OutOfMemoryError();

// The platform's "busy" error: another program holds the list's lock.
Error BusyError();

// The error of a path that no list can carry: it holds a double quote, CR or
// LF, or a name the image builder reads as another (builder_names.h). The
// platform's "invalid name" error where it has one.
Error UnlistablePathError();

// The platform's error for a thread that could not be started.
Error NoThreadError();

// The platform's "operation cancelled" error: a click abandoned on request.
Error CancelledError();
