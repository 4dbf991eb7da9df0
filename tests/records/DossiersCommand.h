#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <optional>
#include <string>

// vimora-dossiers run as a separate process, as a clinic would run it.
namespace recordstest {

struct Outcome {
    int exitCode = -1; ///< -1: killed, or still running when the wait ended
    QString output;
    QString errors;
    qint64 milliseconds = 0;
};

struct CommandOptions {
    std::optional<QByteArray> input; ///< standard input, closed after it; none: left open
    bool asNobody = false;           ///< run as the user nobody (the test runs as root)
    int waitMs = 60000;
    QString outputFile{}; ///< standard output goes there rather than to Outcome::output
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

inline Outcome dossiers(const QStringList& arguments, const std::string& database,
                        CommandOptions options = {}) {
    QProcess process;
    options.environment.insert(QStringLiteral("VIMORA_DATABASE"), QString::fromStdString(database));
    process.setProcessEnvironment(options.environment);
    if (!options.outputFile.isEmpty())
        process.setStandardOutputFile(options.outputFile);
    QString program = QStringLiteral(VIMORA_DOSSIERS_PATH);
    QStringList all = arguments;
    if (options.asNobody) {
        all = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                          QStringLiteral("--clear-groups"), program} +
              arguments;
        program = QStringLiteral("setpriv");
    }
    QElapsedTimer elapsed;
    elapsed.start();
    process.start(program, all);
    if (options.input) {
        process.write(*options.input);
        process.closeWriteChannel();
    }
    Outcome run;
    if (!process.waitForFinished(options.waitMs)) {
        process.kill();
        process.waitForFinished();
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
    }
    run.milliseconds = elapsed.elapsed();
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace recordstest
