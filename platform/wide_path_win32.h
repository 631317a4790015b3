// Reaching any path exactly as written, whatever its length or names.
//
// The narrow (ANSI) calls stop at MAX_PATH and rewrite some names on the way:
// a trailing dot or blank is dropped, and a reserved device name such as CON
// or nul.txt means the device, not the file. The wide calls, given the path
// with the \\?\ prefix, take a full path literally and have no such limit.
#pragma once

#include <string>

// Text in the active code page (UTF-8 when the manifest is honoured) and back.
std::wstring WidenPath(const std::string& path);
std::string NarrowName(const std::wstring& name);

// UTF-8 and UTF-16, whatever the code page: Windows' own names and texts.
std::string Utf8FromWide(const wchar_t* text, size_t length);
std::wstring WideFromUtf8(const std::string& text);

// True when the narrow calls would not reach `path` as written: it does not
// fit MAX_PATH, one of its names ends in a dot or a blank or is a reserved
// device name, or it is a \\?\ or \\.\ path spelled with forward slashes.
bool NeedsLiteralPath(const std::string& path);

// The \\?\ spelling (\\?\UNC\server\share\... for a share) of `path`, with
// "." and ".." resolved and empty names dropped, as the narrow calls would,
// and every other name kept as it is. `base` is what a path that is not
// absolute starts from: the current folder of its drive for "X:name", the
// root of the current drive for "\name", the current folder otherwise.
// A path that already starts with \\?\ or \\.\ (or //?/, //./) comes back as
// it is, but with backslashes for its forward slashes, which Windows would
// otherwise take for part of a name. An empty result means the path could
// not be made absolute.
std::wstring LiteralPathFrom(const std::wstring& path, const std::wstring& base);

// LiteralPathFrom against the process's current folders.
std::wstring LiteralPath(const std::string& path);
