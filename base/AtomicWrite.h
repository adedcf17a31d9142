#pragma once

// The one way this program saves a file: the bytes go to a temporary file
// beside the target, which is then renamed over it, so a failure or a crash
// never leaves the target half-written and never destroys the old one.
//
// - A name that stands for a FIFO or a character device (/dev/null,
//   /dev/stdout on a pipe or a terminal) is written into, as cp does; a
//   folder, a block device or a socket is refused and left as it is.
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

// Raises FileError FileCreate (the name given, the errno, or kBlockDevice,
// kSocket); no temporary file is left then. `durable` also flushes the data
// to the disk before the rename.
void writeFileAtomically(const std::string& fileName, const void* data, size_t size, bool durable = true);

// What a save of `fileName` would fail with before it writes anything (a
// missing or write-protected folder, a write-protected file, a folder or a
// disk as the target): the number a FileError FileCreate would carry, 0 when
// none. For checking an output before the work that makes its bytes.
int saveProblem(const std::string& fileName);

// Called once at the start of each program. A file size limit (ulimit -f)
// makes a write fail with "File too large" instead of killing the process
// (SIGXFSZ ignored); every other signal whose default action ends the
// process (SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGUSR1, the timers'
// and the real-time ones, …) first removes the temporary file of a save in
// progress and then ends it as the signal asks. A signal the process was
// started to ignore stays ignored.
void installSaveSignalHandlers();

}  // namespace abm
