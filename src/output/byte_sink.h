#pragma once
// Byte sinks: where the record writer's bytes go, through one buffer.
//
// A sink hands out room for the next bytes inside its buffer (`room`), the
// writer fills it and commits what it used (`commit`); a full buffer is
// handed on as one block. `MemorySink` collects the blocks in memory (for
// tests); `FileSink` writes them to an output file with one system call per
// block. Open failures end the run with the OPEN report, and failed writes
// or closes with the WRITE report.
//
// A FileSink opens the file at its start without discarding it, so that a
// run that fails to open a later file leaves this one as it was. When the
// first block is about to be written, a regular file is replaced in one step
// by a new empty file with its permission bits (platform::
// replace_with_empty_file), which the sink then writes: however the run
// ends, even killed outright, the file holds either its old content whole or
// a beginning of this run's bytes. The new file takes the name while it is
// empty, so the file system has no data to push to disk at the rename, and a
// rerun writes as fast as a run in an empty folder. A file that is a link is
// replaced through the link; a device or a pipe is written as it is.
//
// Where no new file can be made beside the old one (a folder the user may
// not add to), the file is written over its old content and `close` cuts it
// after the new bytes; `cut_started_files` does the same on a failure or an
// interrupt, for every open FileSink that has begun writing. For a replaced
// file the cut changes nothing.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "system/platform.h"

namespace malha {

class ByteSink {
 public:
  // `name` names the sink in failure reports; `capacity` is the buffer size.
  ByteSink(std::string name, std::size_t capacity);
  virtual ~ByteSink() = default;
  ByteSink(const ByteSink&) = delete;
  ByteSink& operator=(const ByteSink&) = delete;

  const std::string& name() const { return name_; }

  // Room for at least `size` (at most the capacity) contiguous bytes; the
  // buffered bytes are handed on first when they leave too little room.
  char* room(std::size_t size) {
    if (capacity_ - used_ < size) flush();
    return buffer_.get() + used_;
  }
  // Keeps the first `size` bytes of the room last handed out.
  void commit(std::size_t size) { used_ += size; }

  // Hands every buffered byte on.
  void flush();
  // Flushes and releases whatever the sink holds.
  virtual void close() { flush(); }
  // A hint that the sink will receive `size` bytes in all.
  virtual void reserve(std::uint64_t size) { (void)size; }

 protected:
  virtual void take_block(const char* data, std::size_t size) = 0;

 private:
  std::string name_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};

// Collects all bytes in memory.
class MemorySink : public ByteSink {
 public:
  explicit MemorySink(std::string name = "memory", std::size_t capacity = 64 * 1024)
      : ByteSink(std::move(name), capacity) {}
  // Everything written so far (flushes first).
  const std::string& bytes() {
    flush();
    return bytes_;
  }

 private:
  void take_block(const char* data, std::size_t size) override { bytes_.append(data, size); }
  std::string bytes_;
};

// An output file in the current working directory, written in large blocks.
class FileSink : public ByteSink {
 public:
  static constexpr std::size_t kBlockBytes = 1024 * 1024;

  // Creates the file or opens the existing one, which must be writable;
  // ends the run with the OPEN report when neither is possible.
  explicit FileSink(std::string name);
  // Closes the file without any report if `close` was not called (only
  // reached when the run ends early).
  ~FileSink() override;

  // Writes out the buffer, cuts the file after this run's bytes (so a file
  // that received nothing is emptied, and one written over loses the old
  // content beyond them), and closes it.
  void close() override;
  // The file's space is set aside (platform::reserve_file_space) when its
  // first block is written, so a file that receives nothing keeps its old
  // state; what is not used is given back at close or by cut_started_files.
  void reserve(std::uint64_t size) override { reserved_ = size; }

  // Cuts every open FileSink that has begun writing after the bytes it has
  // written: no earlier content stays behind them. Safe in a signal handler;
  // errors are ignored, since the run is ending.
  static void cut_started_files();

 private:
  void take_block(const char* data, std::size_t size) override;
  void cut_after_written();

  platform::FileHandle file_ = platform::kNoFile;
  // Set before the first write reaches the file.
  std::atomic<bool> is_started_ {false};
  // Bytes the system has taken, all of this run.
  std::atomic<std::uint64_t> written_ {0};
  std::uint64_t reserved_ = 0;
  // The place in the table of open sinks, or -1 when the table was full
  // (then the file is emptied before its first block instead).
  int slot_ = -1;
};

}  // namespace malha
