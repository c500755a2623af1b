// tools/mkpack/icons.h -- the program's icon for the desktop: the pack's window icon drawn at
// each size a desktop menu asks for and written as PNG files in the icon-theme layout.
#pragma once
#include <string>
#include <vector>

// Writes FOLDER/NxN/apps/NAME.png for every size N in pixels (folders made as needed). False,
// with a message "mkpack: ...", when a size is not 1 to 1024 or a file cannot be written.
bool write_app_icons(const std::string& folder, const std::string& name, const std::vector<int>& sizes);
