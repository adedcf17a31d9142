#pragma once

// What a file holds, told by its first bytes rather than by its name, so
// that "holiday.jpeg", "IMG_0001.JPG", a GIF renamed ".bmp" and a name
// without an extension all import. A signature counts exactly when its
// reader takes it: "GIF" in any case and of any version at offset 0 or 4,
// the JPEG start-of-image marker, "BM". Both programs choose the importer
// here; the window falls back on the extension where the content says
// nothing (an ABM file, an empty file).

#include "ImageImport.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace abm {

struct SniffedFile {
    PictureType type = PictureType::None;
    // For a picture abmtool cannot import: the format's name ("PNG"), or
    // empty when the content is no picture format it knows.
    std::string otherFormat;
    int64_t size = 0;
    // A BMP whose pixels would run past the end of the file, a JPEG without
    // its end marker, a GIF without its trailer: the decoders make what
    // they can of such a file, and abmtool says so.
    bool cutShort = false;
    // A BMP's bits per pixel when no reader takes them (48, 64), else 0.
    int unsupportedDepth = 0;
    // The file itself, whatever name it was reached by.
    uint64_t device = 0, inode = 0;
};

// `head` holds the file's first bytes (up to AbmHeader::kSize). An ABM file
// has no signature: it is known by its extension or by a header the reader
// accepts.
SniffedFile sniffPicture(const uint8_t* head, size_t length, int64_t fileSize, const std::string& fileName);

// Opens and sniffs the file; FileError FileOpen when it cannot be read, or
// when it is no file at all but says it is (a /proc file of size 0 that
// holds text).
SniffedFile sniffPictureFile(const std::string& fileName);
// A file as sniffPictureFile does, bytes read before (standard input) from
// those bytes; the device and inode are then left 0.
SniffedFile sniffInput(const InputFile& input);

}  // namespace abm
