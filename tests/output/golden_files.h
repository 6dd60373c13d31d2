#pragma once
// The golden output files under tests/golden/<case>/ and a readable report
// of the first record where a written file differs from its golden one.

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace malha::testing {

inline const std::filesystem::path kGoldenDir =
    std::filesystem::path(MALHA_SOURCE_DIR) / "tests" / "golden";

// MALHA_REGENERATE_GOLDEN=1 asks the tests to rewrite the golden files.
inline bool regenerating() {
  const char* value = std::getenv("MALHA_REGENERATE_GOLDEN");
  return value != nullptr && std::string(value) == "1";
}

// Bytes outside printable ASCII as \xHH.
inline std::string printable(const std::string& record) {
  std::string text;
  for (const char c : record) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      text += c;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 15];
    }
  }
  return text;
}

// The first record where the two texts differ, shown with its number and
// both versions; empty when they are equal.
inline std::string first_difference(const std::string& expected, const std::string& actual) {
  if (expected == actual) return {};
  std::size_t start = 0;
  int record = 1;
  for (;;) {
    const std::size_t expected_end = expected.find('\n', start);
    const std::size_t actual_end = actual.find('\n', start);
    const std::string e = expected.substr(start, expected_end == std::string::npos
                                                     ? std::string::npos
                                                     : expected_end + 1 - start);
    const std::string a = actual.substr(
        start, actual_end == std::string::npos ? std::string::npos : actual_end + 1 - start);
    if (e != a || expected_end == std::string::npos || actual_end == std::string::npos) {
      std::ostringstream text;
      text << "record " << record << " differs (sizes " << expected.size() << " expected, "
           << actual.size() << " written)\n  expected: |" << printable(e)
           << "|\n  written:  |" << printable(a) << "|";
      return text.str();
    }
    start = expected_end + 1;
    ++record;
  }
}

}  // namespace malha::testing
