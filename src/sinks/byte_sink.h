#pragma once
// Byte sinks: where the record writer's bytes go, through one buffer.
//
// A sink hands out room for the next bytes inside its buffer (`room`), the
// writer fills it and commits what it used (`commit`); a full buffer is
// handed on as one block. `MemorySink` collects the blocks in memory (for
// tests); `FileSink` writes them to an output file with one system call per
// block.
// Throws: a FileSink's open failure throws the OPEN report, a failed write or
// close the WRITE report; a buffer that cannot be obtained throws
// std::bad_alloc from the constructor.
//
// A FileSink opens the file at its start without discarding it, so that a
// run that fails to open a later file leaves this one as it was. When the
// first block is about to be written, a regular file is replaced in one step
// by a new empty file with its permission bits (platform::
// replace_with_empty_file), which the sink then writes: however the run
// ends, even killed outright, the file holds either its old content whole or
// a beginning of this run's bytes. The new file takes the name while it is
// empty, so the file system has no data to push to disk at the rename. A
// file that is a link is replaced through the link; a device or a pipe is
// written as it is.
//
// A rerun that writes what a file holds already writes nothing: when the old
// file has exactly the size this run will give it (`reserve`), each block is
// first compared with the old bytes at its place, and only the first block
// that differs replaces the file, copying the equal beginning into the new
// one before it goes on. A file whose every block is equal keeps its content,
// which is this run's, and gets a new modification time at close. While the
// blocks are equal the file holds its old content whole, which is also a
// beginning of this run's bytes, and an early end (an interrupt's cut, a
// failure unwinding) leaves it whole.
//
// Where no new file can be made beside the old one (a folder the user may
// not add to), the file is written over its old content and `close` cuts it
// after the new bytes; a FileSink destroyed before `close` (a failure
// unwinding) does the same, and `cut_if_started` from an interrupt handler.
// For a replaced file the cut changes nothing.
//
// Given a BlockWriter (sinks/block_writer.h), a FileSink hands its full
// blocks to the writer's thread, which does all of the above with them in
// the order they were handed on, and goes on in a free buffer; `close`
// first waits for the blocks handed on, then closes on the caller's thread.
// The writer must outlive every call of the sink but its destructor and
// `cut_if_started`, which do not use it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "sinks/block_writer.h"
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
  // For an interrupt handler: leaves behind the sink's bytes handed on so
  // far nothing of what was there before. Safe in a signal handler.
  virtual void cut_if_started() noexcept {}

 protected:
  // Receives the `size` bytes at `data`, the start of the buffer; may
  // exchange the buffer (`buffer`) for another of the same capacity.
  virtual void take_block(const char* data, std::size_t size) = 0;
  std::unique_ptr<char[]>& buffer() { return buffer_; }

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

// An output file, named by its path (relative to the current working
// directory, as every path), written in large blocks.
class FileSink : public ByteSink, private BlockTarget {
 public:
  static constexpr std::size_t kBlockBytes = 1024 * 1024;

  // Creates the file or opens the existing one, which must be writable;
  // throws the OPEN report when neither is possible. With `writer`, the
  // blocks are written on its thread.
  explicit FileSink(std::string name, BlockWriter* writer = nullptr);
  // When `close` was not called (a failure is unwinding): cuts a file that
  // has begun writing after this run's bytes and closes it, without a
  // report.
  ~FileSink() override;

  // Writes out the buffer, cuts the file after this run's bytes (so a file
  // that received nothing is emptied, and one written over loses the old
  // content beyond them), and closes it.
  void close() override;
  // The file's space is set aside (platform::reserve_file_space) when its
  // first block is written, so a file that receives nothing keeps its old
  // state; what is not used is given back at close or by the cut.
  void reserve(std::uint64_t size) override { reserved_ = size; }
  // Cuts the file after the bytes written so far when it has begun
  // writing; errors are ignored, since the run is ending. Where the
  // interrupt handler runs beside the writing thread (Windows), it first
  // waits for a block being written to end, and no block is written after
  // it (platform::WriteGate).
  void cut_if_started() noexcept override;

 private:
  void take_block(const char* data, std::size_t size) override;
  // One block into the file: what take_block does, on the writer's thread
  // when there is one (BlockTarget).
  void write_block(const char* data, std::size_t size) override;
  bool old_file_has_reserved_size();
  bool equals_old_bytes(const char* data, std::size_t size);
  void replace_file();
  void cut_after_written();
  void cut_started() noexcept;

  platform::FileHandle file_ = platform::kNoFile;
  BlockWriter* writer_ = nullptr;
  // Writes and replacements kept apart from an interrupt handler's cut.
  platform::WriteGate gate_;
  // Set before the first write reaches the file.
  std::atomic<bool> is_started_ {false};
  // Bytes the system has taken, all of this run.
  std::atomic<std::uint64_t> written_ {0};
  std::uint64_t reserved_ = 0;
  // Blocks are being compared with the old file's bytes (nothing written);
  // cleared, inside the gate, when the file is replaced.
  std::atomic<bool> is_comparing_ {false};
  // The old bytes of one block, while comparing.
  std::unique_ptr<char[]> old_block_;
};

}  // namespace malha
