<?xml version="1.0" encoding="UTF-8"?>
<!-- Renders one Order of the demo collection Sales as an HTML page. -->
<xsl:stylesheet version="1.0"
                xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:ext="http://example.org/ostrel-demo/ext"
                xmlns:osl="http://namespaces.ostrel.org/ostrel/response2"
                exclude-result-prefixes="ext osl">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>

  <xsl:template match="/">
    <xsl:apply-templates select="//Order[1]"/>
  </xsl:template>

  <xsl:template match="Order">
    <html>
      <head>
        <meta charset="UTF-8"/>
        <title>Order <xsl:value-of select="number"/></title>
        <style>
          body { font-family: sans-serif; margin: 2em; }
          table { border-collapse: collapse; }
          th, td { border: 1px solid #999; padding: 4px 8px; }
          td.num { text-align: right; }
          .status { text-transform: uppercase; font-weight: bold; }
        </style>
      </head>
      <body>
        <h1>Order <xsl:value-of select="number"/></h1>
        <p>
          <xsl:if test="@osl:id">Document <xsl:value-of select="@osl:id"/> · </xsl:if>
          Date <xsl:value-of select="date"/> ·
          <span class="status"><xsl:value-of select="@status"/></span> ·
          priority <xsl:value-of select="@priority"/>
        </p>
        <p>Customer: <xsl:value-of select="customer"/> (no. <xsl:value-of select="customer/@ref"/>)</p>
        <table>
          <tr><th>#</th><th>SKU</th><th>Product</th><th>Qty</th><th>Price</th><th>Amount</th></tr>
          <xsl:for-each select="lines/line">
            <tr>
              <td class="num"><xsl:value-of select="@no"/></td>
              <td><xsl:value-of select="product/@sku"/></td>
              <td><xsl:value-of select="product"/></td>
              <td class="num"><xsl:value-of select="qty"/></td>
              <td class="num"><xsl:value-of select="price"/></td>
              <td class="num"><xsl:value-of select="format-number(qty * price, '0.00')"/></td>
            </tr>
          </xsl:for-each>
          <tr>
            <th colspan="5">Total (<xsl:value-of select="total/@currency"/>)</th>
            <td class="num"><b><xsl:value-of select="total"/></b></td>
          </tr>
        </table>
        <xsl:if test="note">
          <p><i>Note:</i> <xsl:value-of select="note"/></p>
        </xsl:if>
        <xsl:for-each select="ext:gift">
          <p><i>Gift message<xsl:if test="@wrap='yes'"> (wrapped)</xsl:if>:</i> <xsl:value-of select="."/></p>
        </xsl:for-each>
      </body>
    </html>
  </xsl:template>
</xsl:stylesheet>
