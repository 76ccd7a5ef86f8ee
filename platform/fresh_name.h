// Names for new files beside a file the user named (a save's temporary file, the UEFI
// rename's backup): the backends try the candidates in turn and take the first that names no
// file, so that nothing the user keeps under such a name is ever replaced or deleted.
#pragma once

#include <cstddef>

namespace platform {

// Longest last path component that the file systems take (Linux NAME_MAX, FAT long names).
inline constexpr size_t kMaxNameComponent = 255;
// Candidates tried before giving up; far more than anyone leaves lying around.
inline constexpr unsigned kFreshNameAttempts = 100;

// Candidate `attempt` for a file beside `name`: "<name><suffix>", then "<name>.1<suffix>",
// "<name>.2<suffix>" and so on. The last component of `name` (after the last character of
// `separators`) is cut so that the candidate's last component fits kMaxNameComponent. False
// when the candidate does not fit `capacity` with its terminator or the name has no last
// component.
bool FreshNameCandidate(const char* name, const char* separators, const char* suffix,
                        unsigned attempt, char* out, size_t capacity);

}  // namespace platform
