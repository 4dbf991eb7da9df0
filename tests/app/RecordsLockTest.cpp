// The patient records stay safe while the program's dialogs list their folder: a window whose
// records connection lost its locks would let another program delete the journal under it, and
// what the window then saves goes into a deleted file.
#include "DialogAnswerer.h"
#include "app/seams/FileDialogs.h"
#include "app/seams/PrintDialogs.h"
#include "platform/qt/NameOnlyFileLists.h"
#include "records/PatientStore.h"
#include "records/VisitRecords.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <iostream>
#include <string>

#include <unistd.h>

using vimora::records::Patient;

namespace {

// The POSIX locks that process `pid` holds, as the kernel lists them.
int locksHeld(qint64 pid) {
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return -1;
    int held = 0;
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        held += fields.size() > 4 && fields[1] == "POSIX" && fields[4].toLongLong() == pid;
    }
    return held;
}

const QString kFolderVariable = QStringLiteral("VIMORA_LOCK_TEST_WINDOW");

// The window's side, in a process of its own so that it can be killed: it opens the records, shows
// each of the program's file and print dialogs on their folder until the dialog has listed it, then
// saves a visit for each "save AAAA-MM-JJ" line it reads.
int windowSession(int argc, char** argv) {
    QApplication application(argc, argv);
    vimora::platform::listFilesByNameOnly(application);
    const auto store = vimora::records::openStore(vimora::records::databaseSetting());
    const Patient patient = store->patients().front().patient;
    const QString folder = qEnvironmentVariable(kFolderVariable.toLatin1());
    const int before = locksHeld(getpid());

    const vimora::test::DialogAnswerer<QDialog> answerer([&folder](QDialog& dialog) {
        const auto models = dialog.findChildren<QFileSystemModel*>();
        for (QFileSystemModel* model : models) {
            // The records file, its -wal and its -shm listed: their types and icons are known.
            if (!QTest::qWaitFor([&] { return model->rowCount(model->index(folder)) >= 3; }))
                std::cout << "unlisted" << std::endl;
        }
        std::cout << "models " << models.size() << std::endl;
        dialog.reject();
    });
    FileDialogs::askSaveFileName(nullptr,
                                 {QStringLiteral("Enregistrer"), folder + QStringLiteral("/fiche.pdf"), {}});
    QPrinter printer;
    PrintDialogs::ask(nullptr, printer, QStringLiteral("Imprimer"));
    std::cout << "locks " << before << ' ' << locksHeld(getpid()) << std::endl;

    std::string line;
    while (std::getline(std::cin, line)) {
        const QDate date = QDate::fromString(QString::fromStdString(line.substr(5)), Qt::ISODate);
        store->addVisit(
            vimora::records::assessMeasurement(patient, date, QStringLiteral("31"), QStringLiteral("1,31")));
        std::cout << "saved" << std::endl;
    }
    return 0;
}

} // namespace

class RecordsLockTest : public QObject {
    Q_OBJECT

private slots:
    void visitsReportedSavedSurviveDialogsListingTheRecordsFolder_data();
    void visitsReportedSavedSurviveDialogsListingTheRecordsFolder();

private:
    /// The next line the window wrote, or an empty one when it wrote nothing for 20 s.
    static QByteArray lineFrom(QProcess& window);
    /// Imports one visit of the patient on `date` with vimora-dossiers, as another workstation.
    void importVisit(const QString& date);

    QString m_database;
};

QByteArray RecordsLockTest::lineFrom(QProcess& window) {
    while (!window.canReadLine()) {
        if (!window.waitForReadyRead(20000))
            return {};
    }
    return window.readLine().trimmed();
}

void RecordsLockTest::importVisit(const QString& date) {
    QTemporaryFile csv;
    QVERIFY(csv.open());
    csv.write(QStringLiteral("dossier;nom;prenom;sexe;naissance;date;poids;taille\n"
                             "D1;Durand;Léa;F;01/02/2015;%1;30;1,30\n")
                  .arg(date)
                  .toUtf8());
    csv.close();
    QProcess importer;
    importer.start(QStringLiteral(VIMORA_DOSSIERS_PATH),
                   {QStringLiteral("--base"), m_database, QStringLiteral("importer"), csv.fileName()});
    QVERIFY(importer.waitForFinished(20000));
    QCOMPARE(importer.exitCode(), 0);
    QVERIFY(importer.readAllStandardOutput().contains("1 ajout"));
}

void RecordsLockTest::visitsReportedSavedSurviveDialogsListingTheRecordsFolder_data() {
    QTest::addColumn<bool>("killed");
    QTest::newRow("window closed") << false;
    QTest::newRow("window killed") << true;
}

void RecordsLockTest::visitsReportedSavedSurviveDialogsListingTheRecordsFolder() {
    QFETCH(bool, killed);
    // The records in the home folder, which the print dialog's file name completion lists.
    const QTemporaryDir home;
    QVERIFY(home.isValid());
    m_database = home.filePath(QStringLiteral("dossiers.sqlite"));
    importVisit(QStringLiteral("01/03/2024"));

    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kFolderVariable, home.path());
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("VIMORA_DATABASE"), m_database);
    window.setProcessEnvironment(environment);
    window.start(QCoreApplication::applicationFilePath(), QStringList());
    QCOMPARE(lineFrom(window), QByteArray("models 1"));
    QCOMPARE(lineFrom(window), QByteArray("models 1"));
    const QList<QByteArray> locks = lineFrom(window).split(' ');
    QCOMPARE(locks.value(0), QByteArray("locks"));
    QVERIFY(locks.value(1).toInt() > 0);
    QCOMPARE(locks.value(2), locks.value(1));

    // Another workstation and the window save in turn: each save is reported done.
    importVisit(QStringLiteral("01/04/2024"));
    window.write("save 2024-05-01\n");
    QCOMPARE(lineFrom(window), QByteArray("saved"));
    importVisit(QStringLiteral("01/06/2024"));
    window.write("save 2024-07-01\n");
    QCOMPARE(lineFrom(window), QByteArray("saved"));
    if (killed) {
        ::kill(pid_t(window.processId()), SIGKILL);
    } else {
        window.closeWriteChannel();
    }
    QVERIFY(window.waitForFinished(20000));
    QCOMPARE(window.exitStatus(), killed ? QProcess::CrashExit : QProcess::NormalExit);

    const auto store = vimora::records::openStore(m_database);
    const std::vector<vimora::records::PatientSummary> patients = store->patients();
    QCOMPARE(patients.size(), std::size_t(1));
    QCOMPARE(store->visits(patients.front().patient.id).size(), std::size_t(5));
    QVERIFY(store->verify().sound);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(kFolderVariable.toLatin1()))
        return windowSession(argc, argv);
    QApplication application(argc, argv);
    RecordsLockTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RecordsLockTest.moc"
