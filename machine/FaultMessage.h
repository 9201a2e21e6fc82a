// The message of a run-time fault, as every tool prints it after "Error: ".
#pragma once

#include <string>

namespace Vorn {

class Machine;

// For a machine whose last step faulted (Word::InvalidAddressInOperation, or a
// bounded run that ended in RunResult::End::Fault): the faulting instruction
// is the one before the program counter, since the step advanced it and
// changed nothing else. "fault at address 2 (storei A B): register B holds
// 100, a word without an address field."
std::string faultMessage(const Machine& machine);

}  // namespace Vorn
