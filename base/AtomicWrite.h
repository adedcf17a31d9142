#pragma once

// The one way this program saves a file: the bytes go to a temporary file
// beside the target, which is then renamed over it, so a failure or a crash
// never leaves the target half-written and never destroys the old one.
//
// - A symbolic link stays a link: the file it finally points to is
//   replaced, with the temporary file in that file's folder.
// - An existing file keeps its permission bits, and its owner and group as
//   far as the user may set them. A new file is created as a plain open
//   creates one (0666 less the umask).
// - A file a plain open could not write (write-protected, another user's,
//   on a read-only mount) is refused with the system's reason and left as
//   it was. Root may write any file, so root replaces it.
// - Other hard links to the old file keep the old content: the rename gives
//   the name a new file.

#include <cstddef>
#include <string>

namespace abm {

// Raises FileError FileCreate (the name given, the errno); no temporary file is left then. `durable` also flushes
// the data to the disk before the rename.
void writeFileAtomically(const std::string& fileName, const void* data, size_t size, bool durable = true);

// Called once at the start of each program. A file size limit (ulimit -f)
// makes a write fail with "File too large" instead of killing the process
// (SIGXFSZ ignored); SIGINT and SIGTERM remove the temporary file of a save
// in progress and then end the process as the signal asks. A signal the
// process was started to ignore stays ignored.
void installSaveSignalHandlers();

}  // namespace abm
