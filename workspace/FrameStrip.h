#pragma once

// The animation being edited: an ordered strip of thumbnails, each with its
// 16-bit frame raster, paired with the untouched source bitmap it was made
// from. Every change of the set or order ends in RebuildStrip, which makes
// all thumbnails anew from the sources, so tags always equal positions.

#include "FrameOptions.h"
#include "UserPrompts.h"
#include "codecs/raster/Bitmap.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace abm {

// One thumbnail: an image control in stripView.
struct TImage {
    int Tag = 0;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool Visible = false;
    bool HasPopupMenu = false;       // PopupMenu = popupMenu
    bool DragModeAutomatic = false;  // with OnDragOver / OnEndDrag wired
    TBitmap Picture;                 // the frame, 16 bits per pixel once normalised
};

class FrameStrip {
public:
    static constexpr int kInitialStripHeight = 110;

    FrameStrip(IFrameOptions& options, IUserPrompts& prompts);
    ~FrameStrip();
    FrameStrip(const FrameStrip&) = delete;
    FrameStrip& operator=(const FrameStrip&) = delete;

    IFrameOptions& Options() const { return options_; }
    IUserPrompts& Prompts() const { return prompts_; }

    // stripView's children, in strip order.
    int Count() const { return static_cast<int>(thumbnails_.size()); }
    TImage& Thumbnail(int index) const { return *thumbnails_.at(static_cast<size_t>(index)); }
    const std::vector<std::unique_ptr<TBitmap>>& SourceBitmaps() const { return sources_; }
    TImage* popupTarget() const { return popupTarget_; }
    const std::string& frameCountText() const { return frameCountText_; }
    int StripHeight() const { return stripHeight_; }
    void SetStripHeight(int height);  // the splitter
    bool canExportBmp() const { return saveBmpEnabled_; }
    bool canSaveAbm() const { return saveToFileEnabled_; }
    bool canClear() const { return clearEnabled_; }
    bool Contains(const TImage* control) const;
    // Bumped by every change, so a view knows when to rebuild itself.
    uint64_t Generation() const { return generation_; }

    TImage& CreateFrameThumbnail();
    // Adopts the picture the caller put into t's raster. On failure the
    // source bitmap it took is released again, so that removing t restores
    // one source per thumbnail.
    void NormalizeFrame(TImage& t);
    void AppendFrame(const TBitmap& picture);
    // Takes a thumbnail out of the strip and destroys it (a caller whose
    // filling of the raster failed).
    void RemoveThumbnail(TImage& t);
    // Removes the frames from `position` to the end, thumbnails and sources
    // (an import that failed half-way takes back what it added).
    void RemoveFramesFrom(int position);

    void removeAllFrames();
    // All or nothing: if a frame fails to normalise, the strip keeps exactly
    // the frames it had and the error travels on to be shown.
    void RebuildStrip();
    void ShowFrameCount();
    void FitStripHeight();
    void updateCommandStates();
    // A save refuses frames without pixels (an empty BMP file imports as a
    // 0 × 0 frame, the options may ask for width or height 0): no reader
    // takes a file of them. Shows the warning and answers false when one of
    // the first `count` frames has none.
    bool FramesHavePixels(int count) const;

    void clearStrip();
    void deleteFrame();
    // `control` is what the pop-up menu opened on; only a thumbnail counts.
    void setPopupTarget(TImage* control);
    bool acceptsDrag(const TImage* sender, const TImage* source) const;
    // `target` is nullptr when the drag ended where nothing accepts it.
    void moveFrame(TImage* sender, TImage* target);
    void releaseSources();

private:
    void DestroyThumbnail(size_t index);
    void DestroyAllThumbnails();
    std::vector<const TBitmap*> SourceOrder() const;
    // Makes every thumbnail anew from these source bitmaps of the strip,
    // in this order (RebuildStrip's rule); the reordering and deleting
    // commands change the order first.
    void RebuildFrom(const std::vector<const TBitmap*>& order);
    void Changed() { ++generation_; }

    IFrameOptions& options_;
    IUserPrompts& prompts_;
    std::vector<std::unique_ptr<TImage>> thumbnails_;
    // The thumbnails alive, for a constant-time Contains on a huge strip.
    std::unordered_set<const TImage*> live_;
    std::vector<std::unique_ptr<TBitmap>> sources_;
    TImage* popupTarget_ = nullptr;
    std::string frameCountText_;
    int stripHeight_ = kInitialStripHeight;
    bool saveBmpEnabled_ = false;
    bool saveToFileEnabled_ = false;
    bool clearEnabled_ = false;
    uint64_t generation_ = 0;
};

}  // namespace abm
