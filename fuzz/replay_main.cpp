// The fuzz targets without libFuzzer: runs every file of the given corpus folders (or single
// files) through the target once, so that the seeds and every crash reproducer stay tested in
// each normal build. Standard output is discarded; the error stream keeps sanitizer reports.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"

namespace {

std::vector<std::filesystem::path> InputFiles(const std::filesystem::path& argument) {
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(argument)) {
    for (const auto& entry : std::filesystem::directory_iterator(argument)) {
      if (entry.is_regular_file()) {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
  } else if (std::filesystem::is_regular_file(argument)) {
    files.push_back(argument);
  }
  return files;
}

bool ReadWhole(const std::filesystem::path& path, std::vector<char>* bytes) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) {
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
  return !stream.bad();
}

// Each input in a heap block of exactly its size, as libFuzzer hands it over, so that
// AddressSanitizer sees a read one byte beyond the input.
void RunOne(const std::vector<char>& bytes) {
  std::unique_ptr<uint8_t[]> input(new uint8_t[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), input.get());
  LLVMFuzzerTestOneInput(input.get(), bytes.size());
}

void DiscardStandardOutput() {
  std::fflush(stdout);
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);
    close(null);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR_OR_FILE...\n", argv[0]);
    return 2;
  }
  DiscardStandardOutput();
  size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    for (const std::filesystem::path& file : InputFiles(argv[i])) {
      std::vector<char> bytes;
      if (!ReadWhole(file, &bytes)) {
        std::fprintf(stderr, "can't read %s\n", file.c_str());
        return 1;
      }
      RunOne(bytes);
      ++count;
    }
  }
  // A replay that found nothing to run has tested nothing.
  if (count == 0) {
    std::fprintf(stderr, "no inputs found\n");
    return 1;
  }
  std::fprintf(stderr, "replayed %zu inputs\n", count);
  return 0;
}
