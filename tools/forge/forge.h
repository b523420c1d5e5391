// kestrion-forge: writes the default data set and inspects data files.
#pragma once
#include <string>
#include <vector>

// Runs the tool with its arguments (without the program name); returns the exit status.
int runForge(const std::vector<std::string>& args);
