// Speed and memory of the text comparison engine on realistic sizes: a contract-sized character
// diff; line diffs of a novel (8,000 lines, 50 edited), a 32,000-line text (200 edits) and a
// 100,000-line text (625 edits) against GNU diff and `git diff --no-index` on the same files,
// each peer started as a plain process (posix_spawn, so its start is not inflated by copying
// this process), ours and the peers alternating in every round, min and median over the
// rounds, on cores 6 and 7 and on all cores; then the exports and DOCX import. The headline
// ratio is like for like: ours reading and decoding both files, then the diff, against the
// peers, which read their files too.
//
//   bench_textdiff [rows] [rounds]    (rows: stop after the comparison with the peers)
//   bench_textdiff large [rounds]     (10,000 to 1,000,000 lines, one line in a hundred replaced,
//                                      on cores 0 and 1: time and peak memory of the diff and of
//                                      the aligned original, against GNU diff)
#include "textengine/TextComparisonDiff.h"
#include "textengine/TextComparisonImport.h"
#include "textengine/TextComparisonRenderer.h"
#include "textengine/TextComparisonSummary.h"
#include "textengine/TextComparisonWordExporter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

long peakKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

long currentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

QString novelLine(QRandomGenerator &rng)
{
    static const QString pool = QStringLiteral("天地玄黄宇宙洪荒日月盈昃辰宿列张寒来暑往秋收冬藏闰余成岁律吕调阳云腾致雨露结为霜，。");
    QString line;
    const int length = 30 + int(rng.bounded(60));
    for (int k = 0; k < length; ++k)
        line += pool.at(int(rng.bounded(int(pool.size()))));
    return line;
}

std::pair<QString, QString> linePair(int lines, int edits, quint32 seed)
{
    QRandomGenerator rng(seed);
    QStringList original;
    for (int k = 0; k < lines; ++k)
        original << novelLine(rng);
    QStringList edited = original;
    for (int k = 0; k < edits; ++k)
        edited[int(rng.bounded(lines))] = novelLine(rng);
    return {original.join(u'\n'), edited.join(u'\n')};
}

template<typename F>
double timeMs(F &&f)
{
    QElapsedTimer timer;
    timer.start();
    f();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Restricts this process (and the peers it starts) to the given cores; an empty list allows all.
void useCores(const std::vector<int> &cores)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    for (long k = 0; k < online; ++k) {
        if (cores.empty() || std::find(cores.begin(), cores.end(), int(k)) != cores.end())
            CPU_SET(int(k), &set);
    }
    sched_setaffinity(0, sizeof(set), &set);
}

void measureLinePair(const char *label, int lines, int edits)
{
    auto [original, edited] = linePair(lines, edits, 42);
    TextComparisonDiff::clearCache();
    long before = currentKiB();
    resetPeak();
    std::size_t count = 0;
    const double changesMs = timeMs([&] { count = TextComparisonDiff::changes(original, edited).size(); });
    const long changesPeak = peakKiB() - before;
    before = currentKiB();
    resetPeak();
    QString aligned;
    const double alignedMs = timeMs([&] { aligned = TextComparisonDisplay::alignedOriginalText(original, edited); });
    const long alignedPeak = peakKiB() - before;
    std::printf("%s (%d lines, %d edits): changes %.1f ms (%zu changes, peak +%.1f MB), aligned %.1f ms (peak +%.1f MB)\n",
                label, lines, edits, changesMs, count, changesPeak / 1024.0, alignedMs, alignedPeak / 1024.0);
}

// Starts the program as a plain process with its output thrown away and waits for it.
double spawnMs(const std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    posix_spawn_file_actions_destroy(&actions);
    return ms;
}

struct Spread {
    double min = 0;
    double median = 0;
};

Spread spread(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2]};
}

QString loadAverage()
{
    QFile file("/proc/loadavg");
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

// One row: ours (changes(), and changes() + the aligned original), GNU diff and git on the same
// pair written to files, alternating in each round.
void compareWithPeers(const char *label, int lines, int edits, int rounds, const char *cores)
{
    auto [original, edited] = linePair(lines, edits, 42);
    QTemporaryDir dir;
    QFile a(dir.filePath("a.txt"));
    QFile b(dir.filePath("b.txt"));
    if (!a.open(QIODevice::WriteOnly) || !b.open(QIODevice::WriteOnly))
        return;
    a.write(original.toUtf8());
    b.write(edited.toUtf8());
    a.close();
    b.close();
    const std::string pathA = a.fileName().toStdString();
    const std::string pathB = b.fileName().toStdString();

    std::size_t count = 0;
    // Ours also from the files, as the peers start: read and decode both, then the diff.
    auto fromFiles = [&] {
        QFile fileA(a.fileName());
        QFile fileB(b.fileName());
        if (!fileA.open(QIODevice::ReadOnly) || !fileB.open(QIODevice::ReadOnly))
            return;
        const QString textA = QString::fromUtf8(fileA.readAll());
        const QString textB = QString::fromUtf8(fileB.readAll());
        count = TextComparisonDiff::changes(textA, textB).size();
    };
    std::vector<double> changesMs, filesMs, bothMs, diffMs, gitMs;
    for (int r = 0; r < rounds; ++r) {
        TextComparisonDiff::clearCache();
        changesMs.push_back(timeMs([&] { count = TextComparisonDiff::changes(original, edited).size(); }));
        TextComparisonDiff::clearCache();
        filesMs.push_back(timeMs(fromFiles));
        diffMs.push_back(spawnMs({"diff", pathA, pathB}));
        TextComparisonDiff::clearCache();
        bothMs.push_back(timeMs([&] {
            TextComparisonDiff::changes(original, edited);
            TextComparisonDisplay::alignedOriginalText(original, edited);
        }));
        gitMs.push_back(spawnMs({"git", "diff", "--no-index", "--no-color", pathA, pathB}));
    }
    TextComparisonDiff::clearCache();
    const Spread ours = spread(changesMs);
    const Spread both = spread(bothMs);
    const Spread files = spread(filesMs);
    const Spread diff = spread(diffMs);
    const Spread git = spread(gitMs);
    std::printf("%-26s %-10s from the files: ours/diff %5.2f / %5.2f, ours/git %5.2f / %5.2f | ours %7.1f / %7.1f ms "
                "(%zu changes; in memory %7.1f / %7.1f; with aligned %7.1f / %7.1f) | GNU diff %6.1f / %6.1f | "
                "git %6.1f / %6.1f\n",
                label, cores, files.min / diff.min, files.median / diff.median, files.min / git.min,
                files.median / git.median, files.min, files.median, count, ours.min, ours.median, both.min, both.median,
                diff.min, diff.median, git.min, git.median);
    std::fflush(stdout);
}

// One row of the large table: the diff and the aligned original each timed on their own (min
// over the rounds, caches cleared), the peak memory each adds beyond the two texts, and GNU diff
// on the same files; ours also from the files, as GNU diff starts.
void largeRow(int lines, int edits, int rounds)
{
    auto [original, edited] = linePair(lines, edits, 42);
    QTemporaryDir dir;
    const QString pathA = dir.filePath("a.txt");
    const QString pathB = dir.filePath("b.txt");
    for (const auto &[path, text] : {std::pair{pathA, original}, std::pair{pathB, edited}}) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(text.toUtf8());
    }
    std::size_t count = 0;
    std::vector<double> changesMs, alignedMs, filesMs, diffMs;
    long changesPeak = 0;
    long alignedPeak = 0;
    long resultKiB = 0;
    for (int r = 0; r < rounds; ++r) {
        // Freed memory goes back to the system first, so that the peak counts what each call takes.
        TextComparisonDiff::clearCache();
        malloc_trim(0);
        long before = currentKiB();
        resetPeak();
        changesMs.push_back(timeMs([&] { count = TextComparisonDiff::changes(original, edited).size(); }));
        changesPeak = std::max(changesPeak, peakKiB() - before);
        TextComparisonDiff::clearCache();
        malloc_trim(0);
        before = currentKiB();
        resetPeak();
        alignedMs.push_back(timeMs([&] {
            resultKiB = long(TextComparisonDisplay::alignedOriginalText(original, edited).size() * 2 / 1024);
        }));
        alignedPeak = std::max(alignedPeak, peakKiB() - before);
        TextComparisonDiff::clearCache();
        filesMs.push_back(timeMs([&] {
            QFile fileA(pathA);
            QFile fileB(pathB);
            if (!fileA.open(QIODevice::ReadOnly) || !fileB.open(QIODevice::ReadOnly))
                return;
            TextComparisonDiff::changes(QString::fromUtf8(fileA.readAll()), QString::fromUtf8(fileB.readAll()));
        }));
        diffMs.push_back(spawnMs({"diff", pathA.toStdString(), pathB.toStdString()}));
    }
    TextComparisonDiff::clearCache();
    const double diff = spread(diffMs).min;
    const double changes = spread(changesMs).min;
    const double aligned = spread(alignedMs).min;
    const double files = spread(filesMs).min;
    std::printf("%9d lines %6d edits | diff %8.1f ms +%6.1f MB | aligned %8.1f ms +%6.1f MB (the result itself %6.1f MB) | "
                "from the files %8.1f ms | GNU diff %7.1f ms | from the files/diff %6.2f, diff/diff %6.2f, "
                "aligned/diff %6.2f (%zu changes)\n",
                lines, edits, changes, changesPeak / 1024.0, aligned, alignedPeak / 1024.0, resultKiB / 1024.0, files,
                diff, files / diff, changes / diff, aligned / diff, count);
    std::fflush(stdout);
}

void compareRows(int rounds, const std::vector<int> &cores, const char *label)
{
    useCores(cores);
    std::printf("-- %s, %d rounds, min / median (load average before: %s)\n", label, rounds,
                qPrintable(loadAverage()));
    compareWithPeers("novel (8,000 lines, 50)", 8000, 50, rounds, label);
    compareWithPeers("32,000 lines, 200 edits", 32000, 200, rounds, label);
    compareWithPeers("100,000 lines, 625 edits", 100000, 625, rounds, label);
    std::printf("   (load average after: %s)\n", qPrintable(loadAverage()));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    if (argc > 1 && qstrcmp(argv[1], "large") == 0) {
        const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 3;
        useCores({0, 1});
        std::printf("-- cores 0,1, min over %d rounds (load average before: %s); goals: at most 3 x GNU diff, "
                    "at most 64 MB\n",
                    rounds, qPrintable(loadAverage()));
        for (const auto &[lines, edits] : {std::pair{10000, 100}, {100000, 1000}, {300000, 3000}, {1000000, 10000}})
            largeRow(lines, edits, rounds);
        std::printf("   (load average after: %s)\n", qPrintable(loadAverage()));
        return 0;
    }

    // Contract-sized pair compared per character: changes + aligned + summary.
    {
        QRandomGenerator rng(1);
        double total = 0;
        const int rounds = 20;
        for (int r = 0; r < rounds; ++r) {
            QString original;
            while (original.size() < 1400)
                original += novelLine(rng) + u'\n';
            original.truncate(1400);
            QString edited = original;
            for (int k = 0; k < 30; ++k)
                edited[qsizetype(rng.bounded(1400))] = u'改';
            TextComparisonDiff::clearCache();
            total += timeMs([&] {
                TextComparisonDiff::changes(original, edited);
                TextComparisonDisplay::alignedOriginalText(original, edited);
                TextComparisonDiff::clearCache();
                TextComparisonSummaryBuilder::summary(TextComparisonState("s", original, edited, {}),
                                                      *TextComparisonDiff::compare(original, edited));
            });
        }
        std::printf("1400-character pair: changes + aligned + summary %.2f ms (goal 5 ms)\n", total / rounds);
    }

    // Memory before anything larger has grown the heap: the rows in increasing size, then a pair
    // that differs in every tenth line.
    measureLinePair("novel", 8000, 50);
    measureLinePair("32,000 lines", 32000, 200);
    measureLinePair("100,000 lines", 100000, 625);
    measureLinePair("large pair", 20000, 2000);
    const int rounds = argc > 2 ? std::max(3, QByteArray(argv[2]).toInt()) : 5;
    compareRows(rounds, {6, 7}, "cores 6,7");
    compareRows(rounds, {}, "all cores");
    if (argc > 1 && qstrcmp(argv[1], "rows") == 0)
        return 0;

    // Exports of the novel fixture.
    {
        auto [original, edited] = linePair(8000, 50, 42);
        TextComparisonState state("novel.txt", original, edited, {});
        // The exports take the comparison the editor already has; they no longer compare.
        const TextComparisonResult result = *TextComparisonDiff::compare(original, edited);
        std::printf("novel DOCX export %.0f ms, ",
                    timeMs([&] { TextComparisonWordExporter::docxData(state, result, "T", false); }));
        std::printf("PNG %.0f ms, ", timeMs([&] { TextComparisonRenderer::pngData(state, result, "T", 1600, 2); }));
        std::printf("PDF %.0f ms (goals 1000/1500/1500)\n",
                    timeMs([&] { TextComparisonRenderer::pdfData(state, result, "T", 1600); }));
    }

    // DOCX import of a 20 MB body, and a part declared beyond the cap.
    {
        QTemporaryDir dir;
        QByteArray body = "<?xml version=\"1.0\"?><w:document><w:body>";
        while (body.size() < 20 << 20)
            body += "<w:p><w:r><w:t>天地玄黄宇宙洪荒日月盈昃辰宿列张寒来暑往秋收冬藏</w:t></w:r></w:p>";
        body += "</w:body></w:document>";
        const QString path = dir.filePath("big.docx");
        int error = 0;
        zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        zip_source_t *source = zip_source_buffer(archive, body.constData(), zip_uint64_t(body.size()), 0);
        zip_file_add(archive, "word/document.xml", source, 0);
        zip_close(archive);
        std::printf("DOCX import of a %.0f MB document.xml: %.0f ms (goal 2000)\n", body.size() / 1048576.0,
                    timeMs([&] { TextComparisonImport::docxText(path); }));

        QFile file(path);
        file.open(QIODevice::ReadOnly);
        QByteArray zip = file.readAll();
        file.close();
        // Declare 2 GiB for the body in both headers.
        for (qsizetype at = zip.indexOf("PK\x03\x04"); at >= 0; at = zip.indexOf("PK\x03\x04", at + 1))
            zip[at + 22 + 3] = 0x7F;
        for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0; at = zip.indexOf("PK\x01\x02", at + 1))
            zip[at + 24 + 3] = 0x7F;
        const QString hostile = dir.filePath("declared.docx");
        QFile out(hostile);
        out.open(QIODevice::WriteOnly);
        out.write(zip);
        out.close();
        const long before = currentKiB();
        resetPeak();
        const double refusedMs = timeMs([&] { TextComparisonImport::docxText(hostile); });
        std::printf("part declared at 2 GiB refused in %.1f ms, peak +%.1f MB (goal 200 ms)\n", refusedMs,
                    (peakKiB() - before) / 1024.0);
    }
    return 0;
}
