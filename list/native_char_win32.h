#pragma once

// Windows paths are UTF-16; the list is converted to the ANSI code page only
// when a line is written.
using NativeChar = wchar_t;

inline constexpr NativeChar kSeparator = L'\\';
inline constexpr const NativeChar* kSourceFolderSuffix = L"\\ROFS\\";
inline constexpr const NativeChar* kListFileSuffix = L"\\ROFS.obey";
inline constexpr const NativeChar* kBackupFileSuffix = L"\\ROFS_bak.obey";
