#include "output/seconds_text.h"

#include <cstdio>

namespace quillctl {

std::string SecondsText(double seconds, int decimals) {
    char text[32];
    if (decimals < 0)
        std::snprintf(text, sizeof(text), "%g", seconds);
    else
        std::snprintf(text, sizeof(text), "%.*f", decimals, seconds);
    return text;
}

} // namespace quillctl
