#include "engine/library.h"

#include "engine/engines.h"

#include "automation/typelib.h"

namespace zeltpc5 {

namespace {

Library &self(Dispatch &d)
{
    return static_cast<Library &>(d);
}

const MemberTable &libraryTable()
{
    static const MemberTable table =
        typelib::TableBuilder(typelib::LibraryInterface())
            .property("SharedCodeLibrary",
                      [](Dispatch &d, VariantList &, Variant &result) {
                          result = MakeObject(self(d).SharedCodeLibrary());
                          return Status();
                      })
            .method("Initialize", 1,
                    [](Dispatch &d, VariantList &args, Variant &) {
                        ArgReader a(args);
                        const DispatchPtr scl = a.object(0);
                        if (!a.ok())
                            return a.status();
                        self(d).Initialize(scl);
                        return Status();
                    })
            .method("PreTerminate", 0,
                    [](Dispatch &d, VariantList &, Variant &) {
                        self(d).PreTerminate();
                        return Status();
                    })
            .method("CreateReplaceEngine", 0,
                    [](Dispatch &d, VariantList &, Variant &result) {
                        result = MakeObject(self(d).CreateReplaceEngine());
                        return Status();
                    })
            .method("CreateItemReviewEngine", 0,
                    [](Dispatch &d, VariantList &, Variant &result) {
                        result = MakeObject(self(d).CreateItemReviewEngine());
                        return Status();
                    })
            .method("CreateCompareEngine", 0,
                    [](Dispatch &d, VariantList &, Variant &result) {
                        result = MakeObject(self(d).CreateCompareEngine());
                        return Status();
                    })
            .build();
    return table;
}

template <class Engine>
Ref<Engine> createEngine(Library *owner)
{
    auto engine = MakeRef<Engine>();
    engine->AttachOwner(Ref<Library>(owner));
    return engine;
}

} // namespace

Library::Library() : DispatchObject(QStringLiteral("Library"), &libraryTable()) {}

Ref<Library> Library::create()
{
    return Ref<Library>(new Library);
}

Ref<ReplaceEngine> Library::CreateReplaceEngine()
{
    return createEngine<ReplaceEngine>(this);
}

Ref<ItemReviewEngine> Library::CreateItemReviewEngine()
{
    return createEngine<ItemReviewEngine>(this);
}

Ref<CompareEngine> Library::CreateCompareEngine()
{
    return createEngine<CompareEngine>(this);
}

} // namespace zeltpc5
