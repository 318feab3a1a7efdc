// A small host and product engine for tests: scripted objects shaped like the host's
// service object and the maker's product engine, recording every call.
#pragma once

#include "support/scriptedobject.h"

namespace zeltpc5::testing {

struct FakeHost
{
    FakeHost();

    Ref<ScriptedObject> scl; // SharedCodeLibrary
    Ref<ScriptedObject> security;
    Ref<ScriptedObject> common;
    Ref<ScriptedObject> options;
    Ref<ScriptedObject> sql; // ZELTSQL
    Ref<ScriptedObject> database;
    Ref<ScriptedObject> connection; // CurrentCompanyConn
};

// A product engine whose members answer with neutral values; tests script what they need.
Ref<ScriptedObject> MakeFakeProductEngine();

// Registers a factory for "optrix5.Engine" for the lifetime of the guard; every created
// engine is kept so the test can look at its calls.
class ProductEngineRegistration
{
public:
    ProductEngineRegistration();
    ~ProductEngineRegistration();
    const std::vector<Ref<ScriptedObject>> &created() const { return m_created; }

private:
    std::vector<Ref<ScriptedObject>> m_created;
};

} // namespace zeltpc5::testing
