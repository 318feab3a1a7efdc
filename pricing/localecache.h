// What a change run reads or converts under one locale, by key: in a bulk change the same keys
// come back line after line. Keep one per run (ChargeSession holds them), never longer.
#pragma once

#include <QHash>
#include <QLocale>

#include <utility>

namespace zeltpc5 {

template <class Key, class Value>
class LocaleCache
{
public:
    // The value kept for the key, if any. Values are read as numbers under a locale, so a
    // locale other than the last one asked with empties the cache first.
    const Value *find(const Key &key, const QLocale &locale)
    {
        if (locale != m_locale) {
            m_values.clear();
            m_locale = locale;
        }
        const auto it = m_values.constFind(key);
        return it == m_values.constEnd() ? nullptr : &*it;
    }
    // Keeps a value read under the locale last given to find; valid until the next keep.
    const Value &keep(const Key &key, Value value)
    {
        return *m_values.insert(key, std::move(value));
    }

private:
    QLocale m_locale;
    QHash<Key, Value> m_values;
};

} // namespace zeltpc5
