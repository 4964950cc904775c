// The Qt feed of the message layer: in a Qt program, messages posted from any thread are
// handed to Application().OnMessage() by the Qt event loop, on the thread of the
// QCoreApplication.
#pragma once

// Call on the main thread once the QCoreApplication exists; messages already queued are
// delivered as soon as the event loop runs. The feed stays until RemoveQtMessageFeed (call it
// before the QCoreApplication is destroyed).
void InstallQtMessageFeed();
void RemoveQtMessageFeed();
