#include "platform/path.h"

#include <sys/stat.h>

#include "platform/native_string.h"

namespace platform {

std::u16string PathAppend(std::u16string_view directory, std::u16string_view component) {
  std::u16string joined(directory);
  if (!joined.empty() && joined.back() != u'/') {
    joined.push_back(u'/');
  }
  joined.append(component);
  return joined;
}

bool PathExists(std::u16string_view path) {
  struct stat info {};
  return ::stat(ToNativeString(path).c_str(), &info) == 0;
}

}  // namespace platform
