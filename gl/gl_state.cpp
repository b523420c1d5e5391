#include "gl/gl_state.h"

#include <cstring>

int32_t MultitextureAvailable = 1;
int32_t EdgeClampAvailable = 0;

bool offersEdgeClamp(const char* version) {
    if (!version) return false;
    if (std::strstr(version, "OpenGL ES") || std::strstr(version, "WebGL")) return true;
    // "major.minor", then anything (release number, vendor text).
    int major = 0, minor = 0;
    const char* at = version;
    if (*at < '0' || *at > '9') return false;
    while (*at >= '0' && *at <= '9' && major < 1000)
        major = major * 10 + (*at++ - '0');
    if (*at++ != '.' || *at < '0' || *at > '9') return false;
    while (*at >= '0' && *at <= '9' && minor < 1000)
        minor = minor * 10 + (*at++ - '0');
    return major > 1 || (major == 1 && minor >= 2);
}
