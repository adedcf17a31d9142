#include "AbmFile.h"

#include "base/PathNames.h"
#include "base/AtomicWrite.h"
#include "base/Error.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace abm {

namespace {

constexpr char kCreator[] = "Created by PLIX";
constexpr int kMaxFrameWidth = 128;
constexpr int kMaxFrameHeight = 97;
constexpr int kMaxCopiedRow = 16384;

int32_t checkedMul(int32_t a, int32_t b)
{
    int32_t r;
    if (__builtin_mul_overflow(a, b, &r))
        throw Error(ErrorKind::IntOverflow);
    return r;
}

uint32_t le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int bitCountOf(PixelFormat format)
{
    switch (format) {
    case pf8bit: return 8;
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
    }
}

}  // namespace

AbmHeader AbmHeader::decode(const uint8_t* data, size_t size)
{
    uint8_t b[kSize] = {};
    if (size > 0)
        std::memcpy(b, data, std::min(size, kSize));
    AbmHeader h;
    h.frameWidth = static_cast<uint16_t>(b[0] | (b[1] << 8));
    h.frameHeight = static_cast<uint16_t>(b[2] | (b[3] << 8));
    h.bitCount = b[4];
    h.reserved1 = b[5];
    h.frameCount = b[6];
    h.reserved2 = b[7];
    h.reserved3 = le32(b + 8);
    h.dataSize = static_cast<int32_t>(le32(b + 12));
    h.reserved4 = le32(b + 16);
    std::memcpy(h.creatorText.data(), b + 20, kCreatorTextSize);
    return h;
}

std::array<uint8_t, AbmHeader::kSize> AbmHeader::encode() const
{
    std::array<uint8_t, kSize> b{};
    b[0] = static_cast<uint8_t>(frameWidth);
    b[1] = static_cast<uint8_t>(frameWidth >> 8);
    b[2] = static_cast<uint8_t>(frameHeight);
    b[3] = static_cast<uint8_t>(frameHeight >> 8);
    b[4] = bitCount;
    b[5] = reserved1;
    b[6] = frameCount;
    b[7] = reserved2;
    put32(b.data() + 8, reserved3);
    put32(b.data() + 12, static_cast<uint32_t>(dataSize));
    put32(b.data() + 16, reserved4);
    std::memcpy(b.data() + 20, creatorText.data(), kCreatorTextSize);
    return b;
}

void writeAbmStream(const FrameStrip& strip, MemoryStream& stream)
{
    stream.setSize(0);
    stream.setPosition(0);
    if (strip.count() == 0)
        return;
    const Raster& first = strip.thumbnail(0).picture;
    if (first.width() > 0xFFFF || first.height() > 0xFFFF)
        throw Error(ErrorKind::RangeCheck);
    const int bitCount = bitCountOf(first.pixelFormat());
    if (bitCount == 0)
        return;

    AbmHeader h;
    h.frameWidth = static_cast<uint16_t>(first.width());
    h.frameHeight = static_cast<uint16_t>(first.height());
    h.bitCount = static_cast<uint8_t>(bitCount);
    h.frameCount = static_cast<uint8_t>(std::min(strip.count(), kMaxAbmFrames));
    h.dataSize = checkedMul(checkedMul(checkedMul(h.frameWidth, h.frameHeight), bitCount / 8), h.frameCount);
    std::memcpy(h.creatorText.data(), kCreator, sizeof kCreator - 1);

    std::vector<uint8_t>& out = stream.bytes();
    out.reserve(AbmHeader::kSize + static_cast<size_t>(h.dataSize));
    const auto header = h.encode();
    stream.write(header.data(), header.size());

    const size_t rowBytes = static_cast<size_t>(h.frameWidth) * (bitCount / 8);
    for (int f = 0; f < h.frameCount; ++f) {
        const Raster& frame = strip.thumbnail(f).picture;
        // A narrower frame contributes white for the columns it lacks; its
        // row is never read past its end.
        const size_t have = std::min(rowBytes, static_cast<size_t>(frame.width()) * (frame.bitsPerPixel() / 8));
        for (int y = 0; y < h.frameHeight; ++y) {
            const uint8_t* row = frame.scanLine(y);
            const size_t at = out.size();
            out.resize(at + rowBytes, 0xFF);
            std::memcpy(out.data() + at, row, have);
        }
    }
    stream.setPosition(static_cast<int64_t>(out.size()));
}

AbmHeaderCheck checkAbmHeader(const uint8_t* bytes, size_t size, int64_t fileSize)
{
    AbmHeaderCheck check{AbmHeader::decode(bytes, size), AbmVerdict::Accepted};
    const AbmHeader& h = check.header;
    const auto verdict = [&check](AbmVerdict v) {
        check.verdict = v;
        return check;
    };
    int32_t fileBytes = 0, dataBytes = 0;
    if (__builtin_add_overflow(h.dataSize, static_cast<int32_t>(AbmHeader::kSize), &fileBytes))
        return verdict(AbmVerdict::CannotOpen);
    if (fileSize != fileBytes || h.bitCount != 16)
        return verdict(AbmVerdict::BadFormat);
    if (__builtin_mul_overflow(h.frameCount * 2 * h.frameWidth, int32_t{h.frameHeight}, &dataBytes))
        return verdict(AbmVerdict::CannotOpen);
    if (dataBytes != h.dataSize)
        return verdict(AbmVerdict::BadFormat);
    // What the frames need: a frame buffer within the 32-bit range, a frame
    // of pixels to fill, rows short enough to copy, and a raster the cap allows.
    const int64_t pixels = int64_t{h.frameWidth} * h.frameHeight;
    if (pixels * 2 > std::numeric_limits<int32_t>::max())
        return verdict(AbmVerdict::CannotOpen);
    if (h.frameCount > 0 && (pixels == 0 || h.frameWidth > kMaxCopiedRow || pixels > rasterPixelLimit()))
        return verdict(AbmVerdict::CannotOpen);
    return check;
}

AbmHeaderCheck readAbmHeader(FileStream& file)
{
    uint8_t bytes[AbmHeader::kSize];
    const size_t got = file.read(bytes, sizeof bytes);
    return checkAbmHeader(bytes, got, file.size());
}

std::string abmVerdictMessage(AbmVerdict verdict, const std::string& fileName)
{
    if (verdict == AbmVerdict::BadFormat)
        return "Неверный формат файла: " + fileName;
    return "Невозможно откыть файл: " + fileName;
}

int64_t abmFrameBytes(const AbmHeader& header)
{
    return int64_t{header.frameWidth} * header.frameHeight * 2;
}

Raster abmFrameRaster(const AbmHeader& header, const uint8_t* frameBytes)
{
    Raster raster;
    raster.create(header.frameWidth, header.frameHeight, PixelLayout::forFormat(pf16bit));
    const size_t rowBytes = static_cast<size_t>(header.frameWidth) * 2;
    for (int y = 0; y < header.frameHeight; ++y)
        std::memcpy(raster.scanLine(y), frameBytes + static_cast<size_t>(y) * rowBytes, rowBytes);
    return raster;
}

void readAbmFrames(const std::string& fileName, UserPrompts& prompts,
                   const std::function<void(FileStream& file, const AbmHeader& header)>& frames)
{
    AbmVerdict verdict = AbmVerdict::Accepted;
    try {
        FileStream file(fileName, FileStream::Mode::OpenRead);
        const AbmHeaderCheck check = readAbmHeader(file);
        verdict = check.verdict;
        if (verdict == AbmVerdict::Accepted)
            frames(file, check.header);
    } catch (const MemoryLimitExceeded&) {
        throw;
    } catch (const std::exception&) {
        verdict = AbmVerdict::CannotOpen;
    }
    if (verdict != AbmVerdict::Accepted)
        prompts.showMessage(abmVerdictMessage(verdict, fileName), MessageKind::error, {MessageButton::cancel});
}

void readAbmFile(FrameStrip& strip, const std::string& fileName, int frameCap)
{
    readAbmFrames(fileName, strip.prompts(), [&strip, frameCap](FileStream& file, const AbmHeader& h) {
        const int frames = std::min<int>(h.frameCount, framesLeft(strip, frameCap));
        if (frames == 0)
            return;
        // One frame's bytes are held at a time; every frame keeps its source
        // and its 16-bit frame. All of it must fit before the first is read.
        const int64_t fileFrameBytes = abmFrameBytes(h);
        MemoryBudget::require(fileFrameBytes + frames * frameBytes(strip, h.frameWidth, h.frameHeight, 16));
        LoadedBytes buffer;
        buffer.reservation = MemoryReservation(fileFrameBytes);
        buffer.bytes.resize(static_cast<size_t>(fileFrameBytes));
        for (int f = 0; f < frames; ++f) {
            file.readBuffer(buffer.bytes.data(), buffer.size());
            strip.appendFrame(abmFrameRaster(h, buffer.data()));
        }
    });
}

void saveAbm(FrameStrip& strip, SettingsStore& settings)
{
    if (strip.count() == 0)
        return;
    const int n = std::min(strip.count(), kMaxAbmFrames);
    if (!strip.framesHavePixels(n))
        return;
    for (int i = 0; i < n; ++i) {
        const Thumbnail& t = strip.thumbnail(i);
        if (t.width > kMaxFrameWidth || t.height > kMaxFrameHeight) {
            strip.prompts().showMessage("Сохранение невозможно. \r\nСлишком большой размер картинок !!!",
                                       MessageKind::warning, {MessageButton::cancel});
            return;
        }
    }
    FileDialogRequest request;
    request.filter = "*.abm|*.abm|Все файлы (*.*)|*.*";
    request.initialDir = settings.readSetting("SavePath", "");
    const std::optional<std::string> chosen = strip.prompts().askSaveFile(request);
    if (!chosen)
        return;
    MemoryStream stream;
    writeAbmStream(strip, stream);
    stream.setPosition(0);
    // Built whole in memory, then written beside the target and renamed over
    // it: a failed write never destroys an existing animation.
    writeFileAtomically(replaceExtension(*chosen, ".abm"), stream.bytes().data(), stream.bytes().size());
    settings.writeSetting("SavePath", folderPart(*chosen));
}

}  // namespace abm
