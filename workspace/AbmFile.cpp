#include "AbmFile.h"

#include "base/Error.h"

#include <algorithm>

namespace abm {

std::vector<uint8_t> abmFileBytes(const FrameStrip& strip)
{
    std::vector<const Raster*> frames;
    for (int i = 0; i < std::min(strip.count(), kMaxAbmFrames); ++i)
        frames.push_back(&strip.frame(i).picture);
    return encodeAbm(frames);
}

AbmHeaderCheck readAbmHeader(ByteStream& file)
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

void showReaderMessage(UserPrompts& prompts, AbmVerdict verdict, const std::string& fileName)
{
    prompts.showMessage(abmVerdictMessage(verdict, prompts.nameInText(fileName)), MessageKind::error,
                        {MessageButton::cancel});
}

void readAbmFrames(const InputFile& input, UserPrompts& prompts,
                   const std::function<void(ByteStream& file, const AbmHeader& header)>& frames)
{
    AbmVerdict verdict = AbmVerdict::Accepted;
    try {
        const std::unique_ptr<ByteStream> file = input.open();
        const AbmHeaderCheck check = readAbmHeader(*file);
        verdict = check.verdict;
        if (verdict == AbmVerdict::Accepted)
            frames(*file, check.header);
    } catch (const MemoryLimitExceeded&) {
        throw;
    } catch (const std::exception&) {
        verdict = AbmVerdict::CannotOpen;
    }
    if (verdict != AbmVerdict::Accepted)
        showReaderMessage(prompts, verdict, input.name());
}

void readAbmFile(FrameStrip& strip, UserPrompts& prompts, const InputFile& input, int frameCap)
{
    readAbmFrames(input, prompts, [&strip, frameCap](ByteStream& file, const AbmHeader& h) {
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
            strip.append(abmFrameRaster(h, buffer.data()));
        }
    });
}

}  // namespace abm
