// Where a command may put a file the operator names (an export folder, a PDF): one
// check shared by every command that writes a file, made before anything is written.
#pragma once

#include <string>

#include "store/status.h"

namespace planilla {

// A folder that exists (links followed) and is not one of the system's own: the root
// folder, /run and /var themselves, and anything inside /bin, /boot, /dev, /etc, /lib
// (and its 32/64 variants), /proc, /sbin, /sys or /usr. The message names the folder.
[[nodiscard]] Status checkOutputFolder(const std::string& dir);

// A file name to create or replace: its folder passes checkOutputFolder, and the name
// is free or holds a regular file. A device node, a FIFO, a socket, a folder or a
// symbolic link at the name is refused, never replaced or written through.
[[nodiscard]] Status checkOutputFile(const std::string& path);

}  // namespace planilla
