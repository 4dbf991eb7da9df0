// The install step as a machine gets it: `cmake --install` of this build into a temporary prefix,
// then the installed programs run through their links in bin, from a directory of no relation.
#include "DialogAnswerer.h"
#include "help/viewer/api/HtmlHelp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <dlfcn.h>

#include <filesystem>

using namespace vimora::platform;

namespace {

struct Run {
    int exitCode = -1; // -1: the program did not start, crashed or did not finish
    QByteArray output;
    QByteArray errors;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
        const QString& workingDirectory, const QByteArray& input = {}) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted())
        return result;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
    }
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}

// Installs this build under `prefix`, staged below `destDir` when one is given, as a package build
// does.
Run install(const QString& prefix, const QString& destDir = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DESTDIR"));
    if (!destDir.isEmpty())
        environment.insert(QStringLiteral("DESTDIR"), destDir);
    return run(
        QStringLiteral(VIMORA_CMAKE_COMMAND),
        {QStringLiteral("--install"), QStringLiteral(VIMORA_BINARY_DIR), QStringLiteral("--prefix"), prefix},
        environment, QDir::tempPath());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString linkText(const QString& path) {
    std::error_code error;
    return QString::fromStdString(std::filesystem::read_symlink(path.toStdString(), error).string());
}

// A key of the menu entry's [Desktop Entry] group.
QString desktopEntryValue(const QString& path, const QString& key) {
    const QString text = QString::fromUtf8(readFile(path));
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(text).captured(1);
}

// The values of the diagnostic log's header by label ("_hhInstalled", "_ModuleDir", ...): each line
// is the label, spaces, an "=" or ":", a tab and the value.
QHash<QString, QString> logValues(const QByteArray& log) {
    QHash<QString, QString> values;
    for (QByteArray line : log.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0)
            continue;
        QString label = QString::fromLatin1(line.left(tab)).trimmed();
        if (label.endsWith(QLatin1Char('=')) || label.endsWith(QLatin1Char(':')))
            label.chop(1);
        values.insert(label.trimmed(), QString::fromLatin1(line.mid(tab + 1)));
    }
    return values;
}

// A Debian relation list ("libc6 (>= 2.34), qt6-qpa-plugins") by package: the lowest version
// allowed, or empty.
QHash<QString, QString> packageRelations(const QString& relations) {
    QHash<QString, QString> packages;
    const QRegularExpression relation(
        QStringLiteral("^\\s*([^\\s(]+)\\s*(?:\\(>=\\s*([^)\\s]+)\\s*\\))?\\s*$"));
    for (const QString& item : relations.split(QLatin1Char(','))) {
        const QRegularExpressionMatch match = relation.match(item);
        packages.insert(match.hasMatch() ? match.captured(1) : item.trimmed(), match.captured(2));
    }
    return packages;
}

// A manual page as `man -l` shows it, without hyphenation or justification so that words and
// spacing stay whole; warnings go to `errors`.
Run renderManualPage(const QString& path) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    environment.remove(QStringLiteral("MANOPT"));
    environment.remove(QStringLiteral("MAN_KEEP_FORMATTING"));
    return run(QStringLiteral("man"),
               {QStringLiteral("--warnings"), QStringLiteral("--nh"), QStringLiteral("--nj"),
                QStringLiteral("-l"), path},
               environment, QDir::tempPath());
}

// The lines of a text from the heading line that starts with `heading` to the next line that is
// not indented (the next heading of a manual page or paragraph of a help text).
QStringList section(const QString& text, const QString& heading) {
    QStringList lines;
    bool inside = false;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (inside && !line.isEmpty() && !line.front().isSpace())
            break;
        if (inside)
            lines << line;
        else if (line.startsWith(heading))
            inside = true;
    }
    return lines;
}

// The options a section names ("-h", "--help", ...).
QSet<QString> options(const QStringList& section) {
    QSet<QString> found;
    const QRegularExpression option(QStringLiteral("(?<![\\w-])(--?[a-z][a-z-]*)"));
    for (const QString& line : section)
        for (const QRegularExpressionMatch& match : option.globalMatch(line))
            found << match.captured(1);
    return found;
}

// The exit statuses a section lists, each with its text, spaces and line ends made single spaces.
QMap<QString, QString> exitStatuses(const QStringList& section) {
    QMap<QString, QString> statuses;
    const QRegularExpression item(QStringLiteral("^\\s+(\\d+)\\s{2,}(.*)$"));
    QString current;
    for (const QString& line : section) {
        const QRegularExpressionMatch match = item.match(line);
        if (match.hasMatch())
            current = match.captured(1);
        if (!current.isEmpty())
            statuses[current] =
                (statuses[current] + QLatin1Char(' ') + (match.hasMatch() ? match.captured(2) : line))
                    .simplified();
    }
    return statuses;
}

const QString kAppId = QStringLiteral(VIMORA_APP_ID);

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir().mkpath(elsewhere()));
        QVERIFY(QDir().mkpath(tempDir()));
        const Run installed = install(prefix());
        QVERIFY2(installed.exitCode == 0, installed.output + installed.errors);
    }

    void cleanupTestCase() {
        if (m_engine != nullptr) {
            reinterpret_cast<HtmlHelpFunction>(dlsym(m_engine, kHtmlHelpEntryName))(nullptr, nullptr,
                                                                                    kHhCloseAll, 0);
            dlclose(m_engine);
        }
    }

    void installsEachFileInItsPlace_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("executable");

        const QString engine = QStringLiteral(VIMORA_HELP_ENGINE_NAME);
        QTest::newRow("program") << "lib/vimora/vimora"
                                 << "" << true;
        QTest::newRow("batch command") << "lib/vimora/vimora-assess"
                                       << "" << true;
        QTest::newRow("records command") << "lib/vimora/vimora-dossiers"
                                         << "" << true;
        QTest::newRow("help viewer engine") << "lib/vimora/" + engine << "" << false;
        QTest::newRow("help file") << "lib/vimora/VimoraXP.chm"
                                   << "" << false;
        QTest::newRow("registry file") << "lib/vimora/registry.reg"
                                       << "" << false;
        QTest::newRow("program link") << "bin/vimora"
                                      << "../lib/vimora/vimora" << true;
        QTest::newRow("batch command link") << "bin/vimora-assess"
                                            << "../lib/vimora/vimora-assess" << true;
        QTest::newRow("records command link") << "bin/vimora-dossiers"
                                              << "../lib/vimora/vimora-dossiers" << true;
        QTest::newRow("menu entry") << "share/applications/" + kAppId + ".desktop"
                                    << "" << false;
        QTest::newRow("metainfo") << "share/metainfo/" + kAppId + ".metainfo.xml"
                                  << "" << false;
        QTest::newRow("server setup script") << "share/vimora/vimora-setup.sql"
                                             << "" << false;
    }

    void installsEachFileInItsPlace() {
        QFETCH(QString, path);
        QFETCH(QString, link);
        QFETCH(bool, executable);
        const QFileInfo installed(prefix() + QLatin1Char('/') + path);
        QVERIFY2(installed.isFile(), qPrintable(installed.filePath()));
        QCOMPARE(installed.isExecutable(), executable);
        // A relative link holds under any prefix and in a package's staging directory.
        QCOMPARE(linkText(installed.filePath()), link);
    }

    void menuEntryIconComesInEverySize_data() {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QSize>("size");

        for (int size : {32, 48, 64, 128, 256}) {
            const QString name = QStringLiteral("%1x%1").arg(size);
            QTest::newRow(qPrintable(name)) << name << ".png" << QSize(size, size);
        }
        QTest::newRow("scalable") << "scalable"
                                  << ".svg" << QSize();
    }

    void menuEntryIconComesInEverySize() {
        QFETCH(QString, directory);
        QFETCH(QString, suffix);
        QFETCH(QSize, size);
        const QString icon = desktopEntryValue(menuEntry(), QStringLiteral("Icon"));
        QCOMPARE(icon, kAppId);
        const QString path =
            QStringLiteral("%1/share/icons/hicolor/%2/apps/%3%4").arg(prefix(), directory, icon, suffix);
        QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
        if (size.isValid())
            QCOMPARE(QImage(path).size(), size);
        else
            QVERIFY(readFile(path).contains("<svg"));
    }

    void metainfoLaunchesTheMenuEntryAndNamesThisRelease() {
        const QString metainfo =
            QString::fromUtf8(readFile(prefix() + "/share/metainfo/" + kAppId + ".metainfo.xml"));
        const QString launchable =
            QRegularExpression(QStringLiteral("<launchable type=\"desktop-id\">([^<]+)</launchable>"))
                .match(metainfo)
                .captured(1);
        QCOMPARE(prefix() + "/share/applications/" + launchable, menuEntry());
        // The newest release comes first.
        const QString release =
            QRegularExpression(QStringLiteral("<release version=\"([^\"]+)\"")).match(metainfo).captured(1);
        QCOMPARE(release, QStringLiteral(VIMORA_VERSION));
    }

    void registryFileRegistersTheInstalledEngine() {
        const QByteArray registry = readFile(programDir() + "/registry.reg");
        const QByteArray engine = (programDir() + "/" VIMORA_HELP_ENGINE_NAME).toUtf8();
        QVERIFY2(registry.contains("\n@=\"" + engine + "\"\n"), registry.constData());
    }

    void menuEntryStartsTheProgramWhichFindsItsEngineAndHelpFile() {
        const QStringList command =
            desktopEntryValue(menuEntry(), QStringLiteral("Exec")).split(QLatin1Char(' '));
        // The menu starts the entry's command from the search path, where the link is.
        const QString program = QStandardPaths::findExecutable(command.front(), {prefix() + "/bin"});
        QCOMPARE(program, prefix() + "/bin/vimora");

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("VIMORA_REGISTRY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("VIMORA_QUIT_AFTER_START"), QStringLiteral("1"));
        environment.insert(QStringLiteral("TMPDIR"), tempDir());
        const Run started =
            run(program, command.mid(1) << QStringLiteral("/debug"), environment, elsewhere());
        QVERIFY2(started.exitCode == 0, started.errors.constData());

        const QByteArray log = readFile(programDir() + "/HHDebug.txt");
        const QHash<QString, QString> values = logValues(log);
        QCOMPARE(values.value(QStringLiteral("_ModuleDir")), QFileInfo(programDir()).canonicalFilePath());
        QVERIFY2(values.value(QStringLiteral("_hhInstalled")) == QLatin1String("YES"), log.constData());
        QVERIFY2(values.value(QStringLiteral("_hhVerStr"))
                     .startsWith(QStringLiteral(VIMORA_HELP_ENGINE_VERSION ".")),
                 log.constData());
        QVERIFY(QFileInfo(values.value(QStringLiteral("_ModuleDir")) + "/VimoraXP.chm").isFile());
    }

    void batchCommandWorksThroughItsLink() {
        const Run assessed =
            run(prefix() + "/bin/vimora-assess", {}, QProcessEnvironment::systemEnvironment(), elsewhere(),
                "sexe;age;poids;taille\nM;35;80;1,75\n");
        QVERIFY2(assessed.exitCode == 0, assessed.errors.constData());
        QVERIFY2(assessed.output.contains("\nM;35;80;1,75;26,12;76,25;56,65;Surcharge pondérale.;"),
                 assessed.output.constData());
    }

    void manualPagesRenderInBothLanguages_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("mentions");

        const QStringList program = {"/debug",          "-debug",      "debug.debug",
                                     "registry.reg",    "HHDebug.txt", "VimoraXP.chm",
                                     "VIMORA_REGISTRY", "TMPDIR",      "VIMORA_QUIT_AFTER_START"};
        const QStringList batch = {"--help", "--version", "sexe;age;poids;taille"};
        QTest::newRow("vimora") << "share/man/man1/vimora.1.gz" << program;
        QTest::newRow("vimora, French") << "share/man/fr/man1/vimora.1.gz" << program;
        QTest::newRow("vimora-assess") << "share/man/man1/vimora-assess.1.gz" << batch;
        QTest::newRow("vimora-assess, French") << "share/man/fr/man1/vimora-assess.1.gz" << batch;
        const QStringList records = {
            "--base",          "importer",
            "exporter",        "alertes",
            "sauvegarder",     "verifier",
            "VIMORA_DATABASE", "dossier;nom;prenom;sexe;naissance;date;poids;taille"};
        QTest::newRow("vimora-dossiers") << "share/man/man1/vimora-dossiers.1.gz" << records;
        QTest::newRow("vimora-dossiers, French") << "share/man/fr/man1/vimora-dossiers.1.gz" << records;
    }

    void manualPagesRenderInBothLanguages() {
        QFETCH(QString, page);
        QFETCH(QStringList, mentions);
        const Run shown = renderManualPage(prefix() + QLatin1Char('/') + page);
        QVERIFY2(shown.exitCode == 0 && shown.errors.isEmpty(), shown.errors.constData());
        const QString text = QString::fromUtf8(shown.output);
        for (const QString& mention : mentions)
            QVERIFY2(text.contains(mention), qPrintable(page + " does not mention " + mention));
    }

    // The batch command's --help and its manual pages give the same options, exit statuses and
    // columns; the French page gives each status in the same words.
    void batchHelpAgreesWithItsManualPages_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("exitStatusHeading");
        QTest::addColumn<bool>("sameWords");

        QTest::newRow("English") << "share/man/man1/vimora-assess.1.gz"
                                 << "EXIT STATUS" << false;
        QTest::newRow("French") << "share/man/fr/man1/vimora-assess.1.gz"
                                << "CODE DE RETOUR" << true;
    }

    void batchHelpAgreesWithItsManualPages() {
        QFETCH(QString, page);
        QFETCH(QString, exitStatusHeading);
        QFETCH(bool, sameWords);
        const Run help = run(prefix() + "/bin/vimora-assess", {QStringLiteral("--help")},
                             QProcessEnvironment::systemEnvironment(), elsewhere());
        QCOMPARE(help.exitCode, 0);
        const QString helpText = QString::fromUtf8(help.output);
        const Run shown = renderManualPage(prefix() + QLatin1Char('/') + page);
        QCOMPARE(shown.exitCode, 0);
        const QString pageText = QString::fromUtf8(shown.output);

        const QSet<QString> helpOptions = options(section(helpText, QStringLiteral("Options :")));
        QVERIFY(helpOptions.contains(QStringLiteral("--help")));
        QCOMPARE(options(section(pageText, QStringLiteral("OPTIONS"))), helpOptions);

        const QMap<QString, QString> helpStatuses =
            exitStatuses(section(helpText, QStringLiteral("Code de sortie :")));
        const QMap<QString, QString> pageStatuses = exitStatuses(section(pageText, exitStatusHeading));
        QVERIFY(!helpStatuses.isEmpty());
        QCOMPARE(pageStatuses.keys(), helpStatuses.keys());
        if (sameWords)
            QCOMPARE(pageStatuses, helpStatuses);

        const QString columns = QRegularExpression(QStringLiteral("^\\s*(sexe;age;poids;taille;[^\\s]+)$"),
                                                   QRegularExpression::MultilineOption)
                                    .match(helpText)
                                    .captured(1);
        QVERIFY(columns.endsWith(QLatin1String(";erreur")));
        QVERIFY2(pageText.contains(QStringLiteral("\n       ") + columns + QLatin1Char('\n')),
                 qPrintable(columns));
    }

    void installedEngineShowsTheInstalledHelpFile() {
        const QByteArray registry = readFile(programDir() + "/registry.reg");
        const QByteArray engine = QRegularExpression(QStringLiteral("\n@=\"([^\"]+)\""))
                                      .match(QString::fromUtf8(registry))
                                      .captured(1)
                                      .toUtf8();
        m_engine = dlopen(engine.constData(), RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(m_engine != nullptr, dlerror());
        auto htmlHelp = reinterpret_cast<HtmlHelpFunction>(dlsym(m_engine, kHtmlHelpEntryName));
        QVERIFY(htmlHelp != nullptr);

        // A message box instead of the viewer would wait for a click: answer it and fail.
        QString message;
        const vimora::test::DialogAnswerer<QMessageBox> answer([&message](QMessageBox& box) {
            message = box.text();
            box.done(QMessageBox::Ok);
        });
        const QByteArray helpFile = QFile::encodeName(programDir() + "/VimoraXP.chm");
        auto* window =
            static_cast<QWidget*>(htmlHelp(desktopWindow(), helpFile.constData(), kHhDisplayTopic, 0));
        QVERIFY2(message.isEmpty(), qPrintable(message));
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        auto* page = window->findChild<QTextBrowser*>(QStringLiteral("page"));
        QVERIFY(page != nullptr);
        QVERIFY(!page->toPlainText().trimmed().isEmpty());
    }

    // The package's dependencies are listed by hand: each library the installed programs and engine
    // need must be there, at least in the version dpkg-shlibdeps asks for.
    void packageDependsOnEveryLibraryItUses() {
        const QString shlibdeps = QStandardPaths::findExecutable(QStringLiteral("dpkg-shlibdeps"));
        if (shlibdeps.isEmpty())
            QSKIP("dpkg-shlibdeps is not installed");
        if (VIMORA_SANITIZED)
            QSKIP("the sanitizers link their run-time libraries and more; packages are built without them");
        const QString config =
            QString::fromUtf8(readFile(QStringLiteral(VIMORA_BINARY_DIR "/CPackConfig.cmake")));
        const QString depends =
            QRegularExpression(QStringLiteral("set\\(CPACK_DEBIAN_PACKAGE_DEPENDS \"([^\"]*)\""))
                .match(config)
                .captured(1);
        QVERIFY2(!depends.isEmpty(), "no CPACK_DEBIAN_PACKAGE_DEPENDS in CPackConfig.cmake");
        const QHash<QString, QString> declared = packageRelations(depends);

        // dpkg-shlibdeps wants to run where a debian/control is.
        const QString work = m_root.filePath(QStringLiteral("shlibdeps"));
        QVERIFY(QDir().mkpath(work + "/debian"));
        QVERIFY(QFile(work + "/debian/control").open(QIODevice::WriteOnly));
        const Run found =
            run(shlibdeps,
                {QStringLiteral("-O"), programDir() + "/vimora", programDir() + "/vimora-assess",
                 programDir() + "/vimora-dossiers", programDir() + "/" VIMORA_HELP_ENGINE_NAME},
                QProcessEnvironment::systemEnvironment(), work);
        QVERIFY2(found.exitCode == 0, found.errors.constData());
        const QString needed =
            QRegularExpression(QStringLiteral("^shlibs:Depends=(.*)$"), QRegularExpression::MultilineOption)
                .match(QString::fromUtf8(found.output))
                .captured(1);
        QVERIFY2(needed.contains(QLatin1String("libqt6widgets6")), found.output.constData());

        const QHash<QString, QString> neededRelations = packageRelations(needed);
        for (auto it = neededRelations.cbegin(); it != neededRelations.cend(); ++it) {
            QVERIFY2(declared.contains(it.key()), qPrintable(it.key() + " is missing from " + depends));
            if (it.value().isEmpty())
                continue;
            const Run compared = run(QStringLiteral("dpkg"),
                                     {QStringLiteral("--compare-versions"), declared.value(it.key()),
                                      QStringLiteral("ge"), it.value()},
                                     QProcessEnvironment::systemEnvironment(), work);
            QVERIFY2(compared.exitCode == 0, qPrintable(it.key() + " needs at least " + it.value()));
        }
    }

    // A package build installs into a staging directory with the final prefix: what the install
    // step writes names the final places, and nothing lands outside the staging directory.
    void stagedInstallNamesTheFinalPlaces() {
        const QString finalPrefix = m_root.filePath(QStringLiteral("final"));
        const QString stage = m_root.filePath(QStringLiteral("stage"));
        const Run installed = install(finalPrefix, stage);
        QVERIFY2(installed.exitCode == 0, installed.output + installed.errors);
        QVERIFY(!QFileInfo::exists(finalPrefix));

        const QString stagedPrefix = stage + finalPrefix;
        const QByteArray registry = readFile(stagedPrefix + "/lib/vimora/registry.reg");
        const QByteArray engine = (finalPrefix + "/lib/vimora/" VIMORA_HELP_ENGINE_NAME).toUtf8();
        QVERIFY2(registry.contains("\n@=\"" + engine + "\"\n"), registry.constData());
        QCOMPARE(QFileInfo(stagedPrefix + "/bin/vimora").canonicalFilePath(),
                 QFileInfo(stagedPrefix + "/lib/vimora/vimora").canonicalFilePath());
    }

private:
    QString prefix() const { return m_root.filePath(QStringLiteral("prefix")); }
    QString programDir() const { return prefix() + "/lib/vimora"; }
    QString menuEntry() const { return prefix() + "/share/applications/" + kAppId + ".desktop"; }
    QString elsewhere() const { return m_root.filePath(QStringLiteral("elsewhere")); }
    QString tempDir() const { return m_root.filePath(QStringLiteral("tmp")); }

    QTemporaryDir m_root;
    void* m_engine = nullptr;
};

QTEST_MAIN(InstallTest)
#include "InstallTest.moc"
