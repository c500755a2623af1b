// tools/mkpack/mkpack.h -- the parts of the data-pack builder. Each part draws or converts its
// resources and appends them; main() collects every part, writes the pack and, on request,
// the contact sheet. Nothing may depend on the time, the machine or a random seed: two builds
// give the same bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PackResource {
    std::string name;            // name inside the pack, e.g. "img/active.img"
    std::vector<uint8_t> bytes;  // the file as stored
};

// A picture for the contact sheet: 24-bit blue-green-red rows top to bottom, with a caption.
struct SheetPicture {
    std::string caption;
    int width = 0, height = 0;
    std::vector<uint8_t> bgr;  // width * height * 3
};

// Every part takes the assets folder (text sources) and appends its resources; on a missing or
// broken source it prints "mkpack: FILE:LINE: what is wrong" and returns false.
bool part_skin(const std::string& assets, std::vector<PackResource>* out, std::vector<SheetPicture>* sheet);
bool part_fonts(const std::string& assets, std::vector<PackResource>* out, std::vector<SheetPicture>* sheet);
bool part_texts(const std::string& assets, std::vector<PackResource>* out, std::vector<SheetPicture>* sheet);
bool part_curves(const std::string& assets, std::vector<PackResource>* out, std::vector<SheetPicture>* sheet);
bool part_sounds(const std::string& assets, std::vector<PackResource>* out, std::vector<SheetPicture>* sheet);
