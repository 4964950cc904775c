// A blocking step run on a thread of its own while the calling thread's event loop goes on, so
// that windows repaint and take input while the step waits.
#pragma once

#include <functional>

// Runs Step and returns once it has ended; what Step raised is raised again here. Step must not
// touch windows.
void RunResponsive(const std::function<void()>& Step);
