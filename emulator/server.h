// The serving end of the driver pipe: the named pipe itself on Windows, the
// Unix-domain socket the tool maps the pipe name to elsewhere. One server per
// process, one client at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// False for the options this platform cannot honour ("--busy", "--stale", ...).
bool ServerSupportsOption(const std::string& option);

// Creates the pipe (or socket) so that clients can connect to it.
bool OpenServer(bool inbound_only, std::string* error);

// Waits for the next client.
bool AcceptClient(std::string* error);

// Reads until `size` bytes arrived or the client went; returns the count.
size_t ReadFromClient(uint8_t* data, size_t size);

// Writes all of `data` in one call; a client that went away is ignored.
void WriteToClient(const uint8_t* data, size_t size);

// Lets the client read what was written, then ends the connection.
void EndClient();

// Removes the server; after this nothing of it is left behind.
void CloseServer();

// Cleanup safe to run from another thread right before the process exits.
void AbandonServer();

// Connects to our own pipe as a client and keeps the connection, so the only
// instance is taken (Windows), or fills the listen backlog so (POSIX).
bool OccupyServer(std::string* error);

// Lets go of what OccupyServer took, so that clients get through again. The
// accept loop meets our own connections, if at all, as clients that sent
// nothing.
void FreeServer();

// Binds the socket file and leaves it behind with nobody listening (POSIX).
bool LeaveStaleServer(std::string* error);
