<?xml version="1.0" encoding="UTF-8"?>
<!--
  Renders any document as readable HTML: each element is a box headed by its name, its
  attributes in a small table, its text as paragraphs. Everything is written through
  value-of, so markup in the data is shown, never interpreted. No outside resources.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>

  <xsl:template match="/">
    <html>
      <head>
        <meta http-equiv="Content-Type" content="text/html; charset=UTF-8"/>
        <title><xsl:value-of select="name(/*)"/></title>
        <style type="text/css">
          body { font-family: sans-serif; font-size: 10pt; margin: 8px; background: #fafafa; }
          h1 { font-size: 13pt; margin: 0 0 8px 0; }
          .el { border: 1px solid #b8c4d0; border-left: 4px solid #5b7fa6; margin: 4px 0 4px 14px;
                padding: 2px 6px 4px 6px; background: #ffffff; }
          .name { font-weight: bold; color: #24466b; }
          .ns { color: #888888; font-size: 8pt; margin-left: 6px; }
          table.attrs { border-collapse: collapse; margin: 2px 0 2px 0; }
          table.attrs td { border: 1px solid #dde3ea; padding: 1px 6px; vertical-align: top; }
          table.attrs td.an { color: #7a4b00; background: #fff8ea; }
          .text { margin: 2px 0; white-space: pre-wrap; }
          .comment { color: #3f7f3f; font-style: italic; margin: 2px 0; white-space: pre-wrap; }
          .pi { color: #7f3f7f; margin: 2px 0; }
        </style>
      </head>
      <body>
        <h1><xsl:value-of select="name(/*)"/></h1>
        <xsl:apply-templates select="node()"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="*">
    <div class="el">
      <span class="name"><xsl:value-of select="name()"/></span>
      <xsl:if test="namespace-uri() != ''">
        <span class="ns"><xsl:value-of select="namespace-uri()"/></span>
      </xsl:if>
      <xsl:if test="@*">
        <table class="attrs">
          <xsl:for-each select="@*">
            <tr>
              <td class="an"><xsl:value-of select="name()"/></td>
              <td><xsl:value-of select="."/></td>
            </tr>
          </xsl:for-each>
        </table>
      </xsl:if>
      <xsl:apply-templates select="node()"/>
    </div>
  </xsl:template>

  <xsl:template match="text()">
    <xsl:if test="normalize-space(.) != ''">
      <div class="text"><xsl:value-of select="."/></div>
    </xsl:if>
  </xsl:template>

  <xsl:template match="comment()">
    <div class="comment">&lt;!-- <xsl:value-of select="."/> --&gt;</div>
  </xsl:template>

  <xsl:template match="processing-instruction()">
    <div class="pi">&lt;?<xsl:value-of select="name()"/>
      <xsl:text> </xsl:text><xsl:value-of select="."/>?&gt;</div>
  </xsl:template>
</xsl:stylesheet>
