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
//                                      on cores 6 and 7: time and peak memory of the diff and of
//                                      the aligned original, against GNU diff)
//   bench_textdiff moved [rounds] [row...]
//                                     (texts whose lines moved: sorted, reversed, shuffled, halves
//                                      swapped, shuffled code, blank-heavy; one compare() from the
//                                      files against GNU diff, and the memory it takes beyond the
//                                      texts and its result. Rows by number, all by default;
//                                      row 11: how soon compare() stops once its flag is raised;
//                                      rows 12-13: versions of one long text, 20,000 and 120,000
//                                      lines, many scattered edits and a few blocks moved; rows
//                                      14-19: 1,000 to 5,000 lines reversed and shuffled. Each row
//                                      also counts the lines marked, ours and GNU diff's.)
#include "BenchSupport.h"
#include "textengine/LineComparison.h"
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
#include <thread>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using BenchSupport::useCores;

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

void measureLinePair(const char *label, int lines, int edits)
{
    auto [original, edited] = linePair(lines, edits, 42);
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

// Starts the program as a plain process with its output written to `output` (thrown away by
// default) and waits for it.
double spawnMs(const std::vector<std::string> &arguments, const char *output = "/dev/null")
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
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
        changesMs.push_back(timeMs([&] { count = TextComparisonDiff::changes(original, edited).size(); }));
        filesMs.push_back(timeMs(fromFiles));
        diffMs.push_back(spawnMs({"diff", pathA, pathB}));
        bothMs.push_back(timeMs([&] {
            TextComparisonDiff::changes(original, edited);
            TextComparisonDisplay::alignedOriginalText(original, edited);
        }));
        gitMs.push_back(spawnMs({"git", "diff", "--no-index", "--no-color", pathA, pathB}));
    }
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
    std::vector<double> changesMs, alignedMs, compareMs, filesMs, diffMs;
    long changesPeak = 0;
    long alignedPeak = 0;
    long comparePeak = 0;
    long resultKiB = 0;
    for (int r = 0; r < rounds; ++r) {
        // Freed memory goes back to the system first, so that the peak counts what each call takes.
        malloc_trim(0);
        long before = currentKiB();
        resetPeak();
        changesMs.push_back(timeMs([&] { count = TextComparisonDiff::changes(original, edited).size(); }));
        changesPeak = std::max(changesPeak, peakKiB() - before);
        malloc_trim(0);
        before = currentKiB();
        resetPeak();
        alignedMs.push_back(timeMs([&] {
            resultKiB = long(TextComparisonDisplay::alignedOriginalText(original, edited).size() * 2 / 1024);
        }));
        alignedPeak = std::max(alignedPeak, peakKiB() - before);
        malloc_trim(0);
        before = currentKiB();
        resetPeak();
        long compareResultKiB = 0;
        compareMs.push_back(timeMs([&] {
            const auto result = TextComparisonDiff::compare(original, edited);
            compareResultKiB = long((result->alignedOriginal.size() * 2
                                     + qsizetype(result->changes.capacity() * sizeof(TextComparisonChange)))
                                    / 1024);
        }));
        comparePeak = std::max(comparePeak, peakKiB() - before - compareResultKiB);
        filesMs.push_back(timeMs([&] {
            QFile fileA(pathA);
            QFile fileB(pathB);
            if (!fileA.open(QIODevice::ReadOnly) || !fileB.open(QIODevice::ReadOnly))
                return;
            TextComparisonDiff::compare(QString::fromUtf8(fileA.readAll()), QString::fromUtf8(fileB.readAll()));
        }));
        diffMs.push_back(spawnMs({"diff", pathA.toStdString(), pathB.toStdString()}));
    }
    const double diff = spread(diffMs).min;
    const double changes = spread(changesMs).min;
    const double aligned = spread(alignedMs).min;
    const double both = spread(compareMs).min;
    const double files = spread(filesMs).min;
    std::printf("%9d lines %6d edits | compare %8.1f ms, beyond the result +%6.1f MB | (diff alone %8.1f ms +%6.1f MB, "
                "aligned alone %8.1f ms +%6.1f MB, the aligned text itself %6.1f MB) | compare from the files %8.1f ms | "
                "GNU diff %7.1f ms | from the files/diff %6.2f, compare/diff %6.2f (%zu changes)\n",
                lines, edits, both, comparePeak / 1024.0, changes, changesPeak / 1024.0, aligned, alignedPeak / 1024.0,
                resultKiB / 1024.0, files, diff, files / diff, both / diff, count);
    std::fflush(stdout);
}

// Texts whose lines moved, each line real-looking and (but for the code's braces and blanks)
// distinct: the shapes on which the exact search grows with the square of the text.
struct MovedPair {
    const char *label;
    QString original;
    QString edited;
};

QString movedIdLine(QRandomGenerator &rng)
{
    QString line = QStringLiteral("CN2025");
    for (int k = 0; k < 13; ++k)
        line += QChar(u'0' + char16_t(rng.bounded(10)));
    return line;
}

QString movedShortLine(QRandomGenerator &rng)
{
    static const QString pool = QStringLiteral("天地玄黄宇宙洪荒日月盈昃辰宿列张寒来暑往秋收冬藏闰余成岁律吕调阳云腾致雨露结为霜，。");
    QString line;
    const int length = 18 + int(rng.bounded(18));
    for (int k = 0; k < length; ++k)
        line += pool.at(int(rng.bounded(int(pool.size()))));
    return line;
}

// A C function of seven lines on average: three of them "{", "}" and the blank after it.
QStringList movedFunction(QRandomGenerator &rng, int index)
{
    QStringList lines{QStringLiteral("static int helper%1(int value, int scale)").arg(index), QStringLiteral("{")};
    const int body = 2 + int(rng.bounded(3));
    for (int k = 0; k < body; ++k)
        lines << QStringLiteral("    value = value * %1 + scale - %2;").arg(rng.bounded(1000)).arg(rng.bounded(100000));
    lines << QStringLiteral("    return value;") << QStringLiteral("}") << QString();
    return lines;
}

// One line of C-like source: mostly distinct statements, with the blank lines, braces and
// short statements that real code repeats.
QString versionLine(QRandomGenerator &rng, int &serial)
{
    static const QStringList repeated{QString(), QString(), QString(), QStringLiteral("{"), QStringLiteral("}"),
                                      QStringLiteral("    }"), QStringLiteral("        break;"),
                                      QStringLiteral("    return 0;"), QStringLiteral("#endif")};
    static const QStringList names{"value", "count", "buffer", "length", "state", "index", "offset", "result"};
    const quint32 kind = rng.bounded(100);
    if (kind < 28)
        return repeated[int(rng.bounded(int(repeated.size())))];
    const QString &name = names[int(rng.bounded(int(names.size())))];
    ++serial;
    if (kind < 40)
        return QStringLiteral("/* %1: step %2 of the %3 pass */").arg(serial).arg(rng.bounded(100)).arg(name);
    if (kind < 50)
        return QStringLiteral("static int helper_%1(int %2, int scale)").arg(serial).arg(name);
    if (kind < 65)
        return QStringLiteral("    if (%1 > %2)").arg(name).arg(rng.bounded(100000));
    return QStringLiteral("    %1 = %1 * %2 + scale - %3; /* %4 */")
        .arg(name)
        .arg(rng.bounded(1000))
        .arg(rng.bounded(100000))
        .arg(serial);
}

// Two versions of one long text: the later one edited every twenty lines or so by changed,
// removed or added runs of whole lines, and a few blocks moved elsewhere, as two releases of a
// program's sources differ.
MovedPair versionPair(const char *label, int count, quint32 seed)
{
    QRandomGenerator rng(seed);
    int serial = 0;
    QStringList original;
    for (int k = 0; k < count; ++k)
        original << versionLine(rng, serial);
    QStringList edited;
    for (int k = 0; k < count;) {
        const quint32 dice = rng.bounded(100);
        if (dice < 2) {
            const int run = 1 + int(rng.bounded(5));
            for (int r = 0; r < run; ++r)
                edited << versionLine(rng, serial);
            k += run;
        } else if (dice < 3) {
            k += 1 + int(rng.bounded(10));
        } else if (dice < 5) {
            const int run = 1 + int(rng.bounded(15));
            for (int r = 0; r < run; ++r)
                edited << versionLine(rng, serial);
        } else {
            edited << original[k++];
        }
    }
    for (int moves = count / 4000 + 1; moves > 0; --moves) {
        const int length = 30 + int(rng.bounded(300));
        const int from = int(rng.bounded(quint32(edited.size() - length)));
        const QStringList block = edited.mid(from, length);
        edited.remove(from, length);
        const int to = int(rng.bounded(quint32(edited.size())));
        for (int k = 0; k < length; ++k)
            edited.insert(to + k, block[k]);
    }
    return {label, original.join(u'\n') + u'\n', edited.join(u'\n') + u'\n'};
}

MovedPair movedPair(int row)
{
    QRandomGenerator rng(quint32(700 + row));
    auto shuffledLines = [&](const char *label, int count) {
        QStringList lines;
        for (int k = 0; k < count; ++k)
            lines << novelLine(rng);
        QStringList shuffled = lines;
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        return MovedPair{label, lines.join(u'\n'), shuffled.join(u'\n')};
    };
    switch (row) {
    case 1: {
        QStringList ids;
        for (int k = 0; k < 23000; ++k)
            ids << movedIdLine(rng);
        QStringList sorted = ids;
        sorted.sort();
        return {"23,000 IDs, unsorted vs sorted", ids.join(u'\n'), sorted.join(u'\n')};
    }
    case 2: {
        QStringList lines;
        for (int k = 0; k < 10000; ++k)
            lines << movedShortLine(rng);
        QStringList reversed(lines.rbegin(), lines.rend());
        return {"10,000 lines reversed", lines.join(u'\n'), reversed.join(u'\n')};
    }
    case 3:
        return shuffledLines("11,000 shuffled lines", 11000);
    case 4:
        return shuffledLines("20,000 shuffled lines", 20000);
    case 5:
        return shuffledLines("36,000 shuffled lines", 36000);
    case 6:
        return shuffledLines("50,000 shuffled lines", 50000);
    case 7:
        return shuffledLines("200,000 shuffled lines", 200000);
    case 8: {
        QStringList lines;
        for (int k = 0; k < 1000000; ++k)
            lines << novelLine(rng);
        QStringList swapped = lines.mid(500000) + lines.mid(0, 500000);
        return {"1,000,000 lines, halves swapped", lines.join(u'\n'), swapped.join(u'\n')};
    }
    case 12:
        return versionPair("versions of 20,000 lines", 20000, 12);
    case 13:
        return versionPair("versions of 120,000 lines", 120000, 13);
    case 14:
    case 15:
    case 16: {
        static const int counts[] = {1000, 3000, 5000};
        static const char *labels[] = {"1,000 lines reversed", "3,000 lines reversed", "5,000 lines reversed"};
        QStringList lines;
        for (int k = 0; k < counts[row - 14]; ++k)
            lines << novelLine(rng);
        QStringList reversed(lines.rbegin(), lines.rend());
        return {labels[row - 14], lines.join(u'\n'), reversed.join(u'\n')};
    }
    case 17:
        return shuffledLines("1,000 shuffled lines", 1000);
    case 18:
        return shuffledLines("3,000 shuffled lines", 3000);
    case 19:
        return shuffledLines("5,000 shuffled lines", 5000);
    case 9: {
        std::vector<QStringList> functions;
        for (int k = 0; k < 30000; ++k)
            functions.push_back(movedFunction(rng, k));
        QStringList original;
        for (const QStringList &function : functions)
            original += function;
        std::shuffle(functions.begin(), functions.end(), rng);
        QStringList edited;
        for (const QStringList &function : functions)
            edited += function;
        return {"30,000 shuffled code functions", original.join(u'\n'), edited.join(u'\n')};
    }
    default: {
        // Three lines in five blank, one written line in a hundred replaced.
        QStringList lines;
        for (int k = 0; k < 200000; ++k)
            lines << (rng.bounded(5) < 3 ? QString() : movedShortLine(rng));
        QStringList edited = lines;
        for (int k = 0; k < 2000; ++k) {
            const int at = int(rng.bounded(200000));
            if (!edited[at].isEmpty())
                edited[at] = movedShortLine(rng);
        }
        return {"200,000 blank-heavy lines", lines.join(u'\n'), edited.join(u'\n')};
    }
    }
}

// One row: compare() from the files (read, decode, compare) against GNU diff from the same files,
// alternating, min over the rounds; and the peak memory of compare() beyond the two texts and
// its result.
void movedRow(int row, int rounds)
{
    QString label;
    QString pathA;
    QString pathB;
    QTemporaryDir dir;
    long units = 0;
    {
        const MovedPair pair = movedPair(row);
        label = QString::fromUtf8(pair.label);
        units = long(pair.original.size() + pair.edited.size());
        pathA = dir.filePath("a.txt");
        pathB = dir.filePath("b.txt");
        for (const auto &[path, text] : {std::pair{pathA, pair.original}, std::pair{pathB, pair.edited}}) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                return;
            file.write(text.toUtf8());
        }
    }
    auto read = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    std::vector<double> oursMs, diffMs;
    std::size_t count = 0;
    for (int r = 0; r < rounds; ++r) {
        oursMs.push_back(timeMs([&] {
            const auto result = TextComparisonDiff::compare(read(pathA), read(pathB));
            count = result ? result->changes.size() : 0;
        }));
        diffMs.push_back(spawnMs({"diff", pathA.toStdString(), pathB.toStdString()}));
    }
    const QString original = read(pathA);
    const QString edited = read(pathB);
    malloc_trim(0);
    const long before = currentKiB();
    resetPeak();
    const auto result = TextComparisonDiff::compare(original, edited);
    const long resultKiB = result ? long((result->alignedOriginal.size() * 2
                                          + qsizetype(result->changes.capacity() * sizeof(TextComparisonChange)))
                                         / 1024)
                                  : 0;
    const long beyond = peakKiB() - before - resultKiB;
    const double ours = spread(oursMs).min;
    const double diff = spread(diffMs).min;
    // The lines each marks: ours the edited lines outside the common subsequence, GNU diff's
    // the lines its output adds.
    const std::optional<LineComparison> lines = compareByLines(original, edited, true, nullptr);
    const std::size_t ourLines = lines ? lines->changedRanges.size() : 0;
    const QString diffOutput = dir.filePath("diff.out");
    spawnMs({"diff", pathA.toStdString(), pathB.toStdString()}, qPrintable(diffOutput));
    std::size_t diffLines = 0;
    {
        QFile file(diffOutput);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : file.readAll().split('\n'))
                diffLines += line.startsWith("> ") ? 1 : 0;
        }
    }
    std::printf("%d %-32s %5.2f M units | ours %8.1f ms | GNU diff %8.1f ms | ours/diff %6.2f | memory beyond texts "
                "and result %6.1f MB (result %5.1f MB) | %zu changes | marked lines ours %zu, GNU diff %zu (%.2f)%s\n",
                row, qPrintable(label), units / 1e6, ours, diff, ours / diff, beyond / 1024.0, resultKiB / 1024.0,
                count, ourLines, diffLines, diffLines ? double(ourLines) / double(diffLines) : 0.0,
                lines && lines->anchored ? ", anchored" : "");
    std::fflush(stdout);
}

// How long compare() takes to give up once its flag is raised, at moments spread over its run,
// on the largest moved pair and on the largest pair with edits in place.
void cancelLatencyRow()
{
    for (int shape = 0; shape < 2; ++shape) {
        QString original;
        QString edited;
        QString label;
        if (shape == 0) {
            MovedPair pair = movedPair(8);
            original = std::move(pair.original);
            edited = std::move(pair.edited);
            label = QString::fromUtf8(pair.label);
        } else {
            std::tie(original, edited) = linePair(1000000, 10000, 42);
            label = QStringLiteral("1,000,000 lines, 10,000 edits");
        }
        double whole = timeMs([&] { TextComparisonDiff::compare(original, edited); });
        std::printf("cancel %-32s whole compare %7.1f ms; flag raised after", qPrintable(label), whole);
        double worst = 0;
        for (double fraction : {0.01, 0.05, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.95}) {
            std::atomic<bool> cancelled{false};
            std::atomic<bool> finished{false};
            std::thread worker([&] {
                TextComparisonDiff::compare(original, edited, &cancelled);
                finished = true;
            });
            std::this_thread::sleep_for(std::chrono::microseconds(qint64(whole * fraction * 1000)));
            QElapsedTimer timer;
            timer.start();
            cancelled = true;
            worker.join();
            const double latency = double(timer.nsecsElapsed()) / 1e6;
            worst = std::max(worst, latency);
            std::printf(" %.0f%%: %.1f ms", fraction * 100, latency);
        }
        std::printf(" | worst %.1f ms (goal well under 100 ms)\n", worst);
        std::fflush(stdout);
    }
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
        useCores({6, 7});
        std::printf("-- cores 6,7, min over %d rounds (load average before: %s); goals: at most 3 x GNU diff, "
                    "at most 64 MB\n",
                    rounds, qPrintable(loadAverage()));
        for (const auto &[lines, edits] : {std::pair{10000, 100}, {100000, 1000}, {300000, 3000}, {1000000, 10000}})
            largeRow(lines, edits, rounds);
        std::printf("   (load average after: %s)\n", qPrintable(loadAverage()));
        return 0;
    }
    if (argc > 1 && qstrcmp(argv[1], "moved") == 0) {
        const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 3;
        std::vector<int> rows;
        for (int k = 3; k < argc; ++k)
            rows.push_back(QByteArray(argv[k]).toInt());
        if (rows.empty())
            rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
        useCores({6, 7});
        std::printf("-- cores 6,7, min over %d rounds (load average before: %s); goals: at most 3 x GNU diff, "
                    "at most 64 MB\n",
                    rounds, qPrintable(loadAverage()));
        for (int row : rows) {
            if (row == 11)
                cancelLatencyRow();
            else
                movedRow(row, rounds);
        }
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
            total += timeMs([&] {
                TextComparisonDiff::changes(original, edited);
                TextComparisonDisplay::alignedOriginalText(original, edited);
                TextComparisonSummaryBuilder::summary(TextComparisonState("s", original, edited, {}),
                                                      *TextComparisonDiff::compare(original, edited));
            });
        }
        std::printf("1400-character pair: changes + aligned + summary %.2f ms (goal 5 ms)\n", total / rounds);

        // The worst the character diff meets: 1400 characters on each side, always searched
        // exactly: two letters in random order, and 1400 distinct characters shuffled.
        QString twoLetters[2];
        for (QString &text : twoLetters) {
            for (int k = 0; k < 1400; ++k)
                text += rng.bounded(2) ? u'a' : u'b';
        }
        QString distinct;
        for (int k = 0; k < 1400; ++k)
            distinct += QChar(char16_t(0x4E00 + k));
        QString shuffled = distinct;
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        std::printf("worst 1400-character pairs, compare(): two letters %.1f ms, distinct characters shuffled %.1f ms\n",
                    timeMs([&] { TextComparisonDiff::compare(twoLetters[0], twoLetters[1]); }),
                    timeMs([&] { TextComparisonDiff::compare(distinct, shuffled); }));
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
