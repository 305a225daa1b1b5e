#include "platform/tcp_owner.h"

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>

#include "platform/file_util.h"

namespace quorvel::tcp {

namespace {

struct Entry {
  int localPort = 0, remotePort = 0;
  std::string state;  // "0A" listening, "01" established
  unsigned long uid = 0, inode = 0;
};

int portOf(const std::string& address) {
  const auto colon = address.rfind(':');
  return colon == std::string::npos ? -1 : static_cast<int>(std::strtol(address.c_str() + colon + 1, nullptr, 16));
}

// Every socket of both tables, until `visit` returns false.
void eachSocket(const std::function<bool(const Entry&)>& visit) {
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    const auto text = readFile(table);
    if (!text) continue;
    std::istringstream lines(*text);
    std::string line;
    std::getline(lines, line);  // the column names
    while (std::getline(lines, line)) {
      std::istringstream f(line);
      std::string slot, local, remote, queues, timer, retransmits, timeout;
      Entry e;
      if (!(f >> slot >> local >> remote >> e.state >> queues >> timer >> retransmits >> e.uid >> timeout >> e.inode))
        continue;
      e.localPort = portOf(local);
      e.remotePort = portOf(remote);
      if (!visit(e)) return;
    }
  }
}

}  // namespace

Owner listener(int port) {
  const uid_t me = ::geteuid();
  Owner owner = Owner::none;
  eachSocket([&](const Entry& e) {
    if (e.state != "0A" || e.localPort != port) return true;
    owner = e.uid == me ? Owner::us : Owner::other;
    return owner == Owner::us;
  });
  return owner;
}

bool peerIsOurs(int port, int localPort) {
  const uid_t me = ::geteuid();
  bool found = false, ours = true;
  eachSocket([&](const Entry& e) {
    // Established only: an old connection of the same ports waiting out
    // TIME_WAIT is listed as root's.
    if (e.state != "01" || e.localPort != port || e.remotePort != localPort) return true;
    found = true;
    ours = ours && e.uid == me;
    return true;
  });
  return found && ours;
}

std::optional<unsigned long> listenerInode(int port) {
  std::optional<unsigned long> inode;
  eachSocket([&](const Entry& e) {
    if (e.state == "0A" && e.localPort == port) inode = e.inode;
    return !inode;
  });
  return inode;
}

}  // namespace quorvel::tcp
