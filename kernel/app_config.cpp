// kernel/app_config.cpp -- the application configuration and its defaults.
#include "kernel/app_config.h"

#include "base/limits.h"

AppConfig app_config;

void app_config_defaults(AppConfig* config) {
    config->title = "Lumavex";
    config->className = "KVLUMAVEXCLASS";
    config->inputMask =
        INPUT_LEFT_DOWN | INPUT_RIGHT_DOWN | INPUT_LEFT_UP | INPUT_RIGHT_UP | INPUT_KEY_DOWN | INPUT_KEY_UP;
    config->bitsPerPixel = 24;
    config->videoDriver = 1;
    config->videoDriverGiven = 0;
    config->framePeriod = FRAME_PERIOD_MS;
    config->debugLevel = 0;
}
