// Library: the one class a host creates. It holds the host's service object and makes the
// three tool engines, each of which reaches the host through it.
#pragma once

#include "engine/hostservices.h"

#include <zeltpc5/dispatch.h>

namespace zeltpc5 {

class ReplaceEngine;
class CompareEngine;
class ItemReviewEngine;

// Counts the component's live objects, so the module knows when it may be unloaded.
class ModuleObject
{
public:
    ModuleObject() { ++s_live; }
    ModuleObject(const ModuleObject &) : ModuleObject() {}
    ~ModuleObject() { --s_live; }
    static int live() { return s_live; }

private:
    static inline int s_live = 0;
};

class Library : public DispatchObject
{
public:
    static Ref<Library> create();

    const DispatchPtr &SharedCodeLibrary() const { return m_scl; }
    HostServices Host() const { return HostServices(m_scl); }
    void Initialize(const DispatchPtr &sharedCodeLibrary) { m_scl = sharedCodeLibrary; }
    void PreTerminate() { m_scl.reset(); }

    Ref<ReplaceEngine> CreateReplaceEngine();
    Ref<ItemReviewEngine> CreateItemReviewEngine();
    Ref<CompareEngine> CreateCompareEngine();

private:
    Library();
    DispatchPtr m_scl;
    ModuleObject m_counted;
};

} // namespace zeltpc5
