#include "ConnectionWords.h"

#include <strings.h>

#include <cerrno>
#include <cstring>

namespace {

bool IsThisComputer(const std::string& Host) {
  return ::strcasecmp(Host.c_str(), "127.0.0.1") == 0;
}

}  // namespace

std::string ConnectionFailureWords(int Error, const std::string& Host, int32_t Port) {
  const std::string where = Host + " port " + std::to_string(Port);
  switch (Error) {
    case ECONNREFUSED:
      return "No control panel is listening on " + where + " (connection refused).";
    case ETIMEDOUT:
      return "The control panel on " + where + " did not answer in time.";
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
      return "The computer " + Host + " cannot be reached from here.";
    case EINVAL:
      return "\"" + Host + "\" is no IPv4 address of the form 192.168.0.10.";
    case ECONNRESET:
    case EPIPE:
    case ENOTCONN:
      return "The control panel on " + where + " closed the connection.";
    default:
      return "The connection to the control panel on " + where +
             " failed: " + std::strerror(Error) + ".";
  }
}

std::string HowToStartThePanel(const std::string& Host, int32_t Port) {
  const std::string port = std::to_string(Port);
  if (IsThisComputer(Host)) {
    return "Start the control panel with the command \"clarivo\" (its icon shows in the "
           "notification area), check that the \"Port\" on its \"Hardware\" page is " +
           port + ", then open the data source again.";
  }
  return "Start the control panel \"clarivo\" on " + Host +
         " with \"Share Local Scanner\" checked and the \"Port\" " + port +
         " on its \"Hardware\" page, then open the data source again.";
}
