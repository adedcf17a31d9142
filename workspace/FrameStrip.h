#pragma once

// The animation being edited: an ordered strip of thumbnails, each with its
// 16-bit frame raster, paired with the untouched source bitmap it was made
// from. Every change of the set or order ends in RebuildStrip, which makes
// all thumbnails anew from the sources, so tags always equal positions.

#include "FrameOptions.h"
#include "UserPrompts.h"
#include "codecs/raster/Raster.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace abm {

// One thumbnail: an image control in stripView.
struct Thumbnail {
    int tag = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool visible = false;
    bool hasPopupMenu = false;       // PopupMenu = popupMenu
    bool dragModeAutomatic = false;  // with OnDragOver / OnEndDrag wired
    Raster picture;                  // the frame, 16 bits per pixel once normalised
};

class FrameStrip {
public:
    static constexpr int kInitialStripHeight = 110;
    // Space between two thumbnails, and below the first one's height for the
    // strip's scroll bar.
    static constexpr int kThumbnailGap = 3;
    static constexpr int kStripMargin = 20;

    FrameStrip(FrameOptions& options, UserPrompts& prompts);
    ~FrameStrip();
    FrameStrip(const FrameStrip&) = delete;
    FrameStrip& operator=(const FrameStrip&) = delete;

    FrameOptions& options() const { return options_; }
    UserPrompts& prompts() const { return prompts_; }

    // stripView's children, in strip order.
    int count() const { return static_cast<int>(thumbnails_.size()); }
    Thumbnail& thumbnail(int index) const { return *thumbnails_.at(static_cast<size_t>(index)); }
    const std::vector<std::unique_ptr<Raster>>& sourceBitmaps() const { return sources_; }
    Thumbnail* popupTarget() const { return popupTarget_; }
    const std::string& frameCountText() const { return frameCountText_; }
    int stripHeight() const { return stripHeight_; }
    void setStripHeight(int height);  // the splitter
    bool canExportBmp() const { return saveBmpEnabled_; }
    bool canSaveAbm() const { return saveToFileEnabled_; }
    bool canClear() const { return clearEnabled_; }
    bool contains(const Thumbnail* control) const;
    // Bumped by every change, so a view knows when to rebuild itself.
    uint64_t generation() const { return generation_; }

    Thumbnail& createFrameThumbnail();
    // Adopts the picture the caller put into t's raster. On failure the
    // source bitmap it took is released again, so that removing t restores
    // one source per thumbnail.
    void normalizeFrame(Thumbnail& t);
    void appendFrame(const Raster& picture);
    // Takes a thumbnail out of the strip and destroys it (a caller whose
    // filling of the raster failed).
    void removeThumbnail(Thumbnail& t);
    // Removes the frames from `position` to the end, thumbnails and sources
    // (an import that failed half-way takes back what it added).
    void removeFramesFrom(int position);

    void removeAllFrames();
    // All or nothing: if a frame fails to normalise, the strip keeps exactly
    // the frames it had and the error travels on to be shown.
    void rebuildStrip();
    void showFrameCount();
    void fitStripHeight();
    void updateCommandStates();
    // A save refuses frames without pixels (an empty BMP file imports as a
    // 0 × 0 frame, the options may ask for width or height 0): no reader
    // takes a file of them. Shows the warning and answers false when one of
    // the first `first` frames has none.
    bool framesHavePixels(int first) const;

    void clearStrip();
    void deleteFrame();
    // `control` is what the pop-up menu opened on; only a thumbnail counts.
    void setPopupTarget(Thumbnail* control);
    bool acceptsDrag(const Thumbnail* sender, const Thumbnail* source) const;
    // `target` is nullptr when the drag ended where nothing accepts it.
    void moveFrame(Thumbnail* sender, Thumbnail* target);
    void releaseSources();

private:
    void destroyThumbnail(size_t index);
    void destroyAllThumbnails();
    std::vector<const Raster*> sourceOrder() const;
    // Makes every thumbnail anew from these source bitmaps of the strip,
    // in this order (RebuildStrip's rule); the reordering and deleting
    // commands change the order first.
    void rebuildFrom(const std::vector<const Raster*>& order);
    void changed() { ++generation_; }

    FrameOptions& options_;
    UserPrompts& prompts_;
    std::vector<std::unique_ptr<Thumbnail>> thumbnails_;
    // The thumbnails alive, for a constant-time Contains on a huge strip.
    std::unordered_set<const Thumbnail*> live_;
    std::vector<std::unique_ptr<Raster>> sources_;
    Thumbnail* popupTarget_ = nullptr;
    std::string frameCountText_;
    int stripHeight_ = kInitialStripHeight;
    bool saveBmpEnabled_ = false;
    bool saveToFileEnabled_ = false;
    bool clearEnabled_ = false;
    uint64_t generation_ = 0;
};

}  // namespace abm
