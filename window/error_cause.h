#pragma once

// The causes of an error that a user can mend, each with its advice in the
// error box; the rest have none.
enum class ErrorCause { kOther, kNotFound, kBusy, kAccessDenied, kDiskFull };

// The cause of the platform's error number.
ErrorCause CauseOf(long number);
