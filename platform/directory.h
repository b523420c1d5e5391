// Directory listing for the data files.
#pragma once
#include <string>
#include <vector>

// The names (no directory) of the entries in `directory`, in the order the
// platform's enumeration returns them, without "." and "..". `directory` ends
// in a path separator. Empty when the directory cannot be read.
std::vector<std::string> listDirectory(const std::string& directory);
