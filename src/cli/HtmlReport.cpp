#include "cli/HtmlReport.h"

#include "cli/CliText.h"

#include "core/common/FileIo.h"

#include <QFile>

#include <libxml/parser.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <cstdio>
#include <memory>

namespace {

// libxml2 and libxslt report their errors through a printf-like callback: collect them for the message.
void collectError(void *context, const char *format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    *static_cast<QString *>(context) += QString::fromUtf8(text);
}

struct DocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
struct SheetFree
{
    void operator()(xsltStylesheet *sheet) const { xsltFreeStylesheet(sheet); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;
using Sheet = std::unique_ptr<xsltStylesheet, SheetFree>;

// Runs the transformation; empty result with the reason in error on failure.
bool transform(const QByteArray &reportXml, const QString &xslPath, QByteArray &html, QString &error)
{
    const QByteArray sheetName = QFile::encodeName(xslPath);
    Sheet sheet(xsltParseStylesheetFile(reinterpret_cast<const xmlChar *>(sheetName.constData())));
    if (!sheet) {
        error = CliText::tr("не удалось прочитать таблицу стилей %1").arg(xslPath) + QLatin1Char('\n') + error;
        return false;
    }
    Doc report(xmlReadMemory(reportXml.constData(), int(reportXml.size()), "Report.xml", nullptr, XML_PARSE_NONET));
    if (!report) {
        error = CliText::tr("отчет не разбирается") + QLatin1Char('\n') + error;
        return false;
    }
    Doc result(xsltApplyStylesheet(sheet.get(), report.get(), nullptr));
    if (!result) {
        error = CliText::tr("ошибка таблицы стилей") + QLatin1Char('\n') + error;
        return false;
    }
    xmlChar *text = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&text, &length, result.get(), sheet.get()) != 0) {
        error = CliText::tr("не удалось записать результат") + QLatin1Char('\n') + error;
        return false;
    }
    html = QByteArray(reinterpret_cast<const char *>(text), length);
    xmlFree(text);
    return true;
}

} // namespace

namespace HtmlReport {

bool render(const QByteArray &reportXml, const QString &xslPath, const QString &outPath, QString &error)
{
    // The library would wait for ever on a FIFO named as the stylesheet.
    if (!FileIo::checkRegular(xslPath, error))
        return false;
    QString messages;
    xmlSetGenericErrorFunc(&messages, collectError);
    xsltSetGenericErrorFunc(&messages, collectError);
    QByteArray html;
    const bool ok = transform(reportXml, xslPath, html, messages);
    xsltSetGenericErrorFunc(nullptr, nullptr);
    xmlSetGenericErrorFunc(nullptr, nullptr);
    xsltCleanupGlobals();
    xmlCleanupParser();
    if (!ok) {
        error = messages.trimmed();
        return false;
    }
    return FileIo::writeWhole(outPath, html, error);
}

} // namespace HtmlReport
