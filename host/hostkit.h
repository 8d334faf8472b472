/* The host kit's call journal: every call that the module makes into a host library
 * stand-in is recorded here, in order, so that tests and the mailhost command can read
 * the calls back. Set HOSTKIT_JOURNAL to a file path to have each call appended there too,
 * one line per call. */
#ifndef HOSTKIT_H
#define HOSTKIT_H

/* The kit's exports: on Windows its .def file lists them, elsewhere this attribute marks them. */
#if defined(_WIN32)
#define HOSTKIT_API
#else
#define HOSTKIT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HostKitCall {
    const char* library;  /* "ZARAVEZUV", "ZIDU20", "REVED20", "TavikCmn" */
    const char* function; /* "MLOGAdd", "SyncYieldCycles", "Ordinal_52", "Ordinal_2", "Ordinal_3" */
    const char* text;     /* the text argument, or "" */
    long number1;         /* the numeric arguments, in order; 0 when absent */
    long number2;
    const void* pointer1; /* the pointer arguments (handles), in order */
    const void* pointer2;
} HostKitCall;

HOSTKIT_API int HostKit_CallCount(void);
/* Null for an index out of range. Valid until the next HostKit_Clear. */
HOSTKIT_API const HostKitCall* HostKit_Call(int index);
HOSTKIT_API void HostKit_Clear(void);
HOSTKIT_API void HostKit_Record(const char* library, const char* function, const char* text, long number1,
                                long number2, const void* pointer1, const void* pointer2);
/* Echo each MLOGAdd text to standard error as it arrives (the mailhost's -v). */
HOSTKIT_API void HostKit_EchoLog(int on);

#ifdef __cplusplus
}
#endif

#endif
