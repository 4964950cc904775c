// The end of the user's session as the program's event loop can see it: SIGTERM (what a
// session manager or a shutdown sends) only writes one byte to a pipe, and the loop watches
// the pipe's read end, so that the program saves and ends in order instead of dying.
#pragma once

// Installs the SIGTERM handler once and answers the pipe's read end, non-blocking.
// Raises an Exception when the pipe cannot be made.
int SessionEndSignalFd();
// Reads what the handler wrote, so that the descriptor stops being readable.
void DrainSessionEndSignal(int Fd);
