// The file-name prompt: announce a given name or ask for one, then check that an input file
// can be read and that an output file may be replaced.
#include <cstddef>
#include <cstring>

#include "platform/platform.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

// Names typed at the prompt live here until the program ends.
constexpr size_t kFileNameLength = 79;
char typedFileName[kFileNameLength + 1];

// Without a file the report simply goes to the console.
bool IsReport(const char* kind) {
  constexpr char kReport[] = "report";
  return std::strlen(kind) == sizeof kReport - 1 && std::memcmp(kind, kReport, sizeof kReport) == 0;
}

// nullptr when nothing was typed (or, in the service set, nothing may be asked).
const char* AskForName(const FeatureSet& features, const char* kind) {
  if (!features.full) {
    // Printed as a note on the standard output, not the error stream: the caller decides
    // whether a missing name is an error and reports its own result.
    if (!IsReport(kind)) {
      platform::Print("ERROR: Can't determine %s file name automatically.\n", kind);
    }
    return nullptr;
  }
  if (IsReport(kind)) {
    platform::Print("Enter a %s filename or nothing to continue with console output", kind);
  } else {
    platform::Print("Enter a %s filename or nothing to exit", kind);
  }
  return ReadLine(typedFileName, kFileNameLength) ? typedFileName : nullptr;
}

bool FileExists(const char* name) {
  platform::File* file = platform::OpenFile(name, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    return false;
  }
  platform::CloseFile(file);
  return true;
}

}  // namespace

const char* PromptFileName(const FeatureSet& features, const char* kind, const char* name,
                           bool write, uint8_t assumeYes) {
  if (name == nullptr) {
    name = AskForName(features, kind);
    if (name == nullptr) {
      return nullptr;
    }
  } else {
    platform::Print("%s %s file: %s\n", write ? "Write" : "Read", kind, name);
  }
  if (FileExists(name)) {
    if (write && !AskYesNo("File exists already - overwrite (y/n): ", assumeYes)) {
      return nullptr;
    }
  } else if (!write) {
    platform::PrintSystemError("ERROR: Can't open file");
    return nullptr;
  }
  return name;
}

}  // namespace drux
