#include "vtk/temporary_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace malha {

TemporaryFile::TemporaryFile(std::string final_path)
    : ByteSink(final_path + kSuffix, kBlockBytes),
      path_(final_path + kSuffix),
      final_path_(std::move(final_path)) {
  int os_error = 0;
  file_ = platform::open_for_writing(path_.c_str(), os_error);
  if (file_ == platform::kNoFile) fail_file(RunError::open, path_, os_error);
  // A temporary file left by an earlier writer that was killed may be longer.
  if (!platform::cut_file(file_, 0, os_error)) abandon(RunError::write, os_error);
}

// Reached before `finish` only when the write ends early: the file goes.
TemporaryFile::~TemporaryFile() {
  if (is_finished_) return;
  int ignored = 0;
  if (file_ != platform::kNoFile) platform::close_file(file_, ignored);
  platform::remove_file(path_.c_str(), ignored);
}

void TemporaryFile::finish() {
  flush();
  int os_error = 0;
  const platform::FileHandle file = std::exchange(file_, platform::kNoFile);
  if (!platform::close_file(file, os_error)) abandon(RunError::write, os_error);
  if (!platform::rename_file(path_.c_str(), final_path_.c_str(), os_error)) {
    abandon(RunError::replace, os_error);
  }
  is_finished_ = true;
}

void TemporaryFile::put_text(std::string_view text) {
  while (!text.empty()) {
    const std::size_t size = std::min(text.size(), kBlockBytes);
    std::memcpy(room(size), text.data(), size);
    commit(size);
    text.remove_prefix(size);
  }
}

void TemporaryFile::take_block(const char* data, std::size_t size) {
  int os_error = 0;
  if (!platform::write_file(file_, data, size, os_error)) abandon(RunError::write, os_error);
}

void TemporaryFile::abandon(RunError error, int os_error) {
  int ignored = 0;
  const platform::FileHandle file = std::exchange(file_, platform::kNoFile);
  if (file != platform::kNoFile) platform::close_file(file, ignored);
  platform::remove_file(path_.c_str(), ignored);
  is_finished_ = true;  // nothing is left for the destructor to remove
  fail_file(error, final_path_, os_error);
}

}  // namespace malha
