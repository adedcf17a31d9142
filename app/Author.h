#pragma once

// Where users find help: the options dialog's link opens the user guide
// that `cmake --install` puts under share/doc/abmmaker. There is no
// author's web site or e-mail address to show.

namespace abm {

inline constexpr const char* kGuideCaption = "Руководство пользователя";
// Below a share/ folder: beside the program's bin/, or in the XDG data folders.
inline constexpr const char* kGuideFile = "doc/abmmaker/guide.html";

}  // namespace abm
