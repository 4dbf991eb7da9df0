#include "chart/ChildChart.h"
#include "engine/ReferenceThresholds.h"
#include "help/viewer/ChmArchive.h"
#include "help/viewer/Contents.h"
#include "help/viewer/PageCost.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextTable>

#include <memory>

using namespace vimora::help;
namespace chart = vimora::chart;
using vimora::ReferenceThresholds;
using vimora::Sex;

Q_DECLARE_METATYPE(vimora::Sex)

namespace {

const QStringList kPages{
    "index.htm",   "saisie.htm",   "resultats.htm",        "exemple.htm", "clavier.htm", "copier.htm",
    "fiche.htm",   "dossiers.htm", "dossiers-serveur.htm", "erreurs.htm", "adultes.htm", "enfants.htm",
    "courbes.htm", "seuils.htm",   "objectif.htm",         "alertes.htm", "menus.htm",   "apropos.htm",
    "oms.htm",     "liste.htm"};

QString pageTitle(const QString& html) {
    static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    return title.match(html).captured(1);
}

void collectTopics(const std::vector<ContentsEntry>& entries, std::vector<const ContentsEntry*>& pages) {
    for (const ContentsEntry& entry : entries) {
        if (!entry.topic.isEmpty())
            pages.push_back(&entry);
        collectTopics(entry.children, pages);
    }
}

QString decimal(double value) {
    return QString::number(value, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(','));
}

// Whether the curve of this colour covers the row of the value (or a row next to it) at x.
bool curveAt(const QImage& image, int x, double value, const QColor& colour) {
    const int y = qRound(chart::ChildChart::position(0, value).y());
    for (int row = y - 1; row <= y + 1; ++row) {
        if (image.pixelColor(x, row) == colour)
            return true;
    }
    return false;
}

} // namespace

class HelpFileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_archive = ChmArchive::open(VIMORA_HELP_FILE);
        QVERIFY2(m_archive, "the built help file opens");
    }

    void namesItsTitleAndDefaultTopic() {
        QCOMPARE(m_archive->title(), QStringLiteral("Aide de Vimora XP"));
        QCOMPARE(m_archive->defaultTopic(), QUrl(QStringLiteral("chm:/index.htm")));
        const std::optional<QByteArray> page = m_archive->read(QStringLiteral("/index.htm"));
        QVERIFY(page);
        QCOMPARE(pageTitle(QString::fromUtf8(*page)), QStringLiteral("Bienvenue dans Vimora XP"));
    }

    void headerIsRepairedAfterCompilingAndCheckedWhole_data() {
        QTest::addColumn<qsizetype>("at");
        QTest::addColumn<char>("value");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("chmcmd's copy of the first GUID") << qsizetype(0x28) << char(0x10) << 0;
        QTest::newRow("signature") << qsizetype(0x00) << 'X' << 1;
        QTest::newRow("version") << qsizetype(0x04) << char(2) << 1;
        QTest::newRow("first GUID") << qsizetype(0x18) << char(0x11) << 1;
        QTest::newRow("end of the second GUID") << qsizetype(0x37) << char(0) << 1;
        QTest::newRow("directory offset") << qsizetype(0x48) << char(0x79) << 1;
        QTest::newRow("content offset") << qsizetype(0x59) << char(0x20) << 1;
        QTest::newRow("file size") << qsizetype(0x68) << char(0) << 1;
        QTest::newRow("directory signature") << qsizetype(0x78) << char(0) << 1;
        QTest::newRow("first listing chunk as chmcmd records it") << qsizetype(0x98) << char(1) << 0;
        QTest::newRow("last listing chunk") << qsizetype(0x9C) << char(1) << 1;
        QTest::newRow("next of the only listing chunk") << qsizetype(0xDC) << char(0) << 1;
    }

    void headerIsRepairedAfterCompilingAndCheckedWhole() {
        QFETCH(qsizetype, at);
        QFETCH(char, value);
        QFETCH(int, exitCode);
        QFile built(QStringLiteral(VIMORA_HELP_FILE));
        QVERIFY(built.open(QIODevice::ReadOnly));
        const QByteArray whole = built.readAll();
        QCOMPARE(whole.mid(0x28, 16), QByteArray::fromHex("11FD017CAA7BD0119E0C00A0C922E6EC"));

        QTemporaryDir directory;
        const QString path = directory.filePath(QStringLiteral("VimoraXP.chm"));
        QByteArray damaged = whole;
        damaged[at] = value;
        QFile copy(path);
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(damaged) == damaged.size());
        copy.close();
        QCOMPARE(QProcess::execute(QStringLiteral(VIMORA_REPAIR_HELP_FILE), {path}), exitCode);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), exitCode == 0 ? whole : damaged);
    }

    // chmcmd records chunk 1 as the first listing chunk of a directory of several chunks, and
    // chunk 0 holds the system record, the contents and the first pages.
    void directoryOfSeveralChunksIsReadWhole() {
        constexpr int kPages = 600;
        QTemporaryDir directory;
        QByteArray contents = "<HTML><BODY><UL>\n";
        QByteArray files;
        for (int page = 1; page <= kPages; ++page) {
            const QByteArray name = "page" + QByteArray::number(page) + ".htm";
            const QByteArray title = "Rubrique " + QByteArray::number(page);
            QFile file(directory.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<html><head><title>" + title + "</title></head><body><p>" + title +
                       "</p></body></html>");
            contents += "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"" + title +
                        "\"><param name=\"Local\" value=\"" + name + "\"></OBJECT>\n";
            files += name + "\n";
        }
        QFile contentsFile(directory.filePath(QStringLiteral("Grande.hhc")));
        QVERIFY(contentsFile.open(QIODevice::WriteOnly));
        contentsFile.write(contents + "</UL></BODY></HTML>\n");
        contentsFile.close();
        QFile project(directory.filePath(QStringLiteral("Grande.hhp")));
        QVERIFY(project.open(QIODevice::WriteOnly));
        project.write(
            "[OPTIONS]\nCompiled file=Grande.chm\nContents file=Grande.hhc\nDefault topic=page1.htm\n"
            "Title=Grande aide\n\n[FILES]\n" +
            files);
        project.close();
        QProcess compiler;
        compiler.setWorkingDirectory(directory.path());
        compiler.start(QStringLiteral(CHMCMD_EXECUTABLE),
                       {QStringLiteral("--verbosity"), QStringLiteral("0"), QStringLiteral("Grande.hhp")});
        QVERIFY(compiler.waitForFinished(60000));
        QCOMPARE(compiler.exitCode(), 0);
        const QString path = directory.filePath(QStringLiteral("Grande.chm"));
        QCOMPARE(QProcess::execute(QStringLiteral(VIMORA_REPAIR_HELP_FILE), {path}), 0);

        const std::unique_ptr<ChmArchive> archive = ChmArchive::open(QFile::encodeName(path));
        QVERIFY(archive);
        QCOMPARE(archive->contentsFile(), QStringLiteral("/Grande.hhc"));
        const std::optional<QByteArray> listed = archive->read(archive->contentsFile());
        QVERIFY(listed);
        const std::vector<ContentsEntry> entries = parseContents(decodeStoredText(*listed));
        QCOMPARE(entries.size(), std::size_t(kPages));
        for (const ContentsEntry& entry : entries) {
            const std::optional<QByteArray> page = archive->read(objectPath(entry.topic));
            QVERIFY2(page, qPrintable(entry.topic.toString()));
            QCOMPARE(pageTitle(QString::fromUtf8(*page)), entry.name);
        }
    }

    void contentsListEveryPageUnderItsTitle() {
        const std::optional<QByteArray> file = m_archive->read(m_archive->contentsFile());
        QVERIFY(file);
        const std::vector<ContentsEntry> contents = parseContents(decodeStoredText(*file));
        std::vector<const ContentsEntry*> pages;
        collectTopics(contents, pages);

        QSet<QString> listed;
        for (const ContentsEntry* entry : pages) {
            const std::optional<QByteArray> page = m_archive->read(objectPath(entry->topic));
            QVERIFY2(page, qPrintable(entry->topic.toString()));
            QCOMPARE(pageTitle(QString::fromUtf8(*page)), entry->name);
            listed << objectPath(entry->topic);
        }
        QSet<QString> expected;
        for (const QString& page : kPages)
            expected << QLatin1Char('/') + page;
        QCOMPARE(listed, expected);
        QCOMPARE(pages.size(), std::size_t(kPages.size()));
    }

    void everyLinkAndPictureIsInTheFile() {
        static const QRegularExpression reference(QStringLiteral("(href|src)=\"([^\"]+)\""));
        int checked = 0;
        for (const QString& name : kPages) {
            const QUrl page = topicUrl(name);
            const std::optional<QByteArray> html = m_archive->read(objectPath(page));
            QVERIFY2(html, qPrintable(name));
            for (auto it = reference.globalMatch(QString::fromUtf8(*html)); it.hasNext();) {
                const QUrl target = page.resolved(QUrl(it.next().captured(2)));
                QVERIFY2(m_archive->contains(objectPath(target)),
                         qPrintable(name + QStringLiteral(" refers to ") + target.toString()));
                ++checked;
            }
        }
        QVERIFY(checked > 40);
    }

    // The viewer's bounds leave room for the program's own help.
    void everyPageIsWithinTheViewersBounds() {
        for (const QString& name : kPages) {
            const std::optional<QByteArray> html =
                m_archive->read(QLatin1Char('/') + name, nullptr, limits::kLargestPage);
            QVERIFY2(html, qPrintable(name));
            QVERIFY2(measurePage(*html) == PageExcess::None, qPrintable(name));
        }
    }

    void curvesAreDrawnFromTheTable_data() {
        QTest::addColumn<Sex>("sex");
        QTest::addColumn<QString>("picture");
        QTest::newRow("boys") << Sex::Male << QStringLiteral("/images/courbes-garcons.png");
        QTest::newRow("girls") << Sex::Female << QStringLiteral("/images/courbes-filles.png");
    }

    void curvesAreDrawnFromTheTable() {
        QFETCH(Sex, sex);
        QFETCH(QString, picture);
        const std::optional<QByteArray> png = m_archive->read(picture);
        QVERIFY(png);
        const QImage image = QImage::fromData(*png, "PNG");
        QCOMPARE(image.size(), chart::ChildChart(sex).size());

        // The middle of each quarter's step lies on its threshold, unless a curve drawn later
        // covers it there.
        struct Curve {
            double ReferenceThresholds::*threshold;
            QColor colour;
        };
        const Curve curves[] = {{&ReferenceThresholds::lowerThreshold, chart::kLowerColour},
                                {&ReferenceThresholds::upperThreshold, chart::kUpperColour},
                                {&ReferenceThresholds::obesityThreshold, chart::kObesityColour}};
        int checked = 0;
        for (int quarter = 0; quarter <= chart::ChildChart::kQuarters; ++quarter) {
            const ReferenceThresholds t = vimora::lookupReferenceThresholds(sex, quarter / 4.0);
            const int x =
                quarter < chart::ChildChart::kQuarters
                    ? chart::ChildChart::xForQuarter(quarter) + chart::ChildChart::kPixelsPerQuarter / 2
                    : chart::ChildChart::xForQuarter(quarter);
            for (std::size_t c = 0; c < std::size(curves); ++c) {
                const double value = t.*curves[c].threshold;
                bool covered = false;
                for (std::size_t later = c + 1; later < std::size(curves); ++later)
                    covered |= std::abs(chart::ChildChart::position(0, t.*curves[later].threshold).y() -
                                        chart::ChildChart::position(0, value).y()) <= 3;
                if (covered)
                    continue;
                QVERIFY2(curveAt(image, x, value, curves[c].colour),
                         qPrintable(QStringLiteral("quarter %1, value %2").arg(quarter).arg(value)));
                ++checked;
            }
        }
        QVERIFY(checked > 180);
    }

    void generatorPlotsTheProgramsTable() {
        QProcess generator;
        generator.start(QStringLiteral(VIMORA_REFERENCE_CURVES), {QStringLiteral("--dump")});
        QVERIFY(generator.waitForFinished(10000));
        QCOMPARE(generator.exitCode(), 0);
        const QStringList lines = QString::fromLatin1(generator.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2 * (chart::ChildChart::kQuarters + 1));
        for (const QString& line : lines) {
            const QStringList fields = line.split(QLatin1Char(' '));
            QCOMPARE(fields.size(), 5);
            const Sex sex = fields[0] == QLatin1String("M") ? Sex::Male : Sex::Female;
            const ReferenceThresholds expected =
                vimora::lookupReferenceThresholds(sex, fields[1].toInt() / 4.0);
            const ReferenceThresholds plotted{fields[2].toDouble(), fields[3].toDouble(),
                                              fields[4].toDouble()};
            QVERIFY2(plotted == expected, qPrintable(line));
        }
    }

    void thresholdsPageShowsTheProgramsTable() {
        const std::optional<QByteArray> html = m_archive->read(QStringLiteral("/seuils.htm"));
        QVERIFY(html);
        QTextDocument document;
        document.setHtml(QString::fromUtf8(*html));
        QTextTable* table = nullptr;
        for (QTextFrame* frame : document.rootFrame()->childFrames()) {
            if ((table = qobject_cast<QTextTable*>(frame)))
                break;
        }
        QVERIFY(table);
        constexpr int kHeaderRows = 2;
        QCOMPARE(table->rows(), kHeaderRows + chart::ChildChart::kQuarters + 1);
        auto cell = [table](int row, int column) {
            QTextTableCell c = table->cellAt(row, column);
            QTextCursor cursor = c.firstCursorPosition();
            cursor.setPosition(c.lastCursorPosition().position(), QTextCursor::KeepAnchor);
            return cursor.selectedText();
        };
        for (int quarter = 0; quarter <= chart::ChildChart::kQuarters; ++quarter) {
            const int row = kHeaderRows + quarter;
            QCOMPARE(cell(row, 1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(), quarter / 4.0);
            int column = 2;
            for (const Sex sex : {Sex::Male, Sex::Female}) {
                const ReferenceThresholds t = vimora::lookupReferenceThresholds(sex, quarter / 4.0);
                for (double value : {t.upperThreshold, t.lowerThreshold, t.obesityThreshold})
                    QCOMPARE(cell(row, column++), decimal(value));
            }
        }
        QCOMPARE(cell(kHeaderRows + 35, 0), QStringLiteral("8 ans 9 mois"));
    }

private:
    std::unique_ptr<ChmArchive> m_archive;
};

QTEST_MAIN(HelpFileTest)
#include "HelpFileTest.moc"
