// A recording GL for unit tests: every call is kept with its arguments, and
// the queries answer from settings the test chooses.
#pragma once
#include "gl/gl_table.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct GLCall {
    std::string name;
    std::vector<double> args;          // numeric arguments, in order
    std::vector<const void*> pointers; // pointer arguments, in order
};

struct RecordingGLState {
    std::vector<GLCall> calls;
    std::string extensions = "GL_ARB_multitexture";
    std::string version = "2.1 Kestrion recording GL"; // glGetString(GL_VERSION)
    std::set<GLuint> nonResident;      // names glAreTexturesResident reports evicted
    bool allNonResident = false;
    GLuint nextTextureName = 1;
    double matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; // glGetDoublev answer
};

extern RecordingGLState RecordingGL;

// Points the table at the recorder and resets its state.
void installRecordingGL(const char* extensions = "GL_ARB_multitexture");

// Calls with the given name, in order.
std::vector<GLCall> callsNamed(const std::string& name);
// Index of the first call with this name at or after `from`, or -1.
int findCall(const std::string& name, int from = 0);
// Names of all calls, in order (handy for order assertions).
std::vector<std::string> callNames();
