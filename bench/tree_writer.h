#pragma once

#include <string>

#include "tree_shape.h"

// Creates the tree in the folder source, which must not exist yet, and writes
// to expected the list that a walk of it must produce: the two header lines,
// then each folder's files before its subfolders, each sorted by bytes, with
// source as the root path. Throws std::runtime_error on any failure.
void WriteTree(const TreeModel& tree, const std::string& source, const std::string& expected);
