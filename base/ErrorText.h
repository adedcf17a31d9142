#pragma once

// Errors into words. A catalogue gives each kind a text in which "{name}",
// "{number}", "{reason}" (the system's words for the errno in the number, or
// for kNotRegularFile and its kin; none for 0), "{needed}", "{size}" (the
// number as MiB), "{limit}" (as MiB), "{count}" and "{countLimit}" (number
// and limit as "1,536") stand for the error's arguments; a
// part in brackets is shown only when every argument in it has a value. The
// front end chooses the catalogue.
//
// Synopsis:
//   try { ... } catch (const std::exception& e) {
//       std::cerr << describe(e, programText) << '\n';
//   }

#include "Error.h"

#include <exception>
#include <string>
#include <string_view>

namespace abm {

using MessageCatalogue = const char* (*)(ErrorKind kind);
// How a name stands in the text (NameText.h's isolatedName for the window); as it is without one.
using NameStyle = std::string (*)(std::string_view name);

// The program's texts, as the window shows them.
const char* programText(ErrorKind kind);

std::string errorText(const Error& error, MessageCatalogue catalogue, NameStyle style = nullptr);
// An Error through the catalogue; any other exception by its own what().
std::string describe(const std::exception& error, MessageCatalogue catalogue, NameStyle style = nullptr);

}  // namespace abm
