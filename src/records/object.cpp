#include "records/object.h"

#include <cstring>
#include <vector>

const CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), 0xFFFF, nullptr, nullptr};

namespace {
std::vector<const CRuntimeClass*>& Registry() {
    static std::vector<const CRuntimeClass*> registry;
    return registry;
}
}  // namespace

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
    for (const CRuntimeClass* cls = this; cls; cls = cls->m_pBaseClass)
        if (cls == base) return true;
    return false;
}

void CRuntimeClass::Register(const CRuntimeClass* cls) {
    for (const CRuntimeClass* known : Registry())
        if (known == cls) return;
    Registry().push_back(cls);
}

const CRuntimeClass* CRuntimeClass::FromName(const char* name) {
    if (!name) return nullptr;
    for (const CRuntimeClass* cls : Registry())
        if (std::strcmp(cls->m_lpszClassName, name) == 0) return cls;
    return nullptr;
}
