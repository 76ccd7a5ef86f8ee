// The command line parser of both feature sets over argument vectors made from the input (one
// argument per line), against a plain model of the syntax: the same accept or reject and, when
// accepted, the same request. Options that print the help end the process and are left out.
#include <strings.h>

#include <cstring>
#include <memory>
#include <vector>

#include "controller/command.h"
#include "frontend/command_line.h"
#include "frontend/keyword_tables.h"
#include "fuzz/fuzz_check.h"

namespace {

constexpr size_t kMaxArguments = 16;

bool IsOption(const char* argument) {
  return argument[0] == '-' || argument[0] == '/';
}

bool EndsProgram(const char* argument) {
  return IsOption(argument) && std::strpbrk(argument + 1, "?hH") != nullptr;
}

uint32_t ModelAction(const char* text) {
  for (const drux::ActionKeywords& action : drux::kActionKeywords) {
    if (strcasecmp(text, action.letter) == 0 || strcasecmp(text, action.word) == 0) {
      return action.code;
    }
  }
  return drux::kActionNone;
}

uint32_t ModelDataType(bool full, const char* text) {
  for (const drux::DataTypeKeywords& type : drux::kDataTypeKeywords) {
    if ((full || type.inServiceSet) &&
        (strcasecmp(text, type.keyword) == 0 ||
         (type.longKeyword != nullptr && strcasecmp(text, type.longKeyword) == 0))) {
      return type.code;
    }
  }
  return drux::kDataNone;
}

struct ModelResult {
  bool accepted;
  bool debug;
  drux::ServiceRequest request;
};

// -p/-m: an optional '=', then digits whose whole value lies in 0 to 15.
bool ModelTarget(const char** cursor, int32_t* field) {
  const char* p = *cursor;
  if (*p == '=') {
    ++p;
  }
  if (*p < '0' || *p > '9') {
    return false;
  }
  unsigned long value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value > 15 ? value : value * 10 + unsigned(*p - '0');
    ++p;
  }
  if (value > 15) {
    return false;
  }
  *field = int32_t(value);
  *cursor = p;
  return true;
}

bool ModelOptions(bool full, const char* argument, ModelResult* model) {
  for (const char* p = argument + 1; *p != 0;) {
    const char letter = char(*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p);
    ++p;
    if (letter == 'd') {
      model->debug = true;
    } else if (letter == 'r') {
      model->request.reboot = true;
    } else if (letter == 'v') {
      model->request.verify = false;
    } else if (letter == 'y') {
      model->request.yes = true;
    } else if (letter == 'p' || (letter == 'm' && full)) {
      if (!ModelTarget(&p, letter == 'p' ? &model->request.panel : &model->request.module)) {
        return false;
      }
    } else {
      return false;
    }
  }
  return true;
}

ModelResult Model(bool full, const std::vector<char*>& argv) {
  ModelResult model{true, false, drux::ServiceRequest{}};
  drux::ServiceRequest& request = model.request;
  int positional = 0;
  for (size_t i = 1; i < argv.size() && model.accepted; ++i) {
    const char* argument = argv[i];
    if (IsOption(argument)) {
      model.accepted = ModelOptions(full, argument, &model);
    } else if (positional == 0) {
      request.action = ModelAction(argument);
      model.accepted = request.action != drux::kActionNone;
    } else if (positional == 1) {
      request.dataType = ModelDataType(full, argument);
      model.accepted = request.dataType != drux::kDataNone;
    } else if (positional == 2) {
      request.fileName = argument;
    } else {
      model.accepted = false;
    }
    if (!IsOption(argument)) {
      ++positional;
    }
  }
  if (model.accepted && !full) {
    model.accepted = request.action != drux::kActionNone && request.dataType != drux::kDataNone;
  }
  return model;
}

void CompareWithModel(const drux::FeatureSet& features, std::vector<char*>& argv) {
  drux::SetDebugTrace(false);
  drux::ServiceRequest request;
  const int accepted = drux::ParseCommandLine(features, int(argv.size()), argv.data(), &request);
  const bool debug = drux::DebugTrace();
  drux::SetDebugTrace(false);
  const ModelResult model = Model(features.full, argv);
  FUZZ_CHECK(accepted == 0 || accepted == 1);
  FUZZ_CHECK((accepted == 1) == model.accepted);
  FUZZ_CHECK(debug == model.debug);
  if (accepted == 1) {
    FUZZ_CHECK(request.action == model.request.action);
    FUZZ_CHECK(request.dataType == model.request.dataType);
    FUZZ_CHECK(request.fileName == model.request.fileName);
    FUZZ_CHECK(request.panel == model.request.panel);
    FUZZ_CHECK(request.module == model.request.module);
    FUZZ_CHECK(request.reboot == model.request.reboot);
    FUZZ_CHECK(request.verify == model.request.verify);
    FUZZ_CHECK(request.yes == model.request.yes);
    FUZZ_CHECK(request.panel >= -1 && request.panel <= 15);
    FUZZ_CHECK(request.module >= -1 && request.module <= 15);
    FUZZ_CHECK(features.full || request.module == -1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1024) {
    return 0;
  }
  // One block of exactly the input and a terminator; each line becomes one argument.
  std::unique_ptr<char[]> text(new char[size + 1]);
  std::memcpy(text.get(), data, size);
  text[size] = 0;
  std::vector<char*> argv{const_cast<char*>("druxsvc")};
  char* start = text.get();
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || text[i] == '\n') {
      text[i] = 0;
      argv.push_back(start);
      start = text.get() + i + 1;
    }
  }
  if (argv.size() > kMaxArguments) {
    return 0;
  }
  for (char* argument : argv) {
    if (EndsProgram(argument)) {
      return 0;
    }
  }
  CompareWithModel(drux::kServiceFeatureSet, argv);
  CompareWithModel(drux::kFullFeatureSet, argv);
  return 0;
}
