#include "EnglishText.h"

#include <variant>

namespace abm {

namespace {

struct Entry {
    std::variant<ErrorKind, Finding> what;
    const char* text;
};

// The kinds an abmtool run cannot meet (settings, file association) are
// here too, so that every kind has a text.
const Entry kEnglish[] = {
    {ErrorKind::InvalidBitmap, "damaged BMP (the bitmap data is not valid)"},
    {ErrorKind::InvalidPixelFormat, "unsupported pixel format (not one of 1, 4, 8, 16, 24 or 32 bits)"},
    {ErrorKind::GifInvalidSignature, "not a GIF (no GIF87a or GIF89a signature)"},
    {ErrorKind::GifPrematureEnd, "cut short (the GIF data ends early)"},
    {ErrorKind::GifUnknownExtension, "damaged GIF (unknown extension type)"},
    {ErrorKind::GifInvalidIntroducer, "damaged GIF (invalid extension introducer)"},
    {ErrorKind::GifBadAppBlockSize, "damaged GIF (unsupported application extension block size)"},
    {ErrorKind::GifCircularEntry, "damaged GIF (circular LZW table entry)"},
    {ErrorKind::GifNoColorTable, "damaged GIF (no global or local colour table)"},
    {ErrorKind::GifBadCodeSize, "damaged GIF (invalid LZW minimum code size)"},
    {ErrorKind::GifImageTooLarge, "GIF image too large (over the decoder's pixel limit)"},
    {ErrorKind::PictureTooLarge, "too large: {count} pixels, the limit is {countLimit}"},
    {ErrorKind::Jpeg, "damaged JPEG (libjpeg error {number})"},
    {ErrorKind::JpegTooManyScans, "too many scans: {count}, more than the decoding work limit allows"},
    {ErrorKind::FileOpen, "cannot open ({reason})"},
    {ErrorKind::FileCreate, "cannot write ({reason})"},
    {ErrorKind::StreamRead, "cannot read (read error)"},
    {ErrorKind::StreamWrite, "cannot write (write error)"},
    {ErrorKind::InputTooLarge, "too large: {size}, the file size limit is {limit}"},
    {ErrorKind::MemoryLimit, "too large: needs {needed}, the memory limit is {limit} (raise --memory-limit)"},
    {ErrorKind::ScanLineOutOfRange, "cannot draw the picture (scan line index out of range)"},
    {ErrorKind::NotAnInteger, "'{name}' is not a number"},
    {ErrorKind::ListIndexOutOfBounds, "no image in it"},
    {ErrorKind::IntOverflow, "too large (arithmetic overflow)"},
    {ErrorKind::RangeCheck, "too large (a size is out of range)"},
    {ErrorKind::OutOfMemory, "out of memory"},
    {ErrorKind::SettingsWrite, "cannot write the settings ({name})"},
    {ErrorKind::AssociationCreate, "cannot register the file type ({name})"},
    {ErrorKind::AssociationSetData, "cannot register the file type ({name})"},
    {ErrorKind::Png, "cannot make the PNG ({name})"},
    {Finding::FrameTooLarge, "frame {frame} is {size}, larger than {phone}; use --size or the default stretching"},
    {Finding::FrameWithoutPixels, "frame {frame} is {size}, without pixels (use a --size of at least 1x1)"},
    {Finding::FramesOfOtherSizes,
     "frame {frame} is {size}, frame 1 is {first}; the frames of an ABM file share one size "
     "(leave out --crop or --keep-size)"},
    {Finding::AbmBadFormat, "not an ABM animation (its header does not match its size)"},
    {Finding::AbmCannotOpen, "cannot read the ABM animation (an empty or too wide frame, or sizes that overflow)"},
    {Finding::UnsupportedFormat, "skipped, {format} is not supported (convert it to BMP, JPEG or GIF)"},
    {Finding::NotAPicture, "skipped, not a picture (no BMP, JPEG, GIF or ABM content)"},
    {Finding::EmptyFile, "skipped, empty file (0 bytes)"},
    {Finding::CutShort, "cut short (the {format} data ends early)"},
    {Finding::CutShortImported, "cut short (the {format} data ends early; imported what there is)"},
    {Finding::Damaged, "damaged {format} (the decoder refused it)"},
    {Finding::UnsupportedDepth, "{bits} bits per pixel is not supported (convert it to 24 bits)"},
    {Finding::Skipped, "skipped, {reason}"},
    {Finding::SizeTooLarge, "frames of {size} are too large (over {limit} pixels a frame; use a smaller --size)"},
    {Finding::NoFrames, "no frames to write (no input gave a picture)"},
    {Finding::InputsLeftOut,
     "{count} after the fourth frame left out: {names} (an ABM file holds four; use bmp for all)"},
    {Finding::OneFrameToStandardOutput,
     "takes one BMP file, the inputs gave {count} frames (name a file: the frames are numbered after it)"},
    {Finding::NotAbmName, "the name does not end in .abm (written as named all the same)"},
    {Finding::SameOutput, "not written (another input also makes {file}; rename one)"},
    {Finding::OverwritesInput, "the output would overwrite an input"},
    {Finding::Verbose, "{read} read ({size}), {written} written as {frame}"},
    {Finding::Summary, "{written} written, {failed} failed"},
};

template <class Key>
const char* lookUp(Key key)
{
    for (const Entry& e : kEnglish)
        if (const Key* k = std::get_if<Key>(&e.what); k && *k == key)
            return e.text;
    return "unknown error";
}

}  // namespace

const char* englishText(ErrorKind kind)
{
    return lookUp(kind);
}

const char* englishText(Finding finding)
{
    return lookUp(finding);
}

std::string findingText(Finding finding, Fields fields)
{
    std::string text = englishText(finding);
    for (const auto& [name, value] : fields) {
        const std::string placeholder = std::string("{") + name + "}";
        for (size_t at = text.find(placeholder); at != std::string::npos;
             at = text.find(placeholder, at + value.size()))
            text.replace(at, placeholder.size(), value);
    }
    return text;
}

}  // namespace abm
