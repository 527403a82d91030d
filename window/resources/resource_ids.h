#pragma once

// The icon with the lowest number is the one Explorer shows for the file.
#define IDI_PROGRAM 1
