// tools/mkpack/skin_icons.cpp -- the 49 skin pictures of sheet A, each drawn into its own
// rectangle. Picture n + 1 is the hover or checked look of picture n: the same drawing, lit
// with the amber accent (or checked).
#include "tools/mkpack/skin_local.h"

namespace {

using Pts = std::vector<float>;

// A raised disc lit from the top left, with a rim.
void raised_disc(Canvas& c, float cx, float cy, float r, Rgba top, Rgba bottom, Rgba rim) {
    fill_shape(
        c, cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1,
        [=](float px, float py) { return sd_circle(px, py, cx, cy, r); },
        [=](float, float py) { return mix(top, bottom, clamp01((py - (cy - r)) / (2 * r))); });
    fill_shape(
        c, cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1,
        [=](float px, float py) { return std::fabs(sd_circle(px, py, cx, cy, r - 1.5f)) - 0.5f; },
        [=](float px, float py) {
            float lit = -((px - cx) + (py - cy)) / (1.41421f * (r - 1.5f));
            return lit > 0 ? rgb(pal::WHITE, 0.55f * clamp01(lit)) : rgb(0x000000, 0.12f * clamp01(-lit));
        });
    fill_shape(
        c, cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1,
        [=](float px, float py) { return std::fabs(sd_circle(px, py, cx, cy, r - 0.5f)) - 0.5f; }, rim);
}

void polyline(Canvas& c, const Pts& xy, float hw, Rgba colour) {
    fill_all(
        c, [&](float px, float py) { return sd_polyline(px, py, xy, hw); }, colour);
}
void polygon(Canvas& c, const Pts& xy, Rgba colour) {
    fill_all(
        c, [&](float px, float py) { return sd_polygon(px, py, xy); }, colour);
}
void disc(Canvas& c, float cx, float cy, float r, Rgba colour) {
    fill_all(
        c, [=](float px, float py) { return sd_circle(px, py, cx, cy, r); }, colour);
}
void ring(Canvas& c, float cx, float cy, float r, float hw, Rgba colour) {
    fill_all(
        c, [=](float px, float py) { return std::fabs(sd_circle(px, py, cx, cy, r)) - hw; }, colour);
}
// A glyph with a one-pixel dark halo below and right, so it stands off its ground.
void embossed_polyline(Canvas& c, Pts xy, float hw, Rgba colour, Rgba halo) {
    Pts shifted = xy;
    for (size_t i = 0; i < shifted.size(); i++)
        shifted[i] += 0.7f;
    polyline(c, shifted, hw, halo);
    polyline(c, xy, hw, colour);
}

// A sunken well (tick box or radio ring) on the panel face.
void sunken_box(Canvas& c, float cx, float cy, float half, float radius) {
    auto sdf = [=](float px, float py) { return sd_round_box(px, py, cx, cy, half, half, radius); };
    fill_all(c, sdf, [=](float, float py) {
        return mix(rgb(0xF2ECE2), rgb(pal::WHITE), clamp01((py - (cy - half)) / (2 * half)));
    });
    // Shade on the inner top and left: the well is below the face.
    fill_all(
        c, [&](float px, float py) { return std::fabs(sdf(px, py) + 1.5f) - 0.5f; },
        [&](float px, float py) {
            float lit = -((px - cx) + (py - cy)) / (1.41421f * half);
            return lit > 0 ? rgb(pal::OUTLINE, 0.30f * clamp01(lit)) : rgb(pal::WHITE, 0.0f);
        });
    fill_all(
        c, [&](float px, float py) { return std::fabs(sdf(px, py) + 0.5f) - 0.5f; },
        rgb(pal::INK_SOFT, 0.95f));
}

void tick_box(Canvas& c, bool checked) {
    if (!checked) {
        sunken_box(c, 9, 9, 6.5f, 2.5f);
        return;
    }
    auto sdf = [](float px, float py) { return sd_round_box(px, py, 9, 9, 6.5f, 6.5f, 2.5f); };
    fill_all(c, sdf, [](float, float py) {
        return mix(rgb(pal::TEAL_LIGHT), rgb(pal::TEAL_DEEP), clamp01((py - 2) / 14));
    });
    fill_all(
        c, [&](float px, float py) { return std::fabs(sdf(px, py) + 0.5f) - 0.5f; },
        rgb(pal::TEAL_INK, 0.9f));
    embossed_polyline(c, {5.2f, 9.3f, 7.8f, 11.9f, 12.9f, 6.0f}, 1.15f, rgb(pal::CREAM),
                      rgb(pal::TEAL_INK, 0.5f));
}

void radio(Canvas& c, bool checked) {
    sunken_box(c, 9, 9, 6.5f, 6.5f);
    if (checked) {
        disc(c, 9, 9, 3.6f, rgb(pal::TEAL));
        disc(c, 8.4f, 8.2f, 1.3f, rgb(pal::WHITE, 0.45f));
    }
}

// The glyph colours of strip pictures: quiet ink, or amber when hovered.
Rgba glyph_fill(bool hover) { return hover ? rgb(pal::AMBER) : rgb(pal::TEAL); }
Rgba glyph_rim(bool hover) { return hover ? rgb(pal::AMBER_DEEP) : rgb(pal::TEAL_DEEP); }

// Zoom step s (0..4): a framed landscape picture growing with the step.
void zoom_picture(Canvas& c, int step, bool hover) {
    draw_strip_background(c);
    const float w = 6 + 2.0f * step, h = 5 + 1.5f * step;
    const float cx = 9, cy = 9.5f, x0 = cx - w / 2, y0 = cy - h / 2, x1 = cx + w / 2, y1 = cy + h / 2;
    auto frame = [=](float px, float py) { return sd_rect(px, py, x0, y0, x1, y1, 1.0f); };
    fill_all(c, frame, hover ? rgb(pal::AMBER_LIGHT) : rgb(0xCFE3E1));
    // Hills and a sun inside the frame.
    fill_all(
        c,
        [=](float px, float py) {
            float hill = py - (y1 - h * 0.30f - std::sin((px - x0) / w * 5.0f) * h * 0.14f);
            return std::fmax(-hill, frame(px, py) + 1.0f);
        },
        glyph_fill(hover));
    if (step >= 1)
        disc(c, x1 - w * 0.28f, y0 + h * 0.32f, 0.6f + 0.25f * step,
             hover ? rgb(pal::WHITE) : rgb(pal::AMBER));
    fill_all(
        c, [&](float px, float py) { return std::fabs(frame(px, py) + 0.5f) - 0.5f; }, glyph_rim(hover));
}

void help_strip(Canvas& c, bool hover) {
    draw_strip_background(c);
    raised_disc(c, 9, 9.5f, 6.5f, hover ? rgb(pal::AMBER_LIGHT) : rgb(pal::TEAL_LIGHT),
                hover ? rgb(pal::AMBER) : rgb(pal::TEAL_DEEP), glyph_rim(hover));
    Mask m;
    if (text_mask(FACE_SANS_BOLD, 10.5f, "?", 0, &m))
        draw_mask(c, m, 6, 14, hover ? rgb(pal::TEAL_INK) : rgb(pal::CREAM));
}

void eye_strip(Canvas& c, bool hover) {
    draw_strip_background(c);
    auto lens = [](float px, float py) {
        // Two arcs meeting at the eye's corners.
        float a = sd_circle(px, py, 9, 15.5f, 9.0f), b = sd_circle(px, py, 9, 3.5f, 9.0f);
        return std::fmax(a, b);
    };
    fill_all(c, lens, hover ? rgb(pal::AMBER_LIGHT) : rgb(pal::WHITE));
    fill_all(
        c, [&](float px, float py) { return std::fabs(lens(px, py) + 0.5f) - 0.6f; }, glyph_rim(hover));
    disc(c, 9, 9.5f, 2.8f, glyph_fill(hover));
    disc(c, 9, 9.5f, 1.2f, rgb(pal::TEAL_INK));
    disc(c, 8.0f, 8.5f, 0.7f, rgb(pal::WHITE, 0.9f));
}

// Title-bar buttons: a small disc on the bar with a light glyph; lit amber (rust for close)
// under the pointer.
void title_button(Canvas& c, int kind, bool hover) {  // kind 0 unroll, 1 roll up, 2 close
    draw_title_button_background(c, kind == 2);
    Rgba top = hover ? (kind == 2 ? rgb(0xE27A55) : rgb(pal::AMBER_LIGHT)) : rgb(0x5B97A0);
    Rgba bottom = hover ? (kind == 2 ? rgb(pal::RUST) : rgb(pal::AMBER)) : rgb(0x3A7880);
    const float cx = kind == 2 ? 8.5f : 9.0f, cy = 9.0f;
    raised_disc(c, cx, cy, 6.5f, top, bottom, rgb(pal::TEAL_INK, 0.9f));
    Rgba glyph = hover && kind != 2 ? rgb(pal::TEAL_INK) : rgb(pal::CREAM);
    if (kind == 0) polyline(c, {cx - 3, cy - 1.2f, cx, cy + 1.8f, cx + 3, cy - 1.2f}, 1.05f, glyph);
    if (kind == 1) polyline(c, {cx - 3, cy + 1.5f, cx, cy - 1.5f, cx + 3, cy + 1.5f}, 1.05f, glyph);
    if (kind == 2) {
        polyline(c, {cx - 2.6f, cy - 2.6f, cx + 2.6f, cy + 2.6f}, 1.05f, glyph);
        polyline(c, {cx - 2.6f, cy + 2.6f, cx + 2.6f, cy - 2.6f}, 1.05f, glyph);
    }
}

// A soft shadow under everything drawn so far on a picture of its own, then onto c.
void with_shadow(Canvas& c, const Canvas& art, float radius, int dy, float strength) {
    Canvas s = art;
    canvas_drop_shadow(s, radius, 0, dy, rgb(0x000000, strength));
    canvas_draw(c, s, 0, 0);
}

// Slider arrows: a raised round button with a triangle pointing left or right.
void slider_arrow(Canvas& c, bool right, bool hover) {
    Canvas a(c.w, c.h);
    raised_disc(a, 12, 12, 9.5f, hover ? rgb(pal::AMBER_LIGHT) : rgb(pal::FACE_TOP),
                hover ? rgb(pal::AMBER) : rgb(pal::FACE_BOTTOM), rgb(pal::OUTLINE, 0.9f));
    float d = right ? 1 : -1;
    Pts tri = {12 + 4.0f * d, 12, 12 - 2.5f * d, 7.5f, 12 - 2.5f * d, 16.5f};
    Pts halo = tri;
    for (float& v : halo)
        v += 0.8f;
    if (!hover) polygon(a, halo, rgb(pal::WHITE, 0.7f));
    polygon(a, tri, hover ? rgb(pal::TEAL_INK) : rgb(pal::TEAL));
    with_shadow(c, a, 1.5f, 1, 0.35f);
}

// The slider thumb: an upright knob centred on the groove (10 rows below its top).
void slider_thumb(Canvas& c, bool hover) {
    Canvas k(c.w, c.h);
    auto body = [](float px, float py) { return sd_rect(px, py, 3, 1, 15, 20, 4.0f); };
    fill_all(k, body, [=](float, float py) {
        return hover ? mix(rgb(pal::AMBER_LIGHT), rgb(pal::AMBER), py / 20)
                     : mix(rgb(pal::FACE_TOP), rgb(pal::FACE_BOTTOM), py / 20);
    });
    fill_all(
        k, [&](float px, float py) { return std::fabs(body(px, py) + 1.5f) - 0.5f; },
        [](float px, float py) {
            return (px < 9 && py < 12) ? rgb(pal::WHITE, 0.8f) : rgb(pal::WHITE, 0.0f);
        });
    fill_all(
        k, [&](float px, float py) { return std::fabs(body(px, py) + 0.5f) - 0.5f; },
        rgb(pal::OUTLINE, 0.95f));
    for (int i = 0; i < 3; i++) {
        float y = 7.5f + 2.5f * i;
        polyline(k, {6.5f, y + 0.8f, 11.5f, y + 0.8f}, 0.45f, rgb(pal::WHITE, 0.8f));
        polyline(k, {6.5f, y, 11.5f, y}, 0.45f, hover ? rgb(pal::AMBER_DEEP) : rgb(pal::INK_SOFT));
    }
    canvas_drop_shadow(k, 1.5f, 1, 1, rgb(0x000000, 0.30f));
    canvas_draw(c, k, 0, 0);
}

// The slider groove: a sunken channel 6 rows high around row 10; rounded at the ends.
void slider_track(Canvas& c, int part) {  // 0 left end, 1 middle, 2 lit middle, 3 right end
    const float x0 = part == 0 ? 2.0f : -20.0f, x1 = part == 3 ? 10.0f : 32.0f;
    auto groove = [=](float px, float py) { return sd_rect(px, py, x0, 7, x1, 13, 3.0f); };
    fill_all(c, groove, [=](float, float py) {
        if (part == 2) return mix(rgb(pal::AMBER_DEEP), rgb(pal::AMBER_LIGHT), clamp01((py - 7) / 6));
        return mix(rgb(0xB9AC98), rgb(0xDDD3C3), clamp01((py - 7) / 6));
    });
    // Inner shade at the top, light lip below: the groove is cut into the face.
    fill_all(
        c, [&](float px, float py) { return std::fabs(groove(px, py) + 0.5f) - 0.5f; },
        [](float, float py) { return py < 10 ? rgb(pal::OUTLINE, 0.85f) : rgb(pal::OUTLINE, 0.45f); });
    fill_all(
        c, [&](float px, float py) { return std::fabs(groove(px, py) - 0.5f) - 0.5f; },
        [](float, float py) { return py > 10 ? rgb(pal::WHITE, 0.9f) : rgb(pal::WHITE, 0.0f); });
}

void progress_block(Canvas& c) {
    auto block = [](float px, float py) { return sd_rect(px, py, 0.5f, 1, 5.5f, 17, 1.5f); };
    fill_all(c, block, [](float, float py) {
        return py < 6 ? mix(rgb(pal::AMBER_LIGHT), rgb(pal::AMBER), py / 6)
                      : mix(rgb(pal::AMBER), rgb(pal::AMBER_DEEP), (py - 6) / 11);
    });
    fill_all(
        c, [&](float px, float py) { return std::fabs(block(px, py) + 0.5f) - 0.5f; },
        rgb(pal::AMBER_DEEP, 0.8f));
    polyline(c, {2, 3, 2, 8}, 0.5f, rgb(pal::WHITE, 0.6f));
}

// Rotation allowed (lit) or not: a turning arrow on a dark plate, legible on any picture.
void rotation_picture(Canvas& c, bool on) {
    fill_all(
        c, [](float px, float py) { return sd_rect(px, py, 1, 1, 17, 17, 4); },
        rgb(0x1A1410, on ? 0.62f : 0.55f));
    Rgba glyph = on ? rgb(pal::AMBER_LIGHT) : rgb(0xE8E0D2, 0.8f);
    // Three quarters of a circle and an arrow head at its end.
    fill_all(
        c,
        [](float px, float py) {
            float ring = std::fabs(sd_circle(px, py, 9, 9.2f, 4.6f)) - 1.1f;
            float gap = sd_polygon(px, py, {9, 9.2f, 18, 0.2f, 18, 9.2f});
            return std::fmax(ring, -gap);
        },
        glyph);
    polygon(c, {11.2f, 2.0f, 16.2f, 4.6f, 11.8f, 8.2f}, glyph);
    if (!on) polyline(c, {4.0f, 14.5f, 14.5f, 4.0f}, 1.0f, rgb(0xE0654A, 0.95f));
}

// 37: finished: a gold rosette with a check mark.
void badge_finished(Canvas& c) {
    Canvas a(48, 48);
    fill_all(
        a,
        [](float px, float py) {
            float dx = px - 24, dy = py - 23, ang = std::atan2(dy, dx);
            return std::hypot(dx, dy) - (15.5f + 1.6f * std::cos(12 * ang));
        },
        [](float, float py) { return mix(rgb(0xFFE08A), rgb(0xC98A1E), clamp01((py - 6) / 34)); });
    ring(a, 24, 23, 12.2f, 0.6f, rgb(0x8A5A12, 0.6f));
    fill_all(
        a, [](float px, float py) { return sd_circle(px, py, 24, 23, 11.5f); },
        [](float, float py) { return mix(rgb(0xFFD45C), rgb(0xE0A12E), clamp01((py - 12) / 22)); });
    fill_all(
        a, [](float px, float py) { return std::fabs(sd_circle(px, py, 24, 23, 10.6f)) - 0.5f; },
        [](float px, float py) { return (px + py < 47) ? rgb(pal::WHITE, 0.6f) : rgb(0x8A5A12, 0.35f); });
    Pts check = {17.5f, 23.5f, 22.0f, 28.0f, 30.5f, 18.0f};
    Pts under = check;
    for (float& v : under)
        v += 0.9f;
    polyline(a, under, 2.0f, rgb(0x8A5A12, 0.6f));
    polyline(a, check, 2.0f, rgb(pal::WHITE));
    with_shadow(c, a, 3.0f, 2, 0.45f);
}

// 38: started: a cream dial with the teal rim and an amber wedge of progress.
void badge_started(Canvas& c) {
    Canvas a(48, 48);
    disc(a, 24, 23, 14.5f, rgb(pal::TEAL_DEEP));
    fill_all(
        a, [](float px, float py) { return sd_circle(px, py, 24, 23, 12.0f); },
        [](float, float py) { return mix(rgb(pal::WHITE), rgb(0xEDE3D1), clamp01((py - 11) / 24)); });
    // The wedge from twelve o'clock clockwise over five eighths of the dial.
    fill_all(
        a,
        [](float px, float py) {
            float dx = px - 24, dy = py - 23;
            float ang = std::atan2(dx, -dy);  // 0 at the top, growing clockwise
            if (ang < 0) ang += 6.2831853f;
            float inside = sd_circle(px, py, 24, 23, 9.5f);
            float limit = 6.2831853f * 0.625f;
            float wedge = ang <= limit ? 0.0f : std::fmin(ang - limit, 6.2831853f - ang) * std::hypot(dx, dy);
            return std::fmax(inside, wedge > 0 ? wedge : -1.0f);
        },
        [](float, float py) {
            return mix(rgb(pal::AMBER_LIGHT), rgb(pal::AMBER_DEEP), clamp01((py - 13) / 20));
        });
    ring(a, 24, 23, 13.2f, 0.5f, rgb(pal::WHITE, 0.35f));
    disc(a, 24, 23, 1.6f, rgb(pal::TEAL_INK));
    with_shadow(c, a, 3.0f, 2, 0.45f);
}

// 39: the hidden picture: a light piece with a question mark, on the placeholder colour.
void hidden_placeholder(Canvas& c) {
    Canvas a(48, 48);
    const int knobs[4] = {1, -1, 0, 1};
    fill_all(
        a, [&](float px, float py) { return sd_piece(px, py, 25, 26, 24, knobs); },
        [](float, float py) { return mix(rgb(0xFFF9EE), rgb(0xE7DCC8), clamp01((py - 6) / 36)); });
    fill_all(
        a, [&](float px, float py) { return std::fabs(sd_piece(px, py, 25, 26, 24, knobs) + 0.5f) - 0.5f; },
        rgb(pal::TEAL_INK, 0.6f));
    Mask m;
    if (text_mask(FACE_SERIF_BOLD, 20, "?", 0, &m)) draw_mask(a, m, 24 - (m.w - 2) / 2, 34, rgb(pal::TEAL));
    with_shadow(c, a, 2.5f, 2, 0.5f);
}

// 40: the centre of the view in mouse look: a ring with four ticks, light with a dark rim.
void view_mark(Canvas& c) {
    auto shape = [](float px, float py) {
        float d = std::fabs(sd_circle(px, py, 16, 16, 7.5f)) - 1.0f;
        d = std::fmin(d, sd_segment(px, py, 16, 2.5f, 16, 6.5f, 1.0f));
        d = std::fmin(d, sd_segment(px, py, 16, 25.5f, 16, 29.5f, 1.0f));
        d = std::fmin(d, sd_segment(px, py, 2.5f, 16, 6.5f, 16, 1.0f));
        d = std::fmin(d, sd_segment(px, py, 25.5f, 16, 29.5f, 16, 1.0f));
        return std::fmin(d, sd_circle(px, py, 16, 16, 1.3f));
    };
    fill_all(
        c, [&](float px, float py) { return shape(px, py) - 1.2f; }, rgb(0x101010, 0.6f));
    fill_all(c, shape, rgb(pal::WHITE, 0.95f));
}

// Box buttons: a raised disc with a light glyph, sized to stay inside the 24-row button bar.
void box_button(Canvas& c, int kind, bool hover) {  // 0 help, 1 cancel, 2 OK
    static const uint32_t TOP[3] = {0x5B97A0, 0xDB7A58, 0x6CBF86},
                          BOTTOM[3] = {pal::TEAL_DEEP, 0x9E3C20, 0x2D7046};
    static const uint32_t TOP_LIT[3] = {pal::AMBER_LIGHT, 0xF39B79, 0x92DCA7},
                          BOTTOM_LIT[3] = {pal::AMBER, pal::RUST, pal::GREEN};
    Canvas a(32, 32);
    if (hover) {  // a warm glow around the lit button
        Canvas glow(32, 32);
        disc(glow, 16, 16, 10.5f, rgb(pal::AMBER_LIGHT));
        canvas_drop_shadow(glow, 3.0f, 0, 0, rgb(pal::AMBER, 0.9f));
        canvas_draw(a, glow, 0, 0);
    }
    raised_disc(a, 16, 16, 9.5f, hover ? rgb(TOP_LIT[kind]) : rgb(TOP[kind]),
                hover ? rgb(BOTTOM_LIT[kind]) : rgb(BOTTOM[kind]), rgb(0x1A1410, 0.55f));
    Rgba glyph = hover && kind == 0 ? rgb(pal::TEAL_INK) : rgb(pal::WHITE);
    Rgba halo = rgb(0x000000, 0.28f);
    if (kind == 0) {
        Mask m;
        if (text_mask(FACE_SANS_BOLD, 14, "?", 0, &m)) {
            draw_mask(a, m, 12, 22, halo);
            draw_mask(a, m, 11, 21, glyph);
        }
    } else if (kind == 1) {
        embossed_polyline(a, {12.2f, 12.2f, 19.8f, 19.8f}, 1.5f, glyph, halo);
        embossed_polyline(a, {12.2f, 19.8f, 19.8f, 12.2f}, 1.5f, glyph, halo);
    } else {
        embossed_polyline(a, {11.5f, 16.3f, 14.8f, 19.6f, 20.8f, 12.6f}, 1.6f, glyph, halo);
    }
    with_shadow(c, a, 1.5f, 1, 0.35f);
}

// Minimise corner at the top right of the screen, on the room's top bar.
void minimise_corner(Canvas& c, bool hover) {
    fill_all(
        c, [](float px, float py) { return sd_rect(px, py, 0, 0, 20, 20); }, rgb(pal::TEAL_DEEP));
    auto box = [](float px, float py) { return sd_rect(px, py, 3.5f, 3.5f, 16.5f, 16.5f, 3); };
    fill_all(c, box, hover ? rgb(pal::AMBER) : rgb(pal::WHITE, 0.10f));
    fill_all(
        c, [&](float px, float py) { return std::fabs(box(px, py) + 0.5f) - 0.5f; },
        hover ? rgb(pal::AMBER_LIGHT) : rgb(pal::CREAM, 0.55f));
    polyline(c, {6.8f, 12.8f, 13.2f, 12.8f}, 1.1f, hover ? rgb(pal::TEAL_INK) : rgb(pal::CREAM));
}

}  // namespace

void draw_skin_picture(Canvas& sheet, int n) {
    Rect r = ge_picture_rect(n);
    Canvas c(r.w, r.h);
    // The second looks that are lit under the pointer.
    const bool lit = (n >= GE_PICTURE_ZOOM && n <= GE_PICTURE_SLIDER_THUMB + 1 && (n & 1)) ||
                     (n > GE_PICTURE_ROOM_HELP && ((n - GE_PICTURE_ROOM_HELP) & 1));
    if (n < GE_PICTURE_RADIO)
        tick_box(c, n == GE_PICTURE_TICK + 1);
    else if (n < GE_PICTURE_ZOOM)
        radio(c, n == GE_PICTURE_RADIO + 1);
    else if (n < GE_PICTURE_HELP)
        zoom_picture(c, (n - GE_PICTURE_ZOOM) / 2, lit);
    else if (n < GE_PICTURE_EYE)
        help_strip(c, lit);
    else if (n < GE_PICTURE_UNROLL)
        eye_strip(c, lit);
    else if (n < GE_PICTURE_SLIDER_LEFT)
        title_button(c, (n - GE_PICTURE_UNROLL) / 2, lit);
    else if (n < GE_PICTURE_SLIDER_THUMB)
        slider_arrow(c, n >= GE_PICTURE_SLIDER_RIGHT, lit);
    else if (n < GE_PICTURE_PROGRESS_BLOCK)
        slider_thumb(c, lit);
    else if (n == GE_PICTURE_PROGRESS_BLOCK)
        progress_block(c);
    else if (n <= GE_PICTURE_TRACK_END)
        slider_track(c, n - GE_PICTURE_TRACK_START);
    else if (n < GE_PICTURE_FINISHED)
        rotation_picture(c, n == GE_PICTURE_ROTATION + 1);
    else if (n == GE_PICTURE_FINISHED)
        badge_finished(c);
    else if (n == GE_PICTURE_STARTED)
        badge_started(c);
    else if (n == GE_PICTURE_HIDDEN)
        hidden_placeholder(c);
    else if (n == GE_PICTURE_LOOK_MARK)
        view_mark(c);
    else if (n < GE_PICTURE_CORNER)
        box_button(c, (n - GE_PICTURE_ROOM_HELP) / 2, lit);
    else
        minimise_corner(c, lit);
    canvas_copy(sheet, r.x, r.y, c, 0, 0, r.w, r.h);
}

void draw_logo_pieces(Canvas& c, float x, float y, float k) {
    // Two pieces locked together: a teal one whose knob sits in the amber one's socket. Both
    // are cut with the same knob, so the join is exact; a dark rim marks the cut.
    const int teal[4] = {0, 1, 0, 0}, amber[4] = {1, 0, 0, -1};
    const float s = 12 * k, tx = x + 8.5f * k, ax = x + 20.5f * k, cy = y + 11 * k;
    auto teal_sdf = [=](float px, float py) { return sd_piece(px, py, tx, cy, s, teal); };
    auto amber_sdf = [=](float px, float py) { return sd_piece(px, py, ax, cy, s, amber); };
    Canvas art(c.w, c.h);
    fill_all(art, teal_sdf, [=](float, float py) {
        return mix(rgb(0x9AD3D6), rgb(0x3E8A92), clamp01((py - y) / (20 * k)));
    });
    fill_all(art, amber_sdf, [=](float, float py) {
        return mix(rgb(pal::AMBER_LIGHT), rgb(pal::AMBER_DEEP), clamp01((py - y) / (20 * k)));
    });
    const float rim = 0.45f * std::max(1.0f, k * 0.6f);
    fill_all(
        art, [&](float px, float py) { return std::fabs(teal_sdf(px, py)) - rim; },
        rgb(pal::TEAL_INK, 0.85f));
    fill_all(
        art, [&](float px, float py) { return std::fabs(amber_sdf(px, py)) - rim; }, rgb(0x5A3408, 0.85f));
    // A light edge on the top and left of each piece.
    auto lit = [&](auto sdf) {
        fill_all(
            art, [&](float px, float py) { return std::fabs(sdf(px, py) + 1.2f * k) - 0.4f * k; },
            [&](float px, float py) {
                const float e = 0.3f;
                float nx = sdf(px + e, py) - sdf(px - e, py), ny = sdf(px, py + e) - sdf(px, py - e);
                float len = std::hypot(nx, ny);
                float l = len > 0 ? -(nx + ny) / (len * 1.41421f) : 0;
                return rgb(pal::WHITE, 0.45f * clamp01(l));
            });
    };
    lit(teal_sdf);
    lit(amber_sdf);
    if (k > 1.5f)
        art = [&] {
            Canvas t = art;
            canvas_drop_shadow(t, 1.5f * k, 0, (int)k, rgb(0x000000, 0.35f));
            return t;
        }();
    canvas_draw(c, art, 0, 0);
}

// The little logo of the room top bar.
Canvas draw_little_logo() {
    Canvas c(LOGO_W, LOGO_H);
    draw_logo_pieces(c, 0.5f, 0.5f, 1.0f);
    return c;
}
