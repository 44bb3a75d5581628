// Files: reading an existing regular file, and replacing a file atomically.
//
// Every path is a program string (UTF-16) and is converted to the native
// byte name losslessly (see native_string.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

/// A regular file opened for reading. Opening never blocks and refuses
/// everything that is not a regular file (directories, FIFOs, devices,
/// sockets), so reading it always ends. Other processes may read the file
/// at the same time. Not copyable; the file is closed on destruction.
class CInputFile {
 public:
  enum class Links { Follow, Refuse };

  CInputFile() = default;
  CInputFile(const CInputFile&) = delete;
  CInputFile& operator=(const CInputFile&) = delete;
  ~CInputFile();

  /// Opens `path`. With Links::Refuse a symbolic link is not followed and the
  /// open fails. Returns false when the file cannot be opened as a regular file.
  bool Open(std::u16string_view path, Links links = Links::Follow);

  /// The size of the open file in bytes, as it is now.
  uint64_t Size() const;

  /// Reads up to `size` bytes at the current position into `buffer`, going on
  /// after short reads until `size` bytes or the end of the file.
  /// Returns false on a read error; `bytesRead` then holds what was read before it.
  bool Read(void* buffer, size_t size, size_t& bytesRead);

  void Close();

 private:
  int Descriptor = -1;
};

/// Writes a new version of a file so that the old version stays whole until
/// the new one is complete: the content goes to a temporary file in the same
/// directory, which Commit renames over the target. A writer destroyed
/// without a successful Commit removes its temporary file and leaves the
/// target untouched. The temporary file's name never ends in the target's
/// extension. Not copyable.
class CAtomicFileWriter {
 public:
  CAtomicFileWriter() = default;
  CAtomicFileWriter(const CAtomicFileWriter&) = delete;
  CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;
  ~CAtomicFileWriter();

  /// Creates the temporary file for `path`. False when it cannot be created.
  bool Create(std::u16string_view path);

  /// Appends bytes. False when any byte could not be written; later writes
  /// and Commit then fail too.
  bool Write(const void* data, size_t size);

  /// Flushes the content to stable storage and puts it in place of the
  /// target. False, with the temporary file removed, when anything failed.
  bool Commit();

 private:
  void Discard();

  int Descriptor = -1;
  bool Failed = false;
  std::string TargetPath;
  std::string TemporaryPath;
};

}  // namespace platform
