#include "platform/socket_path.h"

#include <cstdlib>
#include <cstring>

std::string ChooseSocketPath(const char* pipe_name, const char* configured) {
  if (configured != nullptr && configured[0] != '\0') return configured;
  const char* name = std::strrchr(pipe_name, '\\');
  return std::string("/tmp/") + (name == nullptr ? pipe_name : name + 1);
}

std::string DriverSocketPath(const char* pipe_name) {
  return ChooseSocketPath(pipe_name, std::getenv(kDriverSocketVariable));
}
