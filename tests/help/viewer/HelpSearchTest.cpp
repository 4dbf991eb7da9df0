// The help search and keyword index on text: folding, matching, ranking, the index file's
// reading (a hostile one included), and the help file built for the program.
#include "help/viewer/ChmArchive.h"
#include "help/viewer/FoldedText.h"
#include "help/viewer/HelpLimits.h"
#include "help/viewer/KeywordIndex.h"
#include "help/viewer/SearchIndex.h"

#include <QTest>

using namespace vimora::help;

namespace {

QString page(const QString& title, const QString& body) {
    return QStringLiteral("<html><head><title>%1</title><style>p { obesite: 1 }</style></head>"
                          "<body>%2</body></html>")
        .arg(title, body);
}

// Titles of the results, in order, with their match counts.
QStringList found(const SearchIndex& index, const QString& typed) {
    QStringList titles;
    for (const SearchResult& result : index.search(typed))
        titles << QStringLiteral("%1 (%2)").arg(result.title).arg(result.matches);
    return titles;
}

QStringList names(const std::vector<Keyword>& keywords) {
    QStringList list;
    for (const Keyword& keyword : keywords)
        list << QString(keyword.level, QLatin1Char('-')) + keyword.name;
    return list;
}

} // namespace

class HelpSearchTest : public QObject {
    Q_OBJECT

private slots:
    void matchesIgnoringCaseAndAccents_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("matches");
        QTest::newRow("accents typed without") << "L'Obésité sévère"
                                               << "obesite" << QStringList{"Obésité"};
        QTest::newRow("capitals typed with accents") << "OBESITE"
                                                     << "obésité" << QStringList{"OBESITE"};
        QTest::newRow("decomposed accents") << QString::fromUtf8("obe\xCC\x81site\xCC\x81") << "OBESITE"
                                            << QStringList{QString::fromUtf8("obe\xCC\x81site\xCC\x81")};
        QTest::newRow("ligature") << "un cœur"
                                  << "coeur" << QStringList{"cœur"};
        QTest::newRow("typographic apostrophe") << "l’enfant"
                                                << "l'enfant" << QStringList{"l’enfant"};
        QTest::newRow("no-break space") << "18\u00A0ans"
                                        << "18 ans" << QStringList{"18\u00A0ans"};
        QTest::newRow("every occurrence") << "Seuil, seuils, SEUIL"
                                          << "seuil" << QStringList{"Seuil", "seuil", "SEUIL"};
        QTest::newRow("a character folding to two") << "Straße"
                                                    << "s" << QStringList{"S", "ß"};
        QTest::newRow("nowhere") << "Poids et taille"
                                 << "tension" << QStringList{};
    }

    void matchesIgnoringCaseAndAccents() {
        QFETCH(QString, text);
        QFETCH(QString, typed);
        QFETCH(QStringList, matches);
        QStringList shown;
        for (const TextMatch& match : findPhrase(foldText(text), typed, 100))
            shown << text.mid(match.start, match.end - match.start);
        QCOMPARE(shown, matches);
    }

    void searchFindsTopicsHoldingEveryWord_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("results");
        QTest::newRow("title first, then by matches")
            << "objectif" << QStringList{"L'objectif diététique (1)", "Les résultats (3)", "L'enfant (1)"};
        QTest::newRow("accent- and case-blind")
            << "OBESITE" << QStringList{"Les résultats (2)", "L'enfant (1)"};
        QTest::newRow("beginnings of words") << "seuil" << QStringList{"L'enfant (2)"};
        QTest::newRow("every word") << "objectif enfant" << QStringList{"L'enfant (3)"};
        QTest::newRow("same matches: French title order")
            << "poids" << QStringList{"L'enfant (1)", "L'objectif diététique (1)", "Les résultats (1)"};
        QTest::newRow("a word nowhere") << "objectif tension" << QStringList{};
        QTest::newRow("not in styles or tags") << "style body" << QStringList{};
        QTest::newRow("no word") << " ,;! " << QStringList{};
    }

    void searchFindsTopicsHoldingEveryWord() {
        QFETCH(QString, typed);
        QFETCH(QStringList, results);
        const SearchIndex index({
            {QUrl("chm:/resultats.htm"),
             page("Les résultats",
                  "<p>Objectif, objectifs et <b>obj</b>ectif. Obésité, OBÉSITÉ. Poids.</p>")},
            {QUrl("chm:/enfants.htm"),
             page("L'enfant", "<h1>Enfant</h1><p>Seuils, seuil d'obésité, objectif et poids.</p>")},
            {QUrl("chm:/objectif.htm"), page("L'objectif diététique", "<p>Le poids à perdre.</p>")},
        });
        QCOMPARE(found(index, typed), results);
    }

    void keywordIndexIsReadInFrenchOrder() {
        const std::vector<Keyword> keywords = parseKeywordIndex(QString::fromUtf8(
            "<UL>"
            "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Enfant\">"
            "<param name=\"Name\" value=\"L'enfant\"><param name=\"Local\" value=\"enfants.htm\">"
            "<param name=\"Name\" value=\"Courbes\"><param name=\"Local\" value=\"courbes.htm\"></OBJECT>"
            "<UL>"
            "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"seuils\">"
            "<param name=\"Local\" value=\"seuils.htm\"></OBJECT>"
            "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"objectif\">"
            "<param name=\"Local\" value=\"objectif.htm\"></OBJECT>"
            "</UL>"
            "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Âge\"><param name=\"Local\" "
            "value=\"age.htm\"></OBJECT>"
            "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Écran\"><param name=\"Local\" "
            "value=\"ecran.htm\"></OBJECT>"
            "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Aide\"><param name=\"Local\" "
            "value=\"aide.htm\"></OBJECT>"
            "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"adulte\"><param name=\"Local\" "
            "value=\"a.htm\"></OBJECT>"
            "<LI><OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"Ignoré\"></OBJECT>"
            "</UL>"));
        QCOMPARE(names(keywords),
                 (QStringList{"adulte", "Âge", "Aide", "Écran", "Enfant", "-objectif", "-seuils"}));
        const Keyword& child = keywords[4];
        QCOMPARE(child.topics.size(), std::size_t{2});
        QCOMPARE(child.topics[1].topic, QUrl("chm:/courbes.htm"));
        QCOMPARE(child.topics[1].title, QStringLiteral("Courbes"));
        QCOMPARE(keywords[1].topics.front().title, QString());
    }

    // What a hostile file controls is bounded: depth, length, topics, tags that never end.
    void hostileKeywordIndexIsBounded() {
        constexpr int kDepth = 100000;
        QString deep;
        for (int level = 0; level < kDepth; ++level)
            deep += QStringLiteral("<UL><LI><OBJECT type=text/sitemap><param name=Name value=n%1></OBJECT>")
                        .arg(level);
        const std::vector<Keyword> nested = parseKeywordIndex(deep);
        QCOMPARE(nested.size(), std::size_t{kDepth});
        std::size_t deepest = 0;
        for (const Keyword& keyword : nested)
            deepest = std::max(deepest, keyword.level);
        QCOMPARE(deepest, limits::kDeepestKeywordLevel);

        QString wide = QStringLiteral("<UL><LI><OBJECT type=text/sitemap><param name=Name value=\"%1\">")
                           .arg(QString(10 * 1024 * 1024, QLatin1Char('x')));
        for (int topic = 0; topic < 5000; ++topic)
            wide += QStringLiteral("<param name=Local value=p%1.htm>").arg(topic);
        wide += QStringLiteral("</OBJECT><LI><OBJECT type=text/sitemap><param name=Name value=\"non fermé");
        wide += QString(100000, QLatin1Char('<'));
        const std::vector<Keyword> huge = parseKeywordIndex(wide);
        QCOMPARE(huge.size(), std::size_t{1});
        QCOMPARE(huge.front().name.size(), limits::kLongestName);
        QCOMPARE(huge.front().topics.size(), limits::kMostKeywordTopics);
    }

    void hostilePageIsBounded() {
        const QString tags = QStringLiteral("<b>").repeated(1000000);
        const QString words = QStringLiteral("mot ").repeated(1000000);
        const TopicText text = topicText(tags + words);
        QCOMPARE(text.text.size(), limits::kLargestTopicText);
        const SearchIndex index({{QUrl(QStringLiteral("chm:/p.htm")), tags + words}});
        const std::vector<SearchResult> found = index.search(QStringLiteral("mot"));
        QCOMPARE(found.size(), std::size_t{1});
        QCOMPARE(found.front().matches, limits::kLargestTopicText / 4);
    }

    void builtHelpFileIndexesEveryTopic() {
        const std::unique_ptr<ChmArchive> archive = ChmArchive::open(VIMORA_HELP_FILE);
        QVERIFY(archive);
        const std::vector<Keyword> keywords = readKeywordIndex(*archive);
        QSet<QString> indexed;
        QStringList folded;
        for (const Keyword& keyword : keywords) {
            folded << foldText(keyword.name).text;
            for (const KeywordTopic& topic : keyword.topics) {
                QVERIFY2(archive->contains(objectPath(topic.topic)), qPrintable(topic.topic.toString()));
                indexed << objectPath(topic.topic);
            }
        }
        const SearchIndex search = SearchIndex::ofArchive(*archive);
        QVERIFY(search.topicCount() >= 15);
        for (const QString& path : archive->objectPaths()) {
            if (path.endsWith(QLatin1String(".htm")))
                QVERIFY2(indexed.contains(path), qPrintable(path));
        }
        for (const char* term : {"imc", "surpoids", "obesite", "insuffisance ponderale", "enfant", "seuils",
                                 "objectif", "presse-papiers", "clavier", "fiche", "courbe", "pdf"}) {
            QVERIFY2(
                std::any_of(folded.cbegin(), folded.cend(),
                            [term](const QString& name) { return name.startsWith(QLatin1String(term)); }),
                term);
        }
        const std::vector<SearchResult> obesity = search.search(QStringLiteral("obesite"));
        QVERIFY(std::any_of(obesity.cbegin(), obesity.cend(), [](const SearchResult& result) {
            return result.topic == QUrl(QStringLiteral("chm:/adultes.htm"));
        }));
    }
};

QTEST_GUILESS_MAIN(HelpSearchTest)
#include "HelpSearchTest.moc"
