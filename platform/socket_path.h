// Where the driver's pipe lives on systems without named pipes: a Unix-domain
// socket, by default /tmp/ and the pipe's own name, or wherever
// VELMORIN_DRIVER_SOCKET says. The tool and the driver emulator both ask here,
// so that they always meet at the same path.
#pragma once

#include <string>

inline constexpr char kDriverSocketVariable[] = "VELMORIN_DRIVER_SOCKET";

// `configured` when it is given and not empty, else /tmp/ followed by the
// last part of `pipe_name` (\\.\pipe\NAME gives /tmp/NAME).
std::string ChooseSocketPath(const char* pipe_name, const char* configured);

// ChooseSocketPath with the value of VELMORIN_DRIVER_SOCKET.
std::string DriverSocketPath(const char* pipe_name);
