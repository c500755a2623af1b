// puzzle/progress.h -- how much of the open game is put together.
#pragma once

void progress_update();  // info.percent from the joined neighbour links
