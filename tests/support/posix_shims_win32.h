// The POSIX calls of the test sources for their Windows build (force-included there). The module
// asks GetTempPathA, which reads TMP: setting or clearing TMPDIR does the same to TMP.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

int setenv(const char* name, const char* value, int overwrite);
int unsetenv(const char* name);
char* mkdtemp(char* pattern);

#ifdef __cplusplus
}
#endif

#include <time.h>
#define tzset _tzset
