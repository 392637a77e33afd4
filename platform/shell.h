// The desktop around the game: the browser and the clipboard.
#pragma once

#include <string>

// Starts `program` with the given arguments (each one argv entry, never a shell
// line) detached from the game; does not wait. False when it cannot be started.
bool spawn_detached(const char* program, const char* arg);

// Text of the clipboard; empty when it holds none. Uses the X11 CLIPBOARD through
// xclip or xsel when a display and one of them are present (empty text when the
// tool finds none), else a buffer kept by this process.
std::string clipboard_get();
void clipboard_set(const std::string& text);
