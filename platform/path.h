// Path operations on program strings.
#pragma once

#include <string>
#include <string_view>

namespace platform {

/// The longest path the program's path buffers hold, in UTF-16 code units,
/// not counting a terminator.
constexpr size_t kMaxPathLength = 259;

/// `directory` joined with `component` by one "/" (none is added when the
/// directory is empty or already ends in "/").
std::u16string PathAppend(std::u16string_view directory, std::u16string_view component);

/// Whether anything exists at `path` (a link counts when its target exists).
bool PathExists(std::u16string_view path);

}  // namespace platform
