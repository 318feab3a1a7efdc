// "optrix5.Engine": the reference host's product engine, called late-bound by member name.
// One object is one session: it opens product files (each read once per session and kept;
// the parse shared with other sessions while the file's bytes stay the same), takes option
// values, runs the product's rules and reports options, messages and amounts.
#pragma once

#include "host/productengine/productsession.h"

#include <zeltpc5/dispatch.h>

#include <QHash>

namespace zeltpc5::host {

class ProductEngine : public DispatchObject
{
public:
    static DispatchPtr create();

    // Relative product file references resolve here: ZELTPC5_PRODUCT_DIR, or the
    // product folder of the source tree.
    static QString DefaultProductFolder();

    std::optional<DispId> GetIDOfName(QStringView name) const override;

    bool UseProductFile(const QString &reference, bool startOver);
    ProductSession &session() { return m_session; }
    const QString &lastError() const { return m_lastError; }
    // Kept for whoever asks; descriptions are the host's, so nothing here depends on it.
    bool allOptionsInDescription() const { return m_allOptionsInDescription; }
    void setAllOptionsInDescription(bool all) { m_allOptionsInDescription = all; }

private:
    ProductEngine();

    ProductSession m_session;
    QString m_productFolder;
    // Parsed product files by the reference used and by resolved path.
    QHash<QString, std::shared_ptr<const ProductDefinition>> m_byReference;
    QHash<QString, std::shared_ptr<const ProductDefinition>> m_byPath;
    QString m_lastError;
    bool m_allOptionsInDescription = true;
};

} // namespace zeltpc5::host
