// The item dialogs as windows over the active window, for a host with a desktop.
#pragma once

#include "host/dialogs/itemdialogs.h"

namespace zeltpc5::host {

class DesktopItemDialogs : public ItemDialogs
{
public:
    explicit DesktopItemDialogs(std::shared_ptr<ItemDialogContext> context)
        : m_context(std::move(context))
    {}

    bool ShowSelectProductStyle(qint32 &vendorID, qint32 &productID, QString &style,
                                bool styleOnly) override;
    bool ShowEditProductItem(qint32 &productID, QString &style, QString &itemXML,
                             QString &priceCostXML, qint32 mode) override;

private:
    std::shared_ptr<ItemDialogContext> m_context;
};

} // namespace zeltpc5::host
