#pragma once

#include <string>
#include <string_view>

#include "native_text.h"

// Names the image builder reads as another name or file: the list must not
// carry them, since the image would get another file's bytes, an empty file
// or another name, and no warning says so. Which names these are depends on
// the platform the builder runs on, the same as this program's:
//   - Linux: a "\" in a host path is read as "/", so a name holding one is
//     read as two; a name that is not valid UTF-8 goes into the image as an
//     empty name.
//   - Windows: a name ending in "." or a space is opened as the name
//     without them ("a." opens "a"); a device's name (CON, PRN, AUX, NUL,
//     COM1-COM9, LPT1-LPT9, any case, alone or with an extension: "aux.c")
//     opens the device.
//   - Both: version braces before the extension of the whole path are
//     rewritten (RewriteVersion, obey_reader.h). They concern files alone:
//     a folder's braces are rewritten only in the paths of files beneath it
//     whose last "." is the folder's ("v{2.1}.d/x", not "v{2.1}.d/x.txt"),
//     so the folder is entered and each file judged on its own path. On
//     Windows a rewrite that only puts hex digits in lower case opens the
//     same file.

// Whether the builder reads a file or folder of this name (one step of a
// path, no separator) as another, whatever path it is in. Called on any
// thread.
bool NameReadAsOther(NativeView name);

// Whether it reads path, a full host path whose last step is a name that
// NameReadAsOther passed, as another file: its version braces. Then sets
// readAs to the path it opens.
bool FilePathReadAsOther(NativeView path, NativeString& readAs);

// What the builder reads instead of path, whose last step NameReadAsOther
// holds: the path it opens, or empty when it opens path itself but puts an
// empty name into the image.
NativeString PathAsRead(NativeView path);

// Whether it reads a whole path of a folder to list (every step) as
// another, so that no line of it would name its file.
bool SourcePathReadAsOther(NativeView path);

// The same for a list's lines, in the list's bytes (--check). HostPathAsRead
// is the host path the builder opens; ImageNameReadAsOther tells whether an
// image path goes into the image under another name than it says, and then
// sets readAs to that name (empty: an empty name).
std::string HostPathAsRead(std::string_view host);
bool OpensSameFile(std::string_view host, std::string_view opened);
bool ImageNameReadAsOther(std::string_view image, std::string& readAs);

// Each platform's rules, on either platform, so that both are tested
// everywhere. The Windows ones take the list's bytes or a name's UTF-16: they
// turn on ASCII alone.
bool LinuxNameReadAsOther(std::string_view name);
// Strict UTF-8: no overlong form, no surrogate, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view text);
template <typename Char>
bool WindowsNameReadAsOther(std::basic_string_view<Char> name);
// Each step of path as Windows opens it: the dots and spaces that end a
// step dropped; a path with a device's name for a step is that device,
// \\.\NAME.
template <typename Char>
std::basic_string<Char> WindowsPathAsRead(std::basic_string_view<Char> path);
