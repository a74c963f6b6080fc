#pragma once

#include "command_line.h"
#include "platform.h"

namespace tagswap {

// Starts a program detached from Tagswap, without a shell: on POSIX with its
// arguments as raw bytes, on Windows with the argument text as it is. Reports whether the program
// itself could be executed: a missing file or a missing working directory is an error, what the
// program does once it runs is its own affair.
bool spawnDetached(const ProgramLaunch &launch, QString *error);

} // namespace tagswap
