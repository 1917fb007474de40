#include "Strutil.h"

#include <cstring>

bool IsStrSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

const char* SkipLeadingSpace(const char* text)
{
    while (IsStrSpace(*text))
        ++text;
    return text;
}

char* SkipLeadingSpace(char* text)
{
    while (IsStrSpace(*text))
        ++text;
    return text;
}

void StripTrailingSpace(char* text)
{
    size_t len = std::strlen(text);
    while (len > 0 && IsStrSpace(text[len - 1]))
        text[--len] = '\0';
}

char* StripSpace(char* text)
{
    char* start = SkipLeadingSpace(text);
    StripTrailingSpace(start);
    return start;
}
