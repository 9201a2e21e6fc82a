// Messages read on a thread of their own, so that a server keeps reading its
// client while it works: a long run goes on until a message arrives, and the
// message can stop it. The thread reads framed messages (MessageReader) into
// a queue; while the server says it is running, each message that arrives
// also raises the flag its run watches. The flag is raised and cleared under
// one lock with the running state, so that a run started after a message was
// taken never sees that message's flag.
//
//   MessageQueue queue(std::cin, limit);
//   queue.setRunning(true);          // clears the flag
//   while (auto read = queue.poll()) handle(*read);
//   session.continueRun();           // stops when queue.interruptFlag() rises
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "protocol/MessageReader.h"

namespace Vorn::Protocol {

class MessageQueue {
  public:
    MessageQueue(std::istream& in, std::size_t bodyLimit);
    // The reading thread may be blocked on the input: it is left to end with
    // the process, and keeps what it shares with the queue alive until then.
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // The next message, waiting for it; EndOfInput once the input has ended.
    ReadResult wait();
    // The next message if one is there.
    std::optional<ReadResult> poll();
    // Whether a message that arrives should raise the flag; clears it.
    void setRunning(bool running);
    // The flag a run watches.
    const std::atomic<bool>& interruptFlag() const { return shared_->interrupt; }

  private:
    struct Shared {
        Shared(std::istream& in, std::size_t bodyLimit) : reader(in, bodyLimit) {}
        MessageReader reader;
        std::atomic<bool> interrupt{false};
        std::mutex mutex;
        std::condition_variable arrived;
        std::deque<ReadResult> queue;
        bool running = false;
        bool ended = false;
    };
    static void readAll(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace Vorn::Protocol
