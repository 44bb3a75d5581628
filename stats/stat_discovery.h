// Finding the statistics files of a directory.
#pragma once

#include <string_view>

#include "core/array.h"
#include "core/lock.h"

/// A list of heap-allocated, NUL-terminated paths (new char16_t[]). The list
/// never frees them: whoever consumes the list deletes each string.
using CPathList = CArray<char16_t*, CLock, int>;

/// The paths of the statistics files in `directory`: regular files whose name
/// ends in ".dat" (ASCII letters in any case) and whose first four bytes are
/// "STAT", in byte order of their names. Directories, symbolic links, FIFOs,
/// devices and unreadable files are skipped, and so is every path longer than
/// the program's path limit. A directory that cannot be listed gives an empty
/// list.
CPathList FindStatisticsFiles(std::u16string_view directory);
