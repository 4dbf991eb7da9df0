// A program that writes to the records until it is killed, for the kill test: `save BASE` adds
// visits one by one and prints "saved ID" once each is committed; `import BASE FILE` imports a
// file and prints "imported" once it is committed.
#include "records/PatientStore.h"
#include "records/RecordsTransfer.h"
#include "records/VisitRecords.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace vimora::records;

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3)
        return 2;
    try {
        const auto store = openStore(arguments[2]);
        if (arguments[1] == QLatin1String("import") && arguments.size() == 4) {
            QFile file(arguments[3]);
            file.open(QIODevice::ReadOnly);
            importVisits(*store, file);
            std::puts("imported");
            std::fflush(stdout);
            return 0;
        }
        const Patient patient = store->patients().front().patient;
        for (qint64 i = 0;; ++i) {
            // A weight of its own for every visit of every run: an identical visit is refused.
            const qint64 own = QCoreApplication::applicationPid() * 1000 + i / 40;
            const Visit visit =
                assessMeasurement(patient, QDate::currentDate(),
                                  QStringLiteral("%1,%2").arg(60 + i % 40).arg(own, 10, 10, QLatin1Char('0')),
                                  QStringLiteral("1,70"));
            std::printf("saved %lld\n", store->addVisit(visit).id);
            std::fflush(stdout);
        }
    } catch (const StoreError& error) {
        std::fprintf(stderr, "%s\n", error.message().toLocal8Bit().constData());
        return 1;
    }
}
