// The built plug-in, loaded with dlopen as a host loads it, with typed access to its exports.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "../support/host_journal.h"
#include "hostkit.h"
#include "zq_mailplugin.h"

struct LoadedPlugin {
    LoadedPlugin() {
        HostKit_Clear();
        handle = dlopen(Path().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) ADD_FAILURE() << dlerror();
    }
    ~LoadedPlugin() {
        if (handle) dlclose(handle);
    }
    static std::string Path() { return std::string(ZQ_BINARY_DIR) + "/bin/ZQ_VORUDozOzad.so"; }

    template <typename Fn>
    Fn* Get(const char* name) const {
        void* symbol = handle ? dlsym(handle, name) : nullptr;
        if (!symbol) ADD_FAILURE() << "missing export " << name;
        return reinterpret_cast<Fn*>(symbol);
    }
    // An export called with the types of its arguments.
    template <typename R = int32_t, typename... A>
    R Call(const char* name, A... args) const {
        return Get<R(A...)>(name)(args...);
    }

    void* handle = nullptr;
};

// The texts the module handed to one host function, in order.
inline std::vector<std::string> JournalOf(const char* function) { return scripted::JournalTexts(function); }
