// rooms/gallery.cpp -- the gallery's slots, its file and the pictures finished boxes give.
#include "rooms/gallery.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/le.h"
#include "base/str.h"
#include "gui/lt.h"
#include "image/gformat_img.h"
#include "image/img_scale.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"
#include "resources/tagfile.h"

namespace {

constexpr uint32_t GALLERY_TAG = file_tag("GALL");

// The slot as its 140 file bytes, numbers little-endian whatever the host.
void slot_store(uint8_t* bytes, const GallerySlot* slot, int present) {
    le_store_u32(bytes, present ? 1u : 0u);
    std::memcpy(bytes + 4, slot->name, sizeof slot->name);
    le_store_u32(bytes + 68, (uint32_t)slot->pieceCount);
    le_store_u32(bytes + 72, (uint32_t)slot->seconds);
    std::memcpy(bytes + 76, slot->date, sizeof slot->date);
}

void slot_load(GallerySlot* slot, const uint8_t* bytes) {
    LeCursor c = le_cursor(bytes, sizeof(GallerySlot));
    slot->present = le_u32(&c);
    std::memcpy(slot->name, le_take(&c, sizeof slot->name), sizeof slot->name);
    slot->pieceCount = le_i32(&c);
    slot->seconds = le_i32(&c);
    std::memcpy(slot->date, le_take(&c, sizeof slot->date), sizeof slot->date);
    // Texts from the file end inside their fields, whatever the file holds.
    slot->name[sizeof slot->name - 1] = 0;
    slot->date[sizeof slot->date - 1] = 0;
}

// The image at the file's position, when it is a 24-bit picture of at most 256 x 256.
Image* image_read(FILE* file) {
    int width = 0, height = 0, kind = 0;
    if (!gformat_img_info(file, &width, &height, &kind)) return nullptr;
    if (kind != IMG_24BIT || width < 1 || height < 1 || width > GALLERY_IMAGE_MAX || height > GALLERY_IMAGE_MAX)
        return nullptr;
    Image* image = img_read(file);
    if (image && (image->width != width || image->height != height || image->kind != IMG_24BIT)) {
        io_mem_free(image);
        return nullptr;
    }
    return image;
}

void slot_empty(GallerySlot* slot, Image** picture) {
    io_mem_free(*picture);
    *picture = nullptr;
    std::memset(slot, 0, sizeof *slot);
}

int read_all(Gallery* gallery, FILE* file) {
    uint32_t version = 0;
    if (!file_check_tag(file, GALLERY_TAG) || !file_read_u32(file, &version)) return 0;
    for (int s = 0; s < GALLERY_SLOTS; s++) {
        uint8_t bytes[sizeof(GallerySlot)];
        if (!file_read_bytes(file, bytes, sizeof bytes)) return 0;
        slot_load(&gallery->slots[s], bytes);
        if (gallery->slots[s].present) {
            gallery->pictures[s] = image_read(file);
            if (!gallery->pictures[s]) return 0;
            gallery->slots[s].present = 1;
        }
    }
    return 1;
}

}  // namespace

void gallery_clear(Gallery* gallery) {
    for (int s = 0; s < GALLERY_SLOTS; s++) {
        slot_empty(&gallery->slots[s], &gallery->pictures[s]);
    }
    slot_empty(&gallery->held, &gallery->heldPicture);
}

int gallery_read(Gallery* gallery, const char* path) {
    gallery_clear(gallery);
    FILE* file = io_fopen(path, "rb");
    if (!file) return 0;
    const int ok = read_all(gallery, file);
    std::fclose(file);
    if (!ok) gallery_clear(gallery);  // a partly read file is not used
    return ok;
}

int gallery_write(const Gallery* gallery, const char* path) {
    FILE* file = io_fopen(path, "wb");
    if (!file) return 0;
    int ok = file_write_tag(file, 0) && file_write_u32(file, GALLERY_VERSION);
    for (int s = 0; ok && s < GALLERY_SLOTS; s++) {
        uint8_t bytes[sizeof(GallerySlot)];
        const Image* picture = gallery->pictures[s];
        slot_store(bytes, &gallery->slots[s], picture != nullptr);
        ok = file_write_bytes(file, bytes, sizeof bytes) && (!picture || img_write_image(file, picture));
    }
    ok = ok && std::fseek(file, 0, SEEK_SET) == 0 && file_write_tag(file, GALLERY_TAG);
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

int gallery_load(Gallery* gallery) {
    if (gallery_read(gallery, GALLERY_FILE)) return 1;
    if (io_file_exists(GALLERY_FILE)) io_copy_file(GALLERY_FILE, GALLERY_BAD_FILE);
    return 0;
}

int gallery_save(const Gallery* gallery) {
    if (!gallery_write(gallery, GALLERY_TEMP_FILE) || !io_move_file(GALLERY_TEMP_FILE, GALLERY_FILE)) {
        io_delete_file(GALLERY_TEMP_FILE);
        return 0;
    }
    return 1;
}

int gallery_swap(Gallery* gallery, int place) {
    if (place < 0 || place >= GALLERY_SLOTS) return 0;
    std::swap(gallery->held, gallery->slots[place]);
    std::swap(gallery->heldPicture, gallery->pictures[place]);
    return 1;
}

void gallery_discard_held(Gallery* gallery) { slot_empty(&gallery->held, &gallery->heldPicture); }

Image* gallery_picture_make(const Image* picture, uint32_t frameColour) {
    if (!picture || picture->width < 1 || picture->height < 1) return nullptr;
    Image* colour = nullptr;  // an 8-bit picture is made 24-bit first
    if (picture->kind != IMG_24BIT) {
        colour = img_create(picture->width, picture->height, IMG_24BIT);
        img_convert(colour, picture);
        picture = colour;
    }
    // Fitted keeping the proportions: the longer side becomes 248.
    int width = GALLERY_PICTURE_SIDE, height = GALLERY_PICTURE_SIDE;
    if (picture->width >= picture->height)
        height = std::max(1, (int)((int64_t)picture->height * GALLERY_PICTURE_SIDE / picture->width));
    else
        width = std::max(1, (int)((int64_t)picture->width * GALLERY_PICTURE_SIDE / picture->height));
    Image* framed = img_create(width, height, IMG_24BIT);
    img_resample_images(framed, picture, 1);
    io_mem_free(colour);
    img_fill_rect(framed, frameColour, 0, 0, width, 1);
    img_fill_rect(framed, frameColour, 0, height - 1, width, 1);
    img_fill_rect(framed, frameColour, 0, 0, 1, height);
    img_fill_rect(framed, frameColour, width - 1, 0, 1, height);
    return framed;
}

void gallery_time_text(char* text, int size, int seconds) {
    seconds = std::max(0, seconds);
    const int hours = seconds / 3600, minutes = seconds / 60 % 60;
    if (hours > 0)
        std::snprintf(text, (size_t)size, "%i:%i:%02i", hours, minutes, seconds % 60);
    else
        std::snprintf(text, (size_t)size, "%i:%02i", minutes, seconds % 60);
}

void gallery_info_text(char* text, int size, const GallerySlot* slot) {
    char time[32];
    gallery_time_text(time, sizeof time, slot->seconds);
    std::snprintf(text, (size_t)size, "%s: %s\n%s: %i\n%s: %s %s: %s", lt_get(311), slot->name, lt_get(312),
                  slot->pieceCount, lt_get(313), time, lt_get(314), slot->date);
}

void gallery_held_text(char* text, int size, const GallerySlot* slot) {
    char time[32];
    gallery_time_text(time, sizeof time, slot->seconds);
    std::snprintf(text, (size_t)size, "%s: %s\n\n%s: %i\n%s: %s\n%s: %s", lt_get(311), slot->name, lt_get(312),
                  slot->pieceCount, lt_get(313), time, lt_get(314), slot->date);
}
