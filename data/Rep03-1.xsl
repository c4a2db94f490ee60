<?xml version="1.0" encoding="windows-1251"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="windows-1251" indent="yes"/>
  <xsl:template match="/tutorial">
    <html>
      <head>
        <title>Настройки событий терминала</title>
        <style type="text/css">
          body { font-family: Tahoma, Verdana, sans-serif; font-size: 10pt; margin: 16px; }
          h1 { font-size: 14pt; }
          table { border-collapse: collapse; width: 100%; }
          th, td { border: 1px solid #8a8a8a; padding: 3px 6px; vertical-align: top; }
          th { background: #dde4ee; text-align: left; }
          td.flag { text-align: center; width: 5em; }
          td.on { background: #d7f0d2; font-weight: bold; }
          tr.group td { background: #eeeeee; font-weight: bold; }
        </style>
      </head>
      <body>
        <h1>Настройки событий терминала</h1>
        <table>
          <tr>
            <th>Группа</th>
            <th>Событие</th>
            <th>Журнал</th>
            <th>Авто/GPRS</th>
            <th>Тревога</th>
            <th>Инфо</th>
            <th>Параметры</th>
          </tr>
          <xsl:apply-templates select="MEVENT"/>
        </table>
        <p>Событий: <xsl:value-of select="count(MEVENT)"/></p>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="MEVENT">
    <tr>
      <td><xsl:value-of select="EVENTGROUP"/></td>
      <td><xsl:value-of select="EVENTNAME"/></td>
      <xsl:call-template name="flag"><xsl:with-param name="value" select="JOURNAL"/></xsl:call-template>
      <xsl:call-template name="flag"><xsl:with-param name="value" select="AVT"/></xsl:call-template>
      <xsl:call-template name="flag"><xsl:with-param name="value" select="ALARM"/></xsl:call-template>
      <xsl:call-template name="flag"><xsl:with-param name="value" select="INFO"/></xsl:call-template>
      <td><xsl:value-of select="normalize-space(SDESCR)"/></td>
    </tr>
  </xsl:template>

  <xsl:template name="flag">
    <xsl:param name="value"/>
    <xsl:choose>
      <xsl:when test="$value = 'ДА'"><td class="flag on">ДА</td></xsl:when>
      <xsl:otherwise><td class="flag">-</td></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
