// A battle of the default races with the null GL and the fake clock, set up
// through the settings and the scene loading as the program does it: for the
// benchmarks and the soak runs.
#pragma once
#include <cstdint>
#include <string>

// The temporary folder the process `pid` writes its data set into. A process
// removes its own when it ends normally; one that ends with _exit (a forked
// child) leaves it to its parent.
std::string headlessDataFolder(long pid);

// Writes the default data set into a temporary folder once, points
// ProgramDirectory at it, and stores fleets of `perSide` ships a side in the
// in-memory settings, spread over the default races; installs the null GL, the
// fake clock at `clockStart`, seeds the generator and makes a fresh puff list.
// Releases any fleets from before; loads nothing (setUpScene does). False with
// the reason in `error` when the data set cannot be written.
bool configureHeadlessBattle(int perSide, uint32_t clockStart, uint32_t seed, std::string* error);
