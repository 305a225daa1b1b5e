// Who owns a loopback TCP socket, as the kernel's tables (/proc/net/tcp,
// tcp6) say: the model servers' ports are open to every local user, and
// neither a guest's message nor the servers' key may reach another user's
// program that took one of them.
#pragma once

#include <sys/types.h>

#include <optional>

namespace quorvel::tcp {

enum class Owner { none, us, other };

// The owner of the sockets listening on `port`: none when nothing listens,
// other when any of them belongs to another user.
Owner listener(int port);

// Whether the server end of our connection from `localPort` to `port` (the
// socket the server accepted it on) belongs to this user: the one check
// that cannot be raced, since a listener seen a moment earlier may have gone
// and another taken the port.
bool peerIsOurs(int port, int localPort);

// The inode of the socket listening on `port` (the first one listed), for
// finding the process that holds it.
std::optional<unsigned long> listenerInode(int port);

}  // namespace quorvel::tcp
