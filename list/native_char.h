#pragma once

// The text and handles of the host. Windows paths are UTF-16, converted to
// the ANSI code page only when a line is written; POSIX paths are the bytes
// the kernel gives, and the list carries them unchanged. The files beside the
// program are each its directory's path and one of the suffixes; the
// temporary files and the lock are the program's own, beside the list.
#ifdef _WIN32
using NativeChar = wchar_t;
using NativeHandle = void*;
inline constexpr NativeChar kSeparator = L'\\';
inline constexpr const NativeChar* kSourceFolderSuffix = L"\\ROFS\\";
inline constexpr const NativeChar* kListFileSuffix = L"\\ROFS.obey";
inline constexpr const NativeChar* kTemporarySuffix = L".tmp";
inline constexpr const NativeChar* kLockSuffix = L".lock";
inline constexpr const NativeChar* kSeparators = L"\\/";
#else
using NativeChar = char;
using NativeHandle = int;
inline constexpr NativeChar kSeparator = '/';
inline constexpr const NativeChar* kSourceFolderSuffix = "/ROFS/";
inline constexpr const NativeChar* kListFileSuffix = "/ROFS.obey";
inline constexpr const NativeChar* kTemporarySuffix = ".tmp";
inline constexpr const NativeChar* kSeparators = "/";
#endif
