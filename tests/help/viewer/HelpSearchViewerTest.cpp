// The viewer's ways into the help besides the contents, driven with real key events in the
// window of the viewer engine loaded as the program loads it: the Index and Rechercher tabs,
// the find bar, printing a topic.
#include "DialogAnswerer.h"
#include "StoredHelpFile.h"
#include "help/viewer/api/HtmlHelp.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <dlfcn.h>

using namespace vimora::platform;

namespace {

template <typename T> T* child(QWidget* window, const char* name) {
    return window->findChild<T*>(QLatin1String(name));
}

QString countText(QWidget* window, const char* label) {
    return child<QLabel>(window, label)->text();
}

// The text of each highlighted match in the page.
QStringList highlighted(QTextBrowser* page) {
    QStringList texts;
    for (const QTextEdit::ExtraSelection& selection : page->extraSelections())
        texts << selection.cursor.selectedText();
    return texts;
}

} // namespace

class HelpSearchViewerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_library = dlopen(VIMORA_HELP_VIEWER_PATH, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(m_library, dlerror());
        m_htmlHelp = reinterpret_cast<HtmlHelpFunction>(dlsym(m_library, kHtmlHelpEntryName));
        QVERIFY(m_htmlHelp);
    }

    void cleanup() { m_htmlHelp(nullptr, nullptr, kHhCloseAll, 0); }

    void cleanupTestCase() { dlclose(m_library); }

    void findBarMovesThroughTheMatchesWithItsKeys() {
        QWidget* window = display();
        QTextBrowser* page = child<QTextBrowser>(window, "page");
        page->setSource(QUrl(QStringLiteral("chm:/objectif.htm")));
        QWidget* bar = child<QWidget>(window, "findBar");
        QVERIFY(!bar->isVisible());

        QTest::keyClick(page, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        auto* phrase = child<QLineEdit>(window, "findPhrase");
        QVERIFY(phrase->hasFocus());
        QTest::keyClicks(phrase, QStringLiteral("POIDS MINIMAL"));
        const qsizetype total =
            page->toPlainText().count(QStringLiteral("poids minimal"), Qt::CaseInsensitive);
        QVERIFY(total >= 3);
        const QString of = QStringLiteral(" sur %1").arg(total);
        QCOMPARE(countText(window, "findCount"), "1" + of);
        QCOMPARE(highlighted(page).size(), total);
        QCOMPARE(page->textCursor().selectedText().toLower(), QStringLiteral("poids minimal"));

        QTest::keyClick(phrase, Qt::Key_Return);
        QCOMPARE(countText(window, "findCount"), "2" + of);
        QTest::keyClick(phrase, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClick(phrase, Qt::Key_Enter, Qt::ShiftModifier);
        QCOMPARE(countText(window, "findCount"), QString::number(total) + of);
        QTest::keyClick(phrase, Qt::Key_F3);
        QCOMPARE(countText(window, "findCount"), "1" + of);
        QTest::keyClick(phrase, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(countText(window, "findCount"), QString::number(total) + of);

        // Accents typed or not.
        phrase->clear();
        QTest::keyClicks(phrase, QStringLiteral("dietetique"));
        QVERIFY(highlighted(page).contains(QStringLiteral("diététique")));
        QCOMPARE(highlighted(page).size(),
                 page->toPlainText().count(QStringLiteral("diététique"), Qt::CaseInsensitive));

        QTest::keyClicks(phrase, QStringLiteral("zq"));
        QCOMPARE(countText(window, "findCount"), QStringLiteral("Aucune occurrence"));
        QVERIFY(page->extraSelections().isEmpty());

        QTest::keyClick(phrase, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(page->hasFocus());
        QVERIFY(page->extraSelections().isEmpty());
    }

    void searchTabFindsTopicsAndHighlightsTheirWords() {
        QWidget* window = display();
        auto* tabs = child<QTabWidget>(window, "tabs");
        QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("&Sommaire"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("&Rechercher"));
        auto* words = child<QLineEdit>(window, "searchWords");
        QVERIFY(words->hasFocus());

        QTest::keyClicks(words, QStringLiteral("objectif enfant"));
        QTest::keyClick(words, Qt::Key_Return);
        auto* results = child<QListWidget>(window, "searchResults");
        QVERIFY(results->count() > 1);
        QCOMPARE(countText(window, "searchCount"),
                 QStringLiteral("%1 rubriques trouvées").arg(results->count()));
        QVERIFY(!results->findItems(QStringLiteral("L'objectif diététique"), Qt::MatchExactly).isEmpty());

        QTest::keyClick(words, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(words, QStringLiteral("obesite"));
        QTest::keyClick(words, Qt::Key_Return);
        QVERIFY(results->hasFocus());
        QTest::keyClick(results, Qt::Key_Return);
        QTextBrowser* page = child<QTextBrowser>(window, "page");
        QCOMPARE(page->documentTitle(), results->item(0)->text());
        const QStringList matches = highlighted(page);
        QVERIFY(matches.size() > 1);
        for (const QString& match : matches)
            QVERIFY2(match.startsWith(QStringLiteral("obésité"), Qt::CaseInsensitive), qPrintable(match));
        const int first = page->textCursor().selectionStart();
        QTest::keyClick(results, Qt::Key_F3);
        QVERIFY(page->textCursor().selectionStart() > first);
        QTest::keyClick(results, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(page->textCursor().selectionStart(), first);

        QTest::keyClick(words, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(words, QStringLiteral("xylophone"));
        QTest::keyClick(words, Qt::Key_Return);
        QCOMPARE(results->count(), 0);
        QCOMPARE(countText(window, "searchCount"),
                 QStringLiteral("Aucune rubrique ne contient «\u00A0xylophone\u00A0»."));
    }

    void indexTabJumpsToAKeywordAndOpensItsTopic() {
        QWidget* window = display();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::AltModifier);
        auto* tabs = child<QTabWidget>(window, "tabs");
        QTRY_COMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("&Index"));
        auto* word = child<QLineEdit>(window, "indexWord");
        QTRY_VERIFY(word->hasFocus());
        auto* keywords = child<QListWidget>(window, "indexKeywords");
        QTest::keyClicks(word, QStringLiteral("obe"));
        QCOMPARE(keywords->currentItem()->text(), QStringLiteral("Obésité"));

        // Obésité leads to three topics: the user picks the second.
        QStringList offered;
        const vimora::test::DialogAnswerer<QDialog> answerer([&offered](QDialog& dialog) {
            auto* choices = child<QListWidget>(&dialog, "topicChoices");
            QVERIFY(choices);
            for (int i = 0; i < choices->count(); ++i)
                offered << choices->item(i)->text();
            QTest::keyClick(choices, Qt::Key_Down);
            QTest::keyClick(choices, Qt::Key_Return);
        });
        QTest::keyClick(word, Qt::Key_Return);
        QCOMPARE(offered, (QStringList{"Classes de corpulence de l'adulte", "L'enfant et l'adolescent",
                                       "L'objectif diététique"}));
        QTextBrowser* page = child<QTextBrowser>(window, "page");
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/enfants.htm")));

        // A keyword with one topic opens it at once, on a double click too.
        word->clear();
        QTest::keyClicks(word, QStringLiteral("presse"));
        QListWidgetItem* item = keywords->currentItem();
        QCOMPARE(item->text(), QStringLiteral("Presse-papiers"));
        const QPoint centre = keywords->visualItemRect(item).center();
        QTest::mouseClick(keywords->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/enfants.htm")));
        QTest::mouseDClick(keywords->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/copier.htm")));
        QCOMPARE(answerer.answered(), 1);

        word->clear();
        QTest::keyClicks(word, QStringLiteral("xylophone"));
        QCOMPARE(keywords->currentItem(), nullptr);
        QCOMPARE(countText(window, "indexNote"),
                 QStringLiteral("Aucun mot clé ne commence par « xylophone »."));
    }

    void aFileWithoutIndexSaysSo() {
        QTemporaryDir directory;
        const QString path = directory.filePath(QStringLiteral("Aide.chm"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(stored_help_file::build(
            {stored_help_file::systemRecord("", "index.htm", "Aide"),
             {"/index.htm", "<html><head><title>Accueil</title></head><body><p>Rien.</p></body></html>"}}));
        file.close();
        QWidget* window = display(QFile::encodeName(path));
        QVERIFY(window);
        auto* tabs = child<QTabWidget>(window, "tabs");
        tabs->setCurrentIndex(1);
        auto* note = child<QLabel>(window, "indexNote");
        QVERIFY(note->isVisible());
        QCOMPARE(note->text(), QStringLiteral("Ce fichier d'aide n'a pas d'index."));
        QVERIFY(!child<QLineEdit>(window, "indexWord")->isEnabled());
    }

    void ctrlPPrintsThePageThroughThePrintDialog() {
        QWidget* window = display();
        QString title;
        QString document;
        const vimora::test::DialogAnswerer<QPrintDialog> answerer([&](QPrintDialog& print) {
            title = print.windowTitle();
            document = print.printer()->docName();
            print.reject();
        });
        QTest::keyClick(child<QTextBrowser>(window, "page"), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(answerer.answered(), 1);
        QCOMPARE(title, QStringLiteral("Imprimer la rubrique"));
        QCOMPARE(document, QStringLiteral("Bienvenue dans Vimora XP"));
    }

private:
    QWidget* display(const QByteArray& file = VIMORA_HELP_FILE) {
        auto* window =
            static_cast<QWidget*>(m_htmlHelp(desktopWindow(), file.constData(), kHhDisplayTopic, 0));
        if (window != nullptr && !QTest::qWaitForWindowActive(window))
            return nullptr;
        return window;
    }

    void* m_library = nullptr;
    HtmlHelpFunction m_htmlHelp = nullptr;
};

QTEST_MAIN(HelpSearchViewerTest)
#include "HelpSearchViewerTest.moc"
