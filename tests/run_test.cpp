// Whole runs: refused levels and memory that cannot be obtained end before
// any output file; the extremes of the lengths either give well-formed files
// or end with the MATH report.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "mesh/allocate_mesh.h"
#include "output/output_files.h"
#include "support/dialogue.h"
#include "support/test_mesh.h"
#include "system/platform.h"

namespace malha {
namespace {

TEST(Run, LevelsOutsideOneToThirtyAreRefusedAfterTheDialogue) {
  struct Case {
    const char* name;
    const char* input;
    const char* level_text;
  };
  const Case cases[] = {
      {"zero", "0\n1\n1\n0\n", "0"},
      {"minus one", "-1\n1\n1\n0\n", "-1"},
      {"thirty-one", "31\n1\n1\n0\n", "31"},
      {"int32 min", "-2147483648\n1\n1\n0\n", "-2147483648"},
      {"null answer leaves zero", ",\n1\n1\n0\n", "0"},
      {"slash leaves zero", "/\n1\n1\n0\n", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::expect_failure_before_output(
        c.input, 4,
        testing::error_report("S5001", "LEVEL",
                              std::string("mesh level ") + c.level_text +
                                  " is outside the accepted range 1 to 30"));
  }
}

TEST(Run, LevelThirtyEndsWithTheAllocateReportWhenMemoryIsShort) {
  if (mesh_array_bytes(testing::counted_mesh(30, 1.0, 1.0)) <=
      platform::obtainable_memory_bytes()) {
    GTEST_SKIP() << "this machine could hold a level-30 mesh";
  }
  testing::expect_failure_before_output(
      "30\n1\n1\n0\n", 4,
      testing::error_report("A2001", "ALLOCATE", "not enough memory to build the mesh"));
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// An int_field_8: blanks, an optional minus sign and at least one digit,
// or eight asterisks.
bool is_int_field(const std::string& text) {
  if (text == "********") return true;
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos) return false;
  if (text[i] == '-') ++i;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (!is_digit(text[i])) return false;
  }
  return true;
}

// A real field of `significant` digits: blanks, a minus sign for negative
// values, d.ddd, then E with a sign and two digits or a sign and three
// digits; the first digit is not 0 unless the value is an unsigned zero.
bool is_real_field(const std::string& text, std::size_t significant) {
  const std::size_t unsigned_width = significant + 1 + 4;
  if (text.size() < unsigned_width + 1) return false;
  const std::size_t blanks = text.find_first_not_of(' ');
  if (blanks == std::string::npos) return false;
  const bool is_negative = text[blanks] == '-';
  if (blanks + (is_negative ? 1 : 0) + unsigned_width != text.size()) return false;
  const std::string number = text.substr(text.size() - unsigned_width);
  if (number[1] != '.') return false;
  for (std::size_t i = 0; i < significant + 1; ++i) {
    if (i != 1 && !is_digit(number[i])) return false;
  }
  const std::string exponent = number.substr(significant + 1);
  const bool is_short_exponent = exponent[0] == 'E' && (exponent[1] == '+' || exponent[1] == '-');
  const bool is_long_exponent = exponent[0] == '+' || exponent[0] == '-';
  if (!is_short_exponent && !is_long_exponent) return false;
  if (!is_digit(exponent[2]) || !is_digit(exponent[3])) return false;
  if (is_long_exponent && !is_digit(exponent[1])) return false;
  if (number[0] != '0') return true;
  return !is_negative && number.find_first_not_of("0.", 0) == significant + 1 &&
         exponent == "E+00";
}

// Checks that every record of an output file is one of the record forms the
// files use, with each number field of its exact width and form: no
// infinity, no not-a-number, no signed zero, no field cut or widened.
void expect_well_formed(const std::string& name, const std::string& bytes) {
  static const std::set<std::string> kFixedRecords = {"", " ", " Posi\xE7\xE3o dos n\xF3s"};
  enum Field { i8, r25, r18 };
  const auto field_ok = [](const std::string& text, Field field) {
    switch (field) {
      case i8: return text.size() == 8 && is_int_field(text);
      case r25: return text.size() == 25 && is_real_field(text, 16);
      case r18: return text.size() == 18 && is_real_field(text, 10);
    }
    return false;
  };
  ASSERT_FALSE(bytes.empty()) << name;
  ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << name;
  std::size_t start = 0;
  for (int number = 1; start < bytes.size(); ++number) {
    const std::size_t end = bytes.find("\r\n", start);
    const std::string record = bytes.substr(start, end - start);
    start = end + 2;
    SCOPED_TRACE(::testing::Message() << name << ", record " << number << ": " << record);
    ASSERT_EQ(record.find_first_of("\r\n"), std::string::npos);
    if (kFixedRecords.count(record) != 0) continue;
    std::vector<Field> fields;  // after a 29-character label, if any
    std::size_t at = 0;
    switch (record.size()) {
      case 8: fields = {i8}; break;
      case 24: fields = {i8, i8, i8}; break;
      case 32: fields = {i8, i8, i8, i8}; break;
      case 37: at = 29; fields = {i8}; break;  // a count line
      case 47: at = 29; fields = {r18}; break; // the time line
      case 50: fields = {r25, r25}; break;
      case 58: fields = {i8, r25, r25}; break;
      default: FAIL() << "no record form has " << record.size() << " characters";
    }
    for (const Field field : fields) {
      const std::size_t width = field == i8 ? 8 : field == r25 ? 25 : 18;
      ASSERT_TRUE(field_ok(record.substr(at, width), field)) << "field at column " << at + 1;
      at += width;
    }
  }
}

// Lengths at the ends of the double range, each run end to end: a run either
// completes with eleven well-formed files or ends with the MATH overflow
// report, exit status 1 and no file.
TEST(Run, ExtremeLengthsGiveWellFormedFilesOrTheMathReport) {
  struct Case {
    const char* name;
    const char* input;
    bool overflows;
  };
  const Case cases[] = {
      // Level 1 puts node 6 at 2 x dim_x, level 2 node 7 at 1.5 x dim_x.
      {"1e308, level 1", "1\n1e308\n1\n0\n", true},
      {"1e308, level 2", "2\n1e308\n1e308\n0\n", false},
      {"1e308, level 3", "3\n1e308\n1e308\n0\n", false},
      {"1e308, level 4", "4\n1e308\n1e308\n0\n", false},
      {"1e308, level 5", "5\n1e308\n1e308\n0\n", false},
      {"1e308, level 6", "6\n1e308\n1e308\n0\n", false},
      {"1.2e308, level 2", "2\n1.2e308\n1\n0\n", true},
      {"largest double, level 6", "6\n1\n1.7976931348623157e308\n0\n", true},
      // Spacings below the normal range lose digits and may reach zero.
      {"subnormal 1e-320, level 1", "1\n1e-320\n1e-320\n0\n", false},
      {"subnormal 1e-320, level 6", "6\n1e-320\n4.9e-324\n0\n", false},
      {"negative zero, level 3", "3\n-0.0\n-0.0\n0\n", false},
      {"negative zero, level 4", "4\n-0.0\n1\n0\n", false},
      {"negative lengths, level 4", "4\n-2\n-1\n0\n", false},
      {"negative lengths, level 5", "5\n-0.3\n-7e10\n0\n", false},
      {"-1e308, level 1", "1\n-1e308\n1\n0\n", true},
      {"-1e308 by 1e-308, level 6", "6\n-1e308\n1e-308\n0\n", false},
      {"1e150 by 1e-150, level 5", "5\n1e150\n1e-150\n0\n", false},
      {"1e300 by 1, level 4", "4\n1e300\n1\n0\n", false},
      {"1 by 1e-300, level 7", "7\n1\n1e-300\n0\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    const testing::RunResult result = testing::run_malha(dir.path(), c.input);
    EXPECT_EQ(result.out, testing::redirected_prompts());
    if (c.overflows) {
      EXPECT_EQ(result.err,
                testing::error_report("M3003", "MATH", "floating-point error: overflow"));
      EXPECT_EQ(result.exit_status, 1);
      EXPECT_TRUE(testing::names_in(dir.path()).empty());
      continue;
    }
    ASSERT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    for (const OutputFileEntry& entry : kOutputFiles) {
      expect_well_formed(entry.name, testing::read_file(dir / entry.name));
    }
  }
}

}  // namespace
}  // namespace malha
