// Date texts: the date helper's serial dates (ISO and the user's short formats) through its
// automation member, and the documents' own date texts.
//
// Checked: a date that reads is a finite serial date; the helper either answers a day
// boundary a whole day number apart from the start of that day, or refuses with an error.
#include "fuzzsupport.h"

#include "host/helpers/datehelper.h"
#include "xml/xmlaccess.h"

#include <cmath>

using namespace zeltpc5;
using namespace zeltpc5::host;
using zeltpc5::fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::InitializeOnce();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto serial = SerialDate(Variant(text)))
        Check(std::isfinite(*serial), "a serial date is finite");

    static const DispatchPtr helper = DateHelper::create();
    const CallResult start = Call(helper, u"GetDateBoundary", {Variant(text), MakeInt16(0)});
    const CallResult end = Call(helper, u"GetDateBoundary", {Variant(text), MakeInt16(1)});
    Check(start.ok() == end.ok(), "both boundaries of a date read, or neither");
    if (start.ok()) {
        const auto from = ToDouble(start.value);
        const auto to = ToDouble(end.value);
        Check(from && to && std::isfinite(*from) && *to - *from == 1.0,
              "a day ends one day after it starts");
    }
    (void)ParseXMLDate(text);
    return 0;
}
