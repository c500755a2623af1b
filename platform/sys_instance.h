// platform/sys_instance.h -- what the event pump asks of the single-instance claim (the platform's
// own; the claim's calls for the rest of the game are in sys.h).
#pragma once
#include "platform/sys.h"

// A request of a later copy, if one waits: 0 none, 1 served (a raise, or nothing usable), 2 a
// text for the game in *out (its text stays valid until the next request).
int instance_serve(PlatformMessage* out);
// 1 once after a close signal arrived (sys_catch_close_signals).
int instance_close_signal_taken();
