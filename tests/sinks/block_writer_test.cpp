// The block writer's thread after a failed write: the blocks queued behind
// it are dropped, and the failure reaches the caller.

#include "sinks/block_writer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "system/error.h"

namespace malha {
namespace {

// Records the first byte of each block; the block `fails_at` throws. The
// first block waits until `open` is called, so that the later ones are
// queued behind it.
class FailingTarget : public BlockTarget {
 public:
  explicit FailingTarget(int fails_at, bool is_open) : fails_at_(fails_at), is_open_(is_open) {}
  void write_block(const char* data, std::size_t /*size*/) override {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [this] { return is_open_; });
    if (data[0] == fails_at_) throw Error("W9999", "WRITE(x)", "full");
    written.push_back(data[0]);
  }
  void open() {
    const std::lock_guard lock(mutex_);
    is_open_ = true;
    opened_.notify_all();
  }
  std::vector<char> written;

 private:
  int fails_at_;
  bool is_open_;
  std::mutex mutex_;
  std::condition_variable opened_;
};

TEST(BlockWriter, AFailedWriteDropsTheBlocksBehindItAndIsThrown) {
  constexpr std::size_t kBlockBytes = 64;
  for (const int fails_at : {0, 1, 3, 6}) {
    SCOPED_TRACE("fails at block " + std::to_string(fails_at));
    BlockWriter writer(kBlockBytes);
    FailingTarget target(fails_at, !writer.has_thread());
    bool is_thrown = false;
    try {
      for (char block = 1; block <= 6; ++block) {
        auto buffer = std::make_unique<char[]>(kBlockBytes);
        buffer[0] = block;
        writer.hand_on(target, buffer, kBlockBytes);
      }
      target.open();
      writer.wait();
    } catch (const Error& error) {
      is_thrown = true;
      EXPECT_EQ(error.code(), "W9999");
    }
    EXPECT_EQ(is_thrown, fails_at != 0);
    const int written = fails_at != 0 ? fails_at - 1 : 6;
    std::vector<char> expected;
    for (char block = 1; block <= written; ++block) expected.push_back(block);
    EXPECT_EQ(target.written, expected);
  }
}

}  // namespace
}  // namespace malha
