#pragma once
// The part of a new file's name that nobody can know beforehand, so that no
// file can be waiting under that name: letters and digits drawn from the
// system's random source for each call (no state is kept between calls).
// Where that source fails, the time, the place of the caller's stack and
// `attempt` are mixed instead, which still differ from call to call. Throws
// std::bad_alloc only.

#include <cstddef>
#include <string>
#include <string_view>

namespace malha {

inline constexpr std::size_t kRandomNameLength = 10;

// `kRandomNameLength` characters of A-Z, a-z and 0-9. `attempt` counts the
// caller's tries for one file, from 0.
std::string random_name_part(unsigned attempt);

// True when `text` could be a result of random_name_part.
bool is_random_name_part(std::string_view text);

}  // namespace malha
