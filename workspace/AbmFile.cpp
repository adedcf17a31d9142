#include "AbmFile.h"

#include "PathNames.h"
#include "codecs/raster/AtomicWrite.h"
#include "codecs/raster/Errors.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace abm {

namespace {

constexpr char kCreator[] = "Created by PLIX";
constexpr int kMaxAbmFrames = 4;
constexpr int kMaxFrameWidth = 128;
constexpr int kMaxFrameHeight = 97;
constexpr int kMaxCopiedRow = 16384;

int32_t CheckedMul(int32_t a, int32_t b)
{
    int32_t r;
    if (__builtin_mul_overflow(a, b, &r))
        throw EIntOverflow();
    return r;
}

int32_t CheckedAdd(int32_t a, int32_t b)
{
    int32_t r;
    if (__builtin_add_overflow(a, b, &r))
        throw EIntOverflow();
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
        throw ERangeError();
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

void ReadAbmFile(FrameStrip& strip, const std::string& fileName)
{
    enum class Outcome { Done, BadFormat, CannotOpen } outcome = Outcome::Done;
    try {
        TMemoryStream stream;
        stream.LoadFromFile(fileName);
        const std::vector<uint8_t>& bytes = stream.Bytes();
        const TAbmHeader h = TAbmHeader::Decode(bytes.data(), bytes.size());
        const int64_t fileSize = stream.Size();
        const int32_t frameBytes = CheckedMul(CheckedMul(h.FrameCount, 2), h.FrameWidth);
        if (fileSize != CheckedAdd(h.DataSize, static_cast<int32_t>(TAbmHeader::kSize)) || h.BitCount != 16 ||
            CheckedMul(frameBytes, h.FrameHeight) != h.DataSize) {
            outcome = Outcome::BadFormat;
        } else {
            const int64_t pixels = int64_t{h.FrameWidth} * h.FrameHeight;
            if (pixels * 2 > std::numeric_limits<int32_t>::max())
                throw EIntOverflow();
            size_t at = TAbmHeader::kSize;
            for (int f = 0; f < h.FrameCount; ++f) {
                // An empty frame buffer cannot be filled.
                if (pixels == 0)
                    throw ERangeError();
                const uint8_t* buffer = bytes.data() + at;
                at += static_cast<size_t>(pixels) * 2;
                TImage& t = strip.CreateFrameThumbnail();
                try {
                    t.Picture.SetPixelFormat(pf16bit);
                    t.Picture.SetWidth(h.FrameWidth);
                    t.Picture.SetHeight(h.FrameHeight);
                    if (h.FrameWidth > kMaxCopiedRow)
                        throw ERangeError();
                    for (int y = 0; y < h.FrameHeight; ++y)
                        std::memcpy(t.Picture.ScanLine(y), buffer + static_cast<size_t>(y) * h.FrameWidth * 2,
                                    static_cast<size_t>(h.FrameWidth) * 2);
                    strip.NormalizeFrame(t);
                } catch (...) {
                    strip.RemoveThumbnail(t);
                    throw;
                }
            }
        }
    } catch (const std::exception&) {
        outcome = Outcome::CannotOpen;
    }
    if (outcome == Outcome::BadFormat)
        strip.Prompts().MessageDlg("Неверный формат файла: " + fileName, TMsgDlgType::mtError, {TMsgDlgBtn::mbCancel});
    else if (outcome == Outcome::CannotOpen)
        strip.Prompts().MessageDlg("Невозможно откыть файл: " + fileName, TMsgDlgType::mtError, {TMsgDlgBtn::mbCancel});
}

void SaveToFileAExecute(FrameStrip& strip, ISettingsStore& settings)
{
    if (strip.Count() == 0)
        return;
    const int n = std::min(strip.Count(), kMaxAbmFrames);
    if (!strip.FramesHavePixels(n))
        return;
    for (int i = 0; i < n; ++i) {
        const TImage& t = strip.Thumbnail(i);
        if (t.Width > kMaxFrameWidth || t.Height > kMaxFrameHeight) {
            strip.Prompts().MessageDlg("Сохранение невозможно. \r\nСлишком большой размер картинок !!!",
                                       TMsgDlgType::mtWarning, {TMsgDlgBtn::mbCancel});
            return;
        }
    }
    TFileDialogRequest request;
    request.Filter = "*.abm|*.abm|Все файлы (*.*)|*.*";
    request.InitialDir = settings.ReadSetting("SavePath", "");
    const std::optional<std::string> chosen = strip.Prompts().SaveDialog(request);
    if (!chosen)
        return;
    TMemoryStream stream;
    WriteAbmStream(strip, stream);
    stream.SetPosition(0);
    // Built whole in memory, then written beside the target and renamed over
    // it: a failed write never destroys an existing animation.
    WriteFileAtomically(ChangeFileExt(*chosen, ".abm"), stream.Bytes().data(), stream.Bytes().size());
    settings.WriteSetting("SavePath", ExtractFilePath(*chosen));
}

}  // namespace abm
