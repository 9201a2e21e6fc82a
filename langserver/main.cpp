// vornls: the language server of the Vorn assembly language, over standard
// input and output. Reads the client's messages, hands each to the Server and
// writes its answers; ends on "exit" or at the end of the input.
#include <CLI/CLI.hpp>
#include <cstddef>
#include <iostream>
#include <optional>
#include <string>

#include "langserver/Server.h"
#include "machine/Printable.h"
#include "protocol/MessageReader.h"
#include "text/Number.h"
#include "tools/CommandLine.h"
#include "tools/StandardDescriptors.h"

namespace {

// Reads the options into `bodyLimit`: no value when the server should start,
// or the exit status.
std::optional<int> parseOptions(int argc, const char* const* argv, std::size_t& bodyLimit) {
    CLI::App app(
        "The language server of the Vorn assembly language (Language Server Protocol 3.17 over\n"
        "standard input and output). An editor starts it; it shows vornasm's errors as you type,\n"
        "with hover, go to definition, references, rename, completion, symbols, semantic\n"
        "colouring and formatting.",
        "vornls");
    app.set_version_flag("--version", Vorn::Tools::versionText("vornls"));
    bool stdio = true;
    app.add_flag("--stdio", stdio,
                 "Talk over standard input and output (the default, and the only way)")
        ->disable_flag_override();
    app.add_option("--max-message-bytes", bodyLimit,
                   "Refuse a message longer than N bytes (default 67108864, 64 MiB)")
        ->type_name("N")
        ->check(CLI::Validator(
            [](std::string& text) {
                return Vorn::Text::parseCount(text)
                           ? std::string()
                           : "'" + Vorn::printable(text) + "' is not a number of bytes";
            },
            ""));
    std::string clientProcessId;
    app.add_option("--clientProcessId", clientProcessId,
                   "The editor's process id, which language clients pass (not used: the server "
                   "ends with its input)")
        ->type_name("PID");
    app.footer(
        "Exit status: 0 after shutdown and exit, 1 after exit without shutdown, a closed\n"
        "input, or bad usage.");
    return Vorn::Tools::parseCommandLine(app, argc, argv, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace Vorn::LanguageServer;
    using Vorn::Protocol::MessageReader;
    using Vorn::Protocol::ReadResult;
    if (!Vorn::Tools::holdStandardDescriptors()) {
        return 1;
    }
    std::size_t bodyLimit = MessageReader::defaultBodyLimit;
    if (const auto status = parseOptions(argc, argv, bodyLimit)) {
        return *status;
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
