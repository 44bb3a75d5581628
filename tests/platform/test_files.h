// Test support: a fresh temporary directory per test, small file helpers and a
// scoped file size limit, written directly against POSIX, independent of the
// platform layer under test.
#pragma once

#include <dirent.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kesto_test {

/// An ASCII native path as a program string.
inline std::u16string Widen(std::string_view ascii) {
  return {ascii.begin(), ascii.end()};
}

/// A directory made with mkdtemp, removed with everything in it on destruction.
class CTempDirectory {
 public:
  CTempDirectory() {
    std::string pattern = "/tmp/kesto_test_XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("mkdtemp failed");
    }
    Root = pattern;
  }
  CTempDirectory(const CTempDirectory&) = delete;
  CTempDirectory& operator=(const CTempDirectory&) = delete;

  ~CTempDirectory() {
    // Directories a test made read-only are opened up first, then everything
    // goes depth first, without following links.
    ::nftw(
        Root.c_str(),
        [](const char* path, const struct stat*, int type, FTW*) {
          if (type == FTW_D) {
            ::chmod(path, 0700);
          }
          return 0;
        },
        16, FTW_PHYS);
    ::nftw(
        Root.c_str(),
        [](const char* path, const struct stat*, int type, FTW*) {
          if (type == FTW_DP) {
            ::rmdir(path);
          } else {
            ::unlink(path);
          }
          return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
  }

  const std::string& Path() const { return Root; }
  std::string Join(std::string_view name) const { return Root + "/" + std::string(name); }
  std::u16string Join16(std::string_view name) const { return Widen(Join(name)); }

 private:
  std::string Root;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    throw std::runtime_error("cannot write " + path);
  }
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + path);
  }
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// The names in a directory (without "." and ".."), in no particular order.
inline std::vector<std::string> NamesIn(const std::string& directory) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) {
    return names;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  ::closedir(dir);
  return names;
}

/// While it lives, writes beyond `bytes` bytes of a file fail with EFBIG
/// (SIGXFSZ is ignored instead of ending the process). Restores both after.
class CFileSizeLimit {
 public:
  explicit CFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &Saved);
    SavedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = Saved;
    limit.rlim_cur = bytes;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      throw std::runtime_error("setrlimit failed");
    }
  }
  CFileSizeLimit(const CFileSizeLimit&) = delete;
  CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;
  ~CFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &Saved);
    std::signal(SIGXFSZ, SavedHandler);
  }

 private:
  rlimit Saved{};
  void (*SavedHandler)(int) = nullptr;
};

/// Ends the process if the test is still running after `seconds`: a call that
/// blocks (opening a FIFO, reading a device) fails the test instead of
/// hanging it.
class CWatchdog {
 public:
  explicit CWatchdog(unsigned seconds) { ::alarm(seconds); }
  CWatchdog(const CWatchdog&) = delete;
  CWatchdog& operator=(const CWatchdog&) = delete;
  ~CWatchdog() { ::alarm(0); }
};

}  // namespace kesto_test
