#include "platform/file.h"

#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/native_string.h"

namespace platform {
namespace {

/// The directory part of a native path, for syncing a rename ("." for a bare name).
std::string DirectoryOf(const std::string& path) {
  std::vector<char> copy(path.begin(), path.end());
  copy.push_back('\0');
  return dirname(copy.data());
}

bool WriteAll(int descriptor, const unsigned char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(descriptor, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

CInputFile::~CInputFile() { Close(); }

bool CInputFile::Open(std::u16string_view path, Links links) {
  Close();
  int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  if (links == Links::Refuse) {
    flags |= O_NOFOLLOW;
  }
  const std::string native = ToNativeString(path);
  const int descriptor = ::open(native.c_str(), flags);
  if (descriptor < 0) {
    return false;
  }
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    return false;
  }
  Descriptor = descriptor;
  return true;
}

uint64_t CInputFile::Size() const {
  struct stat info {};
  if (Descriptor < 0 || ::fstat(Descriptor, &info) != 0) {
    return 0;
  }
  return static_cast<uint64_t>(info.st_size);
}

bool CInputFile::Read(void* buffer, size_t size, size_t& bytesRead) {
  bytesRead = 0;
  if (Descriptor < 0) {
    return false;
  }
  auto* out = static_cast<unsigned char*>(buffer);
  while (bytesRead < size) {
    const ssize_t got = ::read(Descriptor, out + bytesRead, size - bytesRead);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    if (got == 0) {
      break;
    }
    bytesRead += static_cast<size_t>(got);
  }
  return true;
}

void CInputFile::Close() {
  if (Descriptor >= 0) {
    ::close(Descriptor);
    Descriptor = -1;
  }
}

CAtomicFileWriter::~CAtomicFileWriter() { Discard(); }

bool CAtomicFileWriter::Create(std::u16string_view path) {
  Discard();
  TargetPath = ToNativeString(path);
  Failed = false;
  const std::string directory = DirectoryOf(TargetPath);
  std::vector<char> copy(TargetPath.begin(), TargetPath.end());
  copy.push_back('\0');
  // At most 100 bytes of the target's name, so that the temporary name fits
  // the file system's name limit (255 bytes) even for the longest target name.
  const std::string base = std::string(basename(copy.data())).substr(0, 100);
  // A hidden name with a suffix of its own, so that an interrupted write never
  // leaves a file that looks like the target.
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = directory + "/." + base + "." + std::to_string(::getpid()) +
                                  "-" + std::to_string(attempt) + ".tmp";
    const int descriptor =
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor >= 0) {
      Descriptor = descriptor;
      TemporaryPath = candidate;
      return true;
    }
    if (errno != EEXIST) {
      return false;
    }
  }
  return false;
}

bool CAtomicFileWriter::Write(const void* data, size_t size) {
  if (Descriptor < 0 || Failed) {
    return false;
  }
  if (!WriteAll(Descriptor, static_cast<const unsigned char*>(data), size)) {
    Failed = true;
  }
  return !Failed;
}

bool CAtomicFileWriter::Commit() {
  if (Descriptor < 0) {
    return false;
  }
  bool ok = !Failed && ::fsync(Descriptor) == 0;
  ok = (::close(Descriptor) == 0) && ok;
  Descriptor = -1;
  if (ok && ::rename(TemporaryPath.c_str(), TargetPath.c_str()) == 0) {
    TemporaryPath.clear();
    // Make the rename itself durable; the new content is already in place.
    const int directory = ::open(DirectoryOf(TargetPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
      ::fsync(directory);
      ::close(directory);
    }
    return true;
  }
  Discard();
  return false;
}

void CAtomicFileWriter::Discard() {
  if (Descriptor >= 0) {
    ::close(Descriptor);
    Descriptor = -1;
  }
  if (!TemporaryPath.empty()) {
    ::unlink(TemporaryPath.c_str());
    TemporaryPath.clear();
  }
}

}  // namespace platform
