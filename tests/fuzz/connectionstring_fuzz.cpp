// Connection strings (--db, ZELTPC5_DB), arbitrary.
//
// Checked: the text names a driver, is a file path, or opening it says that it names no
// driver; a password never shows in the description that messages use; a text without "="
// is always a file path, kept whole.
#include "fuzzsupport.h"

#include "host/database/database.h"

using namespace zeltpc5::host;
using zeltpc5::fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zeltpc5::fuzzing::InitializeOnce();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const ConnectionSettings settings = ConnectionSettings::parse(text);
    if (settings.driver.isEmpty()) {
        bool refused = false;
        try {
            (void)Database::open(settings, OpenMode::ExistingOnly);
        } catch (const DatabaseError &e) {
            refused = e.message().contains(QStringLiteral("no database driver"));
        }
        Check(refused, "a connection without a driver is refused as such");
    }
    if (!text.contains(u'='))
        Check(settings.isSqlite() && settings.databaseName == text,
              "a text without '=' is a file path, whole");
    const QString description = settings.describe();
    // The description is the same whatever the password is.
    ConnectionSettings other = settings;
    other.password = QStringLiteral("\x01another");
    Check(other.describe() == description, "the description never shows the password");
    (void)StatementsAfterConnect(settings.driver);
    return 0;
}
