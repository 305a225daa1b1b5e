// The model servers that belong to this support folder, found through the
// kernel's process table: `quorvel-cli stop` ends these and nothing else (not
// the servers of another support folder, another user, or another program
// that happens to use our ports).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::servers {

// Remembers a server this support folder started (its process id and start
// time, so that a reused process id is never taken for it).
void remember(pid_t pid);

// The running model servers of this support folder: those remembered, and
// any process of this user that runs llama-server on a model file of this
// support folder's models folder (started by an earlier version, or whose
// record was lost).
std::vector<pid_t> ours();

// Whether the sockets listening on TCP port `port` (there is at least one)
// all belong to this user, as the kernel's tables (/proc/net/tcp, tcp6)
// say. A server of another user on our port is never sent a guest's message,
// whatever it claims to serve.
bool listenerIsOurs(int port);

// The process that holds the socket listening on `port`, when it can be
// seen (our own processes always can).
std::optional<pid_t> listenerProcess(int port);

// Forgets every server remembered.
void forget();

// A process's start time in clock ticks since boot (field 22 of
// /proc/<pid>/stat), 0 when it does not exist or is a zombie.
unsigned long long startTime(pid_t pid);

// Whether the command line runs llama-server with its -m model file inside
// `models`.
bool servesFrom(const std::vector<std::string>& argv, const std::filesystem::path& models);

}  // namespace quorvel::servers
