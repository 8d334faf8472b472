// The built plug-in, loaded with dlopen as a host loads it, with typed access to its exports.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

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

    void* handle = nullptr;
};

inline std::vector<std::string> JournalOf(const char* function) {
    std::vector<std::string> texts;
    for (int i = 0; i < HostKit_CallCount(); ++i)
        if (std::string(HostKit_Call(i)->function) == function) texts.emplace_back(HostKit_Call(i)->text);
    return texts;
}
