#include "host/helpers/registration.h"

#include "host/formula/formulaengine.h"
#include "host/helpers/datehelper.h"
#include "host/helpers/dimensionconverter.h"
#include "host/productengine/productengine.h"

#include <zeltpc5/classregistry.h>

namespace zeltpc5::host {

void RegisterReferenceEngines()
{
    ClassRegistry &registry = ClassRegistry::instance();
    registry.registerClass(QStringLiteral("optrix5.Engine"), QUuid(), &ProductEngine::create);
    registry.registerClass(QStringLiteral("zeltfe5.Engine"), QUuid(), &FormulaEngine::create);
    registry.registerClass(QString(), DateHelper::Clsid, &DateHelper::create);
    registry.registerClass(QString(), DimensionConverter::Clsid, &DimensionConverter::create);
}

} // namespace zeltpc5::host
