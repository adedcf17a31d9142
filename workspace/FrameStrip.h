#pragma once

// The animation being edited: an ordered list of frames, each the picture
// as it was imported and the 16-bit frame the options make of it. A change
// of the set or order renormalises every frame from its source, all or
// nothing, so a frame always matches the options it was last made under.

#include "FrameOptions.h"
#include "SourcePicture.h"
#include "codecs/raster/Raster.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace abm {

struct Frame {
    SourcePicture source;  // as imported
    Raster picture;        // 16 bits per pixel
    // The size the frame shows at: its picture's, or under auto-size the
    // first frame's source's (a smaller picture then shows in its corner).
    int width = 0;
    int height = 0;
};

// The strip at one moment: its frames and its options. Copies share the
// frames, and frames share their pixels, so keeping one costs nothing until
// the strip moves on.
struct StripState {
    std::shared_ptr<const std::vector<Frame>> frames;
    FrameOptions options;
};

class FrameStrip {
public:
    explicit FrameStrip(const FrameOptions& options = {}) : options_(options) {}
    FrameStrip(const FrameStrip&) = delete;
    FrameStrip& operator=(const FrameStrip&) = delete;

    // The options the next change makes frames under; the frames keep the
    // options they were made under until then.
    const FrameOptions& options() const { return options_; }
    void setOptions(const FrameOptions& options) { options_ = options; }

    int count() const { return static_cast<int>(frames_->size()); }
    bool empty() const { return frames_->empty(); }
    const Frame& frame(int index) const { return frames_->at(static_cast<size_t>(index)); }

    StripState state() const { return {frames_, options_}; }
    // The frames of `state` become the strip's, and its options too when
    // `withOptions` (an undo of a change of the options).
    void restore(const StripState& state, bool withOptions);
    // Bumped by every change, so a view knows when what it shows is gone.
    uint64_t generation() const { return generation_; }

    // Normalises `picture` into a new last frame; on failure the strip is
    // left as it was and the error travels on.
    void append(SourcePicture picture);
    // Both renormalise the frames in their new order, all or nothing.
    // `indexes` ascending; the strip keeps the others.
    void remove(const std::vector<int>& indexes);
    void move(int from, int to);
    void clear();
    // Drops the frames from `count` on (an import that failed half-way
    // takes back what it added).
    void truncate(int count);
    // Makes every frame anew from its source under the current options.
    // All or nothing: if one fails, the strip keeps exactly the frames it
    // had and the error travels on.
    void renormalize();

private:
    // The frame the options make of `source`, `first` being the first
    // frame's source (nullptr: this is the first).
    Frame normalize(SourcePicture source, const SourcePicture* first) const;
    // Replaces the frames with ones made from these sources, in this order.
    void rebuild(const std::vector<const SourcePicture*>& order);
    std::vector<const SourcePicture*> sources() const;
    void changed() { ++generation_; }
    // The frames to change in place: a copy first while a state shares them.
    std::vector<Frame>& editFrames();

    FrameOptions options_;
    std::shared_ptr<const std::vector<Frame>> frames_ = std::make_shared<std::vector<Frame>>();
    uint64_t generation_ = 0;
};

// The eighths of its size (8: full size) a JPEG of width × height need be
// decoded at for the frame the options make of it: fewer only when the
// frame is smoothed down from the whole picture at a fixed size.
int sourceEighths(const FrameOptions& options, int width, int height);

}  // namespace abm
