// A child process as the gang starts its runs: in a group of its own from the moment Start
// returns, standard input empty, its standard output and error through their own pipes, the
// environment with the settings added, and its exit status.
#include "platform/host/child.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

std::string ReadToEnd(int fd) {
    std::string text;
    while (host::ReadSome(fd, &text)) {
    }
    return text;
}

TEST(ChildProcess, OwnGroupPipesEnvironmentAndStatus) {
    host::ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start("/bin/sh",
                            {"sh", "-c",
                             "cat; echo \"out $KORVANE_CHILD_SETTING\"; echo err >&2; "
                             "exit 3"},
                            {"KORVANE_CHILD_SETTING=given"}, &error))
        << error;
    // No waiting for the child to get there: a Ctrl+C from now on must find it outside the
    // terminal's group.
    EXPECT_EQ(getpgid(child.Pid()), child.Pid());
    EXPECT_EQ(ReadToEnd(child.OutFd()), "out given\n");
    EXPECT_EQ(ReadToEnd(child.ErrFd()), "err\n");
    EXPECT_EQ(child.Wait(), 3);

    host::ChildProcess missing;
    EXPECT_FALSE(missing.Start("/nonexistent/korvane", {"korvane"}, {}, &error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_EQ(missing.Pid(), -1);
    EXPECT_EQ(missing.OutFd(), -1);
}

} // namespace
