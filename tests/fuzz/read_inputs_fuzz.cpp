// Fuzz target for the four answers of the dialogue: any bytes as the input
// of read_inputs. Every input is read three times, served in reads of 1, 3
// and 4096 bytes, and each reading must
//   - end with the four answers read, or with exactly one READ report;
//   - store only finite lengths;
//   - take less than 100 ms of processor time, plus 250 ms for each MiB of
//     input: the instrumented reader needs up to about 170 ms a MiB (in
//     reads of 1 byte), and a reader whose time grows faster than its input
//     goes far beyond;
// and the three readings must agree bit for bit (which report, and every
// value stored before it). The input is also read behind a first line that
// gives the level no value: ",", and the repeat count 2147483647 before a
// line end, must both leave the level 0 and read the input as the other
// three answers alike, while the repeat count 0 must end the run at once
// with the repeat-count report.
//
// A broken invariant aborts, and libFuzzer keeps the input. A READ failure
// is a malha::Error, caught here, so it ends one reading and the target goes
// on to the next.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

#include "dialogue/list_input.h"
#include "dialogue/read_inputs.h"
#include "mesh/mesh.h"
#include "system/error.h"

namespace {

using malha::Mesh;

// The bytes of one input, handed out at most `chunk` bytes per read.
class ChunkedSource final : public malha::ByteSource {
 public:
  ChunkedSource(const std::uint8_t* data, std::size_t size, std::size_t chunk)
      : data_(data), size_(size), chunk_(chunk) {}

  long read(char* buffer, std::size_t size) override {
    std::size_t count = size < chunk_ ? size : chunk_;
    if (count > size_ - position_) count = size_ - position_;
    if (count == 0) return 0;
    std::memcpy(buffer, data_ + position_, count);
    position_ += count;
    return static_cast<long>(count);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t chunk_;
  std::size_t position_ = 0;
};

int g_reports = 0;  // reports of the current reading

// The result of one reading, comparable bit for bit.
struct Outcome {
  bool is_complete = false;  // all four answers read
  std::string code;          // the report's code, when not complete
  std::int32_t level = 0;
  std::uint64_t dim_x_bits = 0;
  std::uint64_t dim_y_bits = 0;
  std::int32_t show_plots = 0;

  bool operator==(const Outcome&) const = default;
};

[[noreturn]] void broken(const char* invariant, const Outcome& outcome, std::size_t chunk) {
  std::fprintf(stderr,
               "broken invariant: %s (reads of %zu bytes: %s%s, level %d, dim_x %a, dim_y %a, "
               "show_plots %d)\n",
               invariant, chunk, outcome.is_complete ? "complete" : "report ",
               outcome.code.c_str(), static_cast<int>(outcome.level),
               std::bit_cast<double>(outcome.dim_x_bits), std::bit_cast<double>(outcome.dim_y_bits),
               static_cast<int>(outcome.show_plots));
  std::abort();
}

constexpr double kSecondsPerReading = 0.100;
constexpr double kSecondsPerMebibyte = 0.250;

Outcome read_answers(const std::uint8_t* data, std::size_t size, std::size_t chunk) {
  ChunkedSource source(data, size, chunk);
  Mesh mesh;
  Outcome outcome;
  g_reports = 0;
  const std::clock_t start = std::clock();
  try {
    malha::read_inputs(mesh, source);
    outcome.is_complete = true;
  } catch (const malha::Error& error) {
    ++g_reports;
    outcome.code = error.code();
    if (error.operation() != "READ(CON)") broken("only READ reports", outcome, chunk);
  }
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  outcome.level = mesh.level;
  outcome.dim_x_bits = std::bit_cast<std::uint64_t>(mesh.dim_x);
  outcome.dim_y_bits = std::bit_cast<std::uint64_t>(mesh.dim_y);
  outcome.show_plots = mesh.show_plots;
  if (g_reports != (outcome.is_complete ? 0 : 1)) {
    broken("four answers or exactly one READ report", outcome, chunk);
  }
  if (!std::isfinite(mesh.dim_x) || !std::isfinite(mesh.dim_y)) {
    broken("finite lengths", outcome, chunk);
  }
  const double limit =
      kSecondsPerReading + kSecondsPerMebibyte * static_cast<double>(size) / (1 << 20);
  if (seconds > limit) broken("under 100 ms and 250 ms a MiB", outcome, chunk);
  return outcome;
}

// The input behind a first line `first_line`, in reads of 4096 bytes.
Outcome read_after(std::string_view first_line, const std::uint8_t* data, std::size_t size) {
  std::string bytes(first_line);
  bytes.append(reinterpret_cast<const char*>(data), size);
  return read_answers(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 4096);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The prompts of millions of readings go nowhere.
  const int null_device = open("/dev/null", O_WRONLY);
  if (null_device >= 0) dup2(null_device, STDOUT_FILENO);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Outcome by_4096 = read_answers(data, size, 4096);
  const Outcome by_3 = read_answers(data, size, 3);
  if (!(by_3 == by_4096)) broken("reads of 3 and 4096 bytes agree", by_3, 3);
  const Outcome by_1 = read_answers(data, size, 1);
  if (!(by_1 == by_4096)) broken("reads of 1 and 4096 bytes agree", by_1, 1);

  const Outcome after_comma = read_after(",\n", data, size);
  const Outcome after_repeat = read_after("2147483647*\n", data, size);
  if (after_comma.level != 0 || !(after_repeat == after_comma)) {
    broken("a null level written as ',' or as '2147483647*' reads alike", after_repeat, 4096);
  }
  const Outcome after_zero_repeat = read_after("0*\n", data, size);
  if (!(after_zero_repeat == Outcome{false, "R1006", 0, 0, 0, 0})) {
    broken("the repeat count 0 is refused", after_zero_repeat, 4096);
  }
  return 0;
}
