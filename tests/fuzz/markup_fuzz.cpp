// Markup texts: the plain-text stripper the host uses for its console and saved lists, the
// grids' markup parser and tag remover, and the escaping every value gets before it enters a
// change text.
//
// Checked: any text escaped and wrapped as the change texts wrap values comes back whole as
// plain text (a CR LF as a line feed) from the stripper and as the grid shows it; stripping
// never grows a text.
#include "fuzzsupport.h"

#include "host/app/component.h"
#include "ui/markuptext.h"
#include "xml/xmlaccess.h"

using namespace zeltpc5;
using zeltpc5::fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::InitializeOnce();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString plain = host::app::PlainText(text);
    Check(plain.size() <= text.size(), "stripping never grows a text");
    Check(RemoveMarkupTags(text).size() <= text.size(), "removing tags never grows a text");
    {
        const MarkupText parsed(text);
        (void)parsed.shownText();
        (void)parsed.lineCount();
        (void)parsed.background();
    }

    const QString wrapped = QStringLiteral("<TextBlock>The value <Bold>") + EscapeMarkup(text) +
                            QStringLiteral("</Bold> stays.</TextBlock>");
    // A line break travels as a line break element and comes back as a line feed.
    const QString expected = QStringLiteral("The value ") +
                             QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) +
                             QStringLiteral(" stays.");
    Check(host::app::PlainText(wrapped) == expected,
          "an escaped value comes back whole as plain text");
    Check(MarkupText(wrapped).shownText() == expected, "an escaped value shows whole in a grid");
    return 0;
}
