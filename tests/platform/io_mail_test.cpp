// Mail through a stand-in xdg-email that writes down its arguments and exits with
// $FAKE_MAIL_EXIT ("crash": killed by a signal); the PATH holds only its folder, so the real tool
// never runs here.
#include "platform/io_mail.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "support/files.h"

TEST(io_mail, exit_codes_of_the_tool_become_result_codes_and_texts_and_no_tool_means_no_mail) {
    TempDir dir;
    const std::string path = std::getenv("PATH");
    setenv("PATH", dir.path.c_str(), 1);
    write_file(dir / "xdg-email", text_bytes("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"${0%/*}/args\"\n"
                                             "[ \"$FAKE_MAIL_EXIT\" = crash ] && kill -KILL $$\n"
                                             "exit \"$FAKE_MAIL_EXIT\"\n"));
    chmod((dir / "xdg-email").c_str(), 0644);  // there, but not a program
    io_mail_load();
    EXPECT_FALSE(io_mail_available());
    EXPECT_EQ(io_mail_send("Alice", "", "/gift.run"), 0);
    EXPECT_STREQ(io_mail_result_text(), "");

    chmod((dir / "xdg-email").c_str(), 0755);
    io_mail_load();
    ASSERT_TRUE(io_mail_available());
    // Windows-1252 texts reach the tool as UTF-8.
    setenv("FAKE_MAIL_EXIT", "0", 1);
    EXPECT_EQ(io_mail_send("Zo\xEB", "", "/gift.run"), 1);
    EXPECT_EQ(read_file(dir / "args"), text_bytes("--subject\nZo\xC3\xAB\n--attach\n/gift.run\n"));
    EXPECT_STREQ(io_mail_result_text(), "The call succeeded and the message was sent.\nResult code:0");

    for (const auto& [exit, code] :
         {std::pair{"1", 2}, {"2", 11}, {"3", 2}, {"4", 2}, {"5", 12}, {"7", 2}, {"crash", 2}}) {
        setenv("FAKE_MAIL_EXIT", exit, 1);
        EXPECT_EQ(io_mail_send("Alice", "", "/gift.run"), 0) << exit;
        EXPECT_EQ(io_mail_result_text(),
                  std::string(io_mail_code_text(code)) + "\nResult code:" + std::to_string(code));
    }
    EXPECT_STREQ(io_mail_code_text(11), "The specified attachment was not found. No message was sent.");
    EXPECT_STREQ(io_mail_code_text(2), "One or more unspecified errors occurred. No message was sent.");
    EXPECT_STREQ(io_mail_code_text(7), "The unknown error code. No message was sent.");

    // A tool still at work when the wait ends has handed the message on: nothing says it was
    // not sent, and the game was kept painting meanwhile.
    write_file(dir / "xdg-email", text_bytes("#!/bin/sh\nexec /bin/sleep 5\n"));
    io_mail_set_wait(300);
    static int waits;
    waits = 0;
    EXPECT_EQ(io_mail_send("Alice", "", "/gift.run", [] { waits++; }), 1);
    EXPECT_TRUE(io_mail_pending());
    EXPECT_EQ(std::string(io_mail_result_text()).find("No message was sent"), std::string::npos);
    EXPECT_GE(waits, 2);
    io_mail_set_wait(0);

    setenv("PATH", path.c_str(), 1);
    unsetenv("FAKE_MAIL_EXIT");
    io_mail_unload();
}
