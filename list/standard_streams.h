#pragma once

// Which standard streams the program found closed at its start.
struct ClosedStreams {
    bool input = false;
    bool output = false;
    bool error = false;
};

// The first call of every program. A stream started closed (as cron or a
// service manager may start a program) is opened on the null device, so that
// no file the program opens later takes its place and receives what is
// written to it; and a write to a pipe whose reader has gone fails with an
// error instead of ending the program, so that a run is finished whoever
// stops reading its messages.
ClosedStreams PrepareStandardStreams();
