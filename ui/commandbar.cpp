#include "ui/commandbar.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

namespace zeltpc5 {

QAction *AddCommandBarControl(QMenu *controls, int /*controlType*/, int id, const QString &caption,
                              bool beginGroup, int parameter, int extra)
{
    if (!controls)
        return nullptr;
    const QList<QAction *> existing = controls->actions();
    if (beginGroup && !existing.isEmpty() && !existing.last()->isSeparator())
        controls->addSeparator();
    QAction *control = controls->addAction(caption);
    control->setData(id);
    control->setObjectName(QStringLiteral("control%1").arg(id));
    control->setProperty("parameter", parameter);
    control->setProperty("extra", extra);
    return control;
}

QAction *FindControl(QMenu *menu, int id)
{
    if (!menu)
        return nullptr;
    const QList<QAction *> actions = menu->actions();
    // Compared as variants: a separator's empty data must not read as id 0.
    const auto found = std::find_if(actions.cbegin(), actions.cend(),
                                    [id](const QAction *a) { return a->data() == QVariant(id); });
    return found == actions.cend() ? nullptr : *found;
}

} // namespace zeltpc5
