#include "fuzzsupport.h"

#include <QCoreApplication>
#include <QLocale>

#include <cstdio>
#include <cstdlib>

namespace zeltpc5::fuzzing {

void InitializeOnce()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = [] {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        return new QCoreApplication(argc, argv);
    }();
    (void)app;
}

void Check(bool condition, const char *property)
{
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", property);
        std::abort();
    }
}

QList<QByteArray> SplitInput(const uint8_t *data, size_t size, int parts)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QByteArray> split = bytes.split('\0');
    if (split.size() > parts) {
        const QList<QByteArray> rest = split.mid(parts - 1);
        split.resize(parts - 1);
        split << rest.join('\0');
    }
    while (split.size() < parts)
        split << QByteArray();
    return split;
}

} // namespace zeltpc5::fuzzing
