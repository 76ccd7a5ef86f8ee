// A boot entry's load options as the program's arguments, for a start without the shell. Boot
// managers hand over whatever the entry carries: UCS-2 text from efibootmgr -u or the shell's
// bcfg -opt, or binary data of the firmware's own (EDK II marks the entries it made itself with
// a GUID). Only ASCII text counts as a command line; anything else is as if none were given.
// Free of firmware headers, so the host tests run it too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::uefi {

// True when the units up to the first NUL (or all `count` of them) are ASCII text: printable
// characters, tab, CR and LF, after an optional byte-order mark.
bool IsLoadOptionText(const uint16_t* units, size_t count);

// Splits the text into words as the shell splits a command line: blanks (space, tab, CR, LF)
// separate words; double quotes group blanks into a word and are dropped; '^' takes the next
// character literally. The words go one after another, each NUL-terminated, into `out`.
// Returns the number of words; -1 when they do not fit into `capacity` bytes. Non-text options
// give 0 words.
int SplitLoadOptions(const uint16_t* units, size_t count, char* out, size_t capacity);

// Bytes that SplitLoadOptions needs at most for `count` units.
inline constexpr size_t LoadOptionWordsCapacity(size_t count) {
  return 2 * count + 1;
}

// A boot manager or shell may put the program's own path first (as the shell does in the load
// options of the images it starts). Such a word ends in ".efi" in any case; no request of the
// programs begins with one, so it is never an argument.
bool IsProgramName(const char* word);

}  // namespace platform::uefi
