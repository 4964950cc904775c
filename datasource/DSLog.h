// The data source's log: one line per failure that has no message of its own, on the standard
// error of the host process, so that nothing the data source meets is lost silently.
#pragma once

#include <string>

// Writes "Clarivo.ds: <Text>" and a line feed; never raises.
void DSLog(const std::string& Text) noexcept;
