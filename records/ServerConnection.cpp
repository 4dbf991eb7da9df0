#include "ServerConnection.h"

#include "StoreFaults.h"
#include "text/Quoted.h"

#include <QLibrary>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <QSqlDriver>

#include <arpa/inet.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vimora::records {

namespace {

using text::quoted;

// A value of a libpq keyword/value connection string, quoted as libpq reads it.
QString conninfoValue(const QString& value) {
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

// The address cannot be used as it is written.
StoreError unusable(const QString& message) {
    return {StoreError::Kind::Input, message};
}

// libpq is loaded on the first server setting rather than linked: linked, it would load with TLS,
// Kerberos and LDAP at every start of the program, for a file's records too.
struct Libpq {
    PQconninfoOption* (*parse)(const char* conninfo, char** error) = nullptr;
    void (*freeOptions)(PQconninfoOption* options) = nullptr;
    void (*freeMemory)(void* memory) = nullptr;
    int (*socket)(const PGconn* connection) = nullptr;
    PGTransactionStatusType (*transactionStatus)(const PGconn* connection) = nullptr;
};

const Libpq& libpq() {
    static const std::optional<Libpq> loaded = []() -> std::optional<Libpq> {
        QLibrary library(QStringLiteral("pq"), 5);
        if (!library.load())
            return std::nullopt;
        const Libpq functions{
            reinterpret_cast<decltype(Libpq::parse)>(library.resolve("PQconninfoParse")),
            reinterpret_cast<decltype(Libpq::freeOptions)>(library.resolve("PQconninfoFree")),
            reinterpret_cast<decltype(Libpq::freeMemory)>(library.resolve("PQfreemem")),
            reinterpret_cast<decltype(Libpq::socket)>(library.resolve("PQsocket")),
            reinterpret_cast<decltype(Libpq::transactionStatus)>(library.resolve("PQtransactionStatus"))};
        if (functions.parse == nullptr || functions.freeOptions == nullptr ||
            functions.freeMemory == nullptr || functions.socket == nullptr ||
            functions.transactionStatus == nullptr)
            return std::nullopt;
        return functions;
    }();
    if (!loaded) {
        throw StoreError(
            StoreError::Kind::Failed,
            QStringLiteral("La bibliothèque de PostgreSQL (libpq) n'est pas installée sur ce poste : "
                           "les dossiers sur un serveur ne peuvent pas être ouverts."));
    }
    return *loaded;
}

struct FreeConninfo {
    void operator()(PQconninfoOption* options) const { libpq().freeOptions(options); }
};

// The options the URI gives, as libpq reads them, in libpq's order.
struct ParsedUri {
    std::vector<std::pair<QString, QString>> options;
    bool hasPassword = false;
};

std::optional<ParsedUri> parsedUri(const QString& uri) {
    char* parseError = nullptr;
    const std::unique_ptr<PQconninfoOption, FreeConninfo> options(
        libpq().parse(uri.toUtf8().constData(), &parseError));
    if (!options) {
        libpq().freeMemory(parseError);
        return std::nullopt;
    }
    ParsedUri parsed;
    for (const PQconninfoOption* option = options.get(); option->keyword != nullptr; ++option) {
        if (option->val == nullptr)
            continue;
        if (option->dispchar != nullptr && option->dispchar[0] == '*')
            parsed.hasPassword = true;
        else
            parsed.options.emplace_back(QString::fromUtf8(option->keyword), QString::fromUtf8(option->val));
    }
    return parsed;
}

QString optionOf(const ParsedUri& parsed, QLatin1String keyword) {
    for (const auto& [name, value] : parsed.options) {
        if (name == keyword)
            return value;
    }
    return {};
}

// A password holding "/" leaves libpq reading its start as the port and its end, with the host, as
// the base: an address that would show such pieces is not shown at all.
bool showable(const ParsedUri& parsed) {
    static const QRegularExpression ports(QStringLiteral("^[0-9,]*$"));
    for (const char* keyword : {"host", "hostaddr", "port", "dbname"}) {
        if (optionOf(parsed, QLatin1String(keyword)).contains(QLatin1Char('@')))
            return false;
    }
    return ports.match(optionOf(parsed, QLatin1String("port"))).hasMatch();
}

// The address rebuilt from what libpq read, every password left out.
QString rebuiltUri(const QString& uri, const ParsedUri& parsed) {
    const auto encoded = [](const QString& value, const QByteArray& kept = {}) {
        return QString::fromLatin1(QUrl::toPercentEncoding(value, kept));
    };
    const QString host = optionOf(parsed, QLatin1String("host"));
    const QString port = optionOf(parsed, QLatin1String("port"));
    // A socket directory or a list of hosts goes with the parameters.
    const bool hostInAuthority = !host.isEmpty() && !host.startsWith(QLatin1Char('/')) &&
                                 !host.startsWith(QLatin1Char('@')) && !host.contains(QLatin1Char(',')) &&
                                 !port.contains(QLatin1Char(','));
    QString shown = uri.startsWith(QLatin1String("postgres://")) ? QStringLiteral("postgres://")
                                                                 : QStringLiteral("postgresql://");
    QStringList parameters;
    for (const auto& [keyword, value] : parsed.options) {
        if (keyword == QLatin1String("user"))
            shown += encoded(value) + QLatin1Char('@');
        else if (keyword == QLatin1String("dbname") ||
                 (hostInAuthority && keyword == QLatin1String("host")) ||
                 (hostInAuthority && keyword == QLatin1String("port")))
            continue;
        else
            parameters << keyword + QLatin1Char('=') + encoded(value, "/:,");
    }
    if (hostInAuthority) {
        shown += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : encoded(host);
        if (!port.isEmpty())
            shown += QLatin1Char(':') + port;
    }
    const QString dbname = optionOf(parsed, QLatin1String("dbname"));
    if (!dbname.isEmpty())
        shown += QLatin1Char('/') + encoded(dbname);
    if (!parameters.isEmpty())
        shown += QLatin1Char('?') + parameters.join(QLatin1Char('&'));
    return shown;
}

// " « address »" for a message, or nothing when the address cannot be shown.
QString placeOf(const QString& uri) {
    const QString shown = shownUri(uri);
    return shown.isEmpty() ? QString() : QLatin1Char(' ') + quoted(shown);
}

// A numeric address of the loopback: 127.0.0.0/8, ::1, or an IPv4 loopback mapped into IPv6.
bool loopback(const QString& host) {
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.constData(), &v6) != 1)
        return false;
    return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
}

// Whether libpq reaches the server through the network rather than a Unix socket or the loopback:
// each host of the list (its hostaddr when given), or the environment's, or the default socket.
bool overNetwork(const ParsedUri& parsed) {
    const auto listOf = [&](const char* keyword, const char* variable) {
        QString value = optionOf(parsed, QLatin1String(keyword));
        if (value.isEmpty())
            value = qEnvironmentVariable(variable);
        return value.split(QLatin1Char(','));
    };
    const QStringList hosts = listOf("host", "PGHOST");
    const QStringList addresses = listOf("hostaddr", "PGHOSTADDR");
    for (qsizetype i = 0; i < std::max(hosts.size(), addresses.size()); ++i) {
        QString host = addresses.value(i).trimmed();
        if (host.isEmpty())
            host = hosts.value(i).trimmed();
        if (host.isEmpty() || host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@')) ||
            host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            continue;
        if (!loopback(host))
            return true;
    }
    return false;
}

// The sslmode a server reached through the network is given: require when none is set, a refusal
// of the modes that let the records cross the network in clear.
QString tlsMode(const ParsedUri& parsed, const QString& uri) {
    if (!overNetwork(parsed))
        return {};
    QString setting = QStringLiteral("le paramètre sslmode=%1 de l'adresse");
    QString mode = optionOf(parsed, QLatin1String("sslmode"));
    if (mode.isEmpty()) {
        setting = QStringLiteral("la variable d'environnement PGSSLMODE=%1");
        mode = qEnvironmentVariable("PGSSLMODE");
        if (mode.isEmpty())
            return QStringLiteral("require");
    }
    if (mode == QLatin1String("disable") || mode == QLatin1String("allow") ||
        mode == QLatin1String("prefer")) {
        throw unusable(
            QStringLiteral("Le serveur de dossiers%1 est joint par le réseau : les dossiers n'y passent "
                           "que chiffrés, et %2 les laisserait passer en clair. Mettez "
                           "sslmode=verify-full (recommandé) ou sslmode=require.")
                .arg(placeOf(uri), setting.arg(mode)));
    }
    return {};
}

} // namespace

// QPSQL hands the database name to libpq as a plain name, so the URI itself cannot go there.
QString serverConnectOptions(const QString& uri) {
    const std::optional<ParsedUri> parsed = parsedUri(uri);
    if (parsed && parsed->hasPassword) {
        throw unusable(
            QStringLiteral("L'adresse du serveur de dossiers%1 contient un mot de passe : il n'est "
                           "pas lu. Mettez-le dans le fichier ~/.pgpass (ou le fichier que nomme "
                           "PGPASSFILE) et retirez-le de l'adresse.")
                .arg(placeOf(uri)));
    }
    if (!parsed || !showable(*parsed)) {
        throw unusable(QStringLiteral(
            "L'adresse du serveur de dossiers n'est pas une adresse de connexion PostgreSQL valide "
            "(postgresql://rôle@hôte:port/base?paramètres) ; elle n'est pas montrée, car elle peut contenir "
            "un mot de passe."));
    }
    QStringList pairs;
    QStringList given;
    for (const auto& [keyword, value] : parsed->options) {
        // Qt reads ';' as the separator of its own options.
        if (value.contains(QLatin1Char(';'))) {
            throw unusable(
                QStringLiteral("Le paramètre %1 de l'adresse du serveur de dossiers%2 contient un « ; », "
                               "que le pilote PostgreSQL de Qt ne peut pas transmettre.")
                    .arg(quoted(keyword), placeOf(uri)));
        }
        given << keyword;
        pairs << keyword + QLatin1Char('=') + conninfoValue(value);
    }
    if (const QString mode = tlsMode(*parsed, uri); !mode.isEmpty())
        pairs << QStringLiteral("sslmode=") + mode;
    // A server gone without a word (cut off, powered down) is found by TCP itself: keepalive probes
    // on an idle connection, and a limit on data left unacknowledged.
    const std::initializer_list<std::pair<const char*, int>> defaults{
        {"connect_timeout", kConnectTimeoutSeconds},
        {"keepalives", 1},
        {"keepalives_idle", 10},
        {"keepalives_interval", 5},
        {"keepalives_count", 3},
        {"tcp_user_timeout", kSilenceSeconds * 1000}};
    for (const auto& [keyword, value] : defaults) {
        if (!given.contains(QLatin1String(keyword)))
            pairs << QStringLiteral("%1=%2").arg(QLatin1String(keyword)).arg(value);
    }
    if (!given.contains(QLatin1String("fallback_application_name")))
        pairs << QStringLiteral("fallback_application_name=vimora");
    return pairs.join(QLatin1Char(' '));
}

namespace {

bool mentions(const QString& text, std::initializer_list<const char*> phrases) {
    return std::any_of(phrases.begin(), phrases.end(), [&](const char* phrase) {
        return text.contains(QString::fromUtf8(phrase), Qt::CaseInsensitive);
    });
}

// Whether the URI, as libpq reads it, demands an encrypted connection.
bool demandsTls(const QString& uri) {
    char* parseError = nullptr;
    const std::unique_ptr<PQconninfoOption, FreeConninfo> options(
        libpq().parse(uri.toUtf8().constData(), &parseError));
    libpq().freeMemory(parseError);
    for (const PQconninfoOption* option = options.get(); option != nullptr && option->keyword != nullptr;
         ++option) {
        if (qstrcmp(option->keyword, "sslmode") == 0 && option->val != nullptr)
            return qstrcmp(option->val, "require") == 0 || qstrncmp(option->val, "verify-", 7) == 0;
    }
    return false;
}

// libpq's and the server's texts, in English or in French as the client's and the server's
// languages give them: connection faults carry no SQLSTATE. The names they quote (host, base,
// role, file) are left out first, so that a host called "sslserver" or a base "absente" is only a
// name.
StoreError connectionError(const QString& text, const QString& uri) {
    using Kind = StoreError::Kind;
    static const QRegularExpression quotedName(QStringLiteral("\"[^\"]*\"|« [^»]* »"));
    QString libpqText = text;
    libpqText.replace(quotedName, QStringLiteral("\"\""));
    const QString shown = quoted(shownUri(uri));
    if (mentions(libpqText, {"could not translate host name", "traduire le nom d'hôte"})) {
        return {Kind::Connection,
                QStringLiteral("Le serveur de dossiers %1 est introuvable : ce nom d'hôte n'existe pas. "
                               "Vérifiez l'adresse du serveur.")
                    .arg(shown)};
    }
    // Peer and ident authentication ask no password: the server refuses this role from here.
    if (mentions(libpqText, {"peer authentication", "ident authentication", "authentification peer",
                             "authentification ident"})) {
        return {
            Kind::Rights,
            QStringLiteral("Le serveur de dossiers %1 n'autorise pas ce rôle à se connecter depuis ce compte "
                           "(authentification peer ou ident) : demandez à son administrateur l'accès décrit "
                           "dans l'aide (rubrique « Dossiers sur un serveur »).")
                .arg(shown)};
    }
    if (demandsTls(uri) && mentions(libpqText, {"SSL", "certificate", "certificat"})) {
        return {Kind::Connection,
                QStringLiteral("La connexion chiffrée au serveur de dossiers %1 a échoué : vérifiez le "
                               "paramètre sslmode de l'adresse et les certificats du serveur.")
                    .arg(shown)};
    }
    if (mentions(libpqText, {"no password supplied"})) {
        return {Kind::Rights,
                QStringLiteral("Le serveur de dossiers %1 demande un mot de passe, et aucun n'a été "
                               "trouvé pour ce serveur, cette base et ce rôle : vérifiez le nom de la base "
                               "dans l'adresse (une ligne de ~/.pgpass ne vaut que pour la base qu'elle "
                               "nomme), puis mettez le mot de passe dans le fichier ~/.pgpass (ou le fichier "
                               "que nomme PGPASSFILE).")
                    .arg(shown)};
    }
    if (mentions(libpqText, {"password authentication failed", "authentification par mot de passe",
                             "authentication failed", "authentification", "échec de l'authentification"})) {
        return {Kind::Rights,
                QStringLiteral("Le serveur de dossiers %1 refuse le mot de passe de ce rôle : vérifiez "
                               "le mot de passe du fichier ~/.pgpass (ou du fichier que nomme "
                               "PGPASSFILE).")
                    .arg(shown)};
    }
    if (mentions(libpqText, {"permission denied for database", "droit refusé pour la base",
                             "is not permitted to log in", "n'est pas autorisé à se connecter",
                             "no pg_hba.conf entry", "aucune entrée dans pg_hba.conf"})) {
        return {Kind::Rights,
                QStringLiteral("Le serveur de dossiers %1 n'autorise pas ce rôle à se connecter à cette "
                               "base : demandez à son administrateur les droits décrits dans l'aide "
                               "(rubrique « Dossiers sur un serveur »).")
                    .arg(shown)};
    }
    if (mentions(libpqText, {"role", "rôle"}) && mentions(libpqText, {"does not exist", "n'existe pas"})) {
        return {
            Kind::Rights,
            QStringLiteral("Le rôle de l'adresse %1 n'existe pas sur le serveur de dossiers.").arg(shown)};
    }
    if (mentions(libpqText, {"does not exist", "n'existe pas"})) {
        return {Kind::NotFound,
                QStringLiteral("La base de dossiers de l'adresse %1 n'existe pas sur ce serveur : "
                               "vérifiez son nom, ou demandez à l'administrateur de la créer.")
                    .arg(shown)};
    }
    return {Kind::Connection,
            QStringLiteral("Le serveur de dossiers %1 ne répond pas (arrêté, injoignable ou délai de "
                           "connexion dépassé). Les calculs restent possibles ; réessayez quand le "
                           "serveur sera joignable.")
                .arg(shown)};
}

} // namespace

bool isServerUri(const QString& setting) {
    return setting.startsWith(QLatin1String("postgresql://")) ||
           setting.startsWith(QLatin1String("postgres://"));
}

QString shownUri(const QString& uri) {
    const std::optional<ParsedUri> parsed = parsedUri(uri);
    if (!parsed || !showable(*parsed))
        return {};
    return rebuiltUri(uri, *parsed);
}

QSqlDatabase openServerConnection(const QString& uri, const QString& connectionName) {
    const QString options = serverConnectOptions(uri);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    if (!database.isValid()) {
        database = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw StoreError(
            StoreError::Kind::Failed,
            QStringLiteral("Le pilote PostgreSQL de Qt (paquet libqt6sql6-psql) est introuvable."));
    }
    database.setConnectOptions(options);
    if (!database.open()) {
        const QString text = database.lastError().databaseText();
        database = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw connectionError(text, uri);
    }
    return database;
}

WatchedConnection watchedConnection(const QSqlDatabase& database) {
    const QVariant handle = database.driver()->handle();
    // Named after the typedef or after the struct behind it, as the driver was built.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return {};
    const PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    if (connection == nullptr)
        return {};
    return {connection, libpq().socket(connection)};
}

// PQtransactionStatus() only reads the connection's state, never changes it: read from the
// watchdog's thread, a value a moment old delays it by one round at most.
qint64 unansweredMs(const WatchedConnection& watched) {
    if (watched.socket < 0 ||
        libpq().transactionStatus(static_cast<const PGconn*>(watched.connection)) != PQTRANS_ACTIVE)
        return 0;
    tcp_info info{};
    socklen_t size = sizeof info;
    int unread = 0;
    if (getsockopt(watched.socket, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        ioctl(watched.socket, FIONREAD, &unread) != 0)
        return 0;
    // Data left unread means the program is the slow one. Otherwise the wait began with the statement
    // sent, or with the last part of its answer received.
    if (unread > 0)
        return 0;
    return std::min(info.tcpi_last_data_sent, info.tcpi_last_data_recv);
}

bool connectionLost(const QSqlError& error) {
    const QString state = error.nativeErrorCode();
    // Class 08: connection exception; 57P01..57P03: the server shut down or is starting.
    return error.type() == QSqlError::ConnectionError || state.isEmpty() ||
           state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P"));
}

StoreError serverError(const QSqlError& error, const QString& shown) {
    const QString state = error.nativeErrorCode();
    const Fault fault = connectionLost(error) ? Fault::Lost : serverFault(state);
    return storeFault(fault, Dialect::PostgreSql, quoted(shown), state);
}

} // namespace vimora::records
