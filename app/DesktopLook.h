#pragma once

// What the whole program looks like before any window exists: the Fusion
// style, the 8-point sans face, and Qt's own Russian texts, so that file
// dialogs and standard buttons speak the window's language.

class QApplication;

namespace abm {

// Loads qtbase_ru from Qt's translations folder; false when it is missing
// (qt6-translations-l10n not installed), and the standard texts stay English.
bool installRussianQtTexts(QApplication& application);

void applyDesktopLook(QApplication& application);

}  // namespace abm
