// The few POSIX calls the test programs make, for their Windows build (force-included there),
// so the same test sources run under wine. TMPDIR is what the tests use to give the module a
// private temporary directory; on Windows the module asks GetTempPathA, which reads TMP, so
// setting or clearing TMPDIR here does the same to TMP.
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
