// The skeleton the three tool engines share: the owning Library, the line store, the cancel
// flag and the engine's own product engine session. Each engine adds its own dispatch
// surface (its interface's identifiers and its tool operations) on top.
#pragma once

#include "engine/library.h"
#include "engine/linestore.h"
#include "engine/productengine.h"

#include "automation/typelib.h"

namespace zeltpc5 {

class ToolEngine : public DispatchObject
{
public:
    // Creation entry for Library only: not part of any dispatch table.
    void AttachOwner(const Ref<Library> &owner);

    const Ref<Library> &Owner() const { return m_owner; }
    // The host's services through the owner; invalid once either side has let go.
    HostServices Host() const;
    ProductEngine &productEngine() { return m_productEngine; }

    bool CancelRequested() const { return m_cancelRequested; }
    void setCancelRequested(bool value) { m_cancelRequested = value; }
    void PreTerminate() { m_owner.reset(); }

    LineStore &lines() { return m_lines; }
    const LineStore &lines() const { return m_lines; }

    // Binds the members every engine has to an interface's identifiers.
    static typelib::TableBuilder SkeletonMembers(const typelib::InterfaceFacts &facts);

protected:
    ToolEngine(QString typeName, const MemberTable *table);

private:
    bool OpenProductEngine();

    Ref<Library> m_owner;
    ProductEngine m_productEngine;
    LineStore m_lines;
    bool m_cancelRequested = false;
    ModuleObject m_counted;
};

} // namespace zeltpc5
