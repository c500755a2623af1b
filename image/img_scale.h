// image/img_scale.h -- resampling, the Gaussian blur and the single-hue tint of whole pictures.
//
// All of these work on 8-bit channels of views and images and never touch the screen or the
// dirty cells. Inner loops are integer fixed point (16.16 for the resampler).
#pragma once
#include <cstddef>
#include <cstdint>

#include "image/img.h"

inline constexpr int IMG_RESAMPLE_NEAREST = 0;    // nearest neighbour, 16.16 steps
inline constexpr int IMG_RESAMPLE_HERMITE = 3;    // separable filtered resampler, Hermite filter
inline constexpr int IMG_BLUR_RADIUS_MAX = 8192;  // larger radii are cut to this

// --- Resampling ---
// Fills the whole of dst (its width and height give the target size) from the whole of src.
// Both must have the same kind, IMG_8BIT or IMG_24BIT; returns 1, or 0 (nothing written) for
// other kinds, an unknown mode or an empty view.
int img_resample(const ImageView* dst, const ImageView* src, int mode);
// The same for two images through views at (0, 0); smooth picks the Hermite filter.
int img_resample_images(Image* dst, const Image* src, int smooth);

// --- Gaussian blur ---
// Kernel radius for sigma (0: no kernel, the blur leaves pictures unchanged). Also remembers
// sigma for img_blur_copy.
int img_blur_radius(double sigma);
// The kernel entries for sigma from the centre outward (255 first): writes min(r + 1, capacity)
// of them and returns the radius r.
int img_blur_kernel(double sigma, int32_t* weights, int capacity);
// Blurs the view in place, every channel separately, vertical pass first; returns the radius.
// Kinds other than IMG_8BIT and IMG_24BIT are left unchanged.
int img_blur(const ImageView* view, double sigma);
// Copies src into dst at (0, 0) (the part that fits) and blurs the whole of dst with the sigma
// last given to img_blur_radius; returns the radius.
int img_blur_copy(Image* dst, const Image* src);
// img_blur in working memory the caller holds, for blurs on several threads at once (the
// counted allocator serves one thread): img_blur_scratch_size gives the bytes the view and
// sigma need (0 when the blur leaves the view unchanged); img_blur_in then allocates nothing and
// keeps no state. The block must be aligned as io_mem_alloc aligns its blocks.
size_t img_blur_scratch_size(const ImageView* view, double sigma);
int img_blur_in(const ImageView* view, double sigma, void* scratch);

// --- Colour ---
// Writes into dst the tint of every src pixel: hue in degrees, brightness -100..100,
// saturation 0..100 (percent; values outside are clamped). Both views IMG_24BIT of equal
// size; returns 1, or 0 (nothing written) otherwise.
int img_colourise(const ImageView* dst, const ImageView* src, int hue, int brightness, int saturation);
// The colour 0x00RRGGBB of an HLS triple: hue in degrees, lightness and saturation 0..1.
uint32_t hls_to_rgb(float hue, float lightness, float saturation);
