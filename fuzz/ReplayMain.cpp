// Runs a fuzz target over the files of its corpus, as the fuzzer would, for the ordinary test build:
// each file is handed to LLVMFuzzerTestOneInput in turn. Any broken promise, crash or allocation
// request above the limit fails the run.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);

// The largest single allocation a reader may ask for (the decoders' budgets stay far below it).
constexpr std::size_t fuzzReplayLargestAllocation = std::size_t(1700) << 20;

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer, its allocator refuses a larger request as an error.
extern "C" const char *__asan_default_options()
{
    return "max_allocation_size_mb=1700:allocator_may_return_null=0";
}
#else
// Otherwise the C library's allocator is wrapped: a larger request stops the run.
extern "C" void *__libc_malloc(std::size_t size);
extern "C" void *__libc_calloc(std::size_t count, std::size_t size);
extern "C" void *__libc_realloc(void *pointer, std::size_t size);

namespace {

void fuzzReplayCheckedSize(std::size_t size)
{
    if (size > fuzzReplayLargestAllocation) {
        std::fprintf(stderr, "allocation of %zu bytes requested, above the limit\n", size);
        std::abort();
    }
}

} // namespace

extern "C" void *malloc(std::size_t size)
{
    fuzzReplayCheckedSize(size);
    return __libc_malloc(size);
}

extern "C" void *calloc(std::size_t count, std::size_t size)
{
    if (size != 0 && count > fuzzReplayLargestAllocation / size)
        fuzzReplayCheckedSize(fuzzReplayLargestAllocation + 1);
    return __libc_calloc(count, size);
}

extern "C" void *realloc(void *pointer, std::size_t size)
{
    fuzzReplayCheckedSize(size);
    return __libc_realloc(pointer, size);
}
#endif

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    LLVMFuzzerInitialize(&argc, &argv);
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo given(QString::fromLocal8Bit(argv[i]));
        QStringList files;
        if (given.isDir()) {
            for (const QFileInfo &file : QDir(given.filePath()).entryInfoList(QDir::Files, QDir::Name))
                files << file.filePath();
        } else {
            files << given.filePath();
        }
        for (const QString &path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            std::fprintf(stderr, "%s (%lld bytes)\n", qPrintable(path), static_cast<long long>(bytes.size()));
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
            ++inputs;
        }
    }
    std::fprintf(stderr, "%d inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
