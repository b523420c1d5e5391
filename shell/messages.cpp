#include "shell/messages.h"

#include <cstdio>

int showMessageOnStderr(MessageOwner, const char* text, const char* caption, unsigned) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return 1; // IDOK
}

MessageFunction ShowMessage = showMessageOnStderr;
