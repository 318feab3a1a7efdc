// Dispatch objects: every object that crosses the boundary is called late-bound, by member
// name (case-insensitive) or by dispatch identifier, as property get, property put or
// method. Arguments travel by reference in a VariantList, so a callee may write back into
// them; the result comes back as the last out-parameter.
#pragma once

#include <zeltpc5/variant.h>

#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zeltpc5 {

using DispId = qint32;

// How a member is invoked. A client that does not know whether a member is a method or a
// property asks for both (MethodOrGet), as late-bound callers do.
enum class InvokeKind : int {
    Method = 1,
    PropertyGet = 2,
    MethodOrGet = 3,
    PropertyPut = 4,
};

class Dispatch : public RefCounted
{
public:
    // The identifier of a member, or nothing when the object has no member of that name.
    virtual std::optional<DispId> GetIDOfName(QStringView name) const = 0;
    // Calls a member. For a property put the new value is the last argument.
    virtual Status Invoke(DispId id, InvokeKind kind, VariantList &args, Variant &result) = 0;
    // The class name, for messages.
    virtual QString TypeName() const = 0;

protected:
    Dispatch() = default;
    ~Dispatch() override;
};

// Empty and null give a null reference; anything but an object is a type mismatch.
std::optional<DispatchPtr> ToObject(const Variant &v, Status *error = nullptr);

// A member table: names, identifiers, argument counts and handlers. Objects of one class
// share one table; a host may also build a table per object.
class MemberTable
{
public:
    using Handler = std::function<Status(Dispatch &self, VariantList &args, Variant &result)>;

    struct Member
    {
        QString name;
        DispId id = 0;
        int minArgs = 0; // for a put, not counting the assigned value
        int maxArgs = 0;
        Handler method;
        Handler get;
        Handler put;
    };

    // Adds a method; arguments beyond minArgs are optional.
    MemberTable &method(const QString &name, DispId id, int minArgs, int maxArgs, Handler h);
    MemberTable &method(const QString &name, DispId id, int argCount, Handler h)
    {
        return method(name, id, argCount, argCount, std::move(h));
    }
    // Adds a property; a read-only one has no put. argCount counts index arguments only.
    MemberTable &property(const QString &name, DispId id, Handler get, Handler put = {},
                          int argCount = 0);

    std::optional<DispId> idOf(QStringView name) const;
    const Member *find(DispId id) const;
    const std::vector<Member> &members() const { return m_members; }

    // Checks the kind and the argument count, then runs the handler.
    Status invoke(Dispatch &self, DispId id, InvokeKind kind, VariantList &args,
                  Variant &result) const;

private:
    Member &add(const QString &name, DispId id);
    std::vector<Member> m_members;
};

// A dispatch object whose members come from a table.
class DispatchObject : public Dispatch
{
public:
    std::optional<DispId> GetIDOfName(QStringView name) const override;
    Status Invoke(DispId id, InvokeKind kind, VariantList &args, Variant &result) override;
    QString TypeName() const override { return m_typeName; }

protected:
    // The table must outlive the object (a class's static table, or the object's own).
    DispatchObject(QString typeName, const MemberTable *table);
    void setTable(const MemberTable *table) { m_table = table; }

private:
    QString m_typeName;
    const MemberTable *m_table = nullptr;
};

// Late-bound calls, as a client makes them.
enum class CallType {
    Method, // a method, or a property read when the member is a property
    Get,
    Let, // property put
};

Status CallByName(const DispatchPtr &object, QStringView member, CallType type, VariantList &args,
                  Variant *result = nullptr);
Status CallById(const DispatchPtr &object, DispId id, CallType type, VariantList &args,
                Variant *result = nullptr);

// The outcome of a call whose arguments were passed by value.
struct CallResult
{
    Status status;
    Variant value;
    bool ok() const { return status.ok(); }
};

// Convenience forms for arguments the caller does not need back.
CallResult Call(const DispatchPtr &object, QStringView member, VariantList args = {});
CallResult Get(const DispatchPtr &object, QStringView member, VariantList args = {});
Status Put(const DispatchPtr &object, QStringView member, const Variant &value,
           VariantList args = {});

// Reads a member's arguments with the boundary's conversions; the first failure is kept,
// and the handler returns it.
class ArgReader
{
public:
    explicit ArgReader(VariantList &args) : m_args(args) {}

    qint16 int16(int i);
    qint32 int32(int i);
    float single(int i);
    double real(int i);
    bool boolean(int i);
    QString text(int i);
    DispatchPtr object(int i);
    // The argument as passed (empty when missing).
    Variant value(int i) const;
    int count() const { return int(m_args.size()); }

    bool ok() const { return m_status.ok(); }
    const Status &status() const { return m_status; }

private:
    template <class T, class F>
    T read(int i, F convert);

    VariantList &m_args;
    Status m_status;
};

} // namespace zeltpc5

Q_DECLARE_METATYPE(zeltpc5::DispatchPtr)
