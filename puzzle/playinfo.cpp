// puzzle/playinfo.cpp -- read-only views of the open game for the play room.
#include "puzzle/playinfo.h"

#include <cmath>

#include "puzzle/game.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"

void play_summary(PlaySummary* out) {
    out->name = play_state.name;
    out->pieceCount = play_state.open ? play_state.pieceCount : 0;
    out->percent = play_state.info.percent;
    out->hiddenPicture = play_state.open && play_state.record.hiddenPicture;
    out->hasTune = play_state.open && play_state.record.hasTune;
    out->repeatTune = play_state.open && play_state.record.repeatTune;
    // A finished game's time was summed when it finished; until then this session's play adds to it.
    out->seconds = play_state.info.elapsedSeconds +
                   (play_state.open && play_state.info.percent < 100 ? play_state.sessionMs / 1000 : 0);
}

int play_picture_region(const Image** picture, int* x, int* y, int* width, int* height) {
    const BoxRecord& r = play_state.record;
    if (!play_state.open || !play_state.picture || r.pieceSize <= 0) return 0;
    *width = (r.width / r.pieceSize) * r.pieceSize;
    *height = (r.height / r.pieceSize) * r.pieceSize;
    *x = (r.width - *width) / 2;
    *y = (r.height - *height) / 2;
    *picture = play_state.picture;
    return *width > 0 && *height > 0;
}

const Image* play_ghost_desk() { return game_ghost_desk(); }

void play_set_desk(int width, int height) {
    play_state.deskWidth = width;
    play_state.deskHeight = height;
}

int play_picture_zoom() {
    return play_state.open && play_state.pictureZoomChosen ? play_state.pictureZoom : -1;
}

void play_set_picture_zoom(int zoom) {
    if (!play_state.open) return;
    play_state.pictureZoom = zoom;
    play_state.pictureZoomChosen = 1;
}

int play_fresh_desk() { return play_state.open && play_state.scattered; }

namespace {

// After the view changed: every piece's rectangles and the whole desk drawn again.
int view_changed(int changed) {
    if (changed) pieces_view_changed();
    return changed;
}

}  // namespace

int play_big_table() { return play_state.open && play_state.bigTable; }

int play_view_zoom_step(int direction, int x, int y) {
    if (!play_big_table()) return 0;
    TableView& v = play_state.view;
    return view_changed(view_zoom_at(&v, view_zoom_step(v.zoom, direction, view_fit_zoom(v)), x, y));
}

int play_view_zoom_to(double zoom, int x, int y) {
    if (!play_big_table()) return 0;
    TableView& v = play_state.view;
    if (zoom > 0) return view_changed(view_zoom_at(&v, zoom, x, y));
    const TableView before = v;
    view_whole(&v);
    return view_changed(v.zoom != before.zoom || v.x != before.x || v.y != before.y);
}

int play_view_pan(int dx, int dy) {
    return play_big_table() && view_changed(view_pan(&play_state.view, dx, dy));
}

double play_view_zoom() { return play_big_table() ? play_state.view.zoom : 1.0; }

void play_view_get(double* zoom, int* x, int* y, int* tableW, int* tableH) {
    const int big = play_big_table();
    *zoom = big ? play_state.view.zoom : 1.0;
    *x = big ? play_state.view.x : 0;
    *y = big ? play_state.view.y : 0;
    *tableW = play_table_width(), *tableH = play_table_height();
}

int play_view_show(int x, int y, int w, int h) {
    if (!play_big_table() || w <= 0 || h <= 0) return 0;
    TableView& v = play_state.view;
    const TableView before = v;
    const double fx = (double)v.screenWidth / w, fy = (double)v.screenHeight / h;
    double zoom = fx < fy ? fx : fy;
    if (zoom > 1.0) zoom = 1.0;
    const double fit = view_fit_zoom(v);
    v.zoom = zoom < fit ? fit : zoom;
    v.x = (int32_t)std::lround(v.screenWidth / 2.0 - (x + w / 2.0) * v.zoom);
    v.y = (int32_t)std::lround(v.screenHeight / 2.0 - (y + h / 2.0) * v.zoom);
    view_limit(&v);
    return view_changed(v.zoom != before.zoom || v.x != before.x || v.y != before.y);
}

int play_table_picture_place(int* x, int* y) {
    const BoxRecord& r = play_state.record;
    if (!play_big_table() || r.pieceSize <= 0) return 0;
    *x = (play_state.view.tableWidth - r.width / r.pieceSize * r.pieceSize) / 2;
    *y = (play_state.view.tableHeight - r.height / r.pieceSize * r.pieceSize) / 2;
    return 1;
}

void play_view_rect(int* x, int* y, int* w, int* h) {
    if (!play_big_table()) return;
    double l, t, r, b;
    view_to_screen(play_state.view, *x, *y, &l, &t);
    view_to_screen(play_state.view, *x + *w, *y + *h, &r, &b);
    *x = (int)std::floor(l), *y = (int)std::floor(t);
    *w = (int)std::ceil(r) - *x, *h = (int)std::ceil(b) - *y;
}

int play_view_centre_on(int x, int y) {
    if (!play_big_table()) return 0;
    TableView& v = play_state.view;
    double sx, sy;
    view_to_screen(v, x, y, &sx, &sy);
    return view_changed(view_pan(&v, (int)std::lround(v.screenWidth / 2.0 - sx),
                                 (int)std::lround(v.screenHeight / 2.0 - sy)));
}
