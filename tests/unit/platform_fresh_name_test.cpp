// Names of the new files beside a file the user named: the tag behind the name, the cut of a
// last component that would outgrow the file system's limit (never inside a character), and
// the caller's capacity, terminator included.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/fresh_name.h"

namespace {

std::string Repeat(char c, size_t count) {
  return std::string(count, c);
}

struct FreshNameCase {
  const char* label;
  std::string name;
  unsigned attempt;
  size_t capacity;
  bool ok;
  std::string expected;
};

TEST(FreshName, CandidatesCutAtCharactersAndFitTheirCapacity) {
  // ".tmp" leaves 251 bytes of a 255-byte component for the name.
  const std::string e = "\xC3\xA9";             // two bytes
  const std::string euro = "\xE2\x82\xAC";      // three bytes
  const std::string clef = "\xF0\x9D\x84\x9E";  // four bytes
  const FreshNameCase cases[] = {
      {"first candidate", "a.bin", 0, 64, true, "a.bin.tmp"},
      {"later candidate", "d/a.bin", 2, 64, true, "d/a.bin.2.tmp"},
      {"room for the terminator only", "a.bin", 0, 10, true, "a.bin.tmp"},
      {"no room for the terminator", "a.bin", 0, 9, false, ""},
      {"no capacity", "a.bin", 0, 0, false, ""},
      {"no last component", "d/", 0, 64, false, ""},
      {"cut of a plain name", Repeat('x', 300), 0, 512, true, Repeat('x', 251) + ".tmp"},
      {"cut before a character's second byte", Repeat('x', 250) + e + "yy", 0, 512, true,
       Repeat('x', 250) + ".tmp"},
      {"cut inside a three-byte character", Repeat('x', 249) + euro + "yy", 0, 512, true,
       Repeat('x', 249) + ".tmp"},
      {"cut inside a four-byte character", Repeat('x', 248) + clef + "yy", 0, 512, true,
       Repeat('x', 248) + ".tmp"},
      {"character that ends at the limit stays", Repeat('x', 249) + e + "yy", 0, 512, true,
       Repeat('x', 249) + e + ".tmp"},
      {"cut leaves the directory whole", "dir/" + Repeat('x', 250) + e, 1, 512, true,
       "dir/" + Repeat('x', 249) + ".1.tmp"},
      {"cut name without room for its terminator", Repeat('x', 300), 0, 255, false, ""},
      {"cut name with room for its terminator", Repeat('x', 300), 0, 256, true,
       Repeat('x', 251) + ".tmp"},
  };
  for (const FreshNameCase& c : cases) {
    SCOPED_TRACE(c.label);
    char out[600];
    std::fill(std::begin(out), std::end(out), '#');
    ASSERT_LE(c.capacity, sizeof out);
    const bool ok =
        platform::FreshNameCandidate(c.name.c_str(), "/", ".tmp", c.attempt, out, c.capacity);
    EXPECT_EQ(ok, c.ok);
    if (c.ok) {
      EXPECT_EQ(std::string(out), c.expected);
    }
    // Nothing is written beyond the capacity, whatever the answer.
    for (size_t i = c.capacity; i < sizeof out; ++i) {
      ASSERT_EQ(out[i], '#') << "byte " << i;
    }
  }
}

}  // namespace
