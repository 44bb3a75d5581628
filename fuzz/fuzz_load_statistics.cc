// Fuzz target: LoadStatistics on arbitrary file bytes. The bytes are written
// to a file, since the reader takes a path; the reader must neither crash nor
// allocate by any count in the file, and may keep only sequence keys.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/native_string.h"
#include "stats/stat_file.h"

namespace {

std::string ScratchPath() {
  const char* directory = std::getenv("TMPDIR");
  return std::string(directory != nullptr ? directory : "/tmp") + "/kesto-fuzz-" +
         std::to_string(::getpid()) + ".dat";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchPath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::abort();
  }
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  CStatistics model;
  const bool loaded = LoadStatistics(model, platform::FromNativeString(path));
  const bool hasMagic = size >= 4 && data[0] == 'S' && data[1] == 'T' && data[2] == 'A' &&
                        data[3] == 'T';
  if (loaded != hasMagic) {
    std::abort();  // a readable regular file loads exactly when it has the magic
  }
  for (int n = 0; n < kTableCount; ++n) {
    uint32_t count = 0;
    const auto entries = model.Tables[n].GetEntries(count);
    for (uint32_t i = 0; i < count; ++i) {
      if (!IsSequenceKeyOf(n, entries[i].Key)) {
        std::abort();
      }
    }
    if (!loaded && count != 0) {
      std::abort();
    }
  }
  return 0;
}
