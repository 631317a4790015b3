#include <gtest/gtest.h>

#include "host_attach/host_attach.h"

// Each way a host's exchange ends: the status, the stream and the line, for
// the attach and for the remove request.
TEST(DescribeHostExchange, SaysWhetherAnythingWasSent) {
  using S = HostExchangeStop;
  const struct {
    HostExchangeOutcome outcome;
    int status;
    const char* attach;  // without "velmorin-edid: " where it is an error
    const char* remove;
  } cases[] = {
      {{S::kAccepted, 0, 16, 0}, 0, "sent 2560x1440x120 to the driver: status 0",
       "sent the remove request to the driver: status 0"},
      {{S::kAccepted, 0, 16, -1}, 3, "sent 2560x1440x120 to the driver: status -1",
       "sent the remove request to the driver: status -1"},
      {{S::kNoDriver, 0, 0, 0}, 4, "2560x1440x120 not sent: no driver answers at P",
       "remove request not sent: no driver answers at P"},
      {{S::kConnectFailed, 13, 0, 0}, 4, "2560x1440x120 not sent: connecting to the driver at P failed, error 13",
       "remove request not sent: connecting to the driver at P failed, error 13"},
      {{S::kBusy, 0, 0, 0}, 4, "2560x1440x120 not sent: the driver's pipe at P stayed busy for 2 s",
       "remove request not sent: the driver's pipe at P stayed busy for 2 s"},
      {{S::kNotTaken, 0, 0, 0}, 4,
       "2560x1440x120 not sent: the driver at P closed the connection before taking the request",
       "remove request not sent: the driver at P closed the connection before taking the request"},
      {{S::kNotTakenInTime, 0, 0, 0}, 4, "2560x1440x120 not sent: the driver at P took none of the request within 10 s",
       "remove request not sent: the driver at P took none of the request within 10 s"},
      {{S::kPartlyTaken, 0, 512, 0}, 5,
       "2560x1440x120 sent, but the driver took only 512 of the request's 1056 bytes; the monitor may be attached",
       "remove request sent, but the driver took only 512 of the request's 1056 bytes; a display may still be "
       "attached"},
      {{S::kShortReply, 0, 8, 0}, 5,
       "2560x1440x120 sent, but the reply was short (8 of 16 bytes); the monitor may be attached",
       "remove request sent, but the reply was short (8 of 16 bytes); a display may still be attached"},
      {{S::kMalformedReply, 0, 16, 0}, 5,
       "2560x1440x120 sent, but the reply had the wrong magic or markers; the monitor may be attached",
       "remove request sent, but the reply had the wrong magic or markers; a display may still be attached"},
      {{S::kClosed, 0, 0, 0}, 5,
       "2560x1440x120 sent, but the driver closed the connection without replying; the monitor may be attached",
       "remove request sent, but the driver closed the connection without replying; a display may still be attached"},
      {{S::kNoReply, 0, 0, 0}, 5, "2560x1440x120 sent, but no reply came within 10 s; the monitor may be attached",
       "remove request sent, but no reply came within 10 s; a display may still be attached"},
  };
  for (const auto& c : cases) {
    const HostReport attach = DescribeHostExchange(c.outcome, "2560x1440x120", "P");
    const HostReport remove = DescribeHostExchange(c.outcome, nullptr, "P");
    EXPECT_EQ(attach.status, c.status) << c.attach;
    EXPECT_EQ(remove.status, c.status) << c.remove;
    EXPECT_EQ(attach.is_error, c.status > 3) << c.attach;
    EXPECT_EQ(remove.is_error, c.status > 3) << c.remove;
    EXPECT_EQ(attach.line, c.attach);
    EXPECT_EQ(remove.line, c.remove);
  }
}
