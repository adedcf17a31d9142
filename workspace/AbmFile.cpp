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

int32_t CheckedMul(int32_t a, int32_t b)
{
    int32_t r;
    if (__builtin_mul_overflow(a, b, &r))
        throw Error(ErrorKind::IntOverflow);
    return r;
}

uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int BitCountOf(TPixelFormat format)
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

TAbmHeader TAbmHeader::Decode(const uint8_t* data, size_t size)
{
    uint8_t b[kSize] = {};
    if (size > 0)
        std::memcpy(b, data, std::min(size, kSize));
    TAbmHeader h;
    h.FrameWidth = static_cast<uint16_t>(b[0] | (b[1] << 8));
    h.FrameHeight = static_cast<uint16_t>(b[2] | (b[3] << 8));
    h.BitCount = b[4];
    h.Reserved1 = b[5];
    h.FrameCount = b[6];
    h.Reserved2 = b[7];
    h.Reserved3 = Le32(b + 8);
    h.DataSize = static_cast<int32_t>(Le32(b + 12));
    h.Reserved4 = Le32(b + 16);
    std::memcpy(h.CreatorText.data(), b + 20, kCreatorTextSize);
    return h;
}

std::array<uint8_t, TAbmHeader::kSize> TAbmHeader::Encode() const
{
    std::array<uint8_t, kSize> b{};
    b[0] = static_cast<uint8_t>(FrameWidth);
    b[1] = static_cast<uint8_t>(FrameWidth >> 8);
    b[2] = static_cast<uint8_t>(FrameHeight);
    b[3] = static_cast<uint8_t>(FrameHeight >> 8);
    b[4] = BitCount;
    b[5] = Reserved1;
    b[6] = FrameCount;
    b[7] = Reserved2;
    Put32(b.data() + 8, Reserved3);
    Put32(b.data() + 12, static_cast<uint32_t>(DataSize));
    Put32(b.data() + 16, Reserved4);
    std::memcpy(b.data() + 20, CreatorText.data(), kCreatorTextSize);
    return b;
}

void WriteAbmStream(const FrameStrip& strip, TMemoryStream& stream)
{
    stream.SetSize(0);
    stream.SetPosition(0);
    if (strip.Count() == 0)
        return;
    const TBitmap& first = strip.Thumbnail(0).Picture;
    if (first.Width() > 0xFFFF || first.Height() > 0xFFFF)
        throw Error(ErrorKind::RangeCheck);
    const int bitCount = BitCountOf(first.PixelFormat());
    if (bitCount == 0)
        return;

    TAbmHeader h;
    h.FrameWidth = static_cast<uint16_t>(first.Width());
    h.FrameHeight = static_cast<uint16_t>(first.Height());
    h.BitCount = static_cast<uint8_t>(bitCount);
    h.FrameCount = static_cast<uint8_t>(std::min(strip.Count(), kMaxAbmFrames));
    h.DataSize = CheckedMul(CheckedMul(CheckedMul(h.FrameWidth, h.FrameHeight), bitCount / 8), h.FrameCount);
    std::memcpy(h.CreatorText.data(), kCreator, sizeof kCreator - 1);

    std::vector<uint8_t>& out = stream.Bytes();
    out.reserve(TAbmHeader::kSize + static_cast<size_t>(h.DataSize));
    const auto header = h.Encode();
    stream.Write(header.data(), header.size());

    const size_t rowBytes = static_cast<size_t>(h.FrameWidth) * (bitCount / 8);
    for (int f = 0; f < h.FrameCount; ++f) {
        const TBitmap& frame = strip.Thumbnail(f).Picture;
        // A narrower frame contributes white for the columns it lacks; its
        // row is never read past its end.
        const size_t have = std::min(rowBytes, static_cast<size_t>(frame.Width()) * (frame.BitsPerPixel() / 8));
        for (int y = 0; y < h.FrameHeight; ++y) {
            const uint8_t* row = frame.ScanLine(y);
            const size_t at = out.size();
            out.resize(at + rowBytes, 0xFF);
            std::memcpy(out.data() + at, row, have);
        }
    }
    stream.SetPosition(static_cast<int64_t>(out.size()));
}

TAbmHeaderCheck CheckAbmHeader(const uint8_t* bytes, size_t size, int64_t fileSize)
{
    TAbmHeaderCheck check{TAbmHeader::Decode(bytes, size), TAbmVerdict::Accepted};
    const TAbmHeader& h = check.header;
    const auto verdict = [&check](TAbmVerdict v) {
        check.verdict = v;
        return check;
    };
    int32_t fileBytes = 0, dataBytes = 0;
    if (__builtin_add_overflow(h.DataSize, static_cast<int32_t>(TAbmHeader::kSize), &fileBytes))
        return verdict(TAbmVerdict::CannotOpen);
    if (fileSize != fileBytes || h.BitCount != 16)
        return verdict(TAbmVerdict::BadFormat);
    if (__builtin_mul_overflow(h.FrameCount * 2 * h.FrameWidth, int32_t{h.FrameHeight}, &dataBytes))
        return verdict(TAbmVerdict::CannotOpen);
    if (dataBytes != h.DataSize)
        return verdict(TAbmVerdict::BadFormat);
    // What the frames need: a frame buffer within the 32-bit range, a frame
    // of pixels to fill, rows short enough to copy, and a raster the cap allows.
    const int64_t pixels = int64_t{h.FrameWidth} * h.FrameHeight;
    if (pixels * 2 > std::numeric_limits<int32_t>::max())
        return verdict(TAbmVerdict::CannotOpen);
    if (h.FrameCount > 0 && (pixels == 0 || h.FrameWidth > kMaxCopiedRow || pixels > RasterPixelLimit()))
        return verdict(TAbmVerdict::CannotOpen);
    return check;
}

TAbmHeaderCheck ReadAbmHeader(TFileStream& file)
{
    uint8_t bytes[TAbmHeader::kSize];
    const size_t got = file.Read(bytes, sizeof bytes);
    return CheckAbmHeader(bytes, got, file.Size());
}

std::string AbmVerdictMessage(TAbmVerdict verdict, const std::string& fileName)
{
    if (verdict == TAbmVerdict::BadFormat)
        return "Неверный формат файла: " + fileName;
    return "Невозможно откыть файл: " + fileName;
}

int64_t AbmFrameBytes(const TAbmHeader& header)
{
    return int64_t{header.FrameWidth} * header.FrameHeight * 2;
}

TBitmap AbmFrameRaster(const TAbmHeader& header, const uint8_t* frameBytes)
{
    TBitmap raster;
    raster.Create(header.FrameWidth, header.FrameHeight, TPixelLayout::ForFormat(pf16bit));
    const size_t rowBytes = static_cast<size_t>(header.FrameWidth) * 2;
    for (int y = 0; y < header.FrameHeight; ++y)
        std::memcpy(raster.ScanLine(y), frameBytes + static_cast<size_t>(y) * rowBytes, rowBytes);
    return raster;
}

void ReadAbmFrames(const std::string& fileName, IUserPrompts& prompts,
                   const std::function<void(TFileStream& file, const TAbmHeader& header)>& frames)
{
    TAbmVerdict verdict = TAbmVerdict::Accepted;
    try {
        TFileStream file(fileName, TFileStream::Mode::OpenRead);
        const TAbmHeaderCheck check = ReadAbmHeader(file);
        verdict = check.verdict;
        if (verdict == TAbmVerdict::Accepted)
            frames(file, check.header);
    } catch (const MemoryLimitExceeded&) {
        throw;
    } catch (const std::exception&) {
        verdict = TAbmVerdict::CannotOpen;
    }
    if (verdict != TAbmVerdict::Accepted)
        prompts.showMessage(AbmVerdictMessage(verdict, fileName), TMsgDlgType::mtError, {TMsgDlgBtn::mbCancel});
}

void ReadAbmFile(FrameStrip& strip, const std::string& fileName, int frameCap)
{
    ReadAbmFrames(fileName, strip.Prompts(), [&strip, frameCap](TFileStream& file, const TAbmHeader& h) {
        const int frames = std::min<int>(h.FrameCount, FramesLeft(strip, frameCap));
        if (frames == 0)
            return;
        // One frame's bytes are held at a time; every frame keeps its source
        // and its 16-bit frame. All of it must fit before the first is read.
        const int64_t frameBytes = AbmFrameBytes(h);
        MemoryBudget::Require(frameBytes + frames * FrameBytes(strip, h.FrameWidth, h.FrameHeight, 16));
        TLoadedBytes buffer;
        buffer.reservation = MemoryReservation(frameBytes);
        buffer.bytes.resize(static_cast<size_t>(frameBytes));
        for (int f = 0; f < frames; ++f) {
            file.ReadBuffer(buffer.bytes.data(), buffer.size());
            strip.AppendFrame(AbmFrameRaster(h, buffer.data()));
        }
    });
}

void saveAbm(FrameStrip& strip, ISettingsStore& settings)
{
    if (strip.Count() == 0)
        return;
    const int n = std::min(strip.Count(), kMaxAbmFrames);
    if (!strip.FramesHavePixels(n))
        return;
    for (int i = 0; i < n; ++i) {
        const TImage& t = strip.Thumbnail(i);
        if (t.Width > kMaxFrameWidth || t.Height > kMaxFrameHeight) {
            strip.Prompts().showMessage("Сохранение невозможно. \r\nСлишком большой размер картинок !!!",
                                       TMsgDlgType::mtWarning, {TMsgDlgBtn::mbCancel});
            return;
        }
    }
    TFileDialogRequest request;
    request.Filter = "*.abm|*.abm|Все файлы (*.*)|*.*";
    request.InitialDir = settings.ReadSetting("SavePath", "");
    const std::optional<std::string> chosen = strip.Prompts().askSaveFile(request);
    if (!chosen)
        return;
    TMemoryStream stream;
    WriteAbmStream(strip, stream);
    stream.SetPosition(0);
    // Built whole in memory, then written beside the target and renamed over
    // it: a failed write never destroys an existing animation.
    WriteFileAtomically(replaceExtension(*chosen, ".abm"), stream.Bytes().data(), stream.Bytes().size());
    settings.WriteSetting("SavePath", folderPart(*chosen));
}

}  // namespace abm
