// gui/textview.h -- the text view: a read-only text in a child window, drawn in the system font on
// white, wrapped at blanks (a word wider than the view is broken between characters), with a
// vertical scroll bar: arrows at both ends, the track that pages, the thumb that drags. The wheel
// and the scrolling keys move it as well; text appended scrolls the end into view. Texts are
// Windows-1252 bytes; a line ends at "\n" (a "\r" before it is not shown). The fonts and the skin
// must be there when a view is created.
#pragma once
#include <string_view>
#include <vector>

int textview_create(int parent, int x, int y, int width, int height);  // the view's window
// Appends to the text (what would pass TEXTVIEW_TEXT_MAX bytes is dropped) and shows its end.
void textview_append(int view, const char* text);
// Up, Down, Page Up, Page Down, Home and End (Ctrl or not) scroll the view; 1 when the key did.
int textview_key(int view, int key);
void textview_wheel(int view, int steps);  // three lines a step; steps as KE_WHEEL gives them
int textview_top(int view);                // the first line shown
int textview_line_count(int view);         // lines of the laid-out text

// The layout: a line ends at a line break, at the blank where the next word would reach past
// `width` pixels, or inside a word wider than the width by itself; the bytes of each line without
// its break and its "\r". A text ending in "\n" ends with an empty line.
struct TextViewLine {
    int start, end;
};
void textview_layout(std::string_view text, const int advances[256], int width,
                     std::vector<TextViewLine>* lines);
