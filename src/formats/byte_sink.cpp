#include "formats/byte_sink.h"

#include <cassert>
#include <utility>

#include "system/run_error.h"

namespace malha {

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

FileSink::FileSink(std::string name) : ByteSink(std::move(name), kBlockBytes) {
  int os_error = 0;
  file_ = platform::open_for_writing(this->name().c_str(), os_error);
  if (file_ == platform::kNoFile) fail_file(RunError::open, this->name(), os_error);
}

FileSink::~FileSink() {
  if (file_ == platform::kNoFile) return;
  cut_if_started();
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
  assert(file_ != platform::kNoFile);
  if (!is_started_.load()) {
    // A regular file is replaced by a new empty one in one step, so that it
    // holds either its old content whole or a beginning of this run's
    // bytes, however the run ends. Where no new file can be made beside it,
    // the old content is written over, and the cut at close, on a failure
    // unwinding or at an interrupt leaves only this run's bytes.
    platform::replace_with_empty_file(name().c_str(), file_);
    is_started_.store(true);
    if (reserved_ > 0) platform::reserve_file_space(file_, reserved_);
  }
  int os_error = 0;
  if (!platform::write_file(file_, data, size, os_error)) {
    fail_file(RunError::write, name(), os_error);
  }
  written_.fetch_add(size);
}

void FileSink::close() {
  if (file_ == platform::kNoFile) return;
  flush();
  cut_after_written();
  int os_error = 0;
  const platform::FileHandle file = std::exchange(file_, platform::kNoFile);
  if (!platform::close_file(file, os_error)) fail_file(RunError::write, name(), os_error);
}

void FileSink::cut_if_started() noexcept {
  const platform::FileHandle file = file_;
  if (file == platform::kNoFile || !is_started_.load()) return;
  int ignored = 0;
  platform::cut_file(file, written_.load(), ignored);
}

}  // namespace malha
