#include "exclusions.h"

// A name is its bytes: "a" and "A" are two files.
bool SameNameCharacter(NativeChar a, NativeChar b) {
    return a == b;
}
