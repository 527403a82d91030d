#pragma once

#include "native_text.h"

// obeygen-cli --check [LIST]: reads any list (LIST/ROFS.obey when LIST is a
// folder, as DIR is otherwise) as the image builder does and
// reports, on standard error, one line for each thing that would stop the
// build or put a file in the wrong place:
//   obeygen-cli: KIND: LIST:LINE: DETAIL
// KIND one of miscut, missing, duplicate, no-header, no-file. Writes
// nothing. Returns the exit status: 0 the builder takes the list, 3 it
// would not, 1 the list cannot be read.
int CheckList(NativeView list);
