// The help pages answer every topic the game asks for, and opening them without the desktop's
// opener reports the failure instead of waiting.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/io_desktop.h"
#include "platform/sys.h"
#include "support/files.h"

namespace {

TEST(help, every_topic_has_its_anchor_and_a_missing_opener_gives_the_message) {
    const Bytes bytes = read_file(std::string(LUMAVEX_ASSETS_DIR) + "/help/index.html");
    const std::string page(bytes.begin(), bytes.end());
    ASSERT_FALSE(page.empty());
    for (int topic : {0, 10, 200, 300, 400, 500, 4397, 4398, 4399, 4497, 4498, 4499})
        EXPECT_NE(page.find("id=\"topic-" + std::to_string(topic) + "\""), std::string::npos) << topic;

    if (sys_headless())
        GTEST_SKIP() << "an earlier test left the headless mode on: documents are only logged";
    TempDir empty;
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    setenv("PATH", empty.path.c_str(), 1);
    testing::internal::CaptureStderr();
    const int opened = io_help(200);
    const std::string shown = testing::internal::GetCapturedStderr();
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(opened, 0);
    EXPECT_NE(shown.find("help/index.html#topic-200\r\n\r\nProbable causes of this error:"),
              std::string::npos)
        << shown;
}

}  // namespace
