// Ports of loopback for tests: one that nothing listens on now, and whether one accepts.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

// A port of loopback that nothing listens on now; 0 when none can be had.
inline uint16_t FreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof local;
  uint16_t port = 0;
  if (bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
      getsockname(probe, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
    port = ntohs(local.sin_port);
  }
  close(probe);
  return port;
}

// True when a connection to Port of loopback is accepted now.
inline bool AcceptsOnPort(uint16_t Port) {
  const int handle = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(Port);
  remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = connect(handle, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0;
  close(handle);
  return connected;
}
