// Whole files as the tests read and write them: bytes or text, nothing left open.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace drux::test {

// The whole file; empty when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);

// Replaces the file with the bytes; false when it could not be written completely.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace drux::test
