#include "WindowPlacementStore.h"

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

std::vector<std::string> splitAtCommas(const std::string& text)
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

int word(const std::vector<std::string>& words, size_t index, int fallback)
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

std::string fourNumbers(int a, int b, int c, int d)
{
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d);
}

// A stored left edge near the end of the int range plus the width must not wrap.
int saturatedSum(int a, int b)
{
    const int64_t sum = int64_t{a} + b;
    return sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN : static_cast<int>(sum);
}

}  // namespace

WindowPlacementStore::WindowPlacementStore(PlacementWindow& window) : window_(window)
{
}

WindowPlacementStore::~WindowPlacementStore() = default;

IniFile WindowPlacementStore::openIniFile() const
{
    return IniFile(defaultIniFileName(programFile_.empty() ? programFilePath() : programFile_));
}

void WindowPlacementStore::restoreOnShow()
{
    try {
        restoreWindowPlacement();
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void WindowPlacementStore::saveOnClose()
{
    if (window_.handleAllocated()) {
        try {
            saveWindowPlacement();
        } catch (const std::exception& e) {
            reportError(e);
        }
    }
}

void WindowPlacementStore::saveOnDestroy()
{
    if (!saved_) {
        destroying_ = true;
        try {
            saveWindowPlacement();
        } catch (const std::exception& e) {
            reportError(e);
        }
        destroying_ = false;
    }
}

void WindowPlacementStore::reportError(const std::exception& error) const
{
    if (onError_)
        onError_(error);
    else
        std::cerr << error.what() << '\n';
}

std::string WindowPlacementStore::screenSuffix() const
{
    const Size screen = window_.screenSize();
    return "(" + std::to_string(screen.width) + "x" + std::to_string(screen.height) + ")";
}

void WindowPlacementStore::saveWindowPlacement()
{
    // Before the first restore the window has not been placed from the file;
    // saving then would overwrite a good placement with the designed one.
    if (!restored_)
        return;
    WindowPlacement placement = window_.placement();
    if (window_.isMainWindow() && window_.applicationMinimized())
        placement.showCmd = swShowMinimized;
    const std::string suffix = screenSuffix();
    const std::string minMax =
        fourNumbers(placement.minPosition.x, placement.minPosition.y, placement.maxPosition.x, placement.maxPosition.y);
    const Rect& r = placement.normalPosition;
    const std::string norm = fourNumbers(r.left, r.top, r.right, r.bottom);
    // One rewrite of the file for all keys, in the order they were always written.
    const std::vector<std::pair<std::string, std::string>> values = {
        {kFormVersion, std::to_string(kPlacementVersion)},
        {kFlags, std::to_string(placement.flags)},
        {kShowCmd, std::to_string(placement.showCmd)},
        {kPixelsPerInch, std::to_string(window_.pixelsPerInch())},
        {kMinMaxPos + suffix, minMax},
        {kMinMaxPos, minMax},
        {kNormPos + suffix, norm},
        {kNormPos, norm},
        {kVisible, destroying_ ? "1" : "0"},
    };
    openIniFile().writeStrings(kSettingsSection, values);
    saved_ = true;
}

void WindowPlacementStore::restoreWindowPlacement()
{
    saved_ = false;
    const IniFile ini = openIniFile();
    if (ini.readInteger(kSettingsSection, kFormVersion, 0) >= kPlacementVersion) {
        restorePosition(ini);
        restoreState(ini);
    }
    restored_ = true;
    updateMaxPosition();
}

void WindowPlacementStore::restorePosition(const IniFile& ini)
{
    WindowPlacement placement = window_.placement();
    if (!window_.visible())
        placement.showCmd = swHide;  // move it without showing it
    placement.flags = ini.readInteger(kSettingsSection, kFlags, placement.flags);

    const std::string suffix = screenSuffix();
    bool found = false;
    std::string text = ini.readString(kSettingsSection, kMinMaxPos + suffix, "");
    if (text.empty())
        text = ini.readString(kSettingsSection, kMinMaxPos, "");
    if (!text.empty()) {
        found = true;
        const std::vector<std::string> words = splitAtCommas(text);
        placement.minPosition = {word(words, 0, 0), word(words, 1, 0)};
        placement.maxPosition = {word(words, 2, 0), word(words, 3, 0)};
    }

    const Rect bounds = window_.boundsRect();
    text = ini.readString(kSettingsSection, kNormPos + suffix, "");
    if (text.empty())
        text = ini.readString(kSettingsSection, kNormPos, "");
    if (!text.empty()) {
        found = true;
        const std::vector<std::string> words = splitAtCommas(text);
        placement.normalPosition = {word(words, 0, bounds.left), word(words, 1, bounds.top),
                                    word(words, 2, bounds.right), word(words, 3, bounds.bottom)};
    }

    const int pixelsPerInch = window_.pixelsPerInch();
    if (!found || ini.readInteger(kSettingsSection, kPixelsPerInch, pixelsPerInch) != pixelsPerInch)
        return;
    Rect& r = placement.normalPosition;
    if (!window_.sizeableBorder()) {
        // Only the position is taken over; the size is the designed one.
        r.right = saturatedSum(r.left, bounds.width());
        r.bottom = saturatedSum(r.top, bounds.height());
    }
    if (r.right > r.left) {
        if (window_.centered())
            window_.clearCentered();
        window_.setPlacement(placement);
    }
}

void WindowPlacementStore::restoreState(const IniFile& ini)
{
    WindowState state = defaultState_;
    switch (ini.readInteger(kSettingsSection, kShowCmd, 0)) {
    case 1:
    case 5:
    case 9: state = WindowState::normal; break;
    case 2:
    case 6:
    case 7: state = WindowState::minimized; break;
    case 3: state = WindowState::maximized; break;
    default: break;
    }
    if (state == WindowState::minimized && window_.isMainWindow()) {
        // The whole application starts minimised, not just its window.
        window_.setPlacementState(WindowState::normal);
        window_.minimizeApplication();
        return;
    }
    window_.setPlacementState(state);
}

void WindowPlacementStore::updateMaxPosition()
{
    // A maximised window hides its frame just off the screen's edges.
    WindowPlacement placement = window_.placement();
    if (!window_.visible())
        placement.showCmd = swHide;
    const Size frame = window_.frameMetrics();
    placement.maxPosition = {-frame.width, -frame.height};
    window_.setPlacement(placement);
}

}  // namespace abm
