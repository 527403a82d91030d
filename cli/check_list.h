#pragma once

#include "native_text.h"

// obeygen-cli --check [LIST]: reads any list (LIST/ROFS.obey when LIST is a
// folder, as DIR is otherwise) as the image builder of this platform does
// (obey_reader.h, builder_names.h) and reports, on standard error, one line
// for each thing that would stop the build, make it warn, or put a file or
// name in the image other than the line gives:
//   obeygen-cli: KIND: LIST:LINE: DETAIL
// KIND one of miscut, too-few-words, attribute, unknown-keyword, bad-size,
// builder-name, missing, duplicate, no-header, no-file. Writes nothing.
// Returns the exit status: 0 the builder takes the list without a warning
// and every host file opens as a regular file, 3 not, 1 the list cannot be
// read.
int CheckList(NativeView list);
