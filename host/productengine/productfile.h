// Reading a product file: parsed without network or entity expansion, validated against
// the product file schema, then checked for what a schema cannot say.
#pragma once

#include "host/productengine/productdefinition.h"

#include <QByteArray>

#include <memory>
#include <optional>

namespace zeltpc5::host {

struct ProductFileResult
{
    std::shared_ptr<const ProductDefinition> product;
    QString error; // why the file cannot be used: "<path>:<line>: <reason>"
};

// Product files larger than this are refused rather than read.
inline constexpr qint64 MaximumProductFileSize = 8 * 1024 * 1024;

ProductFileResult LoadProductFile(const QString &path);
// The same, the parse shared by every engine of the process while the file's bytes stay the
// same. The file is read on every call, so a file changed on disk (whatever its size and
// time stamps say) is parsed again; parsing and checking it against the schema costs far
// more than reading it.
ProductFileResult LoadProductFileShared(const QString &path);
// The bytes of a product file: a regular file (nothing waited on), no larger than
// MaximumProductFileSize; nothing, with the reason in error, otherwise.
std::optional<QByteArray> ReadProductFile(const QString &path, QString *error);
ProductFileResult ParseProductFile(const QByteArray &content, const QString &path);

// The file a product file reference names: an absolute path as it stands, a relative one
// within the product folder.
QString ResolveProductReference(const QString &reference, const QString &productFolder);

} // namespace zeltpc5::host
