#include <windows.h>

#include "exclusions.h"

// As the file systems compare names: by the system's own case table, with no
// language's rules.
bool SameNameCharacter(NativeChar a, NativeChar b) {
    return a == b || CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL;
}
