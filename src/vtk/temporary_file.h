#pragma once
// A file written complete under a temporary name beside its final one (the
// final name + ".tmp"), then renamed, so that no reader (and no kill of the writer) ever finds half
// of it under the final name.
//
// TemporaryFile is a byte sink whose blocks go straight to the temporary
// file, opened (created or emptied) at construction. `finish` writes out the
// rest, closes the file and renames it over the final name in one step.
// Before `finish` has succeeded, a failure (or the sink's destruction, as
// when an exception unwinds) removes the temporary file, so that a failed
// write leaves the final name as it was and nothing beside it.
//
// Throws malha::Error: the OPEN report (naming the temporary file) when it
// cannot be created; the WRITE report (naming the final file) when a block or
// the close fails; the replace report (WRITE, naming the final file) when the
// rename fails.

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/byte_sink.h"
#include "system/platform.h"
#include "system/run_error.h"

namespace malha {

class TemporaryFile : public ByteSink {
 public:
  static constexpr std::size_t kBlockBytes = 1024 * 1024;

  static constexpr const char* kSuffix = ".tmp";

  explicit TemporaryFile(std::string final_path);
  ~TemporaryFile() override;

  // Writes out the rest, closes the file and gives it its final name.
  void finish();
  void close() override { finish(); }

  // Puts `text` into the sink, a block at a time.
  void put_text(std::string_view text);

 private:
  void take_block(const char* data, std::size_t size) override;
  [[noreturn]] void abandon(RunError error, int os_error);

  std::string path_;
  std::string final_path_;
  platform::FileHandle file_ = platform::kNoFile;
  bool is_finished_ = false;
};

}  // namespace malha
