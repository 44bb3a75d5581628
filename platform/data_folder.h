// The machine-wide application-data folder.
#pragma once

#include <string>

namespace platform {

/// The folder that holds data shared by every user of this installation: the
/// data directory of the install prefix, fixed when the program is built
/// (for example /usr/local/share). Applications keep their own subfolder in it.
std::u16string GetCommonAppDataFolder();

}  // namespace platform
