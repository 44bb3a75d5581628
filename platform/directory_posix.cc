#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "platform/native_string.h"

namespace platform {
namespace {

struct NativeEntry {
  std::string Name;
  bool IsDirectory;
  bool IsLink;
};

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

bool ListDirectory(std::u16string_view directory, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  const std::string native = directory.empty() ? std::string(".") : ToNativeString(directory);
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(native.c_str()));
  if (!dir) {
    return false;
  }
  std::vector<NativeEntry> found;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    struct stat info {};
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // vanished while listing
    }
    found.push_back({name, S_ISDIR(info.st_mode), S_ISLNK(info.st_mode)});
  }
  std::sort(found.begin(), found.end(),
            [](const NativeEntry& a, const NativeEntry& b) { return a.Name < b.Name; });
  entries.reserve(found.size());
  for (const NativeEntry& entry : found) {
    entries.push_back({FromNativeString(entry.Name), entry.IsDirectory, entry.IsLink});
  }
  return true;
}

}  // namespace platform
