#include "FormPlacement.h"

#include "base/Error.h"
#include "base/Numbers.h"
#include "base/ProgramFile.h"

#include <climits>
#include <cstdint>
#include <iostream>
#include <vector>

namespace abm {

namespace {

constexpr const char* kFormVersion = "FormVersion";
constexpr const char* kFlags = "Flags";
constexpr const char* kShowCmd = "ShowCmd";
constexpr const char* kPixelsPerInch = "PixelsPerInch";
constexpr const char* kMinMaxPos = "MinMaxPos";
constexpr const char* kNormPos = "NormPos";
constexpr const char* kVisible = "Visible";

std::vector<std::string> SplitAtCommas(const std::string& text)
{
    std::vector<std::string> words;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        words.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            return words;
        start = comma + 1;
    }
}

int Word(const std::vector<std::string>& words, size_t index, int fallback)
{
    if (index >= words.size())
        return fallback;
    const std::string& w = words[index];
    const size_t first = w.find_first_not_of(" \t");
    if (first == std::string::npos)
        return fallback;
    const size_t last = w.find_last_not_of(" \t");
    return parseIntOr(w.substr(first, last - first + 1), fallback);
}

std::string FourNumbers(int a, int b, int c, int d)
{
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d);
}

// A stored left edge near the end of the int range plus the width must not wrap.
int SaturatedSum(int a, int b)
{
    const int64_t sum = int64_t{a} + b;
    return sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN : static_cast<int>(sum);
}

}  // namespace

TFormPlacement::TFormPlacement(IPlacementWindow& window) : window_(window) {}

TFormPlacement::~TFormPlacement()
{
    // The window may outlive the store: give it back its own handlers.
    if (events_)
        *events_ = savedEvents_;
}

std::string TFormPlacement::IniFileName() const
{
    if (!iniFileName_.empty())
        return iniFileName_;
    return DefaultIniFileName(programFile_.empty() ? ProgramFilePath() : programFile_);
}

std::string TFormPlacement::IniSection() const
{
    return iniSection_.empty() ? window_.ClassName() : iniSection_;
}

void TFormPlacement::AttachToWindow()
{
    if (events_)
        return;
    events_ = &window_.windowEvents();
    savedEvents_ = *events_;
    defaultState_ = window_.placementState();
    events_->OnShow = [this] { restoreOnShow(); };
    events_->OnCloseQuery = [this](bool& canClose) { saveOnCloseQuery(canClose); };
    events_->OnDestroy = [this] { saveOnDestroy(); };
}

void TFormPlacement::restoreOnShow()
{
    if (active_) {
        try {
            RestoreWindowPlacement();
        } catch (const std::exception& e) {
            ReportError(e);
        }
    }
    if (savedEvents_.OnShow)
        savedEvents_.OnShow();
}

void TFormPlacement::saveOnCloseQuery(bool& canClose)
{
    if (savedEvents_.OnCloseQuery)
        savedEvents_.OnCloseQuery(canClose);
    if (canClose && active_ && window_.HandleAllocated()) {
        try {
            SaveWindowPlacement();
        } catch (const std::exception& e) {
            ReportError(e);
        }
    }
}

void TFormPlacement::saveOnDestroy()
{
    if (active_ && !saved_) {
        destroying_ = true;
        try {
            SaveWindowPlacement();
        } catch (const std::exception& e) {
            ReportError(e);
        }
        destroying_ = false;
    }
    if (savedEvents_.OnDestroy)
        savedEvents_.OnDestroy();
}

void TFormPlacement::ReportError(const std::exception& error) const
{
    if (onError_)
        onError_(error);
    else
        std::cerr << error.what() << '\n';
}

std::string TFormPlacement::ScreenSuffix() const
{
    const TSize screen = window_.ScreenSize();
    return "(" + std::to_string(screen.Width) + "x" + std::to_string(screen.Height) + ")";
}

void TFormPlacement::SaveWindowPlacement()
{
    // Before the first restore the window has not been placed from the file;
    // saving then would overwrite a good placement with the designed one.
    if (active_ && !restored_)
        return;
    TIniFile ini = OpenIniFile();
    const std::string section = IniSection();
    ini.WriteInteger(section, kFormVersion, version_);

    TWindowPlacement placement = window_.placement();
    if (window_.isMainWindow() && window_.ApplicationMinimized())
        placement.ShowCmd = swShowMinimized;
    ini.WriteInteger(section, kFlags, placement.Flags);
    ini.WriteInteger(section, kShowCmd, placement.ShowCmd);
    ini.WriteInteger(section, kPixelsPerInch, window_.PixelsPerInch());

    const std::string suffix = ScreenSuffix();
    const std::string minMax = FourNumbers(placement.MinPosition.X, placement.MinPosition.Y,
                                           placement.MaxPosition.X, placement.MaxPosition.Y);
    ini.WriteString(section, kMinMaxPos + suffix, minMax);
    ini.WriteString(section, kMinMaxPos, minMax);
    const TRect& r = placement.NormalPosition;
    const std::string norm = FourNumbers(r.Left, r.Top, r.Right, r.Bottom);
    ini.WriteString(section, kNormPos + suffix, norm);
    ini.WriteString(section, kNormPos, norm);

    ini.WriteBool(section, kVisible, destroying_);
    saved_ = true;
}

void TFormPlacement::RestoreWindowPlacement()
{
    saved_ = false;
    const TIniFile ini = OpenIniFile();
    const std::string section = IniSection();
    if (ini.ReadInteger(section, kFormVersion, 0) >= version_) {
        if (options_ & fpPosition)
            RestorePosition(ini, section);
        if (options_ & fpState)
            RestoreState(ini, section);
    }
    restored_ = true;
    UpdateMaxPosition();
}

void TFormPlacement::RestorePosition(const TIniFile& ini, const std::string& section)
{
    TWindowPlacement placement = window_.placement();
    if (!window_.Visible())
        placement.ShowCmd = swHide;  // move it without showing it
    placement.Flags = ini.ReadInteger(section, kFlags, placement.Flags);

    const std::string suffix = ScreenSuffix();
    bool found = false;
    std::string text = ini.ReadString(section, kMinMaxPos + suffix, "");
    if (text.empty())
        text = ini.ReadString(section, kMinMaxPos, "");
    if (!text.empty()) {
        found = true;
        const std::vector<std::string> words = SplitAtCommas(text);
        placement.MinPosition = {Word(words, 0, 0), Word(words, 1, 0)};
        placement.MaxPosition = {Word(words, 2, 0), Word(words, 3, 0)};
    }

    const TRect bounds = window_.BoundsRect();
    text = ini.ReadString(section, kNormPos + suffix, "");
    if (text.empty())
        text = ini.ReadString(section, kNormPos, "");
    if (!text.empty()) {
        found = true;
        const std::vector<std::string> words = SplitAtCommas(text);
        placement.NormalPosition = {Word(words, 0, bounds.Left), Word(words, 1, bounds.Top),
                                    Word(words, 2, bounds.Right), Word(words, 3, bounds.Bottom)};
    }

    const int pixelsPerInch = window_.PixelsPerInch();
    if (!found || ini.ReadInteger(section, kPixelsPerInch, pixelsPerInch) != pixelsPerInch)
        return;
    TRect& r = placement.NormalPosition;
    if (!window_.SizeableBorder()) {
        // Only the position is taken over; the size is the designed one.
        r.Right = SaturatedSum(r.Left, bounds.Width());
        r.Bottom = SaturatedSum(r.Top, bounds.Height());
    }
    if (r.Right > r.Left) {
        if (window_.Centered())
            window_.ClearCentered();
        window_.setPlacement(placement);
    }
}

void TFormPlacement::RestoreState(const TIniFile& ini, const std::string& section)
{
    TWindowState state = defaultState_;
    switch (ini.ReadInteger(section, kShowCmd, 0)) {
    case 1:
    case 5:
    case 9:
        state = TWindowState::wsNormal;
        break;
    case 2:
    case 6:
    case 7:
        state = TWindowState::wsMinimized;
        break;
    case 3:
        state = TWindowState::wsMaximized;
        break;
    default:
        break;
    }
    if (state == TWindowState::wsMinimized && window_.isMainWindow()) {
        // The whole application starts minimised, not just its window.
        window_.setPlacementState(TWindowState::wsNormal);
        window_.MinimizeApplication();
        return;
    }
    window_.setPlacementState(state);
}

void TFormPlacement::UpdateMaxPosition()
{
    // A maximised window hides its frame just off the screen's edges.
    TWindowPlacement placement = window_.placement();
    if (!window_.Visible())
        placement.ShowCmd = swHide;
    const TSize frame = window_.FrameMetrics();
    placement.MaxPosition = {-frame.Width, -frame.Height};
    window_.setPlacement(placement);
}

}  // namespace abm
