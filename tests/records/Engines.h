#pragma once

#include "NamedRows.h"
#include "PostgresServer.h"
#include "RawDatabase.h"
#include "TempDir.h"

#include <QString>

#include <gtest/gtest.h>

#include <string>

// The store's tests run on each engine: a SQLite file in a temporary directory, and a base of its
// own on a PostgreSQL server the test program starts once (skipped, with the reason, where the
// server's package is missing).
namespace recordstest {

enum class EngineKind { Sqlite, PostgreSql };

struct Engine {
    const char* name;
    EngineKind kind;
    const char* versionQuery; ///< reads the schema version behind the store's back
    const char* newerVersion; ///< marks the base as written by a newer program
};

inline const Engine kEngines[] = {
    {"Sqlite", EngineKind::Sqlite, "PRAGMA user_version", "PRAGMA user_version = 99"},
    {"PostgreSql", EngineKind::PostgreSql, "SELECT version FROM vimora_version",
     "UPDATE vimora_version SET version = 99"},
};

/// The server of this test program, started on first use, stopped and removed at its end.
inline testcommon::PostgresServer& testServer() {
    static testcommon::PostgresServer server;
    return server;
}

class OnEachEngine : public testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (GetParam().kind == EngineKind::PostgreSql) {
            if (const std::string missing = testcommon::PostgresServer::missing(); !missing.empty())
                GTEST_SKIP() << missing;
        }
    }

    /// The setting of a new, empty base called `name` for this test.
    QString freshBase(const std::string& name) {
        if (GetParam().kind == EngineKind::Sqlite)
            return QString::fromStdString(m_directory / (name + ".sqlite"));
        static int counter = 0;
        // Appended piece by piece: g++ 12 warns wrongly (-Wrestrict) about a text added in front.
        std::string base("t");
        base.append(std::to_string(++counter)).append("_").append(name);
        testServer().createBase(base);
        return QString::fromStdString(testServer().uri(base));
    }

    /// The first value `query` gives in the base of `setting`, read behind the store's back.
    QString rawValue(const QString& setting, const QString& query) const {
        if (GetParam().kind == EngineKind::Sqlite)
            return RawDatabase(setting).value(query).toString();
        return QString::fromStdString(testServer().sql(query.toStdString(), baseOf(setting))).trimmed();
    }

    /// Runs `statement` in the base of `setting` behind the store's back.
    void rawExec(const QString& setting, const QString& statement) const {
        if (GetParam().kind == EngineKind::Sqlite)
            EXPECT_TRUE(RawDatabase(setting).exec(statement)) << statement.toStdString();
        else
            testServer().sql(statement.toStdString(), baseOf(setting));
    }

    /// Brings the base of `setting` back to the schema of version 1 to 4 as far as a later
    /// migration cares: what later versions added is removed, and the version is written.
    void makeOlder(const QString& setting, int version) const {
        for (const char* statement :
             {"DROP TABLE alerte", "DROP INDEX patient_ordre", "ALTER TABLE patient DROP COLUMN nom_cle",
              "ALTER TABLE patient DROP COLUMN prenom_cle", "ALTER TABLE patient DROP COLUMN recherche"})
            rawExec(setting, QString::fromLatin1(statement));
        if (GetParam().kind == EngineKind::PostgreSql) {
            rawExec(setting, QStringLiteral("DROP TABLE vimora_changement, vimora_changement_en_cours; "
                                            "DROP FUNCTION vimora_changement_note, vimora_changement_valide "
                                            "CASCADE"));
        }
        rawExec(setting, GetParam().kind == EngineKind::Sqlite
                             ? QStringLiteral("PRAGMA user_version = %1").arg(version)
                             : QStringLiteral("UPDATE vimora_version SET version = %1").arg(version));
    }

    testcommon::TemporaryDirectory m_directory;

private:
    static std::string baseOf(const QString& uri) {
        return uri.mid(uri.lastIndexOf(QLatin1Char('/')) + 1).toStdString();
    }
};

} // namespace recordstest

/// Runs the TEST_P tests of `suite` (an OnEachEngine) on SQLite and PostgreSQL.
#define VIMORA_ON_EACH_ENGINE(suite)                                                                         \
    INSTANTIATE_TEST_SUITE_P(Engine, suite, testing::ValuesIn(recordstest::kEngines), vimora::test::RowName())
