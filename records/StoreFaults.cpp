#include "StoreFaults.h"

#include "ServerConnection.h"

#include <algorithm>
#include <array>

namespace vimora::records {

namespace {

// The SQLite result codes the records tell apart (their primary codes).
constexpr int kSqlitePermission = 3;
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteIoError = 10;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteFull = 13;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteConstraint = 19;
constexpr int kSqliteAuthorization = 23;
constexpr int kSqliteNotADatabase = 26;
// Extended codes of a constraint: the value is another row's, or the row it names is gone.
constexpr int kSqliteConstraintForeignKey = 787;
constexpr int kSqliteConstraintPrimaryKey = 1555;
constexpr int kSqliteConstraintUnique = 2067;

// "%1" is the base, "%2" the engine's code. An empty text: the engine never reports that fault.
struct FaultTexts {
    Fault fault;
    StoreError::Kind kind;
    QString onFile;
    QString onServer;
    std::optional<FieldProblem::Field> field = std::nullopt;
};

std::array<FaultTexts, 14> makeFaultTable() {
    using Kind = StoreError::Kind;
    const QString patientGone =
        QStringLiteral("Ce patient a été supprimé entre-temps, sur ce poste ou sur un autre : rien "
                       "n'a été enregistré.");
    const QString broken = QStringLiteral("Une valeur ne respecte pas les règles de la base de dossiers : "
                                          "rien n'a été enregistré.");
    return {{
        {Fault::Busy, Kind::Busy,
         QStringLiteral("La base de dossiers %1 est occupée par un autre programme depuis plus de 5 "
                        "secondes. Rien n'a été enregistré ; réessayez dans un instant."),
         QStringLiteral("Les dossiers du serveur %1 sont occupés par un autre poste depuis plus de 5 "
                        "secondes. Rien n'a été enregistré ; réessayez dans un instant.")},
        {Fault::DiskFull, Kind::DiskFull,
         QStringLiteral("Le disque de la base de dossiers %1 est plein : rien n'a été enregistré. "
                        "Libérez de la place et réessayez."),
         QStringLiteral("Le disque du serveur de dossiers %1 est plein : rien n'a été enregistré. "
                        "Prévenez son administrateur.")},
        {Fault::ReadOnly, Kind::ReadOnly,
         QStringLiteral("La base de dossiers %1 ne peut pas être modifiée (lecture seule) : rien n'a "
                        "été enregistré."),
         QStringLiteral("Le serveur de dossiers %1 n'accepte que la lecture : rien n'a été enregistré.")},
        {Fault::Damaged, Kind::Damaged,
         QStringLiteral("La base de dossiers %1 est endommagée, ou ce n'est pas une base de dossiers "
                        "de Vimora."),
         QStringLiteral("Le serveur de dossiers %1 signale des données endommagées (code %2) : rien "
                        "n'a été enregistré. Prévenez son administrateur.")},
        {Fault::Rights, Kind::Rights,
         QStringLiteral("La base de dossiers %1 ne peut pas être ouverte : vérifiez les droits sur le "
                        "fichier et sur son répertoire."),
         QStringLiteral("Le rôle de connexion au serveur de dossiers %1 n'a pas les droits nécessaires "
                        "sur les tables des dossiers : rien n'a été enregistré. Demandez à "
                        "l'administrateur les droits décrits dans l'aide (rubrique « Dossiers sur un "
                        "serveur »).")},
        {Fault::DiskIo,
         Kind::Failed,
         QStringLiteral("Erreur de lecture ou d'écriture sur le disque de la base de dossiers %1 : "
                        "rien n'a été enregistré."),
         {}},
        {Fault::Timeout,
         Kind::Failed,
         {},
         QStringLiteral("Le serveur de dossiers %1 a interrompu une commande qui durait plus de ") +
             QString::number(kStatementTimeoutSeconds) +
             QStringLiteral(" secondes : rien n'a été enregistré. Réessayez ; si cela se répète, "
                            "prévenez son administrateur.")},
        {Fault::Silent,
         Kind::Connection,
         {},
         QStringLiteral("Le serveur de dossiers %1 ne répond plus depuis ") +
             QString::number(kSilenceSeconds) +
             QStringLiteral(" secondes : la commande a été abandonnée et rien n'a été enregistré. "
                            "Réessayez quand le serveur répondra.")},
        {Fault::Lost,
         Kind::Connection,
         {},
         QStringLiteral("La connexion au serveur de dossiers %1 a été perdue : rien n'a été "
                        "enregistré. Elle sera rétablie à la prochaine commande, dès que le serveur "
                        "répondra.")},
        {Fault::PatientGone, Kind::NotFound, patientGone, patientGone},
        {Fault::DossierTaken,
         Kind::Conflict,
         {},
         QStringLiteral("Ce numéro de dossier est déjà celui d'un autre patient."),
         FieldProblem::Field::Dossier},
        {Fault::Duplicate, Kind::Conflict, broken, {}},
        {Fault::Constraint, Kind::Input, broken, broken},
        {Fault::Other, Kind::Failed,
         QStringLiteral("La base de dossiers %1 a signalé une erreur (code SQLite %2) : rien n'a été "
                        "enregistré."),
         QStringLiteral("Le serveur de dossiers %1 a signalé une erreur (code %2) : rien n'a été "
                        "enregistré.")},
    }};
}

const FaultTexts& textsOf(Fault fault) {
    static const std::array<FaultTexts, 14> table = makeFaultTable();
    return *std::ranges::find_if(table, [&](const FaultTexts& row) { return row.fault == fault; });
}

} // namespace

Fault sqliteFault(int code) {
    switch (code & 0xFF) {
    case kSqliteBusy:
    case kSqliteLocked:
        return Fault::Busy;
    case kSqliteFull:
        return Fault::DiskFull;
    case kSqliteReadOnly:
        return Fault::ReadOnly;
    case kSqliteCorrupt:
    case kSqliteNotADatabase:
        return Fault::Damaged;
    case kSqliteCantOpen:
    case kSqlitePermission:
    case kSqliteAuthorization:
        return Fault::Rights;
    case kSqliteIoError:
        return Fault::DiskIo;
    case kSqliteConstraint:
        if (code == kSqliteConstraintForeignKey)
            return Fault::PatientGone;
        if (code == kSqliteConstraintUnique || code == kSqliteConstraintPrimaryKey)
            return Fault::Duplicate;
        return Fault::Constraint;
    default:
        return Fault::Other;
    }
}

Fault serverFault(const QString& state) {
    if (state == QLatin1String("23505"))
        return Fault::DossierTaken;
    if (state == QLatin1String("23503"))
        return Fault::PatientGone;
    if (state.startsWith(QLatin1String("23")))
        return Fault::Constraint;
    if (state == QLatin1String("42501"))
        return Fault::Rights;
    if (state == QLatin1String("25006"))
        return Fault::ReadOnly;
    if (state == QLatin1String("55P03") || state == QLatin1String("40P01") || state == QLatin1String("40001"))
        return Fault::Busy;
    if (state == QLatin1String("57014"))
        return Fault::Timeout;
    if (state == QLatin1String("53100"))
        return Fault::DiskFull;
    // Class XX: the server found its own files damaged.
    if (state.startsWith(QLatin1String("XX0")))
        return Fault::Damaged;
    return Fault::Other;
}

StoreError storeFault(Fault fault, Dialect engine, const QString& place, const QString& code) {
    const FaultTexts& texts = textsOf(fault);
    QString message = engine == Dialect::Sqlite ? texts.onFile : texts.onServer;
    if (message.isEmpty())
        return storeFault(Fault::Other, engine, place, code);
    // The code first: a path may hold "%2".
    message.replace(QLatin1String("%2"), code).replace(QLatin1String("%1"), place);
    return {texts.kind, message, code, texts.field};
}

} // namespace vimora::records
