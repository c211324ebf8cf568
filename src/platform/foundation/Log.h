#pragma once
// The console log: printf-style formats to stderr, no levels.
namespace fd {
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
}
