// vornls: the language server of the Vorn assembly language, over standard
// input and output. Reads the client's messages, hands each to the Server and
// writes its answers; ends on "exit" or at the end of the input.
#include <charconv>
#include <cstddef>
#include <iostream>
#include <string_view>

#include "langserver/Server.h"
#include "protocol/MessageReader.h"
#include "tools/StandardDescriptors.h"

namespace {

constexpr std::string_view usage =
    "usage: vornls [--stdio]\n"
    "\n"
    "The language server of the Vorn assembly language (Language Server Protocol\n"
    "3.17 over standard input and output). An editor starts it; it shows\n"
    "vornasm's errors as you type, with hover, go to definition, references,\n"
    "rename, completion, symbols, semantic colouring and formatting.\n"
    "\n"
    "  --stdio      talk over standard input and output (the default, and the only way)\n"
    "  --max-message-bytes N\n"
    "               refuse a message longer than N bytes (default 67108864, 64 MiB)\n"
    "  --help       print this help and exit\n"
    "  --version    print the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace Vorn::LanguageServer;
    using Vorn::Protocol::MessageReader;
    using Vorn::Protocol::ReadResult;
    if (!Vorn::Tools::holdStandardDescriptors()) {
        return 1;
    }
    std::size_t bodyLimit = MessageReader::defaultBodyLimit;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--max-message-bytes" && i + 1 < argc) {
            const std::string_view value = argv[++i];
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), bodyLimit);
            if (error != std::errc() || end != value.data() + value.size()) {
                std::cerr << "vornls: --max-message-bytes takes a number of bytes\n";
                return 2;
            }
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            std::cout << usage;
            return 0;
        }
        if (argument == "--version") {
            std::cout << "vornls " << VORN_VERSION << "\n";
            return 0;
        }
        if (argument != "--stdio" && argument.rfind("--clientProcessId", 0) != 0) {
            std::cerr << "vornls: unknown option '" << argument << "'\n" << usage;
            return 2;
        }
    }
    std::ios::sync_with_stdio(false);
    MessageReader reader(std::cin, bodyLimit);
    Vorn::Protocol::MessageWriter writer(std::cout);
    const auto send = [&writer](const Json& message) { writer.write(message); };
    Server server;
    for (;;) {
        ReadResult read = reader.read();
        switch (read.status) {
            case ReadResult::Status::EndOfInput:
                return server.exitStatus();
            case ReadResult::Status::BadHeader:
            case ReadResult::Status::TooLarge:
                send(Server::frameError(read.problem));
                continue;
            case ReadResult::Status::Message:
                break;
        }
        for (const Json& message : server.handleBody(read.body)) {
            send(message);
        }
        if (server.state() == Server::State::Exited) {
            return server.exitStatus();
        }
    }
}
