#pragma once
// White-space trimming on zero-terminated 8-bit strings. White space is the
// C locale's set: space, tab, line feed, vertical tab, form feed and carriage
// return; no other byte counts, whatever locale the process runs in.

// True for the six white-space characters above.
bool IsStrSpace(char ch);

// The first character of `text` that is not white space (the terminator when
// there is none).
const char* SkipLeadingSpace(const char* text);
char* SkipLeadingSpace(char* text);

// Cuts trailing white space off `text` in place.
void StripTrailingSpace(char* text);

// Both ends trimmed: trailing white space is cut off in place and the result
// points at the first character that is not white space, inside `text`.
char* StripSpace(char* text);
