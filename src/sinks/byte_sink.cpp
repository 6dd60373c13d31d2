#include "sinks/byte_sink.h"

#include <cassert>
#include <cstring>
#include <utility>

#include "sinks/random_name.h"
#include "system/run_error.h"

namespace malha {
namespace {

// A write or replacement of the file, kept apart from an interrupt
// handler's cut while it lasts.
class InsideGate {
 public:
  explicit InsideGate(platform::WriteGate& gate) : gate_(gate) {
    platform::enter_write_gate(gate_);
  }
  ~InsideGate() { platform::leave_write_gate(gate_); }
  InsideGate(const InsideGate&) = delete;
  InsideGate& operator=(const InsideGate&) = delete;

 private:
  platform::WriteGate& gate_;
};

}  // namespace

ByteSink::ByteSink(std::string name, std::size_t capacity)
    : name_(std::move(name)),
      buffer_(std::make_unique_for_overwrite<char[]>(capacity)),
      capacity_(capacity) {}

void ByteSink::flush() {
  if (used_ == 0) return;
  const std::size_t size = used_;
  used_ = 0;
  take_block(buffer_.get(), size);
}

FileSink::FileSink(std::string name, BlockWriter* writer)
    : ByteSink(std::move(name), kBlockBytes), writer_(writer) {
  int os_error = 0;
  file_ = platform::open_for_writing(this->name().c_str(), os_error);
  if (file_ == platform::kNoFile) fail_file(RunError::open, this->name(), os_error);
}

FileSink::~FileSink() {
  if (file_ == platform::kNoFile) return;
  cut_started();
  int ignored = 0;
  platform::close_file(file_, ignored);
}

void FileSink::cut_after_written() {
  int os_error = 0;
  if (!platform::cut_file(file_, written_.load(), os_error)) {
    fail_file(RunError::write, name(), os_error);
  }
}

void FileSink::take_block(const char* data, std::size_t size) {
  if (writer_ != nullptr) {
    writer_->hand_on(*this, buffer(), size);
  } else {
    write_block(data, size);
  }
}

void FileSink::write_block(const char* data, std::size_t size) {
  assert(file_ != platform::kNoFile);
  // An old file of exactly this run's size may already hold this run's
  // bytes: it is compared before anything is written. The comparing is
  // marked before the start, so that a cut never sees a started file that
  // still holds its old content.
  if (!is_started_.load() && old_file_has_reserved_size()) {
    is_comparing_.store(true);
    is_started_.store(true);
  }
  if (is_comparing_.load()) {
    if (equals_old_bytes(data, size)) {
      written_.fetch_add(size);
      return;
    }
    old_block_.reset();
  }
  // The replacement and the write of the block that called for it pass the
  // gate together: an interrupt's cut comes before both, when the file still
  // holds its old content, or after both. A file whose first differing block
  // is also its last (a rerun that changes only the processing time) is
  // thus its old content whole or this run's whole.
  const InsideGate inside(gate_);
  if (!is_started_.load() || is_comparing_.load()) {
    is_started_.store(true);
    replace_file();
  }
  int os_error = 0;
  if (!platform::write_file(file_, data, size, os_error)) {
    fail_file(RunError::write, name(), os_error);
  }
  written_.fetch_add(size);
}

bool FileSink::old_file_has_reserved_size() {
  std::uint64_t size = 0;
  int os_error = 0;
  return reserved_ > 0 && platform::file_size(file_, size, os_error) && size == reserved_;
}

bool FileSink::equals_old_bytes(const char* data, std::size_t size) {
  if (!old_block_) old_block_ = std::make_unique_for_overwrite<char[]>(kBlockBytes);
  if (size > kBlockBytes) return false;
  const long got = platform::read_file_at(file_, written_.load(), old_block_.get(), size);
  return got == static_cast<long>(size) && std::memcmp(old_block_.get(), data, size) == 0;
}

// A regular file is replaced by a new empty one in one step, so that it holds
// either its old content whole or a beginning of this run's bytes, however
// the run ends; the beginning found equal while comparing goes into the new
// file first. Where no new file can be made beside it, the old content is
// written over from the end of that beginning, and the cut at close, on a
// failure unwinding or at an interrupt leaves only this run's bytes. Called
// inside the gate.
void FileSink::replace_file() {
  const std::uint64_t equal = written_.load();
  platform::FileHandle old_file = platform::kNoFile;
  const platform::Replacement how =
      platform::replace_with_empty_file(name().c_str(), file_, random_name_part(0), &old_file);
  // From here on the old file is no longer kept whole: a cut may shorten it.
  is_comparing_.store(false);
  if (reserved_ > 0) platform::reserve_file_space(file_, reserved_);
  int os_error = 0;
  if (how == platform::Replacement::replaced) {
    // The new file is empty: the equal beginning goes into it first, so that
    // it holds a beginning of this run's bytes at every moment.
    bool is_copied = true;
    if (equal > 0) {
      is_copied = old_file != platform::kNoFile &&
                  platform::copy_file_start(old_file, file_, equal, os_error);
    }
    int ignored = 0;
    if (old_file != platform::kNoFile) platform::close_file(old_file, ignored);
    if (!is_copied) fail_file(RunError::write, name(), os_error);
    return;
  }
  // Written over where it is: the equal beginning stays, the next bytes go
  // after it (a device or a pipe is never compared, so `equal` is 0 there).
  if (equal > 0 && !platform::set_file_position(file_, equal, os_error)) {
    fail_file(RunError::write, name(), os_error);
  }
}

void FileSink::close() {
  if (file_ == platform::kNoFile) return;
  flush();
  if (writer_ != nullptr) writer_->wait();
  const InsideGate inside(gate_);
  // Every block equal to the old file's: the content stays, and the file
  // shows that this run wrote it.
  if (is_comparing_.load()) platform::mark_modified(file_);
  cut_after_written();
  int os_error = 0;
  const platform::FileHandle file = std::exchange(file_, platform::kNoFile);
  if (!platform::close_file(file, os_error)) fail_file(RunError::write, name(), os_error);
}

void FileSink::cut_if_started() noexcept {
  platform::close_write_gate(gate_);
  cut_started();
}

void FileSink::cut_started() noexcept {
  const platform::FileHandle file = file_;
  // A file still being compared holds its old content whole, which an early
  // end leaves as it is.
  if (file == platform::kNoFile || !is_started_.load() || is_comparing_.load()) return;
  int ignored = 0;
  platform::cut_file(file, written_.load(), ignored);
}

}  // namespace malha
