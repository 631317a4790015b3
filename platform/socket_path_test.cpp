#include "platform/socket_path.h"

#include <gtest/gtest.h>

TEST(ChooseSocketPath, TheVariableWhenSetAndNotEmptyElseTmpAndThePipeName) {
  const struct {
    const char* pipe_name;
    const char* configured;
    const char* path;
  } cases[] = {
      {"\\\\.\\pipe\\kovra_idd_pipe", nullptr, "/tmp/kovra_idd_pipe"},
      {"\\\\.\\pipe\\kovra_idd_pipe", "", "/tmp/kovra_idd_pipe"},
      {"\\\\.\\pipe\\kovra_idd_pipe", "/run/user/1000/kovra.sock", "/run/user/1000/kovra.sock"},
      // Taken as given: relative, blank or odd values are the user's to choose.
      {"\\\\.\\pipe\\kovra_idd_pipe", "driver.sock", "driver.sock"},
      {"\\\\.\\pipe\\kovra_idd_pipe", " ", " "},
      {"plain", nullptr, "/tmp/plain"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseSocketPath(c.pipe_name, c.configured), c.path)
        << c.pipe_name << " / " << (c.configured == nullptr ? "(unset)" : c.configured);
  }
}
