#include "host/dialogs/desktopitemdialogs.h"

#include "host/dialogs/itemeditor.h"
#include "host/dialogs/selectproductstyle.h"

#include <QApplication>

namespace zeltpc5::host {

bool DesktopItemDialogs::ShowSelectProductStyle(qint32 &vendorID, qint32 &productID, QString &style,
                                                bool styleOnly)
{
    return SelectProductStyle(*m_context, vendorID, productID, style, styleOnly,
                              QApplication::activeWindow());
}

bool DesktopItemDialogs::ShowEditProductItem(qint32 &productID, QString &style, QString &itemXML,
                                             QString &priceCostXML, qint32 mode)
{
    return EditProductItem(*m_context, productID, style, itemXML, priceCostXML, mode,
                           QApplication::activeWindow());
}

} // namespace zeltpc5::host
