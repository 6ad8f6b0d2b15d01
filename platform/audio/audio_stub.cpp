// Placeholder until the mixer lands.
#include "platform/audio/audio.h"
