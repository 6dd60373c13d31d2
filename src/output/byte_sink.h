#pragma once
// Byte sinks: where the record writer's bytes go, through one buffer.
//
// A sink hands out room for the next bytes inside its buffer (`room`), the
// writer fills it and commits what it used (`commit`); a full buffer is
// handed on as one block. `MemorySink` collects the blocks in memory (for
// tests); `FileSink` writes them to an output file with one system call per
// block. A FileSink opens the file at its start without discarding it and
// empties it just before the first block is written (or at `close` if
// nothing was written), so a run that ends before writing leaves an earlier
// run's file untouched. Open failures end the run with the OPEN report, and
// failed writes or closes with the WRITE report.

#include <cstddef>
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

  // Creates the file or opens the existing one; ends the run with the OPEN
  // report when neither is possible.
  explicit FileSink(std::string name);
  // Closes the file without any report if `close` was not called (only
  // reached when the run ends early).
  ~FileSink() override;

  // Writes out the buffer, empties a file that received nothing, and
  // closes it.
  void close() override;

 private:
  void take_block(const char* data, std::size_t size) override;
  void discard_old_content();

  platform::FileHandle file_ = platform::kNoFile;
  bool is_emptied_ = false;
};

}  // namespace malha
