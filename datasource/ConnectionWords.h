// What a failed connection to the control panel means, in the words an operator reads.
#pragma once

#include <cstdint>
#include <string>

// The failure of a socket call with errno Error on the connection to Host at Port.
std::string ConnectionFailureWords(int Error, const std::string& Host, int32_t Port);

// How to get a control panel to connect to at Host and Port.
std::string HowToStartThePanel(const std::string& Host, int32_t Port);
