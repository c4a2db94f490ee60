#pragma once

#include <QByteArray>
#include <QString>

// The event report rendered to HTML through its XSL stylesheet. Browsers are dropping XSLT, so a
// Report.xml opened with a double click may show nothing; the HTML file opens everywhere.
namespace HtmlReport {
// Renders the report document (as EventReport::build gives it) through the stylesheet at xslPath
// and writes the result to outPath. False with the reason in error when any step fails.
bool render(const QByteArray &reportXml, const QString &xslPath, const QString &outPath, QString &error);
} // namespace HtmlReport
