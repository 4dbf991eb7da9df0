// A search in the help viewer: over the program's own help file and over a generated help file of
// 2,000 pages compiled by chmcmd, after the index of each is built once (its time reported too).
#include "help/viewer/ChmArchive.h"
#include "help/viewer/SearchIndex.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

using vimora::help::ChmArchive;
using vimora::help::SearchIndex;

namespace {

constexpr int kGeneratedPages = 2000;
constexpr int kWordsAPage = 600;

std::unique_ptr<ChmArchive> ownHelp;
std::unique_ptr<ChmArchive> generatedHelp;

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The words of the program's own help, and as many made-up ones, so that the vocabulary of the
// generated file is that of a large help.
QStringList vocabulary(const ChmArchive& archive) {
    QStringList words;
    for (const QString& path : archive.objectPaths()) {
        if (!path.endsWith(QLatin1String(".htm")))
            continue;
        const QString text =
            vimora::help::topicText(vimora::help::decodeStoredText(*archive.read(path))).text;
        for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\W+")), Qt::SkipEmptyParts))
            words << word;
    }
    words.removeDuplicates();
    const qsizetype own = words.size();
    for (qsizetype i = 0; i < own * 10; ++i)
        words << words[i % own] + QStringLiteral("ation%1").arg(i);
    return words;
}

// Writes a help project of kGeneratedPages pages and compiles it; empty when that fails.
QString generateHelpFile(const QDir& directory, const QStringList& words) {
    QRandomGenerator random(2026);
    QByteArray contents = "<HTML><BODY><UL>\n";
    QByteArray files;
    for (int page = 1; page <= kGeneratedPages; ++page) {
        const QString title =
            QStringLiteral("Rubrique %1 : %2 %3")
                .arg(page)
                .arg(words[random.bounded(words.size())], words[random.bounded(words.size())]);
        QString body;
        for (int word = 0; word < kWordsAPage; ++word) {
            body += words[random.bounded(words.size())];
            body += word % 15 == 14 ? QStringLiteral(".</p>\n<p>") : QStringLiteral(" ");
        }
        const QString name = QStringLiteral("p%1.htm").arg(page);
        const QString html =
            QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                           "charset=utf-8\"><title>%1</title></head><body><h1>%1</h1><p>%2</p>"
                           "</body></html>")
                .arg(title, body);
        if (!writeFile(directory.filePath(name), html.toUtf8()))
            return {};
        contents += R"(<LI><OBJECT type="text/sitemap"><param name="Name" value=")" + title.toUtf8() +
                    R"("><param name="Local" value=")" + name.toUtf8() + "\"></OBJECT>\n";
        files += name.toUtf8() + "\n";
    }
    contents += "</UL></BODY></HTML>\n";
    const QByteArray project = "[OPTIONS]\nCompiled file=Grande.chm\nContents file=Grande.hhc\n"
                               "Default topic=p1.htm\nTitle=Grande aide\n\n[FILES]\n" +
                               files;
    if (!writeFile(directory.filePath(QStringLiteral("Grande.hhc")), contents) ||
        !writeFile(directory.filePath(QStringLiteral("Grande.hhp")), project))
        return {};
    QProcess compiler;
    compiler.setWorkingDirectory(directory.path());
    compiler.start(QStringLiteral(CHMCMD_EXECUTABLE),
                   {QStringLiteral("--verbosity"), QStringLiteral("0"), QStringLiteral("Grande.hhp")});
    if (!compiler.waitForFinished(600000) || compiler.exitCode() != 0)
        return {};
    QString file = directory.filePath(QStringLiteral("Grande.chm"));
    if (QProcess::execute(QStringLiteral(VIMORA_REPAIR_HELP_FILE), {file}) != 0)
        return {};
    return file;
}

void buildIndex(benchmark::State& state, const ChmArchive* archive) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SearchIndex::ofArchive(*archive));
}

void search(benchmark::State& state, const SearchIndex* index, const char* typed) {
    std::size_t found = 0;
    for (auto _ : state)
        found = index->search(QString::fromUtf8(typed)).size();
    state.counters["topics"] = static_cast<double>(index->topicCount());
    state.counters["found"] = static_cast<double>(found);
}

void registerBenchmarks(const char* name, const ChmArchive* archive, const SearchIndex* index) {
    benchmark::RegisterBenchmark((std::string("BuildIndex/") + name).c_str(), buildIndex, archive)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    for (const char* typed : {"objectif enfant", "obesite", "xylophone", "p", "poids taille age"}) {
        benchmark::RegisterBenchmark((std::string("Search/") + name + "/" + typed).c_str(), search, index,
                                     typed)
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ownHelp = ChmArchive::open(VIMORA_HELP_FILE);
    if (!ownHelp) {
        std::fprintf(stderr, "cannot open %s\n", VIMORA_HELP_FILE);
        return 1;
    }
    QTemporaryDir directory;
    const QString generated = generateHelpFile(QDir(directory.path()), vocabulary(*ownHelp));
    generatedHelp = generated.isEmpty() ? nullptr : ChmArchive::open(QFile::encodeName(generated));
    if (!generatedHelp) {
        std::fprintf(stderr, "cannot generate the help file of %d pages\n", kGeneratedPages);
        return 1;
    }
    const SearchIndex ownIndex = SearchIndex::ofArchive(*ownHelp);
    const SearchIndex generatedIndex = SearchIndex::ofArchive(*generatedHelp);
    registerBenchmarks("own", ownHelp.get(), &ownIndex);
    registerBenchmarks("2000pages", generatedHelp.get(), &generatedIndex);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
