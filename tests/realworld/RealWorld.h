#pragma once
// XML from public Debian packages (README.md beside this file names them) and the reference
// tools the tests compare with, run by the tests on the same files.
#include <QByteArray>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace realworld {

// docbook-xsl
inline QString docbookXsl(const QString &file)
{
    return QStringLiteral("/usr/share/xml/docbook/stylesheet/docbook-xsl/") + file;
}
inline QString manpageExample() { return QStringLiteral("/usr/share/doc/docbook-xsl/examples/foo.1.example_manpage.xml"); }
// docbook5-xml
inline QString upgradeStylesheet() { return QStringLiteral("/usr/share/xml/docbook/stylesheet/docbook5/db4-upgrade.xsl"); }
// docbook-xml
inline QString docbookBook() { return QStringLiteral("/usr/share/doc/docbook-xml/examples/test-4.5.xml"); }

struct Run {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// A reference tool; bounded, so a hang shows as a run that did not finish.
inline Run run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    Run r;
    r.finished = p.waitForFinished(60000);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// What the files and tools need that is not there; empty when all are. scripts/install-deps.sh
// installs them.
inline QString missing(const QStringList &files)
{
    QStringList gone;
    for (const QString &f : files)
        if (!QFileInfo::exists(f))
            gone << f;
    for (const char *tool : {"xsltproc", "xmllint"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            gone << QString::fromLatin1(tool);
    return gone.isEmpty() ? QString() : QStringLiteral("missing (run scripts/install-deps.sh): ") + gone.join(u' ');
}

// The canonical form xmllint gives of a file, blank-only text between tags left out: what
// indentation may change. Empty when xmllint refuses the file.
inline QByteArray canonical(const QString &file)
{
    const Run r = run(QStringLiteral("xmllint"), {QStringLiteral("--nonet"), QStringLiteral("--c14n"), file});
    if (!r.finished || r.exitCode != 0)
        return {};
    static const QRegularExpression layout(QStringLiteral(">[ \\t\\r\\n]+<"));
    return QString::fromUtf8(r.out).replace(layout, QStringLiteral("><")).toUtf8();
}

// The canonical form of XML bytes with what libxml2 itself takes for layout left out (blanks
// beside elements; an element's only text, mixed content and xml:space="preserve" stay).
inline QByteArray canonicalText(const QByteArray &xml)
{
    QProcess p;
    p.start(QStringLiteral("xmllint"), {QStringLiteral("--nonet"), QStringLiteral("--noblanks"), QStringLiteral("--c14n"),
                                        QStringLiteral("-")});
    p.write(xml);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        p.kill();
        return {};
    }
    return p.readAllStandardOutput();
}

// A document every character of which is content: blank-only values, a tab, xml:space,
// CDATA, a comment, a processing instruction, mixed content, characters beyond the Basic
// Multilingual Plane.
inline QByteArray exactDocument(const QByteArray &root, const QByteArray &number)
{
    return "<" + root + ">\n  <number>" + number
           + "</number>\n  <password> </password>\n  <tab>\t</tab>\n  <!-- a comment -->\n  <?app keep  this?>\n"
             "  <note xml:space=\"preserve\">  two  blanks\n\tand a tab  </note>\n"
             "  <code><![CDATA[if (a < b && c) { }]]></code>\n"
             "  <emoji sign=\"\xF0\x9F\x98\x80 \xF0\x9D\x84\x9E\">\xF0\x9F\x98\x80 text \xF0\x9D\x84\x9E</emoji>\n"
             "  <mixed>a <b>bold</b> <i>it</i></mixed>\n</"
           + root + ">\n";
}

} // namespace realworld
