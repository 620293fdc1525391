// The stand-in server: data directory, seed, TCP listener with a thread per connection,
// optional browser and parent watchdog, and a clean stop on signal, SHUTDOWN or parent exit.
#pragma once

#include "options.hpp"

namespace standin {

// Runs until stopped; returns the process exit code.
int run_server(const Options& options);

}  // namespace standin
