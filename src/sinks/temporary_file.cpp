#include "sinks/temporary_file.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "sinks/random_name.h"

namespace malha {
namespace {

constexpr std::string_view kSuffix = ".tmp";
// Names taken by chance this many times in a row mean that something other
// than chance takes them: the OPEN report.
constexpr unsigned kAttempts = 64;

}  // namespace

TemporaryFile::TemporaryFile(std::string final_path)
    : ByteSink(std::move(final_path), kBlockBytes) {
  int os_error = 0;
  for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
    path_ = name() + "." + random_name_part(attempt) + std::string(kSuffix);
    file_ = platform::create_new_file(path_.c_str(), os_error);
    if (file_ == platform::kNoFile) {
      if (!platform::is_name_taken(os_error)) break;
      continue;
    }
    hold_ = platform::hold_new_file(path_.c_str(), file_);
    if (hold_ != platform::kNoFile) break;
    // Another writer's cleanup took the new file first: it removes it.
    int ignored = 0;
    platform::close_file(std::exchange(file_, platform::kNoFile), ignored);
  }
  if (file_ == platform::kNoFile) fail_file(RunError::open, name(), os_error);
}

// Reached before the rename only when the write ends early: the file goes.
TemporaryFile::~TemporaryFile() {
  if (!is_done_) discard();
}

void TemporaryFile::discard() noexcept {
  int ignored = 0;
  const platform::FileHandle file = std::exchange(file_, platform::kNoFile);
  if (file != platform::kNoFile) platform::close_file(file, ignored);
  const platform::FileHandle hold = std::exchange(hold_, platform::kNoFile);
  if (hold != platform::kNoFile) {
    platform::remove_held_file(hold, path_.c_str());
  } else {
    platform::remove_file(path_.c_str(), ignored);
  }
  is_done_ = true;  // nothing is left for the destructor to remove
}

void TemporaryFile::complete() {
  flush();
  int os_error = 0;
  const platform::FileHandle file = std::exchange(file_, platform::kNoFile);
  if (file != platform::kNoFile && !platform::close_file(file, os_error)) {
    abandon(RunError::write, os_error);
  }
}

void TemporaryFile::give_final_name() {
  int os_error = 0;
  const platform::FileHandle hold = std::exchange(hold_, platform::kNoFile);
  if (!platform::rename_held_file(hold, path_.c_str(), name().c_str(), os_error)) {
    abandon(RunError::replace, os_error);
  }
  is_done_ = true;
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
  discard();
  fail_file(error, name(), os_error);
}

bool is_temporary_name_of(std::string_view file, std::string_view final_name) {
  if (!file.starts_with(final_name) || !file.ends_with(kSuffix)) return false;
  file.remove_prefix(final_name.size());
  file.remove_suffix(kSuffix.size());
  if (file.empty()) return true;
  return file.front() == '.' && is_random_name_part(file.substr(1));
}

bool remove_leftovers(const std::filesystem::path& folder,
                      const std::function<bool(std::string_view)>& is_leftover, int& os_error) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::directory_iterator entries(folder.empty() ? fs::path(".") : folder, error);
  if (error) {
    os_error = error.value();
    return false;
  }
  std::vector<fs::path> leftovers;
  for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
    if (is_leftover(entries->path().filename().string())) leftovers.push_back(entries->path());
  }
  for (const fs::path& leftover : leftovers) {
    int ignored = 0;
    platform::remove_unheld_file(leftover.string().c_str(), ignored);
  }
  return true;
}

}  // namespace malha
