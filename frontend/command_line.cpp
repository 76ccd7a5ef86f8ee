// The program's arguments into a ServiceRequest.
#include "frontend/command_line.h"

#include "controller/command.h"
#include "controller/exit_codes.h"
#include "controller/keyword_equals.h"
#include "frontend/help.h"
#include "frontend/keyword_tables.h"
#include "platform/format.h"
#include "platform/platform.h"

namespace drux {
namespace {

constexpr char ToLower(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Every rejection shows the short help first, so the user sees the syntax next to the error.
void RejectWithText(const FeatureSet& features, const char* format, const char* text) {
  ShortHelp(features);
  platform::PrintError(format, text);
}

void RejectWithLetter(const FeatureSet& features, char letter) {
  ShortHelp(features);
  platform::PrintError("ERROR: Unknown option '%c'.\n", letter);
}

void Reject(const FeatureSet& features, const char* message) {
  ShortHelp(features);
  platform::PrintError("%s", message);
}

// Reads the number of -p/-m at *cursor (just after the letter). The range is checked on the
// whole converted value before anything is stored, so that a huge number can never wrap into
// a valid target. Returns false for a missing or out-of-range number.
bool ParseTargetNumber(const char** cursor, int32_t* value) {
  const char* text = *cursor;
  if (*text == '=') {
    ++text;
  }
  if (!IsDigit(*text)) {
    return false;
  }
  bool overflowed = false;
  long number = platform::ParseDecimalLong(text, nullptr, &overflowed);
  while (IsDigit(*text)) {
    ++text;
  }
  if (overflowed || number < 0 || number > kHighestTargetNumber) {
    return false;
  }
  *value = static_cast<int32_t>(number);
  *cursor = text;
  return true;
}

}  // namespace

uint32_t ActionFromKeyword(const char* text) {
  for (const ActionKeywords& action : kActionKeywords) {
    if (KeywordEquals(text, action.letter) == 0 || KeywordEquals(text, action.word) == 0) {
      return action.code;
    }
  }
  return kActionNone;
}

uint32_t DataTypeFromKeyword(const FeatureSet& features, const char* text) {
  for (const DataTypeKeywords& dataType : kDataTypeKeywords) {
    if (!features.full && !dataType.inServiceSet) {
      continue;
    }
    if (KeywordEquals(text, dataType.keyword) == 0 ||
        (dataType.longKeyword != nullptr && KeywordEquals(text, dataType.longKeyword) == 0)) {
      return dataType.code;
    }
  }
  return kDataNone;
}

int ParseOptions(const FeatureSet& features, const char* argument, ServiceRequest* request) {
  const char* cursor = argument + 1;  // behind the '-' or '/'
  while (*cursor != '\0') {
    const char* letterText = cursor;
    char letter = ToLower(*cursor++);
    switch (letter) {
      case '?':
        ShortHelp(features);
        platform::Exit(kExitOk);
      case 'h':
        LongHelp(features);
        platform::Exit(kExitOk);
      case 'd':
        SetDebugTrace(true);
        break;
      case 'r':
        request->reboot = true;
        break;
      case 'v':
        request->verify = false;
        break;
      case 'y':
        request->yes = true;
        break;
      case 'p':
      case 'm': {
        if (letter == 'm' && !features.full) {
          RejectWithLetter(features, *letterText);
          return 0;
        }
        int32_t* field = letter == 'p' ? &request->panel : &request->module;
        if (!ParseTargetNumber(&cursor, field)) {
          RejectWithText(features, "ERROR: Invalid option '%s'.\n", letterText);
          return 0;
        }
        break;
      }
      default:
        RejectWithLetter(features, *letterText);
        return 0;
    }
  }
  return 1;
}

int ParseCommandLine(const FeatureSet& features, int argc, char** argv, ServiceRequest* request) {
  *request = ServiceRequest{};
  bool fileNameTaken = false;
  for (int index = 1; index < argc; ++index) {
    const char* argument = argv[index];
    if (argument[0] == '-' || argument[0] == '/') {
      if (!ParseOptions(features, argument, request)) {
        return 0;
      }
    } else if (request->action == kActionNone) {
      request->action = ActionFromKeyword(argument);
      if (request->action == kActionNone) {
        RejectWithText(features, "ERROR: Unknown action '%s'.\n", argument);
        return 0;
      }
    } else if (request->dataType == kDataNone) {
      request->dataType = DataTypeFromKeyword(features, argument);
      if (request->dataType == kDataNone) {
        RejectWithText(features, "ERROR: Unknown datatype '%s'.\n", argument);
        return 0;
      }
    } else if (!fileNameTaken) {
      request->fileName = argument;
      fileNameTaken = true;
    } else {
      Reject(features, "ERROR: Too many arguments.\n");
      return 0;
    }
  }
  if (!features.full) {
    if (request->action == kActionNone) {
      Reject(features, "ERROR: Action missing.\n");
      return 0;
    }
    if (request->dataType == kDataNone) {
      Reject(features, "ERROR: Data type missing.\n");
      return 0;
    }
  }
  return 1;
}

}  // namespace drux
