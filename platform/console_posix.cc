#include "platform/console.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/native_string.h"

namespace platform {

void WriteStandardOutput(std::u16string_view text) {
  const std::string bytes = ToNativeString(text);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;  // nowhere left to report a failing standard output
    }
    done += static_cast<size_t>(written);
  }
}

void SetConsoleInputToUtf16() {}

}  // namespace platform
