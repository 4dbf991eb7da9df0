#pragma once

#include "PatientStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// The connection to a PostgreSQL server through Qt SQL (QPSQL): a libpq URI
// ("postgresql://user@host:port/base?sslmode=...") read by libpq itself, so that every parameter is
// honoured as libpq documents it, and the password taken only from libpq's own sources
// (~/.pgpass, PGPASSFILE, PGPASSWORD), never from the URI, a setting or a message.
namespace vimora::records {

/// True when `setting` is a libpq connection URI rather than a SQLite file.
bool isServerUri(const QString& setting);

/// `uri` as messages may show it, rebuilt from what libpq reads in it without any password; empty
/// when libpq cannot read it or reads a part of a password elsewhere (a password holding "/").
QString shownUri(const QString& uri);

/// The keyword/value options the connection to `uri` is opened with: its own, TLS required of a
/// server reached through the network (not a Unix socket, not the loopback) when it sets no
/// sslmode, and the program's timeouts. Throws StoreError Unusable for an address libpq cannot
/// read, one holding a password, or one that lets the records cross the network unencrypted.
QString serverConnectOptions(const QString& uri);

/// Seconds after which an attempt to reach the server gives up, unless the URI says otherwise.
inline constexpr int kConnectTimeoutSeconds = 10;
/// Seconds after which the server ends a statement (it is told so when the connection is made).
inline constexpr int kStatementTimeoutSeconds = 20;
/// Seconds without an answer to a statement after which the connection is given up: longer than a
/// statement may last, so that a server that still works always answers first.
inline constexpr int kSilenceSeconds = 25;

/// Opens the QPSQL connection `connectionName` to the server `uri` names. Throws StoreError
/// (Input, Connection, Rights, NotFound) with a French message that says which fault: the driver missing, an
/// unreadable URI or one holding a password, the server unreachable, an unknown host, a wrong or missing
/// password, no such base, a role not allowed in.
QSqlDatabase openServerConnection(const QString& uri, const QString& connectionName);

/// An open connection as a watchdog on another thread sees it.
struct WatchedConnection {
    const void* connection = nullptr; ///< libpq's handle
    int socket = -1;
};

/// The connection of `database`, or none (socket -1).
WatchedConnection watchedConnection(const QSqlDatabase& database);

/// How long, in milliseconds, `watched` has waited over TCP for the server while a statement is
/// in progress, with nothing received and left unread since; 0 when it is not waiting.
qint64 unansweredMs(const WatchedConnection& watched);

/// True when a statement failed because the connection to the server is lost (server stopped,
/// restarted or out of reach): the store connects again at its next command.
bool connectionLost(const QSqlError& error);

/// The StoreError of a statement that failed on the server `shown`, told apart by its SQLSTATE.
/// The driver's own text is left out: it may quote a value of the records.
StoreError serverError(const QSqlError& error, const QString& shown);

} // namespace vimora::records
