#pragma once

// Registers a file extension with the desktop for the current user, so that
// opening such a file starts the program with the file's full path.

#include <string>

namespace abm {

// On the XDG desktop, for extension ".abm" and type "abmfile":
// - $XDG_DATA_HOME/mime/packages/abmfile.xml: MIME type
//   application/x-abmfile with the glob *.abm, the description as its
//   comment and the icon as its icon name when they are not empty;
// - $XDG_DATA_HOME/applications/abmfile.desktop: a hidden desktop entry
//   starting `program` with the files opened (Exec=program %F);
// - $XDG_CONFIG_HOME/mimeapps.list: abmfile.desktop as the default
//   application of the type, every other line kept.
// Then update-mime-database and update-desktop-database refresh their
// caches when they are installed.
//
// Every "." of the extension is dropped; an extension of only dots or an
// empty program does nothing. An empty type identifier becomes the
// extension followed by "_auto_file". Files written before a failure stay.
// Raises Error AssociationCreate when a folder or file cannot be created,
// AssociationSetData when its content cannot be written (both name the
// file's path).
void associateFileType(const std::string& extension, const std::string& typeId, const std::string& description,
                       const std::string& icon, const std::string& program);

}  // namespace abm
