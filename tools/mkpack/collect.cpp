// tools/mkpack/collect.cpp -- every part of the pack builder in one run, and the pack written
// from what they made. The order of the parts and of the resources is fixed, so two builds give
// the same bytes.
#include "tools/mkpack/collect.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "resources/packwriter.h"

namespace {

using Part = bool (*)(const std::string&, std::vector<PackResource>*, std::vector<SheetPicture>*);

const Part PARTS[] = {part_skin, part_texts, part_fonts, part_curves, part_sounds};

}  // namespace

bool mkpack_collect(const std::string& assets, std::vector<PackResource>* out,
                    std::vector<SheetPicture>* sheet) {
    bool ok = true;
    for (Part part : PARTS)
        ok = part(assets, out, sheet) && ok;  // every part reports its faults
    std::stable_sort(out->begin(), out->end(),
                     [](const PackResource& a, const PackResource& b) { return a.name < b.name; });
    for (size_t i = 1; i < out->size(); i++)
        if ((*out)[i].name == (*out)[i - 1].name) {
            std::fprintf(stderr, "mkpack: %s: made by two parts\n", (*out)[i].name.c_str());
            ok = false;
        }
    return ok;
}

bool mkpack_write(const std::string& path, const std::vector<PackResource>& resources) {
    std::vector<PackItem> items;
    for (const PackResource& r : resources) {
        if (r.bytes.size() > UINT32_MAX) {
            std::fprintf(stderr, "mkpack: %s: too large for a pack\n", r.name.c_str());
            return false;
        }
        items.push_back({r.name.c_str(), r.bytes.data(), (uint32_t)r.bytes.size(), nullptr});
    }
    if (!packwriter_write(path.c_str(), items.data(), (int)items.size())) {
        std::fprintf(stderr, "mkpack: %s: cannot write the pack\n", path.c_str());
        return false;
    }
    return true;
}
