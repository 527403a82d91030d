#include "error.h"

#include <utility>

Error::Error(long number, std::string description)
    : std::runtime_error(std::to_string(number) + ": " + description),
      number_(number),
      description_(std::move(description)) {}
