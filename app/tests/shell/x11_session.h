// Drives a program's windows on the X display of the test: finds windows by title,
// grabs their pixels, sends keys and asks windows to close as a window manager would.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vantra::shell {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // Rows top to bottom, three bytes a pixel.

  const std::uint8_t* at(int x, int y) const { return &rgb[(y * width + x) * 3]; }
};

// Output of a shell command, or an empty string when it failed.
std::string RunCommand(const std::string& command);

// The window whose title is exactly title, waiting up to timeout for it; 0 if none.
unsigned long FindWindow(const std::string& title, std::chrono::milliseconds timeout);
bool WindowViewable(unsigned long window);
// Width and height from the window's attributes.
bool WindowSize(unsigned long window, int* width, int* height);

// The window's pixels as the X server has them; empty on failure.
Picture GrabWindow(unsigned long window);

// Gives the window the keyboard focus and waits until the server reports it.
bool FocusWindow(unsigned long window);
// Holds the keys (xdotool names, "+" joined for chords) for held, then releases them.
void PressKeys(const std::string& keys, std::chrono::milliseconds held);
// Sends WM_DELETE_WINDOW, what a window manager's close button does.
bool RequestClose(unsigned long window);

}  // namespace vantra::shell
