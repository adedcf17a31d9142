#pragma once

// The strip's ABM commands: reading an animation file into the strip with
// the reader's messages, and saving the strip as one.

#include "FrameStrip.h"
#include "codecs/abm/AbmCodec.h"
#include "ImportBudget.h"
#include "base/ByteStream.h"
#include "UserPrompts.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace abm {

// Checks the header and size of the file `file` reads from its start;
// `file` is left just past the header, at frame 0.
AbmHeaderCheck readAbmHeader(ByteStream& file);
// The reader's message for a verdict other than Accepted.
std::string abmVerdictMessage(AbmVerdict verdict, const std::string& fileName);
// Shows it in an error box with the single button Cancel.
void showReaderMessage(UserPrompts& prompts, AbmVerdict verdict, const std::string& fileName);

// Opens an ABM file and checks its header as the reader does, then hands an
// accepted file, standing at frame 0, to `frames`. Every failure but
// MemoryLimitExceeded ends in the reader's message through `prompts`.
void readAbmFrames(const InputFile& input, UserPrompts& prompts,
                   const std::function<void(ByteStream& file, const AbmHeader& header)>& frames);

// The ABM file of the strip's first frames (encodeAbm).
std::vector<uint8_t> abmFileBytes(const FrameStrip& strip);

// Appends the frames of an ABM file (those the strip may take under
// `frameCap`), reading one frame at a time, or shows one of the reader's two
// error messages. Only MemoryLimitExceeded leaves it: frames that would not
// fit the memory budget are refused before the first is read.
void readAbmFile(FrameStrip& strip, UserPrompts& prompts, const InputFile& input, int frameCap = kNoFrameCap);

}  // namespace abm
