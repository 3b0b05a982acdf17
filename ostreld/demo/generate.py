#!/usr/bin/env python3
"""Writes the demo seed of ostreld: schemas/, collections/ and the tiny images.

Deterministic: running it again gives the same files. Run from any folder:
    python3 ostreld/demo/generate.py
"""
import os
import random
import shutil
import struct
import zlib
from xml.sax.saxutils import escape, quoteattr

HERE = os.path.dirname(os.path.abspath(__file__))
rnd = random.Random(4711)

EXT = "http://example.org/ostrel-demo/ext"

FIRST = ["Anna", "Jürgen", "Élodie", "Søren", "Zoë", "Marta", "José", "Li", "Wei", "Ingrid", "Ólafur", "Chloé",
         "Björn", "Ayşe", "Tomás", "Nadia"]
LAST = ["Müller", "Dubois", "Nørgaard", "García", "王", "Kowalski", "Öztürk", "Rossi", "Jäger", "Lefèvre",
        "Hansen", "Çelik", "Smith", "Novák"]
COMPANY = ["GmbH", "SARL", "AG", "Ltd", "S.p.A.", "ApS", "有限公司"]
CITIES = [("München", "DE"), ("Lyon", "FR"), ("Århus", "DK"), ("Sevilla", "ES"), ("上海", "CN"), ("Kraków", "PL"),
          ("İzmir", "TR"), ("Zürich", "CH"), ("Reykjavík", "IS"), ("Porto", "PT")]
STREETS = ["Hauptstraße", "Rue de la Paix", "Strøget", "Calle Mayor", "Nanjing Lu", "ul. Długa", "Bahnhofplatz"]
PRODUCTS = [("P-100", "Widget «Grande»"), ("P-200", "Gadget – blue"), ("P-300", "Schraube M4 × 20"),
            ("P-400", "Café crème, 1 kg"), ("P-500", "茶叶 (green tea)"), ("P-600", "Cable 2 m"),
            ("P-700", "Smørrebrød board"), ("P-800", "Lamp, 230 V")]
NOTES = ["Deliver <before> noon & call ahead", "Fragile: \"handle with care\"", "Rechnung an Einkauf > Abteilung 3",
         "Payment in €, 30 days", "请在周一送货"]
GIFTS = ["Für dich — alles Gute", "Joyeux anniversaire 🎂", "生日快乐", "Happy holidays"]
STATUS = ["open", "shipped", "invoiced", "cancelled"]
SUBJECTS = ["history", "poetry", "science", "travel", "cooking", "philosophy", "fiction"]
WORDS = ["river", "night", "garden", "stone", "winter", "letters", "city", "mirror", "journey", "silence",
         "Morgen", "été", "夜", "lumière", "Straße"]


def write(path, text):
    full = os.path.join(HERE, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def money(v):
    return "%.2f" % v


def customer_name(i):
    if i % 3 == 0:
        return "%s %s" % (LAST[i % len(LAST)], COMPANY[i % len(COMPANY)])
    return "%s %s" % (FIRST[i % len(FIRST)], LAST[(i * 7) % len(LAST)])


def customers(n):
    for i in range(1, n + 1):
        city, country = CITIES[i % len(CITIES)]
        phones = "".join('\n    <phone type=%s>+%02d %03d %04d</phone>' % (quoteattr(t), rnd.randint(1, 99),
                                                                          rnd.randint(100, 999), rnd.randint(0, 9999))
                         for t in (["work", "mobile"][: rnd.randint(0, 2)]))
        vip = ' vip="true"' if i % 7 == 0 else ""
        yield "customer-%03d.xml" % i, f"""<?xml version="1.0" encoding="UTF-8"?>
<Customer number="C{i:04d}"{vip}>
  <name>{escape(customer_name(i))}</name>
  <address>
    <street>{escape(STREETS[i % len(STREETS)])} {rnd.randint(1, 120)}</street>
    <city>{escape(city)}</city>
    <country>{country}</country>
  </address>
  <email>customer{i}@example.org</email>{phones}
</Customer>
"""


def orders(n, ncust):
    for i in range(1, n + 1):
        cust = rnd.randint(1, ncust)
        lines = []
        total = 0.0
        for no in range(1, rnd.randint(1, 5) + 1):
            sku, name = rnd.choice(PRODUCTS)
            qty = rnd.randint(1, 12)
            price = rnd.choice([2.5, 4.99, 12.5, 19.9, 45.0, 99.0, 249.0])
            total += qty * price
            lines.append(f'      <line no="{no}"><product sku="{sku}">{escape(name)}</product>'
                         f'<qty>{qty}</qty><price currency="EUR">{money(price)}</price></line>')
        comment = "\n  <!-- imported from the old order system -->" if i % 4 == 0 else ""
        note = f"\n  <note><![CDATA[{rnd.choice(NOTES)}]]></note>" if i % 3 == 0 else ""
        gift = (f'\n  <ext:gift wrap="{rnd.choice(["yes", "no"])}">{escape(rnd.choice(GIFTS))}</ext:gift>'
                if i % 5 == 0 else "")
        yield "order-%03d.xml" % i, f"""<?xml version="1.0" encoding="UTF-8"?>
<Order xmlns:ext="{EXT}" status="{rnd.choice(STATUS)}" priority="{rnd.randint(1, 3)}">{comment}
  <number>SO-{10000 + i}</number>
  <date>2024-{rnd.randint(1, 12):02d}-{rnd.randint(1, 28):02d}</date>
  <customer ref="{cust}">{escape(customer_name(cust))}</customer>
  <lines>
{chr(10).join(lines)}
  </lines>
  <total currency="EUR">{money(total)}</total>{note}{gift}
</Order>
"""


def invoices(n, norders):
    for i in range(1, n + 1):
        paid = "true" if i % 3 else "false"
        yield "invoice-%03d.xml" % i, f"""<?xml version="1.0" encoding="UTF-8"?>
<Invoice number="INV-{20000 + i}" paid="{paid}">
  <order ref="{rnd.randint(1, norders)}"/>
  <date>2024-{rnd.randint(1, 12):02d}-{rnd.randint(1, 28):02d}</date>
  <amount currency="EUR">{money(rnd.uniform(10, 2000))}</amount>
  <!-- terms: 30 days net -->
</Invoice>
"""


def authors(n):
    for i in range(1, n + 1):
        born = rnd.randint(1800, 1990)
        yield "author-%03d.xml" % i, f"""<?xml version="1.0" encoding="UTF-8"?>
<Author xmlns:bio="http://example.org/ostrel-demo/bio" key="A{i:03d}">
  <name>{escape(FIRST[i % len(FIRST)])} {escape(LAST[(i * 3) % len(LAST)])}</name>
  <born>{born}</born>
  <bio:text><![CDATA[Wrote about {rnd.choice(WORDS)} & {rnd.choice(WORDS)}; <b>not</b> markup]]></bio:text>
</Author>
"""


def books(n, nauthors, images):
    for i in range(1, n + 1):
        title = " ".join(rnd.choice(WORDS).capitalize() if k == 0 else rnd.choice(WORDS) for k in range(rnd.randint(1, 4)))
        lang = rnd.choice(["en", "de", "fr", "zh", "da"])
        authors_xml = "".join(f'<author ref="{rnd.randint(1, nauthors)}"/>' for _ in range(rnd.randint(1, 3)))
        subjects = "".join(f"<subject>{s}</subject>" for s in rnd.sample(SUBJECTS, rnd.randint(1, 3)))
        cover = f'\n  <cover image="{images[i % len(images)]}"/>' if i % 4 == 0 else ""
        yield "book-%03d.xml" % i, f"""<?xml version="1.0" encoding="UTF-8"?>
<Book isbn="978-3-{rnd.randint(10000, 99999)}-{rnd.randint(100, 999)}-{i % 10}">
  <title xml:lang="{lang}">{escape(title)}</title>
  <authors>{authors_xml}</authors>
  <year>{rnd.randint(1850, 2023)}</year>
  <price currency="EUR">{money(rnd.uniform(5, 80))}</price>
  <subjects>{subjects}</subjects>
  <summary>A book about <em>{escape(rnd.choice(WORDS))}</em> and {escape(rnd.choice(WORDS))}.</summary>{cover}
</Book>
"""


def png(width, height, rgb):
    raw = b"".join(b"\x00" + bytes(rgb) * width for _ in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


# A 1x1 GIF of one colour.
def gif(rgb):
    return (b"GIF89a\x01\x00\x01\x00\x80\x00\x00" + bytes(rgb) + b"\x00\x00\x00"
            + b",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")


MONEY_TYPE = """
  <xs:complexType name="MoneyType">
    <xs:simpleContent>
      <xs:extension base="xs:decimal">
        <xs:attribute name="currency" type="xs:string" use="required"/>
      </xs:extension>
    </xs:simpleContent>
  </xs:complexType>"""

OPEN_ROOT = """
      <xs:anyAttribute namespace="##other" processContents="skip"/>"""

SALES_XSD = f"""<?xml version="1.0" encoding="UTF-8"?>
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"
           xmlns:osd="http://namespaces.ostrel.org/ostrel/schema-definition"
           elementFormDefault="unqualified">
  <xs:annotation>
    <xs:appinfo>
      <osd:schemaInfo name="Sales">
        <osd:collection name="Sales"/>
        <osd:doctype name="Order"/>
        <osd:doctype name="Customer"/>
        <osd:doctype name="Invoice"/>
      </osd:schemaInfo>
    </xs:appinfo>
    <xs:documentation>Orders, customers and invoices of the demo shop.</xs:documentation>
  </xs:annotation>
{MONEY_TYPE}
  <xs:simpleType name="StatusType">
    <xs:restriction base="xs:string">
      <xs:enumeration value="open"/>
      <xs:enumeration value="shipped"/>
      <xs:enumeration value="invoiced"/>
      <xs:enumeration value="cancelled"/>
    </xs:restriction>
  </xs:simpleType>
  <xs:complexType name="LineType">
    <xs:sequence>
      <xs:element name="product">
        <xs:complexType>
          <xs:simpleContent>
            <xs:extension base="xs:string">
              <xs:attribute name="sku" type="xs:string" use="required"/>
            </xs:extension>
          </xs:simpleContent>
        </xs:complexType>
      </xs:element>
      <xs:element name="qty" type="xs:positiveInteger"/>
      <xs:element name="price" type="MoneyType"/>
    </xs:sequence>
    <xs:attribute name="no" type="xs:positiveInteger" use="required"/>
  </xs:complexType>
  <xs:element name="Order">
    <xs:complexType>
      <xs:sequence>
        <xs:element name="number" type="xs:string"/>
        <xs:element name="date" type="xs:date"/>
        <xs:element name="customer">
          <xs:complexType>
            <xs:simpleContent>
              <xs:extension base="xs:string">
                <xs:attribute name="ref" type="xs:positiveInteger" use="required"/>
              </xs:extension>
            </xs:simpleContent>
          </xs:complexType>
        </xs:element>
        <xs:element name="lines">
          <xs:complexType>
            <xs:sequence>
              <xs:element name="line" type="LineType" maxOccurs="unbounded"/>
            </xs:sequence>
          </xs:complexType>
        </xs:element>
        <xs:element name="total" type="MoneyType"/>
        <xs:element name="note" type="xs:string" minOccurs="0"/>
        <xs:any namespace="##other" processContents="lax" minOccurs="0" maxOccurs="unbounded"/>
      </xs:sequence>
      <xs:attribute name="status" type="StatusType" use="required"/>
      <xs:attribute name="priority" type="xs:integer"/>{OPEN_ROOT}
    </xs:complexType>
  </xs:element>
  <xs:element name="Customer">
    <xs:complexType>
      <xs:sequence>
        <xs:element name="name" type="xs:string"/>
        <xs:element name="address">
          <xs:complexType>
            <xs:sequence>
              <xs:element name="street" type="xs:string"/>
              <xs:element name="city" type="xs:string"/>
              <xs:element name="country" type="xs:string"/>
            </xs:sequence>
          </xs:complexType>
        </xs:element>
        <xs:element name="email" type="xs:string"/>
        <xs:element name="phone" minOccurs="0" maxOccurs="unbounded">
          <xs:complexType>
            <xs:simpleContent>
              <xs:extension base="xs:string">
                <xs:attribute name="type" type="xs:string"/>
              </xs:extension>
            </xs:simpleContent>
          </xs:complexType>
        </xs:element>
      </xs:sequence>
      <xs:attribute name="number" type="xs:string" use="required"/>
      <xs:attribute name="vip" type="xs:boolean"/>{OPEN_ROOT}
    </xs:complexType>
  </xs:element>
  <xs:element name="Invoice">
    <xs:complexType>
      <xs:sequence>
        <xs:element name="order">
          <xs:complexType>
            <xs:attribute name="ref" type="xs:positiveInteger" use="required"/>
          </xs:complexType>
        </xs:element>
        <xs:element name="date" type="xs:date"/>
        <xs:element name="amount" type="MoneyType"/>
      </xs:sequence>
      <xs:attribute name="number" type="xs:string" use="required"/>
      <xs:attribute name="paid" type="xs:boolean" use="required"/>{OPEN_ROOT}
    </xs:complexType>
  </xs:element>
</xs:schema>
"""

LIBRARY_XSD = f"""<?xml version="1.0" encoding="UTF-8"?>
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"
           xmlns:osd="http://namespaces.ostrel.org/ostrel/schema-definition">
  <xs:annotation>
    <xs:appinfo>
      <osd:schemaInfo name="Library">
        <osd:collection name="Library"/>
        <osd:doctype name="Book"/>
        <osd:doctype name="Author"/>
        <osd:doctype name="images"><osd:nonXML/></osd:doctype>
      </osd:schemaInfo>
    </xs:appinfo>
    <xs:documentation>Books, their authors, and cover images (non-XML).</xs:documentation>
  </xs:annotation>
{MONEY_TYPE}
  <xs:element name="Book">
    <xs:complexType>
      <xs:sequence>
        <xs:element name="title">
          <xs:complexType>
            <xs:simpleContent>
              <xs:extension base="xs:string">
                <xs:anyAttribute namespace="http://www.w3.org/XML/1998/namespace" processContents="skip"/>
              </xs:extension>
            </xs:simpleContent>
          </xs:complexType>
        </xs:element>
        <xs:element name="authors">
          <xs:complexType>
            <xs:sequence>
              <xs:element name="author" maxOccurs="unbounded">
                <xs:complexType>
                  <xs:attribute name="ref" type="xs:positiveInteger" use="required"/>
                </xs:complexType>
              </xs:element>
            </xs:sequence>
          </xs:complexType>
        </xs:element>
        <xs:element name="year" type="xs:gYear"/>
        <xs:element name="price" type="MoneyType"/>
        <xs:element name="subjects">
          <xs:complexType>
            <xs:sequence>
              <xs:element name="subject" type="xs:string" maxOccurs="unbounded"/>
            </xs:sequence>
          </xs:complexType>
        </xs:element>
        <xs:element name="summary">
          <xs:complexType mixed="true">
            <xs:sequence>
              <xs:element name="em" type="xs:string" minOccurs="0" maxOccurs="unbounded"/>
            </xs:sequence>
          </xs:complexType>
        </xs:element>
        <xs:element name="cover" minOccurs="0">
          <xs:complexType>
            <xs:attribute name="image" type="xs:string" use="required"/>
          </xs:complexType>
        </xs:element>
      </xs:sequence>
      <xs:attribute name="isbn" type="xs:string" use="required"/>{OPEN_ROOT}
    </xs:complexType>
  </xs:element>
  <xs:element name="Author">
    <xs:complexType>
      <xs:sequence>
        <xs:element name="name" type="xs:string"/>
        <xs:element name="born" type="xs:gYear"/>
        <xs:any namespace="##other" processContents="lax" minOccurs="0" maxOccurs="unbounded"/>
      </xs:sequence>
      <xs:attribute name="key" type="xs:string" use="required"/>{OPEN_ROOT}
    </xs:complexType>
  </xs:element>
</xs:schema>
"""


def main():
    for d in ("schemas", "collections"):
        shutil.rmtree(os.path.join(HERE, d), ignore_errors=True)
    write("schemas/sales.xsd", SALES_XSD)
    write("schemas/library.xsd", LIBRARY_XSD)
    ncust, norders = 40, 150
    for name, text in customers(ncust):
        write("collections/Sales/" + name, text)
    for name, text in orders(norders, ncust):
        write("collections/Sales/" + name, text)
    for name, text in invoices(80, norders):
        write("collections/Sales/" + name, text)
    images = {"cover-red.png": png(8, 8, (200, 30, 30)), "cover-green.png": png(8, 8, (30, 160, 60)),
              "cover-blue.png": png(16, 8, (30, 60, 200)), "logo.gif": gif((250, 200, 0)),
              "dot.gif": gif((0, 0, 0)), "banner.png": png(32, 4, (120, 120, 120))}
    os.makedirs(os.path.join(HERE, "collections/Library/images"), exist_ok=True)
    for name, data in images.items():
        with open(os.path.join(HERE, "collections/Library/images", name), "wb") as f:
            f.write(data)
    for name, text in authors(25):
        write("collections/Library/" + name, text)
    for name, text in books(60, 25, sorted(images)):
        write("collections/Library/" + name, text)


if __name__ == "__main__":
    main()
