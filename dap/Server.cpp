#include "dap/Server.h"

#include "protocol/Message.h"
#include "protocol/MessageQueue.h"

namespace Vorn::Dap {

int serve(std::istream& in, std::ostream& out, Environment environment, std::size_t bodyLimit) {
    Protocol::MessageWriter writer(out);
    Protocol::MessageQueue queue(in, bodyLimit);
    bool writeFailed = false;
    environment.watchMessages = [&queue](bool watch) { queue.setRunning(watch); };
    Adapter adapter(
        std::move(environment),
        [&writer, &writeFailed](const Json& message) {
            writeFailed = !writer.write(message) || writeFailed;
        },
        &queue.interruptFlag());
    // False at the end of the input.
    const auto deliver = [&adapter](const Protocol::ReadResult& read) {
        switch (read.status) {
            case Protocol::ReadResult::Status::EndOfInput:
                return false;
            case Protocol::ReadResult::Status::BadHeader:
            case Protocol::ReadResult::Status::TooLarge:
                adapter.frameError(read.problem);
                return true;
            case Protocol::ReadResult::Status::Message:
                adapter.handleBody(read.body);
                return true;
        }
        return true;
    };
    while (!adapter.finished() && !writeFailed) {
        if (!adapter.running()) {
            queue.setRunning(false);
            if (!deliver(queue.wait())) {
                return 1;
            }
            continue;
        }
        // Running: the messages that came meanwhile first, then on until a
        // stop or the next message.
        queue.setRunning(true);
        bool ended = false;
        while (auto read = queue.poll()) {
            if (!deliver(*read)) {
                ended = true;
                break;
            }
            if (adapter.finished()) {
                break;
            }
        }
        if (ended) {
            return 1;
        }
        adapter.proceed();
    }
    return writeFailed ? 1 : adapter.exitStatus();
}

}  // namespace Vorn::Dap
