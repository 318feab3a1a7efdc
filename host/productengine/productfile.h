// Reading a product file: parsed without network or entity expansion, validated against
// the product file schema, then checked for what a schema cannot say.
#pragma once

#include "host/productengine/productdefinition.h"

#include <memory>

namespace zeltpc5::host {

struct ProductFileResult
{
    std::shared_ptr<const ProductDefinition> product;
    QString error; // why the file cannot be used: "<path>:<line>: <reason>"
};

// Product files larger than this are refused rather than read.
inline constexpr qint64 MaximumProductFileSize = 8 * 1024 * 1024;

ProductFileResult LoadProductFile(const QString &path);
ProductFileResult ParseProductFile(const QByteArray &content, const QString &path);

// The file a product file reference names: an absolute path as it stands, a relative one
// within the product folder.
QString ResolveProductReference(const QString &reference, const QString &productFolder);

} // namespace zeltpc5::host
