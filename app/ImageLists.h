#pragma once

// The window's pictures, drawn as SVG and rendered at build time into PNGs
// for every screen scale (app/CMakeLists.txt), so they are crisp at 96 dpi
// and on HiDPI screens alike and the start renders no SVG.

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

// The picture `name` at `side` pixels square for scales 1 to 3, and at the
// square `smaller` sizes (task bars and title bars ask for 16 to 32 pixels),
// from the resources ":/icons/NAME-PIXELS.png".
QIcon pictureIcon(const QString& name, int side, std::initializer_list<int> smaller = {});

}  // namespace abm
