// platform/io_mail.h -- handing a file to the user's mail program as the attachment of a new
// message, through the desktop's `xdg-email`. The player chooses the recipient and sends the
// message in the mail program; the game only learns whether the hand-over worked.
#pragma once

// Looks for an executable `xdg-email` on the PATH (when the main window is created);
// io_mail_unload forgets it again.
void io_mail_load();
void io_mail_unload();
int io_mail_available();  // 1 when `xdg-email` was found

// Opens a new message with the subject, the note as its body (left out when empty) and the file
// attached (none when null), without a recipient, and waits a limited time for the mail program
// to take it, calling `waiting` (may be null) about ten times a second meanwhile. Texts are
// Windows-1252. 1 when it was taken, or when the tool is still at work after the wait (the mail
// program may still be open with the message: nothing says it was not sent). With mail
// unavailable: 0 at once and the result text stays empty; otherwise the result text tells the
// outcome.
int io_mail_send(const char* subject, const char* note, const char* attachment, void (*waiting)() = nullptr);
const char* io_mail_result_text();  // "<text>\nResult code:<code>" of the last send, or ""
// 1 when the last send ran out of time with the mail tool still running: the mail program may
// still read the attachment.
int io_mail_pending();
void io_mail_set_wait(int ms);  // how long a send waits for the tool (tests shorten it)

// The text of a result code; codes without one of their own share "The unknown error code...".
const char* io_mail_code_text(int code);
