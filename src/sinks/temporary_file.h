#pragma once
// A file written complete under a temporary name beside its final one, then
// renamed, so that no reader (and no kill of the writer) ever finds half of
// it under the final name.
//
// The temporary name is the final name, a dot, letters and digits that
// nobody can know beforehand (random_name_part) and ".tmp", created as a new
// file (platform::create_new_file): no file, link or folder that someone put
// in the folder can be written through or take its place; a name that is
// taken is tried again with other letters. From its creation to its rename
// or removal the writer holds the file (platform::hold_new_file), so that
// another writer's cleanup (remove_leftovers) leaves it alone.
//
// TemporaryFile is a byte sink whose blocks go straight to the temporary
// file. `complete` writes out the rest and closes it; `give_final_name`
// renames it over the final name in one step (a link there is replaced, not
// followed); `finish` does both. Until the rename has succeeded, a failure
// (or the sink's destruction, as when an exception unwinds) removes the
// temporary file, so that a failed write leaves the final name as it was and
// nothing beside it.
//
// Throws malha::Error, naming the final file: the OPEN report when no
// temporary file can be created; the WRITE report when a block or the close
// fails; the replace report (WRITE) when the rename fails.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "sinks/byte_sink.h"
#include "system/platform.h"
#include "system/run_error.h"

namespace malha {

class TemporaryFile : public ByteSink {
 public:
  static constexpr std::size_t kBlockBytes = 1024 * 1024;

  explicit TemporaryFile(std::string final_path);
  ~TemporaryFile() override;

  // Writes out the rest and closes the file, complete under its temporary
  // name.
  void complete();
  // Gives the completed file its final name.
  void give_final_name();
  void finish() {
    complete();
    give_final_name();
  }
  void close() override { finish(); }

  // Puts `text` into the sink, a block at a time.
  void put_text(std::string_view text);

 private:
  void take_block(const char* data, std::size_t size) override;
  [[noreturn]] void abandon(RunError error, int os_error);
  // Closes and removes the temporary file.
  void discard() noexcept;

  // The temporary file's path; the final one is the sink's name.
  std::string path_;
  platform::FileHandle file_ = platform::kNoFile;
  // Keeps the writer's hold after `file_` is closed, until the rename.
  platform::FileHandle hold_ = platform::kNoFile;
  bool is_done_ = false;
};

// True when `file` is the name of a temporary file of `final_name` (both
// without a folder), of this writer or of one that named its temporary file
// `final_name` + ".tmp".
bool is_temporary_name_of(std::string_view file, std::string_view final_name);

// Removes the entries of `folder` whose names `is_leftover` accepts, as a
// killed writer left them (a folder among them stays, and so does a file
// that a live writer holds); false, with
// `os_error`, when the folder cannot be listed.
bool remove_leftovers(const std::filesystem::path& folder,
                      const std::function<bool(std::string_view)>& is_leftover, int& os_error);

}  // namespace malha
