#pragma once

// Errors into words. A catalogue gives each kind a text in which "{name}",
// "{number}", "{reason}" (the system's words for the errno in the number, or
// "Not a regular file"), "{needed}" and "{limit}" (bytes as MiB) stand for
// the error's arguments; a part in brackets is shown only when the error
// names something. The front end chooses the catalogue.
//
// Synopsis:
//   try { ... } catch (const std::exception& e) {
//       std::cerr << describe(e, programText) << '\n';
//   }

#include "Error.h"

#include <exception>
#include <string>

namespace abm {

using MessageCatalogue = const char* (*)(ErrorKind kind);

// The program's texts, as the window shows them.
const char* programText(ErrorKind kind);

std::string errorText(const Error& error, MessageCatalogue catalogue);
// An Error through the catalogue; any other exception by its own what().
std::string describe(const std::exception& error, MessageCatalogue catalogue);

}  // namespace abm
