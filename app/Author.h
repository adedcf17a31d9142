#pragma once

// Where users reach the program's authors: shown and opened by the options
// dialog. Kept here alone so that there is one place to change them.

namespace abm {

inline constexpr const char* kAuthorUrl = "https://abmmaker.example.org";
inline constexpr const char* kAuthorEmail = "abmmaker@users.noreply.example.org";

}  // namespace abm
