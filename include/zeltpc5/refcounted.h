// Reference counting for boundary objects: an object lives while anyone holds it and is
// destroyed when the last reference is released.
#pragma once

#include <QMetaType>

#include <utility>

namespace zeltpc5 {

class RefCounted
{
public:
    RefCounted(const RefCounted &) = delete;
    RefCounted &operator=(const RefCounted &) = delete;

    void AddRef() const { ++m_refs; }
    // Destroys the object when the count drops to zero.
    void Release() const
    {
        if (--m_refs == 0)
            delete this;
    }
    int refCount() const { return m_refs; }

protected:
    RefCounted() = default;
    virtual ~RefCounted();

private:
    mutable int m_refs = 0; // one thread: every call arrives on the user-interface thread
};

// An owning reference, like a smart interface pointer.
template <class T>
class Ref
{
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    explicit Ref(T *p) : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    Ref(const Ref &o) : Ref(o.m_p) {}
    Ref(Ref &&o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    template <class U>
    requires std::is_convertible_v<U *, T *> Ref(const Ref<U> &o) : Ref(o.get()) {}
    ~Ref()
    {
        if (m_p)
            m_p->Release();
    }
    Ref &operator=(Ref o) noexcept
    {
        std::swap(m_p, o.m_p);
        return *this;
    }

    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    T &operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void reset() { Ref().swap(*this); }
    void swap(Ref &o) noexcept { std::swap(m_p, o.m_p); }

    // A typed view of the same object, or null when it is of another class.
    template <class U>
    Ref<U> as() const
    {
        return Ref<U>(dynamic_cast<U *>(m_p));
    }

    friend bool operator==(const Ref &a, const Ref &b) { return a.m_p == b.m_p; }

private:
    T *m_p = nullptr;
};

// Creates an object and hands out the first reference.
template <class T, class... Args>
Ref<T> MakeRef(Args &&...args)
{
    return Ref<T>(new T(std::forward<Args>(args)...));
}

} // namespace zeltpc5
