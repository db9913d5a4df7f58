// The 18-character log stamp, DD Mon YY HH:MM:SS, from the local clock.
#pragma once

#include "platform/platform.h"
#include "util/short_string.h"

using Clock = platform::LocalDateTime (*)();

ShortString LogStamp(const platform::LocalDateTime& now);
