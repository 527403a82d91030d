#pragma once

#include <cstdint>

// How many times the global operator new has run in this process so far.
std::uint64_t AllocationCount();
