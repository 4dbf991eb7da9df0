// Writes vimora-setup.sql, the script with which a clinic's administrator prepares a PostgreSQL base
// for the records, from the program's own migrations, so that the script and the program can never
// disagree on the schema.

#include "records/Schema.h"

#include <cstdio>

namespace {

constexpr const char* kHeader = R"(-- Vimora XP : les dossiers patients sur un serveur PostgreSQL.
--
-- À exécuter une fois par l'administrateur de la base, dans la base qui recevra les dossiers :
--
--   psql -d dossiers -v role=vimora -f /usr/share/vimora/vimora-setup.sql
--
-- Le script crée les tables des dossiers (elles appartiennent à l'administrateur) dans le premier
-- schéma du chemin de recherche (public en général), puis donne au rôle nommé par la variable
-- « role » (vimora par défaut), qui doit déjà exister, les seuls droits dont Vimora a besoin :
-- se connecter à la base, y créer des tables temporaires (pour la commande verifier), lire et
-- écrire les patients, les consultations et leurs alertes, lire la version du schéma. Le rôle
-- ne peut ni créer ni modifier de table. Un mot de passe se donne à part : \password vimora
--
-- Ce fichier est produit à partir du schéma du programme : ne le modifiez pas à la main.

\set ON_ERROR_STOP on
\if :{?role}
\else
\set role vimora
\endif
SELECT current_schema() AS schema \gset

BEGIN;
)";

constexpr const char* kGrants = R"(
GRANT CONNECT, TEMPORARY ON DATABASE :"DBNAME" TO :"role";
GRANT USAGE ON SCHEMA :"schema" TO :"role";
GRANT SELECT, INSERT, UPDATE, DELETE ON patient TO :"role";
GRANT SELECT, INSERT, UPDATE, DELETE ON visite TO :"role";
GRANT SELECT, INSERT, DELETE ON alerte TO :"role";
GRANT SELECT ON %s TO :"role";
COMMIT;
)";

} // namespace

int main() {
    using namespace vimora::records;
    std::fputs(kHeader, stdout);
    // A new base has no visit to judge again: the statements are the whole of each step.
    for (int from = 0; from < kSchemaVersion; ++from) {
        for (const QString& statement : migrationFrom(from, Dialect::PostgreSql))
            std::printf("%s;\n", statement.toUtf8().constData());
    }
    for (const QString& statement : versionStatements(kSchemaVersion, Dialect::PostgreSql))
        std::printf("%s;\n", statement.toUtf8().constData());
    std::printf(kGrants, kServerVersionTable);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
