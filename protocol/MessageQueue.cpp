#include "protocol/MessageQueue.h"

namespace Vorn::Protocol {

MessageQueue::MessageQueue(std::istream& in, std::size_t bodyLimit)
    : shared_(std::make_shared<Shared>(in, bodyLimit)),
      thread_([shared = shared_] { readAll(shared); }) {}

MessageQueue::~MessageQueue() {
    bool ended = false;
    {
        const std::lock_guard lock(shared_->mutex);
        ended = shared_->ended;
    }
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
}

void MessageQueue::readAll(const std::shared_ptr<Shared>& shared) {
    for (;;) {
        ReadResult read = shared->reader.read();
        const bool last = read.status == ReadResult::Status::EndOfInput;
        {
            const std::lock_guard lock(shared->mutex);
            shared->queue.push_back(std::move(read));
            if (shared->running) {
                shared->interrupt.store(true);
            }
            shared->ended = last;
        }
        shared->arrived.notify_one();
        if (last) {
            return;
        }
    }
}

ReadResult MessageQueue::wait() {
    std::unique_lock lock(shared_->mutex);
    shared_->arrived.wait(lock, [this] { return !shared_->queue.empty() || shared_->ended; });
    if (shared_->queue.empty()) {
        return {};  // EndOfInput, already taken once
    }
    ReadResult read = std::move(shared_->queue.front());
    shared_->queue.pop_front();
    return read;
}

std::optional<ReadResult> MessageQueue::poll() {
    const std::lock_guard lock(shared_->mutex);
    if (shared_->queue.empty()) {
        return std::nullopt;
    }
    ReadResult read = std::move(shared_->queue.front());
    shared_->queue.pop_front();
    return read;
}

void MessageQueue::setRunning(bool running) {
    const std::lock_guard lock(shared_->mutex);
    shared_->running = running;
    shared_->interrupt.store(false);
}

}  // namespace Vorn::Protocol
