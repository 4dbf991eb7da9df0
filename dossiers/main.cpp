// vimora-dossiers: the patient records from the command line, the same functions as the records
// dialog's buttons.

#include "Version.h"
#include "platform/SystemErrors.h"
#include "platform/qt/FileErrors.h"
#include "records/PatientStore.h"
#include "records/RecordsCopy.h"
#include "records/RecordsTransfer.h"
#include "records/ServerConnection.h"
#include "records/SqliteStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace {

using namespace vimora::records;

constexpr const char* kProgramName = "vimora-dossiers";

constexpr const char* kHelp = R"(Utilisation : vimora-dossiers [--base FICHIER] COMMANDE [ARGUMENT]
Les dossiers patients de Vimora XP en ligne de commande : importer des mesures,
exporter les consultations, lister les alertes, sauvegarder et vérifier la base.

Commandes :
  importer FICHIER     importe les mesures de FICHIER (« - » : l'entrée standard)
  exporter [FICHIER]   écrit toutes les consultations dans FICHIER, ou sur la
                       sortie standard
  alertes              écrit les alertes de tous les patients sur la sortie standard
  sauvegarder FICHIER  écrit une copie cohérente de la base dans FICHIER, même
                       pendant que Vimora XP l'utilise ; depuis un serveur, la
                       copie est aussi une base SQLite
  verifier             vérifie l'intégrité de la base et dit si elle est saine
                       (sur un serveur : la version du schéma et ses contraintes)

Fichiers CSV : texte UTF-8, champs séparés par « ; », virgule décimale.

importer lit l'en-tête dossier;nom;prenom;sexe;naissance;date;poids;taille
(colonnes dans n'importe quel ordre ; les autres colonnes sont ignorées), puis une
mesure par ligne. Dates JJ/MM/AAAA ou AAAA-MM-JJ ; sexe M ou F ; poids en
kilogrammes et taille en mètres, supérieurs à zéro. Une ligne désigne son patient
par le dossier quand il est donné, sinon par le nom, le prénom et la date de
naissance (sans tenir compte des majuscules ni des accents) ; un patient inconnu
est créé. Un dossier déjà celui d'un patient d'autre nom, prénom, sexe ou date de
naissance est une erreur de la ligne. La colonne facultative patient numérote les
patients du fichier : des lignes sans dossier de numéros différents sont des
patients différents, même homonymes. Une ligne sans date, poids ni taille désigne
un patient sans consultation. Chaque consultation est évaluée comme dans la fenêtre, à l'âge que
donnent les dates. Le fichier est importé en entier ou pas du tout : toute ligne
incorrecte est signalée (numéro de ligne et raison) et rien n'est enregistré.
Une consultation déjà présente (même patient, date, poids et taille) n'est pas
ajoutée deux fois : le même fichier peut être importé de nouveau.
importer d'une copie écrite par sauvegarder y reprend, en une fois, les patients
et les consultations que la base n'a pas encore, avec leurs textes d'origine.

exporter écrit les colonnes de l'import suivies de age;imc;resultat;patient, et
une ligne sans date ni mesures par patient sans consultation : un export se
réimporte tel quel.
alertes écrit dossier;nom;prenom;alerte;detail, une ligne par alerte.

Seul importer crée la base quand elle n'existe pas ; les autres commandes le
refusent. Aucune commande n'écrit sur la base ni sur ses fichiers -wal, -shm et
-journal, ni ne les importe. Une base en lecture seule est lue sans rien créer à
côté d'elle ; si ses derniers enregistrements ne peuvent pas être lus ainsi, elle
n'est pas ouverte. Sur un serveur, une commande est abandonnée quand le serveur ne
répond plus depuis 25 secondes.

Options :
      --base FICHIER  la base de dossiers ; par défaut la variable d'environnement
                      VIMORA_DATABASE, sinon le fichier dossiers.sqlite du
                      programme (~/.local/share/vimora/). Une adresse
                      postgresql://rôle@serveur:port/base?sslmode=...
                      désigne une base sur un serveur PostgreSQL ; le mot de
                      passe vient de ~/.pgpass (ou PGPASSFILE, PGPASSWORD),
                      jamais de l'adresse
  -h, --help          affiche cette aide
      --version       affiche la version

Code de sortie :
  0  la commande a réussi ;
  1  verifier : la base n'est pas saine ;
  2  la commande a échoué (ligne d'import incorrecte, base absente ou
     inutilisable, fichier illisible, disque plein, serveur muet...) : rien n'a
     été modifié ;
  3  la connexion au serveur a été perdue juste après la demande
     d'enregistrement : le serveur ne l'a pas confirmé, il a peut-être été fait.
     Relancer l'import n'ajoute rien deux fois.
)";

constexpr int kUnconfirmed = 3;

void printError(const QString& message) {
    std::fprintf(stderr, "%s : %s\n", kProgramName, message.toLocal8Bit().constData());
}

int usageError(const QString& message) {
    printError(message);
    std::fprintf(stderr, "Pour en savoir plus : %s --help\n", kProgramName);
    return 2;
}

void printLine(const QString& text) {
    std::printf("%s\n", text.toLocal8Bit().constData());
}

QString outputFailure(int error) {
    return QStringLiteral("la sortie standard n'a pas pu être écrite entièrement : %1.")
        .arg(QString::fromStdString(vimora::platform::systemErrorText(error)));
}

// Standard output without a buffer of its own: every write reaches the descriptor at once, so that
// a failed or short write is seen, with the system's reason.
class StandardOutput : public QIODevice {
public:
    StandardOutput() { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

    int failure() const { return m_error; }

protected:
    qint64 readData(char* /*data*/, qint64 /*size*/) override { return -1; }

    qint64 writeData(const char* data, qint64 size) override {
        qint64 done = 0;
        while (done < size) {
            const ssize_t written = ::write(STDOUT_FILENO, data + done, std::size_t(size - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                m_error = written < 0 ? errno : EIO;
                return -1;
            }
            done += written;
        }
        return done;
    }

private:
    int m_error = 0;
};

int writeToStandardOutput(const std::function<void(QIODevice&)>& write) {
    StandardOutput output;
    try {
        write(output);
    } catch (const StoreError&) {
        if (output.failure() == 0)
            throw;
        printError(outputFailure(output.failure()));
        return 2;
    }
    return 0;
}

// What stdio still holds, then the descriptor itself, whose close may report a write the system
// had deferred: a command that could not say all it had to say has failed.
int closeStandardOutput(int status) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    int error = errno;
    // EBADF: standard output was closed from the start, and nothing was written to it.
    const bool closed = std::fclose(stdout) == 0 || (flushed && errno == EBADF);
    if (flushed && closed)
        return status;
    if (error == 0)
        error = errno;
    printError(outputFailure(error == 0 ? EIO : error));
    return status == kUnconfirmed ? status : 2;
}

struct Request {
    QString base;
    QString command;
    QStringList arguments;
};

int printImported(const ImportReport& report) {
    for (const QString& warning : report.warnings)
        printError(warning);
    printLine(QStringLiteral("Patients : %1 ajouté(s), %2 déjà présent(s). Consultations : %3 ajoutée(s), "
                             "%4 déjà présente(s).")
                  .arg(report.patientsAdded)
                  .arg(report.patientsFound)
                  .arg(report.visitsAdded)
                  .arg(report.visitsSkipped));
    return 0;
}

int importFile(PatientStore& store, const QString& path, bool copy) {
    if (copy)
        return printImported(importCopy(store, path));
    QFile input;
    errno = 0;
    const bool opened = path == QLatin1String("-")
                            ? input.open(stdin, QIODevice::ReadOnly)
                            : (input.setFileName(path), input.open(QIODevice::ReadOnly));
    if (!opened) {
        printError(QStringLiteral("le fichier « %1 » ne peut pas être lu : %2")
                       .arg(path, vimora::platform::fileErrorText(input, errno)));
        return 2;
    }
    try {
        return printImported(importVisits(store, input));
    } catch (const ImportRefused& refused) {
        for (const QString& error : refused.rowErrors())
            printError(error);
        printError(QStringLiteral("import refusé : rien n'a été enregistré."));
        return 2;
    }
}

int exportVisitsTo(const PatientStore& store, const QStringList& arguments) {
    if (!arguments.isEmpty()) {
        exportVisitsToFile(store, arguments.front());
        return 0;
    }
    return writeToStandardOutput([&](QIODevice& output) { exportVisits(store, output); });
}

int listAlerts(const PatientStore& store) {
    return writeToStandardOutput([&](QIODevice& output) { writeAlerts(store, output); });
}

// The usage error of a command given the wrong number of arguments, or nothing.
std::optional<int> refusedArguments(const QString& command, qsizetype count) {
    const bool oneArgument = command == QLatin1String("importer") || command == QLatin1String("sauvegarder");
    const bool optionalArgument = command == QLatin1String("exporter");
    const bool noArgument = command == QLatin1String("alertes") || command == QLatin1String("verifier");
    if (!oneArgument && !optionalArgument && !noArgument)
        return usageError(QStringLiteral("commande inconnue : « %1 »").arg(command));
    if ((oneArgument && count != 1) || (optionalArgument && count > 1) || (noArgument && count != 0))
        return usageError(QStringLiteral("nombre d'arguments incorrect pour « %1 »").arg(command));
    return std::nullopt;
}

// The commands once the records are open.
int runOn(PatientStore& store, const Request& request, const QString& file, bool copy) {
    const QString& command = request.command;
    if (command == QLatin1String("importer"))
        return importFile(store, file, copy);
    if (command == QLatin1String("exporter"))
        return exportVisitsTo(store, request.arguments);
    if (command == QLatin1String("alertes"))
        return listAlerts(store);
    if (command == QLatin1String("sauvegarder")) {
        store.backup(file);
        printLine(QStringLiteral("Copie de la base écrite dans « %1 ».").arg(file));
        return 0;
    }
    const CheckReport report = store.verify();
    printLine(report.message);
    return report.sound ? 0 : 1;
}

int run(const Request& request) {
    const QString& command = request.command;
    const qsizetype count = request.arguments.size();
    if (const std::optional<int> refused = refusedArguments(command, count))
        return *refused;

    const QString setting = request.base.isEmpty() ? databaseSetting() : request.base;
    const bool importing = command == QLatin1String("importer");
    try {
        const QString file = count == 1 ? request.arguments.front() : QString();
        if (!file.isEmpty() && file != QLatin1String("-") && !isServerUri(setting))
            SqliteStore::refuseRecordsFile(setting, file);
        // Read before the records are open: from then on nothing but SQLite may open a file of theirs.
        const bool copy = importing && file != QLatin1String("-") && isRecordsCopy(file);
        const std::unique_ptr<PatientStore> store =
            openStore(setting, importing ? Access::CreateWhenMissing : Access::Existing);
        return runOn(*store, request, file, copy);
    } catch (const StoreError& error) {
        if (error.kind() == StoreError::Kind::Unconfirmed) {
            printError(importing ? QStringLiteral("le serveur n'a pas confirmé l'enregistrement : relancez "
                                                  "l'import, il n'ajoutera rien deux fois.")
                                 : error.message());
            return kUnconfirmed;
        }
        printError(error.message());
        // Damage found while opening the base is an answer of verifier; a lock, a full disk, a
        // right or a server out of reach only kept it from checking.
        return command == QLatin1String("verifier") && error.kind() == StoreError::Kind::Damaged ? 1 : 2;
    }
}

} // namespace

int main(int argc, char** argv) {
    silenceDriverMessages();
    const QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    Request request;
    while (!arguments.isEmpty() && request.command.isEmpty()) {
        const QString argument = arguments.takeFirst();
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            std::fputs(kHelp, stdout);
            return std::fflush(stdout) == 0 ? 0 : 2;
        }
        if (argument == QLatin1String("--version")) {
            std::printf("%s (Vimora XP) %s\n", kProgramName, VIMORA_VERSION);
            return std::fflush(stdout) == 0 ? 0 : 2;
        }
        if (argument == QLatin1String("--base")) {
            if (arguments.isEmpty())
                return usageError(QStringLiteral("--base demande le nom de la base"));
            request.base = arguments.takeFirst();
        } else if (argument.startsWith(QLatin1String("--base="))) {
            request.base = argument.mid(7);
        } else if (argument.startsWith(QLatin1Char('-'))) {
            return usageError(QStringLiteral("option inconnue : « %1 »").arg(argument));
        } else {
            request.command = argument;
        }
    }
    if (request.command.isEmpty())
        return usageError(
            QStringLiteral("commande absente (importer, exporter, alertes, sauvegarder ou verifier)"));
    request.arguments = arguments;
    return closeStandardOutput(run(request));
}
