#pragma once

// POSIX paths are the bytes the kernel gives; the list carries them unchanged.
using NativeChar = char;

inline constexpr NativeChar kSeparator = '/';
inline constexpr const NativeChar* kSourceFolderSuffix = "/ROFS/";
inline constexpr const NativeChar* kListFileSuffix = "/ROFS.obey";
inline constexpr const NativeChar* kBackupFileSuffix = "/ROFS_bak.obey";
