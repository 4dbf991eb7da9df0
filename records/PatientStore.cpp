#include "PatientStore.h"

#include "PostgresStore.h"
#include "ServerConnection.h"
#include "SqliteStore.h"
#include "VisitRecords.h"
#include "engine/EngineError.h"

#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vimora::records {

namespace {

qsizetype characters(const QString& text) {
    return text.toUcs4().size();
}

// Control characters (a tab aside) and the marks that turn the direction of writing would reach
// terminals, spreadsheets and sheets as they are: an escape sequence, a bell, a name shown reversed.
bool hasHiddenControls(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t code = c.unicode();
        return (code < 0x20 && code != u'\t') || code == 0x7F || (code >= 0x80 && code < 0xA0) ||
               (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
    });
}

} // namespace

StoreError::StoreError(Kind kind, const QString& message, QString nativeCode,
                       std::optional<FieldProblem::Field> field)
    : std::runtime_error(message.toStdString())
    , m_kind(kind)
    , m_message(message)
    , m_nativeCode(std::move(nativeCode))
    , m_field(field) {}

QString databaseSetting() {
    QString named = qEnvironmentVariable("VIMORA_DATABASE");
    if (!named.isEmpty())
        return named;
    // The application's data directory under a fixed name: the window's application name carries
    // the version, and the records must not move with each version.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vimora/dossiers.sqlite");
}

std::unique_ptr<PatientStore> openStore(const QString& setting, Access access) {
    if (isServerUri(setting))
        return std::make_unique<PostgresStore>(setting);
    return std::make_unique<SqliteStore>(setting, access);
}

void silenceDriverMessages() {
    static const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (type != QtCriticalMsg && type != QtFatalMsg)
                return;
            if (previous != nullptr)
                previous(type, context, message);
            else
                std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        });
}

QString patientNameKey(const QString& nom, const QString& prenom, QDate naissance) {
    return foldForSearch(nom.trimmed()) + QChar(0x1F) + foldForSearch(prenom.trimmed()) + QChar(0x1F) +
           naissance.toString(Qt::ISODate);
}

QString foldForSearch(const QString& text) {
    // Most names are plain ASCII: nothing to decompose.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toLower();
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        if (c == QChar(0x0153) || c == QChar(0x0152)) // œ, Œ
            folded += QLatin1String("oe");
        else if (c == QChar(0x00E6) || c == QChar(0x00C6)) // æ, Æ
            folded += QLatin1String("ae");
        else
            folded += c;
    }
    return folded.toCaseFolded();
}

QString searchKey(const Patient& patient) {
    return foldForSearch(patient.nom) + QLatin1Char(' ') + foldForSearch(patient.prenom) + QLatin1Char(' ') +
           foldForSearch(patient.dossier);
}

QStringList searchWords(const QString& search) {
    return foldForSearch(search).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool matches(const PatientSummary& summary, const QString& search) {
    const QStringList words = searchWords(search);
    return std::ranges::all_of(words, [&](const QString& word) { return summary.searchKey.contains(word); });
}

std::vector<FieldProblem> patientProblems(const Patient& patient, QDate today) {
    using Field = FieldProblem::Field;
    std::vector<FieldProblem> problems;
    if (patient.nom.trimmed().isEmpty())
        problems.push_back({Field::Nom, QStringLiteral("Le nom est obligatoire.")});
    else if (characters(patient.nom) > kMaxNameLength)
        problems.push_back({Field::Nom, QStringLiteral("Le nom ne peut pas dépasser 100 caractères.")});
    if (characters(patient.prenom) > kMaxNameLength)
        problems.push_back({Field::Prenom, QStringLiteral("Le prénom ne peut pas dépasser 100 caractères.")});
    if (characters(patient.dossier) > kMaxNameLength) {
        problems.push_back(
            {Field::Dossier, QStringLiteral("Le numéro de dossier ne peut pas dépasser 100 caractères.")});
    }
    struct NamedText {
        Field field;
        const QString Patient::*text;
        const char* name;
    };
    for (const NamedText& named : {NamedText{Field::Nom, &Patient::nom, "Le nom"},
                                   NamedText{Field::Prenom, &Patient::prenom, "Le prénom"},
                                   NamedText{Field::Dossier, &Patient::dossier, "Le numéro de dossier"}}) {
        if (hasHiddenControls(patient.*named.text)) {
            problems.push_back({named.field, QStringLiteral("%1 contient un caractère de contrôle ou de sens "
                                                            "d'écriture, qui ne peut pas être enregistré.")
                                                 .arg(QString::fromUtf8(named.name))});
        }
    }
    if (!patient.naissance.isValid()) {
        problems.push_back({Field::Naissance, QStringLiteral("La date de naissance est obligatoire.")});
    } else {
        try {
            checkBirthDate(toDate(patient.naissance), toDate(today));
        } catch (const EngineError& error) {
            problems.push_back(
                {Field::Naissance, QString::fromStdString(withFinalFullStop(error.message()))});
        }
    }
    return problems;
}

} // namespace vimora::records
