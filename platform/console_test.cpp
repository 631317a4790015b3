#include "platform/console.h"

#include <gtest/gtest.h>

// By the numbers Windows documents for a console handler's events.
TEST(ConsoleEventEndsProcess, EveryEventButLogoff) {
  const struct {
    uint32_t event;
    bool ends;
  } cases[] = {{0, true}, {1, true}, {2, true}, {5, false}, {6, true}};
  for (const auto& c : cases) EXPECT_EQ(ConsoleEventEndsProcess(c.event), c.ends) << c.event;
}
