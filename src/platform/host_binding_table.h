// The host functions as the module resolved them: what each system's loader fills in.
#pragma once

namespace host {

using LogFn = int (*)(const char*);
using YieldFn = int (*)(int);
using SyncLogFn = int (*)(const char*, int, int);
using LoadLangFn = void* (*)(const char*, void*, void**);
using ReleaseLangFn = int (*)(void*, void*);

struct Binding {
    LogFn log = nullptr;
    YieldFn yield = nullptr;
    SyncLogFn syncLog = nullptr;
    LoadLangFn loadLang = nullptr;
    ReleaseLangFn releaseLang = nullptr;
};

// Loads the four host libraries and looks their functions up; what is missing stays null.
Binding LoadBinding();

}  // namespace host
