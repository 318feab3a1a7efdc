// Common.BuildString: numbered placeholders {0} to {16} filled in ascending rounds on the
// text as filled so far, each value in its text form under the user's regional settings.
// A placeholder without a value, or whose value has no text form (null, an object), stays.
#pragma once

#include <zeltpc5/variant.h>

namespace zeltpc5::host {

QString FillPlaceholders(QString templateText, const VariantList &values);

} // namespace zeltpc5::host
