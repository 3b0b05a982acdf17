<?xml version="1.0" encoding="UTF-8"?>
<!-- Reduces the schema-information answer to one entry per collection/doctype pair,
     ordered by collection, then doctype, so that each collection's entries are adjacent.
     Works on the whole answer as well as on the xql:result element alone, and on result
     documents sent whole or pruned to the path of their schemaInfo. -->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:osd="http://namespaces.ostrel.org/ostrel/schema-definition"
    xmlns:xql="http://namespaces.ostrel.org/xql"
    exclude-result-prefixes="osd xql">

  <xsl:output method="xml" encoding="UTF-8" indent="no"/>

  <xsl:template match="/">
    <doctypes>
      <xsl:for-each select="//xql:result//osd:schemaInfo/osd:doctype[string-length(@name) &gt; 0]
                            [string-length(../osd:collection/@name) &gt; 0]">
        <xsl:sort select="../osd:collection/@name" data-type="text" order="ascending"/>
        <xsl:sort select="@name" data-type="text" order="ascending"/>
        <doctype name="{concat(../osd:collection/@name, '/', @name)}"/>
      </xsl:for-each>
    </doctypes>
  </xsl:template>

</xsl:stylesheet>
