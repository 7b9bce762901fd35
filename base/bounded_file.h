// Files handed to the program (a scenario, a trace) are read whole, so they must be what
// they seem: a regular file of a bounded size. A device, a FIFO, a directory or an endless
// file (/dev/zero) is refused before it is read, not after it filled the memory or held
// the program.
#pragma once

#include <cstddef>
#include <string>

namespace kestrava {

// Reads `fileName` into `text` when it is a regular file of at most `maxBytes`. Otherwise
// false, and `error` says why in a person's words with the system's reason ("No such file
// or directory", "Permission denied", "a directory, not a file", "larger than 16 MiB").
bool readRegularFile(const std::string& fileName, std::size_t maxBytes, std::string& text, std::string& error);

// "16 MiB", "512 KiB", "100 bytes": a bound as a person reads it.
std::string sizeInWords(std::size_t bytes);

}  // namespace kestrava
