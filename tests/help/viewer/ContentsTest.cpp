#include "help/viewer/Contents.h"
#include "help/viewer/ChmArchive.h"

#include <QTest>

using vimora::help::ContentsEntry;

namespace {

// "name=topic[children];next" — a tree in one comparable line.
QString flatten(const std::vector<ContentsEntry>& entries) {
    QStringList parts;
    for (const ContentsEntry& entry : entries) {
        QString part = entry.name + QLatin1Char('=') + entry.topic.toString();
        if (!entry.children.empty())
            part += QLatin1Char('[') + flatten(entry.children) + QLatin1Char(']');
        parts << part;
    }
    return parts.join(QLatin1Char(';'));
}

QString item(const QString& name, const QString& local) {
    QString text =
        QStringLiteral("<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"%1\">").arg(name);
    if (!local.isNull())
        text += QStringLiteral("<param name=\"Local\" value=\"%1\">").arg(local);
    return text + QStringLiteral("</OBJECT>");
}

} // namespace

class ContentsTest : public QObject {
    Q_OBJECT

private slots:
    void parsesContentsFiles_data() {
        QTest::addColumn<QString>("contents");
        QTest::addColumn<QString>("tree");

        QTest::newRow("empty file") << QString() << QString();
        QTest::newRow("flat list") << QStringLiteral("<UL>") + item("A", "a.htm") + item("B", "b.htm") +
                                          "</UL>"
                                   << "A=chm:/a.htm;B=chm:/b.htm";
        QTest::newRow("book with pages, then a page")
            << QStringLiteral("<UL>") + item("Book", QString()) + "<UL>" + item("A", "a.htm") +
                   item("B", "b.htm") + "</UL>" + item("C", "c.htm") + "</UL>"
            << "Book=[A=chm:/a.htm;B=chm:/b.htm];C=chm:/c.htm";
        QTest::newRow("three levels")
            << QStringLiteral("<UL>") + item("A", "a.htm") + "<UL>" + item("B", "b.htm") + "<UL>" +
                   item("C", "c.htm") + "</UL></UL>" + item("D", "d.htm") + "</UL>"
            << "A=chm:/a.htm[B=chm:/b.htm[C=chm:/c.htm]];D=chm:/d.htm";
        QTest::newRow("site properties are not an entry")
            << QStringLiteral(
                   "<OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"X\"></OBJECT><UL>") +
                   item("A", "a.htm") + "</UL>"
            << "A=chm:/a.htm";
        QTest::newRow("entities in values")
            << QStringLiteral("<UL>") +
                   item("L&apos;enfant &amp; l&#39;ado &#xE9;t&#233; &lt;1&gt; &inconnu;", "a.htm") + "</UL>"
            << QStringLiteral("L'enfant & l'ado été <1> &inconnu;=chm:/a.htm");
        QTest::newRow("unquoted, single-quoted and upper-case attributes")
            << QStringLiteral("<ul><li><object TYPE=text/sitemap><PARAM NAME=Name VALUE='Une page'>"
                              "<param name=local value=page.htm></object></ul>")
            << "Une page=chm:/page.htm";
        QTest::newRow("storage prefix, backslashes and a fragment")
            << QStringLiteral("<UL>") + item("A", "mk:@MSITStore:aide.chm::/dossier\\page.htm#partie") +
                   "</UL>"
            << "A=chm:/dossier/page.htm#partie";
        QTest::newRow("stray closing lists")
            << QStringLiteral("</UL></UL><UL>") + item("A", "a.htm") + "</UL></UL>"
            << "A=chm:/a.htm";
        QTest::newRow("unclosed lists")
            << QStringLiteral("<UL>") + item("A", "a.htm") + "<UL>" + item("B", "b.htm")
            << "A=chm:/a.htm[B=chm:/b.htm]";
        QTest::newRow("nameless and topicless objects are dropped")
            << QStringLiteral("<UL><LI><OBJECT type=\"text/sitemap\"></OBJECT>") + item("A", "") + "</UL>"
            << "A=";
        const QString longest(1024, QLatin1Char('n'));
        QTest::newRow("names cut at 1024 characters, longer paths dropped")
            << QStringLiteral("<UL>") + item(longest, "a.htm") + item(longest + "n", "b.htm") +
                   item("C", QString(1025, QLatin1Char('c'))) + "</UL>"
            << longest + "=chm:/a.htm;" + longest + QChar(0x2026) + "=chm:/b.htm;C=";
    }

    void parsesContentsFiles() {
        QFETCH(QString, contents);
        QFETCH(QString, tree);
        QCOMPARE(flatten(vimora::help::parseContents(contents)), tree);
    }

    // Seven tags make the list and its entry, the sixth adding it.
    void tagsThatMakeNoEntriesAreBoundedToo() {
        const QString entry = QStringLiteral("<UL>") + item("A", "a.htm") + "</UL>";
        bool cut = true;
        QCOMPARE(flatten(vimora::help::parseContents(QStringLiteral("<B>").repeated(159993) + entry, &cut)),
                 QStringLiteral("A=chm:/a.htm"));
        QVERIFY(!cut);
        QCOMPARE(flatten(vimora::help::parseContents(QStringLiteral("<B>").repeated(159995) + entry, &cut)),
                 QString());
        QVERIFY(cut);
    }

    void decodesStoredText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8") << QByteArray("Aide \xc3\xa9t\xc3\xa9") << QStringLiteral("Aide été");
        QTest::newRow("Latin-1") << QByteArray("Aide \xe9t\xe9") << QStringLiteral("Aide été");
        QTest::newRow("ASCII") << QByteArray("Aide") << QStringLiteral("Aide");
    }

    void decodesStoredText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(vimora::help::decodeStoredText(bytes), text);
    }

    void objectPathsComeOnlyFromHelpFileUrls() {
        QCOMPARE(vimora::help::objectPath(QUrl(QStringLiteral("chm:/images/a%20b.png"))),
                 QStringLiteral("/images/a b.png"));
        QCOMPARE(vimora::help::objectPath(QUrl(QStringLiteral("file:///etc/passwd"))), QString());
        QCOMPARE(vimora::help::objectPath(QUrl(QStringLiteral("https://example.org/a.htm"))), QString());
    }
};

QTEST_GUILESS_MAIN(ContentsTest)
#include "ContentsTest.moc"
