#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "click_summary.h"

// At most this many paths are listed, so that the box fits on the screen
// whatever the tree holds; the rest are only counted.
inline constexpr std::size_t kReportedProblemPaths = 20;

// The warning shown after a click whose walk met problems: in Chinese,
// grouped by kind, each group with its full count and its paths. UTF-8.
// Empty when the click had no problems.
std::string ProblemReport(const ClickSummary& summary);

// Text made fit for a message box: invalid UTF-8 becomes U+FFFD, which
// toolkits would otherwise refuse, and line breaks and other control
// characters are shown as escapes so that one entry stays on one line, as
// are characters beyond the Basic Multilingual Plane, which the system fonts
// mostly cannot draw.
std::string ReportableText(std::string_view utf8);
