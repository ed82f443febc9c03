#pragma once
// The engine's text helpers: printf-style formatting into a string and trimming.
#include <cstdarg>
#include <string>

// printf-style formatting into a string as long as the text needs: nothing is ever cut.
std::string StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same over a va_list, which is only read (the caller still ends it).
std::string StrFormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// The text without the blanks, tabs, carriage returns and line feeds at either end.
std::string Trim(const std::string& text);
