// The console input of a test in the test process: standard input read from a file that holds
// the text the test feeds, so that the programs' questions read it as typed answers.
#pragma once

#include <string>

#include "tests/support/program_runner.h"

namespace drux::test {

class ConsoleFeed {
 public:
  // The whole standard input from now on; a question beyond it reads the end of the input.
  // Whatever an earlier feed left unread is forgotten first.
  void Feed(const std::string& text);

  // Forgets what is left unread and leaves standard input empty for the tests that follow.
  static void Close();

  // Everything left unread of the input.
  static std::string RestOfInput();

  // Reading to the end also forgets a CR that ended the last line.
  static void Drain();

  // A scratch directory that lives as long as the feed, for the test's other files.
  const std::string& directory() const { return directory_.path(); }

 private:
  TemporaryDirectory directory_;
};

}  // namespace drux::test
