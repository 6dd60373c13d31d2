#pragma once
// The thread that writes the output files' full blocks while the caller
// formats the next ones.
//
// A FileSink given a BlockWriter hands each full block to it (`hand_on`), as
// the BlockTarget that writes it, and goes on in a free buffer; the writer's thread does, block after block in
// the order they were handed on, what the sink would have done itself:
// replacing or comparing the file at its first block, then writing. So
// every file receives the same bytes, and the files are replaced, compared
// and written in the same order, as with no writer. At most `kMaxQueued`
// blocks wait, so the caller never runs further ahead than that, and the
// free buffers are kept for the next blocks.
//
// The first failure of a write (a report, or std::bad_alloc) ends the
// writing: the blocks behind it are dropped, so every file is left as the
// writing on one thread would have left it at that failure, and the failure
// is thrown again to the caller at its next `hand_on` or `wait`. The
// destructor writes out whatever was handed on before it (unless a write
// failed) and ends the thread; it throws nothing.
//
// The thread takes no interrupt (platform::start_without_signals): a
// process's interrupt handler runs on the caller's thread and closes the
// files' write gates before it cuts them. Where the machine has a single
// processor (std::thread::hardware_concurrency), or the process may run on
// one only (platform::usable_processors), or no thread can be started, there is no thread and `hand_on` writes the block at once. The
// thread lives only as long as the BlockWriter.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace malha {

// Where a block handed on goes: `write_block` puts it into its file, on the
// writer's thread when there is one (FileSink, sinks/byte_sink.h).
class BlockTarget {
 public:
  virtual void write_block(const char* data, std::size_t size) = 0;

 protected:
  ~BlockTarget() = default;
};

class BlockWriter {
 public:
  static constexpr std::size_t kMaxQueued = 8;

  // `block_bytes` is the size of every buffer handed on and given back.
  explicit BlockWriter(std::size_t block_bytes);
  ~BlockWriter();
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  bool has_thread() const { return thread_.joinable(); }

  // Queues the first `size` bytes of `block` for `target` and gives the
  // caller a free buffer in its place; waits while kMaxQueued blocks are
  // queued. Without a thread, writes them at once and leaves `block` as it
  // is. Throws the failure of an earlier write, or std::bad_alloc for a
  // buffer that cannot be had.
  void hand_on(BlockTarget& target, std::unique_ptr<char[]>& block, std::size_t size);
  // Waits until every block handed on is written; throws the failure of a
  // write.
  void wait();

 private:
  struct Job {
    BlockTarget* target = nullptr;
    std::unique_ptr<char[]> block;
    std::size_t size = 0;
  };

  static void start_thread(void* writer);
  void write_queued();
  void throw_failure();

  std::size_t block_bytes_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // The queued blocks, oldest first from `first_`, in a ring that never
  // allocates.
  std::array<Job, kMaxQueued> queue_;
  std::size_t first_ = 0;
  std::size_t queued_ = 0;
  std::vector<std::unique_ptr<char[]>> free_;
  bool is_writing_ = false;  // the thread holds a job
  bool is_ending_ = false;   // the destructor waits for the thread
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace malha
