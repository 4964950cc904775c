// What the scan server gives its peers at most: no peer, honest or not, holds more threads,
// descriptors, memory, disk or log lines than these allow.
#pragma once

#include <cstddef>

struct TServerLimits {
  // Connections served at once; one more is closed as it arrives.
  size_t MaxConnections = 64;
  // A connection that sends no complete request for this long is closed; one waiting for its
  // reply is not idle.
  int IdleTimeoutMs = 30000;
  // A reply that the peer takes no byte of for this long ends the connection.
  int SendTimeoutMs = 30000;
  // A page file that its client has not taken this long after its reply is deleted.
  int PageFileKeepMs = 60000;
  // Page files one connection holds at once; a further one replaces the oldest.
  size_t PageFilesPerConnection = 4;
  // Lines of one kind closer together than this are one burst of the log.
  int LogQuietMs = 5000;
};
