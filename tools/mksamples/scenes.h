// tools/mksamples/scenes.h -- the painters of the sample pictures and the sample tune.
#pragma once
#include <string>

#include "tools/mksamples/canvas.h"

Canvas paint_sunset_lake(int w, int h);
Canvas paint_tulip_fields(int w, int h);
Canvas paint_rose_window(int w, int h);
Canvas paint_harbour_night(int w, int h);
Canvas paint_balloons(int w, int h);
Canvas paint_coral_reef(int w, int h);
Canvas paint_mandala(int w, int h);
Canvas paint_autumn_forest(int w, int h);
Canvas paint_market_town(int w, int h);  // made for a large puzzle

// A short lullaby as a standard MIDI file (format 0, one track); 1 on success.
int write_sample_tune(const std::string& path);
