// tools/mkpack/collect.h -- runs every part of the pack builder and writes the pack.
#pragma once
#include <string>
#include <vector>

#include "tools/mkpack/mkpack.h"

// Runs the parts in a fixed order (skin, texts, fonts, curves, sounds) and sorts the resources by
// name. sheet may be null: the parts then skip their review pictures. False when a part failed
// (it printed why) or two parts made the same name.
bool mkpack_collect(const std::string& assets, std::vector<PackResource>* out,
                    std::vector<SheetPicture>* sheet);

// Writes the resources as a data pack at path (through a temporary name). False on failure.
bool mkpack_write(const std::string& path, const std::vector<PackResource>& resources);
