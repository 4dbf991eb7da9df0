// The records' transfers at scale, as a user runs them: `vimora-dossiers importer`, `exporter` and
// `alertes` on generated files of 10,000, 100,000 and 1,000,000 visits (ten a patient), each a
// process of its own whose wall time and peak memory are measured. The yardstick, measured in the
// same run: the sqlite3 shell loading the same rows into the same tables in one transaction
// (`.import` into a staging table, then INSERT … SELECT). With a PostgreSQL server installed, the
// import into a server too. Arguments: the numbers of patients, 1000 10000 100000 by default. With
// VIMORA_DOSSIERS_BEFORE naming another build's vimora-dossiers, its commands are measured beside
// this build's on the same files, in the same run.

#include "GeneratedRecords.h"
#include "PostgresServer.h"

#include <QByteArray>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vimora::records::bench::visitsAt;
using vimora::records::bench::writeGeneratedMeasures;

struct Measure {
    double seconds = 0;
    double processorSeconds = 0; ///< user and system: what the run cost on a shared machine
    double megabytes = 0;        ///< peak resident memory
};

// Runs `arguments` with VIMORA_DATABASE set to `database`, standard input and output on the files
// given (or /dev/null); throws when it fails.
Measure run(const std::vector<std::string>& arguments, const std::string& database,
            const std::string& input = "/dev/null", const std::string& output = "/dev/null") {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in = open(input.c_str(), O_RDONLY);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0)
            _exit(127);
        setenv("VIMORA_DATABASE", database.c_str(), 1);
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(arguments.front() + " " + arguments[1] + " failed");
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return {elapsed.count(), seconds(usage.ru_utime) + seconds(usage.ru_stime),
            static_cast<double>(usage.ru_maxrss) / 1024.0};
}

void writeMeasures(const fs::path& path, int patients) {
    std::ofstream file(path, std::ios::binary);
    writeGeneratedMeasures(patients,
                           [&file](const QByteArray& lines) { file.write(lines.data(), lines.size()); });
    if (!file.flush())
        throw std::runtime_error("cannot write " + path.string());
}

// The shell's script: the file into a staging table, then its patients and visits into the
// program's tables, all in one transaction.
void writeShellScript(const fs::path& script, const fs::path& measures) {
    std::ofstream(script)
        << ".bail on\n"
           "BEGIN;\n"
           "CREATE TEMP TABLE staging (dossier TEXT, nom TEXT, prenom TEXT, sexe TEXT, naissance TEXT, "
           "date TEXT, poids TEXT, taille TEXT);\n"
           ".mode csv\n"
           ".separator ;\n"
           ".import --skip 1 '"
        << measures.string()
        << "' staging\n"
           "INSERT INTO patient (dossier, nom, prenom, sexe, naissance, creation, modification, version) "
           "SELECT dossier, nom, prenom, sexe, substr(naissance, 7, 4) || '-' || substr(naissance, 4, 2) "
           "|| '-' || substr(naissance, 1, 2), datetime(), datetime(), 1 FROM staging GROUP BY dossier;\n"
           "INSERT INTO visite (patient_id, date, age, poids, taille, imc, poids_max, poids_min, resultat, "
           "conseils, objectif, remarque, creation) SELECT p.id, s.date, '', s.poids, s.taille, '', '', '', "
           "'', '', '', '', datetime() FROM staging s JOIN patient p ON p.dossier = s.dossier;\n"
           "COMMIT;\n";
}

void line(const char* what, int visits, const Measure& measure, const char* note = "") {
    std::printf("%-40s %8d visits %7.2f s (processor %6.2f s) %6.1f MB%s\n", what, visits, measure.seconds,
                measure.processorSeconds, measure.megabytes, note);
    std::fflush(stdout);
}

// The importer, exporter and alertes of `dossiers` on `measures`, into the empty base `base`.
void measureCommands(const std::string& dossiers, const char* label, const fs::path& measures,
                     const fs::path& base, int visits, const Measure& shell) {
    const Measure imported = run({dossiers, "importer", measures.string()}, base.string());
    std::array<char, 96> ratio{};
    std::snprintf(ratio.data(), ratio.size(), "  %.2f x the shell (processor %.2f x)",
                  imported.seconds / shell.seconds, imported.processorSeconds / shell.processorSeconds);
    const std::string what = std::string(label);
    line((what + "importer, empty SQLite base").c_str(), visits, imported, ratio.data());
    line((what + "exporter").c_str(), visits,
         run({dossiers, "exporter", (base.parent_path() / "export.csv").string()}, base.string()));
    line((what + "alertes").c_str(), visits, run({dossiers, "alertes"}, base.string()));
}

void measureScale(const std::string& dossiers, const fs::path& directory, int patients,
                  const testcommon::PostgresServer* server) {
    const int visits = visitsAt(patients);
    const fs::path measures = directory / "mesures.csv";
    writeMeasures(measures, patients);

    // The same empty tables for the shell and the importer: the program creates them.
    const fs::path header = directory / "entete.csv";
    std::ofstream(header) << "dossier;nom;prenom;sexe;naissance;date;poids;taille\n";
    const fs::path shellBase = directory / "shell.sqlite";
    run({dossiers, "importer", header.string()}, shellBase.string());
    const fs::path script = directory / "shell.sql";
    writeShellScript(script, measures);
    const Measure shell = run({"sqlite3", "-batch", shellBase.string()}, shellBase.string(), script.string());
    line("sqlite3 shell, one transaction", visits, shell);

    if (const char* before = std::getenv("VIMORA_DOSSIERS_BEFORE"); before != nullptr && *before != 0)
        measureCommands(before, "before: ", measures, directory / "avant.sqlite", visits, shell);
    measureCommands(dossiers, "", measures, directory / "dossiers.sqlite", visits, shell);

    if (server != nullptr) {
        // The server's own processor time is not counted.
        const auto intoServer = [&](const std::string& program, const std::string& label) {
            const std::string name =
                label.empty() ? "echelle" + std::to_string(patients) : "avant" + std::to_string(patients);
            server->createBase(name);
            line((label + "importer, empty server base").c_str(), visits,
                 run({program, "importer", measures.string()}, server->uri(name)));
        };
        if (const char* before = std::getenv("VIMORA_DOSSIERS_BEFORE"); before != nullptr && *before != 0)
            intoServer(before, "before: ");
        intoServer(dossiers, "");
    }
    fs::remove_all(directory);
    fs::create_directory(directory);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> scales;
    for (int i = 1; i < argc; ++i)
        scales.push_back(std::atoi(argv[i]));
    if (scales.empty())
        scales = {1000, 10000, 100000};
    std::string directoryName = (fs::temp_directory_path() / "vimora-transfer-XXXXXX").string();
    if (mkdtemp(directoryName.data()) == nullptr)
        return 1;
    const fs::path directory = directoryName;
    try {
        std::unique_ptr<testcommon::PostgresServer> server;
        if (const std::string missing = testcommon::PostgresServer::missing(); missing.empty())
            server = std::make_unique<testcommon::PostgresServer>(true);
        else
            std::printf("no import into a server: %s\n", missing.c_str());
        for (const int patients : scales) {
            if (patients <= vimora::records::bench::kFewVisits)
                throw std::runtime_error("at least 11 patients");
            measureScale(VIMORA_DOSSIERS_PATH, directory, patients, server.get());
        }
    } catch (const std::exception& error) {
        std::printf("transfer benchmark failed: %s\n", error.what());
        fs::remove_all(directory);
        return 1;
    }
    fs::remove_all(directory);
    return 0;
}
