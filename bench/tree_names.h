#pragma once

#include <cstdint>
#include <string>

// A fixed-seed source of numbers, so that a tree is the same on every machine
// and in every run.
class SeededRandom {
  public:
    explicit SeededRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next();

    // Uniform in [0, bound).
    std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }

  private:
    std::uint64_t state_;
};

// A file or folder name of 8 to 20 characters, in UTF-8: mostly ASCII, a few
// with a space inside, some with Chinese characters.
std::string RandomName(SeededRandom& random);
