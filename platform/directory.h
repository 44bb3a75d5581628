// Directory listing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct DirectoryEntry {
  std::u16string Name;       ///< The entry's name, without any directory part.
  bool IsDirectory = false;  ///< A directory (never set for a link to one).
  bool IsLink = false;       ///< A symbolic link, whatever it points to.
};

/// Lists the entries of `directory`, without "." and "..", sorted by the bytes
/// of their native names so that every file system gives the same order.
/// An empty `directory` names the current directory. Returns false, with
/// `entries` empty, when the directory cannot be read.
bool ListDirectory(std::u16string_view directory, std::vector<DirectoryEntry>& entries);

}  // namespace platform
