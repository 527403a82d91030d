#pragma once

#include <windows.h>

// Scaling by the DPI of the monitor a window is on. The per-monitor calls
// exist from Windows 10 on; earlier systems get the system DPI, which is
// what they scale every window by anyway.

UINT WindowDpi(HWND window);

// The frame size that gives a window of this style the client size.
SIZE FrameSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);

// The system's message font at the DPI; the caller deletes it.
HFONT CreateMessageFont(UINT dpi);

int SystemMetricForDpi(int index, UINT dpi);
