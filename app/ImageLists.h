#pragma once

// The window's pictures, drawn as SVG in the program's resources and
// rendered for every screen scale up front, so they are crisp at 96 dpi and
// on HiDPI screens alike.

#include <QIcon>

#include <initializer_list>
#include <vector>

namespace abm {

// The command icons, 24 × 24, indexed by CommandIcon.
enum class CommandIcon { SaveAbm, Delete, SaveBmp, Open, Options, Clear };
std::vector<QIcon> loadCommandIcons();
// The animated application icon, 8 pictures of 48 × 48.
std::vector<QIcon> loadAnimatedIcons();
// The program's icon at start-up.
QIcon mainIcon();

// An SVG resource rendered at `size` for scales 1 to 3, and at the square
// `smaller` sizes (task bars and title bars ask for 16 to 32 pixels).
QIcon svgIcon(const QString& resource, QSize size, std::initializer_list<int> smaller = {});

}  // namespace abm
