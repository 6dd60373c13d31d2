#include "sinks/block_writer.h"

#include <system_error>
#include <utility>

#include "system/platform.h"

namespace malha {

BlockWriter::BlockWriter(std::size_t block_bytes) : block_bytes_(block_bytes) {
  // Every buffer the writer holds fits: the queued ones, the one being
  // written and the one handed out before a wait.
  free_.reserve(kMaxQueued + 1);
  // One processor for this process (the machine's, or the ones it is bound
  // to) gains nothing from a second thread, and loses the blocks' freshness
  // in the cache.
  const unsigned usable = platform::usable_processors();
  if (std::thread::hardware_concurrency() == 1 || usable == 1) return;
  try {
    platform::start_without_signals(&BlockWriter::start_thread, this);
  } catch (const std::system_error&) {
    // No thread to be had: every block is written as it is handed on.
  }
}

BlockWriter::~BlockWriter() {
  if (!has_thread()) return;
  {
    const std::lock_guard lock(mutex_);
    is_ending_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BlockWriter::start_thread(void* writer) {
  auto* self = static_cast<BlockWriter*>(writer);
  self->thread_ = std::thread([self] { self->write_queued(); });
}

void BlockWriter::hand_on(BlockTarget& target, std::unique_ptr<char[]>& block, std::size_t size) {
  if (!has_thread()) {
    target.write_block(block.get(), size);
    return;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queued_ < kMaxQueued || failure_; });
  throw_failure();
  std::unique_ptr<char[]> fresh;
  if (free_.empty()) {
    fresh = std::make_unique_for_overwrite<char[]>(block_bytes_);
  } else {
    fresh = std::move(free_.back());
    free_.pop_back();
  }
  Job& job = queue_[(first_ + queued_) % kMaxQueued];
  job.target = &target;
  job.block = std::exchange(block, std::move(fresh));
  job.size = size;
  ++queued_;
  lock.unlock();
  changed_.notify_all();
}

void BlockWriter::wait() {
  if (!has_thread()) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queued_ == 0 && !is_writing_; });
  throw_failure();
}

void BlockWriter::throw_failure() {
  if (failure_) std::rethrow_exception(failure_);
}

// The thread: the queued blocks in order, until the destructor ends it with
// the queue empty. After a failure the blocks are dropped unwritten.
void BlockWriter::write_queued() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return queued_ > 0 || is_ending_; });
    if (queued_ == 0) return;
    Job job = std::move(queue_[first_]);
    first_ = (first_ + 1) % kMaxQueued;
    --queued_;
    const bool is_dropped = failure_ != nullptr;
    is_writing_ = true;
    lock.unlock();
    std::exception_ptr failure;
    if (!is_dropped) {
      try {
        job.target->write_block(job.block.get(), job.size);
      } catch (...) {
        failure = std::current_exception();
      }
    }
    lock.lock();
    if (failure) failure_ = failure;
    is_writing_ = false;
    free_.push_back(std::move(job.block));
    changed_.notify_all();
  }
}

}  // namespace malha
