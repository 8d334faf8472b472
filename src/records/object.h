// Run-time class records with dynamic creation, and the root of the record classes.
#pragma once

#include <cstdint>

class CArchive;
class CObject;

struct CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    uint32_t m_wSchema;
    CObject* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
    // Walks the base-class chain of the records (not the C++ class tree).
    bool IsDerivedFrom(const CRuntimeClass* base) const;

    // Registry used by archives to find a class by name.
    static void Register(const CRuntimeClass* cls);
    static const CRuntimeClass* FromName(const char* name);
};

class CObject {
public:
    static const CRuntimeClass classCObject;

    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    virtual ~CObject() = default;
    virtual void Serialize(CArchive&) {}
    virtual void AssertValid() const {}
    virtual void Dump() const {}

    bool IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }
    bool IsSerializable() const { return GetRuntimeClass()->m_wSchema != 0xFFFF; }

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

// Registers the record classes with the registry; runs once at load, harmless to repeat.
void AfxClassInit();
