#include "StoredHelpFile.h"
#include "chart/ChildChart.h"
#include "help/viewer/api/HtmlHelp.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>

#include <dlfcn.h>

#include <functional>

using namespace vimora::platform;

namespace {

// Answers the message boxes that a call opens, as soon as each is shown, so that no test can
// hang on one.
class MessageBoxAnswer : public QObject {
public:
    MessageBoxAnswer() { qApp->installEventFilter(this); }
    MessageBoxAnswer(const MessageBoxAnswer&) = delete;
    MessageBoxAnswer& operator=(const MessageBoxAnswer&) = delete;
    ~MessageBoxAnswer() override { qApp->removeEventFilter(this); }

    int count() const { return m_count; }
    const QString& text() const { return m_text; }
    QMessageBox::Icon icon() const { return m_icon; }
    QWidget* parent() const { return m_parent; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box != nullptr && event->type() == QEvent::Show) {
            m_text = box->text();
            m_icon = box->icon();
            m_parent = box->parentWidget();
            ++m_count;
            // Clicked once the box runs its own event loop.
            QMetaObject::invokeMethod(
                box, [box] { QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton); },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    int m_count = 0;
    QString m_text;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
    QPointer<QWidget> m_parent;
};

QTextBrowser* pageOf(QWidget* window) {
    return window->findChild<QTextBrowser*>(QStringLiteral("page"));
}
QTreeWidget* contentsOf(QWidget* window) {
    return window->findChild<QTreeWidget*>(QStringLiteral("contents"));
}

QTreeWidgetItem* contentsItem(QTreeWidget* tree, const QString& name) {
    const QList<QTreeWidgetItem*> items = tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return items.size() == 1 ? items.front() : nullptr;
}

void clickToolButton(QWidget* window, const char* action) {
    auto* tools = window->findChild<QToolBar*>();
    QWidget* button = tools->widgetForAction(window->findChild<QAction*>(QLatin1String(action)));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Clicks the second character of the first link that shows the given text.
void clickLink(QTextBrowser* page, const QString& text) {
    const QTextCursor found = page->document()->find(text);
    QVERIFY2(!found.isNull(), qPrintable(text));
    QTextCursor second(page->document());
    second.setPosition(found.selectionStart() + 2);
    QVERIFY(second.charFormat().isAnchor());
    page->setTextCursor(second);
    page->ensureCursorVisible();
    const QPoint point = page->cursorRect(second).center() - QPoint(2, 0);
    QVERIFY(!page->anchorAt(point).isEmpty());
    QTest::mouseClick(page->viewport(), Qt::LeftButton, Qt::NoModifier, point);
}

const QByteArray kPage = "<html><head><title>Page</title></head><body><p>Une page.</p></body></html>";

QString writeFile(const QTemporaryDir& directory, const QByteArray& bytes) {
    const QString path = directory.filePath(QStringLiteral("Aide.chm"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QSet<QWidget*> visibleTopLevels() {
    QSet<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            windows << widget;
    }
    return windows;
}

} // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(QStringLiteral(VIMORA_HELP_FILE)), VIMORA_HELP_FILE);
        load();
    }

    void cleanup() {
        // A check that failed between an unload and the next load leaves no engine to call.
        if (m_htmlHelp != nullptr)
            m_htmlHelp(nullptr, nullptr, kHhCloseAll, 0);
    }

    void cleanupTestCase() {
        if (m_library != nullptr)
            dlclose(m_library);
    }

    void showsTheDefaultTopicInAWindowOfItsOwn() {
        QWidget* window = display();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(window->isWindow());
        QCOMPARE(window->parentWidget(), nullptr);
        QCOMPARE(window->windowTitle(), QStringLiteral("Aide de Vimora XP"));

        QTextBrowser* page = pageOf(window);
        QVERIFY(page);
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/index.htm")));
        QCOMPARE(page->documentTitle(), QStringLiteral("Bienvenue dans Vimora XP"));
        QVERIFY(page->toPlainText().contains(QStringLiteral("évalue la corpulence d'un patient")));
    }

    void showsTheContentsTree() {
        QTreeWidget* tree = contentsOf(display());
        QVERIFY(tree);
        QStringList topLevel;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            topLevel << tree->topLevelItem(i)->text(0);
        QCOMPARE(topLevel, (QStringList{"Bienvenue dans Vimora XP", "Utiliser Vimora XP",
                                        "Interpréter les résultats", "Référence"}));
        QTreeWidgetItem* book = tree->topLevelItem(2);
        QCOMPARE(book->childCount(), 7);
        QCOMPARE(book->child(2)->text(0), QStringLiteral("Courbes de référence de l'enfant"));
        QVERIFY(book->isExpanded());
        QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
    }

    void followsLinksAndGoesBackAndForward() {
        QWidget* window = display();
        QTextBrowser* page = pageOf(window);
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("back"))->isEnabled());

        clickLink(page, QStringLiteral("Saisir les mesures du patient"));
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/saisie.htm")));
        QCOMPARE(page->documentTitle(), QStringLiteral("Saisir les mesures du patient"));
        QCOMPARE(contentsOf(window)->currentItem()->text(0), QStringLiteral("Saisir les mesures du patient"));

        clickLink(page, QStringLiteral("Messages d'erreur"));
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/erreurs.htm")));
        QVERIFY(page->toPlainText().contains(QStringLiteral("Division par zéro en virgule flottante.")));

        clickToolButton(window, "back");
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/saisie.htm")));
        clickToolButton(window, "back");
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/index.htm")));
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("back"))->isEnabled());

        clickToolButton(window, "forward");
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/saisie.htm")));
        QCOMPARE(contentsOf(window)->currentItem()->text(0), QStringLiteral("Saisir les mesures du patient"));

        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/erreurs.htm")));
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("forward"))->isEnabled());

        clickToolButton(window, "home");
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/index.htm")));
    }

    void contentsEntryOpensItsTopic() {
        QWidget* window = display();
        QTreeWidget* tree = contentsOf(window);
        QTreeWidgetItem* item = contentsItem(tree, QStringLiteral("Classes de corpulence de l'adulte"));
        QVERIFY(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualItemRect(item).center());
        QTextBrowser* page = pageOf(window);
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/adultes.htm")));
        QVERIFY(page->toPlainText().contains(QStringLiteral("Obésité grade III")));

        // A book without a page of its own changes nothing.
        QTreeWidgetItem* book = contentsItem(tree, QStringLiteral("Référence"));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualItemRect(book).center());
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/adultes.htm")));
    }

    void showsThePicturesOfTheFile() {
        QWidget* window = display();
        QTreeWidget* tree = contentsOf(window);
        tree->setCurrentItem(contentsItem(tree, QStringLiteral("Courbes de référence de l'enfant")));
        QTextBrowser* page = pageOf(window);
        QCOMPARE(page->source(), QUrl(QStringLiteral("chm:/courbes.htm")));

        // Scroll the boys' curves into view and look for their red obesity threshold.
        QTextCursor picture = page->document()->find(QString(QChar::ObjectReplacementCharacter));
        QVERIFY(!picture.isNull());
        QVERIFY(picture.charFormat().isImageFormat());
        QCOMPARE(picture.charFormat().toImageFormat().name(), QStringLiteral("images/courbes-garcons.png"));
        picture.clearSelection();
        page->setTextCursor(picture);
        page->ensureCursorVisible();
        const QImage shown = page->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int red = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x)
                red += shown.pixelColor(x, y) == vimora::chart::kObesityColour;
        }
        QVERIFY2(red > 200, qPrintable(QString::number(red)));
    }

    void missingTopicShowsAPageSayingSo() {
        QWidget* window = display();
        QTextBrowser* page = pageOf(window);
        page->setSource(QUrl(QStringLiteral("chm:/absente.htm")));
        QCOMPARE(page->documentTitle(), QStringLiteral("Rubrique introuvable"));
        QVERIFY(page->toPlainText().contains(QStringLiteral("/absente.htm")));
        QCOMPARE(contentsOf(window)->currentItem(), nullptr);
    }

    void askingAgainRaisesTheWindowOnTheDefaultTopic() {
        QWidget* window = display();
        QTreeWidget* tree = contentsOf(window);
        QTreeWidgetItem* item = contentsItem(tree, QStringLiteral("Classes de corpulence de l'adulte"));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualItemRect(item).center());
        QCOMPARE(pageOf(window)->source(), QUrl(QStringLiteral("chm:/adultes.htm")));
        QWidget mainWindow;
        mainWindow.show();
        mainWindow.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&mainWindow));

        QCOMPARE(display(), window);
        QCOMPARE(pageOf(window)->source(), QUrl(QStringLiteral("chm:/index.htm")));
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("Bienvenue dans Vimora XP"));
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

    void unreadableTopicShowsAPageSayingWhy_data() {
        QTest::addColumn<bool>("truncated");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("over the size limit")
            << false << "Rubrique trop volumineuse"
            << "La rubrique « /rubrique.htm » est trop volumineuse pour être affichée : elle dépasse 2 Mo.";
        QTest::newRow("damaged")
            << true << "Rubrique illisible"
            << "La rubrique « /rubrique.htm » ne peut pas être lue : ce fichier d'aide est endommagé.";
    }

    void unreadableTopicShowsAPageSayingWhy() {
        QFETCH(bool, truncated);
        QFETCH(QString, title);
        QFETCH(QString, text);
        const qsizetype size = truncated ? 4096 : qsizetype(2) * 1024 * 1024 + 1;
        QByteArray file = stored_help_file::build({stored_help_file::systemRecord("", "index.htm", "Aide"),
                                                   {"/index.htm", kPage},
                                                   {"/rubrique.htm", QByteArray(size, ' ')}});
        if (truncated)
            file.chop(100);
        QTemporaryDir directory;
        QWidget* window = display(QFile::encodeName(writeFile(directory, file)));
        QVERIFY(window);
        QTextBrowser* page = pageOf(window);
        page->setSource(QUrl(QStringLiteral("chm:/rubrique.htm")));
        QCOMPARE(page->documentTitle(), title);
        QCOMPARE(page->toPlainText(), title + QLatin1Char('\n') + text);
    }

    void pageBeyondTheBoundsIsNotShown_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QString refused =
            QStringLiteral("La rubrique « /rubrique.htm » ne peut pas être affichée : %1.");
        QTest::newRow("elements nested deeper than 100")
            << QByteArray("<div>").repeated(10000) + "x" + QByteArray("</div>").repeated(10000)
            << "Rubrique trop complexe" << refused.arg("ses éléments sont imbriqués sur plus de 100 niveaux");
        // The text document builds the tags of a script too.
        QTest::newRow("elements nested deeper than 100 in a script")
            << "<script>" + QByteArray("<div>").repeated(10000) + "x"
            << "Rubrique trop complexe" << refused.arg("ses éléments sont imbriqués sur plus de 100 niveaux");
        QTest::newRow("more than 10,000 elements")
            << QByteArray("<p>x").repeated(100000) << "Rubrique trop complexe"
            << refused.arg("elle compte plus de 10 000 éléments");
        QTest::newRow("tables nested deeper than 3")
            << QByteArray("<table><tr><td>").repeated(4) + "x"
            << "Rubrique trop complexe" << refused.arg("ses tableaux sont imbriqués sur plus de 3 niveaux");
        QTest::newRow("empty") << QByteArray() << "Rubrique vide"
                               << "La rubrique « /rubrique.htm » est vide.";
        // Items, paragraphs and cells whose end tags are left out do not nest.
        QTest::newRow("within the bounds")
            << "<html><head><title>Liste</title></head><body><ul>" + QByteArray("<li>point").repeated(3000) +
                   "</ul>" + QByteArray("<p>paragraphe").repeated(3000) + "<table>" +
                   QByteArray("<tr><td>a<td><b>b</b>").repeated(750) + "</table>" +
                   QByteArray("<table><tr><td>").repeated(3) + "</body></html>"
            << "Liste" << QString();
    }

    void pageBeyondTheBoundsIsNotShown() {
        QFETCH(QByteArray, page);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QTemporaryDir directory;
        QWidget* window = display(QFile::encodeName(writeFile(
            directory, stored_help_file::build({stored_help_file::systemRecord("", "index.htm", "Aide"),
                                                {"/index.htm", kPage},
                                                {"/rubrique.htm", page}}))));
        QVERIFY(window);
        QTextBrowser* browser = pageOf(window);
        browser->setSource(QUrl(QStringLiteral("chm:/rubrique.htm")));
        QCOMPARE(browser->documentTitle(), title);
        if (!text.isNull())
            QCOMPARE(browser->toPlainText(), title + QLatin1Char('\n') + text);
    }

    void contentsBeyondTheBoundsAreCutWithANote() {
        QByteArray contents = "<UL>";
        for (int entry = 1; entry <= 20001; ++entry)
            contents += "<LI><OBJECT type=text/sitemap><param name=Name value='Rubrique " +
                        QByteArray::number(entry) + "'><param name=Local value=index.htm></OBJECT>";
        QTemporaryDir directory;
        QWidget* window = display(QFile::encodeName(writeFile(
            directory,
            stored_help_file::build({stored_help_file::systemRecord("large.hhc", "index.htm", "Large"),
                                     {"/index.htm", kPage},
                                     {"/large.hhc", contents}}))));
        QVERIFY(window);
        QTreeWidget* tree = contentsOf(window);
        QCOMPARE(tree->topLevelItemCount(), 20000);
        QCOMPARE(tree->topLevelItem(19999)->text(0), QStringLiteral("Rubrique 20000"));
        const auto* note = window->findChild<QLabel*>(QStringLiteral("contentsNote"));
        QVERIFY(note);
        QCOMPARE(note->text(), QStringLiteral("Le sommaire compte plus de 20\u202F000 entrées : seules les "
                                              "20\u202F000 premières sont présentées."));
    }

    void secondDisplayRaisesTheSameWindow() {
        QWidget* first = display();
        first->showMinimized();
        QTRY_VERIFY(first->isMinimized());
        const QSet<QWidget*> before = visibleTopLevels();
        QWidget* second = display();
        QCOMPARE(second, first);
        QVERIFY(!first->isMinimized());
        QCOMPARE(visibleTopLevels(), before);
    }

    void aClosedWindowIsReplacedByANewOne() {
        QPointer<QWidget> closed = display();
        closed->close();
        QWidget* reopened = display();
        QVERIFY(reopened);
        QVERIFY(reopened != closed.data());
        QTRY_VERIFY(closed.isNull());
        QVERIFY(reopened->isVisible());
    }

    void ownerIsOnlyALiveWidgetOfTheApplication_data() {
        QTest::addColumn<bool>("liveOwner");
        QTest::addColumn<quintptr>("handle");
        QTest::newRow("desktop") << false << quintptr(reinterpret_cast<quintptr>(desktopWindow()));
        QTest::newRow("none") << false << quintptr(0);
        QTest::newRow("foreign handle") << false << quintptr(0x7654321);
        QTest::newRow("a window of the program") << true << quintptr(0);
    }

    void ownerIsOnlyALiveWidgetOfTheApplication() {
        QFETCH(bool, liveOwner);
        QFETCH(quintptr, handle);
        QWidget owner;
        owner.show();
        QWidget* window =
            display(VIMORA_HELP_FILE, liveOwner ? &owner : reinterpret_cast<WindowHandle>(handle));
        QVERIFY(window);
        QVERIFY(window->isWindow());
        QCOMPARE(window->parentWidget(), liveOwner ? &owner : nullptr);
        m_htmlHelp(nullptr, nullptr, kHhCloseAll, 0);
    }

    void unreadableFileShowsAFrenchMessage_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << "missing"
                                      << "Le fichier d'aide « %1 » est introuvable.";
        QTest::newRow("not a help file") << "garbage"
                                         << "Le fichier « %1 » n'est pas un fichier d'aide compilé (.chm).";
        QTest::newRow("damaged") << "damaged"
                                 << "Le fichier d'aide « %1 » est endommagé : il ne peut pas être lu.";
        QTest::newRow("too large")
            << "large"
            << "Le fichier d'aide « %1 » est trop volumineux pour être ouvert : il dépasse 256 Mo.";
        QTest::newRow("a directory")
            << "directory"
            << "Le fichier d'aide « %1 » ne peut pas être lu : le système en refuse l'accès ou la lecture.";
    }

    void unreadableFileShowsAFrenchMessage() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir directory;
        // A name with spaces and accents reaches the engine as the bytes the caller passes.
        const QString path = directory.filePath(QStringLiteral("Aide médicale/VimoraXP.chm"));
        if (kind != QLatin1String("missing"))
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        if (kind == QLatin1String("garbage")) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        } else if (kind == QLatin1String("damaged")) {
            QFile built(QStringLiteral(VIMORA_HELP_FILE));
            QVERIFY(built.open(QIODevice::ReadOnly) && file.open(QIODevice::WriteOnly));
            file.write(built.read(0x60));
        } else if (kind == QLatin1String("large")) {
            // Sparse: no disk space is taken.
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(256) * 1024 * 1024 + 1));
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(path));
        }
        file.close();

        const QSet<QWidget*> before = visibleTopLevels();
        MessageBoxAnswer answer;
        QCOMPARE(display(QFile::encodeName(path)), nullptr);
        QCOMPARE(answer.count(), 1);
        QCOMPARE(answer.text(), message.replace(QStringLiteral(" » "), QStringLiteral("\u00A0» "))
                                    .replace(QStringLiteral("« "), QStringLiteral("«\u00A0"))
                                    .arg(path));
        QCOMPARE(answer.icon(), QMessageBox::Critical);
        QCOMPARE(answer.parent(), nullptr);
        QCOMPARE(visibleTopLevels(), before);
    }

    // The damage that corrupted memory with the former reader: the high byte of a reset table
    // entry set to 1 (offset 0x22A4 of the file then). Every entry from the third on is damaged,
    // so that the contents file, compressed last, is still hit when pages are added.
    void damagedHelpFileIsRefusedInFrench() {
        QFile built(QStringLiteral(VIMORA_HELP_FILE));
        QVERIFY(built.open(QIODevice::ReadOnly));
        QByteArray file = built.readAll();
        const qsizetype table = file.indexOf(QByteArray::fromHex("0800000028000000")) - 8;
        QVERIFY(table > 0);
        const quint32 entries = qFromLittleEndian<quint32>(file.constData() + table + 4);
        QVERIFY(entries >= 3);
        for (quint32 entry = 2; entry < entries; ++entry)
            file[table + 0x28 + 8 * entry + 3] = 1;
        QTemporaryDir directory;
        const QString path = writeFile(directory, file);

        const QSet<QWidget*> before = visibleTopLevels();
        MessageBoxAnswer answer;
        QCOMPARE(display(QFile::encodeName(path)), nullptr);
        QCOMPARE(answer.count(), 1);
        QCOMPARE(answer.text(),
                 QStringLiteral("Le sommaire du fichier d'aide «\u00A0%1\u00A0» est endommagé : il ne peut "
                                "pas être lu.")
                     .arg(path));
        QCOMPARE(visibleTopLevels(), before);
    }

    void deeplyNestedContentsOpenQuickly() {
        // As many as the contents may hold.
        constexpr int kDepth = 20000;
        QByteArray contents;
        for (int level = 1; level <= kDepth; ++level) {
            contents += "<UL><LI><OBJECT type=text/sitemap><param name=Name value='Niveau " +
                        QByteArray::number(level) + "'>";
            // Only the deepest entry has a page, and the file no default topic: it opens there.
            if (level == kDepth)
                contents += "<param name=Local value=index.htm>";
            contents += "</OBJECT>";
        }
        contents += QByteArray("</UL>").repeated(kDepth);
        QTemporaryDir directory;
        const QString path = writeFile(
            directory, stored_help_file::build({stored_help_file::systemRecord("profond.hhc", "", "Profond"),
                                                {"/index.htm", kPage},
                                                {"/profond.hhc", contents}}));

        QElapsedTimer timer;
        timer.start();
        QPointer<QWidget> window = display(QFile::encodeName(path));
        QVERIFY(window);
        // The tree shows a hundred levels, the deeper entries in order at the last one.
        QTreeWidget* tree = contentsOf(window);
        QTreeWidgetItem* item = tree->topLevelItem(0);
        for (int level = 1; level < 100; ++level) {
            QCOMPARE(item->text(0), QStringLiteral("Niveau %1").arg(level));
            QCOMPARE(item->childCount(), level < 99 ? 1 : kDepth - 99);
            item = item->child(0);
        }
        QCOMPARE(item->text(0), QStringLiteral("Niveau 100"));
        QCOMPARE(item->parent()->child(kDepth - 100)->text(0), QStringLiteral("Niveau %1").arg(kDepth));
        QCOMPARE(tree->currentItem(), item->parent()->child(kDepth - 100));
        const auto* note = window->findChild<QLabel*>(QStringLiteral("contentsNote"));
        QVERIFY(note);
        QCOMPARE(
            note->text(),
            QStringLiteral("Le sommaire compte plus de 100 niveaux imbriqués : les rubriques plus profondes "
                           "sont présentées au 100e niveau."));
        QCOMPARE(pageOf(window)->source(), QUrl(QStringLiteral("chm:/index.htm")));
        m_htmlHelp(nullptr, nullptr, kHhCloseAll, 0);
        QVERIFY(window.isNull());
        qInfo("opened and closed in %lld ms", timer.elapsed());
        QVERIFY(timer.elapsed() < 60000);
    }

    void noFileShowsNothing() {
        MessageBoxAnswer answer;
        QCOMPARE(m_htmlHelp(desktopWindow(), nullptr, kHhDisplayTopic, 0), nullptr);
        QCOMPARE(m_htmlHelp(desktopWindow(), "", kHhDisplayTopic, 0), nullptr);
        QCOMPARE(answer.count(), 0);
    }

    void otherCommandsDoNothing_data() {
        QTest::addColumn<quint32>("command");
        QTest::newRow("HH_DISPLAY_TOC") << quint32(1);
        QTest::newRow("HH_DISPLAY_INDEX") << quint32(2);
        QTest::newRow("17") << quint32(17);
        QTest::newRow("19") << quint32(19);
        QTest::newRow("largest") << quint32(0xFFFFFFFF);
    }

    void otherCommandsDoNothing() {
        QFETCH(quint32, command);
        QPointer<QWidget> open = display();
        const QSet<QWidget*> before = visibleTopLevels();
        MessageBoxAnswer answer;
        QCOMPARE(m_htmlHelp(desktopWindow(), VIMORA_HELP_FILE, command, 0), nullptr);
        QCOMPARE(visibleTopLevels(), before);
        QVERIFY(!open.isNull());
        QCOMPARE(answer.count(), 0);
    }

    void closeAllClosesEveryViewerAtOnce() {
        QTemporaryDir directory;
        const QString copy = directory.filePath(QStringLiteral("Autre aide.chm"));
        QVERIFY(QFile::copy(QStringLiteral(VIMORA_HELP_FILE), copy));
        QPointer<QWidget> first = display();
        QPointer<QWidget> second = display(QFile::encodeName(copy));
        QVERIFY(first && second && first != second);

        QCOMPARE(m_htmlHelp(nullptr, nullptr, kHhCloseAll, 0), nullptr);
        QVERIFY(first.isNull());
        QVERIFY(second.isNull());
        QCOMPARE(m_htmlHelp(nullptr, nullptr, kHhCloseAll, 0), nullptr);
    }

    void unloadsCleanlyAndLoadsAgain() {
        QPointer<QWidget> window = display();
        pageOf(window)->setSource(QUrl(QStringLiteral("chm:/courbes.htm")));
        m_htmlHelp(nullptr, nullptr, kHhCloseAll, 0);
        unload();
        QVERIFY2(dlopen(VIMORA_HELP_VIEWER_PATH, RTLD_NOW | RTLD_NOLOAD) == nullptr,
                 "nothing keeps it loaded");
        deliverPostedEvents();

        load();
        window = display();
        QVERIFY(window);
        // Unloaded with a window still open: the window goes with the library.
        unload();
        QVERIFY(window.isNull());
        deliverPostedEvents();
        load();
    }

private:
    void load() {
        m_library = dlopen(VIMORA_HELP_VIEWER_PATH, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(m_library, dlerror());
        m_htmlHelp = reinterpret_cast<HtmlHelpFunction>(dlsym(m_library, kHtmlHelpEntryName));
        QVERIFY(m_htmlHelp);
    }

    void unload() {
        QCOMPARE(dlclose(m_library), 0);
        m_library = nullptr;
        m_htmlHelp = nullptr;
    }

    // Runs the event loop until every event posted so far, deferred deletions included, has been
    // delivered: one left for the unloaded library's code would crash here.
    static void deliverPostedEvents() {
        bool reached = false;
        QMetaObject::invokeMethod(
            qApp, [&reached] { reached = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(reached);
    }

    QWidget* display(const QByteArray& file = VIMORA_HELP_FILE, WindowHandle owner = desktopWindow()) {
        return static_cast<QWidget*>(m_htmlHelp(owner, file.constData(), kHhDisplayTopic, 0));
    }

    void* m_library = nullptr;
    HtmlHelpFunction m_htmlHelp = nullptr;
};

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
