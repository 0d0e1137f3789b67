// Mapping the game's backslash-separated relative paths onto this host's
// file system. Games copied from a case-insensitive file system often differ
// in letter case from the names they ask for, so a component that is missing
// under its exact name is looked up case-insensitively in its folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// Joins two path pieces with exactly one separator between them; an empty
// piece leaves the other as it is.
std::string JoinPath(std::string_view first, std::string_view second);

// Starts at the root ("/..."); environment values that are not are ignored.
bool IsAbsolutePath(std::string_view path);

// The folder part of a path: everything before its last separator ("/" for a
// file in the root, "" when there is no separator).
std::string ParentFolder(std::string_view path);

// A game path as messages show it: "\\" separators become "/".
std::string ShownPath(std::string_view gamePath);

// ASCII-only case-insensitive equality: A to Z match a to z, every other byte
// must be equal.
bool EqualsNoCase(std::string_view a, std::string_view b);
// text with A to Z made a to z: two texts are EqualsNoCase when these are equal.
std::string LowerAscii(std::string_view text);

// base joined with relative, where relative may use "\" or "/" separators.
// Each component of relative that does not exist under its exact name is
// replaced by a case-insensitive match from its folder when there is one
// (the exact name is kept otherwise, so opening it fails as expected).
// Gives nothing when relative is absolute or has "." or ".." components:
// a relative game path never climbs out of its base.
std::optional<std::string> ResolveUnder(std::string_view base, std::string_view relative);

}  // namespace tarnwick
