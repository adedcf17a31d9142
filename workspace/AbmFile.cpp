#include "AbmFile.h"

#include "base/PathNames.h"
#include "base/AtomicWrite.h"
#include "base/Error.h"

#include <algorithm>

namespace abm {

namespace {

constexpr int kMaxFrameWidth = 128;
constexpr int kMaxFrameHeight = 97;

}  // namespace

std::vector<uint8_t> abmFileBytes(const FrameStrip& strip)
{
    std::vector<const Raster*> frames;
    for (int i = 0; i < std::min(strip.count(), kMaxAbmFrames); ++i)
        frames.push_back(&strip.thumbnail(i).picture);
    return encodeAbm(frames);
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
    const std::vector<uint8_t> bytes = abmFileBytes(strip);
    // Built whole in memory, then written beside the target and renamed over
    // it: a failed write never destroys an existing animation.
    writeFileAtomically(replaceExtension(*chosen, ".abm"), bytes.data(), bytes.size());
    settings.writeSetting("SavePath", folderPart(*chosen));
}

}  // namespace abm
