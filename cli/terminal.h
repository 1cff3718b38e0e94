// The terminal side of zavel-cli: whether one is there, its width, the password prompt,
// the question about existing targets, and Ctrl-C.
#pragma once

#include <cstdint>
#include <string>

#include "cli/conflict.h"

namespace zavel::cli {

bool isTerminal(int fd);
// Columns of the terminal on fd; 80 when unknown.
size_t terminalWidth(int fd);
uint64_t monotonicMilliseconds();

// Reads a password from the terminal without echo. False when there is no terminal.
bool promptPassword(const std::string& prompt, std::string* password);

// Asks on the terminal (question on standard error, answer from the terminal).
class TerminalAsker : public Asker {
 public:
  Answer ask(Question question, const std::string& name, uint64_t source_size,
             uint64_t target_size) override;
};

// Ctrl-C and SIGTERM. From this call on a thread of its own takes both signals (every
// other thread blocks them, so no system call is interrupted). While cancellable, the
// first one sets the cancel flag and the command stops at the next step; otherwise, and
// at the second one, the program ends at once with status 130. Call before any other
// thread starts.
void watchInterrupts();
int32_t* cancelFlag();
void setCancellable(bool cancellable);

}  // namespace zavel::cli
