// The tag markup of the program's informative texts. Input: a markup text,
// shown in a link text control and read as plain text.
#include "FuzzSupport.h"
#include "uLinkEdit.h"

#include <QApplication>
#include <QPoint>

namespace {

// Both live until the process ends: Qt cannot take its application apart
// during the exit handlers, after main has returned.
QApplication* application = nullptr;
TLinkEdit* edit = nullptr;

// The document's plain text turns some characters (no-break spaces, line and
// paragraph separators, controls) into others; plain ASCII it keeps as it is.
bool plainAscii(const QString& text)
{
    for (const QChar c : text)
        if ((c.unicode() < 0x20 && c != QLatin1Char('\n')) || c.unicode() > 0x7e)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QApplication(*argc, *argv);
    edit = new TLinkEdit;
    edit->resize(400, 200);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString markup = fuzzText(data, size);
    const QString plain = markupPlainText(markup);
    edit->setRichText(markup);
    if (plainAscii(markup))
        FUZZ_CHECK(edit->toPlainText() == plain, "the control shows the markup's plain text");
    for (const QPoint& p : {QPoint(5, 5), QPoint(60, 12), QPoint(200, 40)})
        edit->linkAt(p);
    // As the program's event loop would: Qt trims its font caches on timers.
    QCoreApplication::processEvents();
    return 0;
}
