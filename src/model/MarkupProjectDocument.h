#pragma once

#include "model/MarkupAnnotation.h"
#include "model/TextComparisonState.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <optional>
#include <variant>
#include <vector>

// Why a project could not be read or written. What the user sees is description(), in Chinese.
struct MarkupProjectError {
    enum class Kind {
        ImageDecodingFailed, // an image inside the project cannot be decoded (`fileName` names it)
        ImageTooLarge,       // an image inside the project would cost more than the program reads
        FileReadFailed,      // the project file cannot be read (`fileName` names it)
        FileWriteFailed,     // the project file cannot be written (`fileName` names it)
        UnreadableDocument,  // the bytes are not a project document (`detail` holds the key path;
                             // `fileName` names the file when it was read from one)
        UnwritableDocument,  // a number in the document is not finite (`detail` holds the key path)
        NotAProject,         // valid JSON of another program: none of a project's members (`fileName`)
        FileTooLarge,        // larger than a project is allowed to be; refused before it is read
    };

    Kind kind = Kind::UnreadableDocument;
    QString fileName;
    // Where in the document the problem sits, for diagnostics; not shown to the user.
    QString detail;
    // For FileWriteFailed: the whole path and the system's error number, so that the message
    // names the folder and the reason; 0 when the reason is not known.
    QString path;
    int errorNumber = 0;

    static MarkupProjectError imageDecodingFailed(const QString &fileName);
    static MarkupProjectError imageTooLarge(const QString &fileName);
    static MarkupProjectError fileReadFailed(const QString &fileName);
    static MarkupProjectError fileWriteFailed(const QString &fileName);
    static MarkupProjectError fileWriteFailed(const QString &path, int errorNumber);
    static MarkupProjectError notAProject(const QString &fileName);

    QString description() const;
    bool operator==(const MarkupProjectError &) const = default;
};

// One side of a stored before/after pair.
struct MarkupProjectComparisonImage {
    QString fileName;
    QByteArray imageData; // encoded image bytes in any format the image decoder reads
    double pixelWidth = 0;
    double pixelHeight = 0;

    bool operator==(const MarkupProjectComparisonImage &) const = default;
};

struct MarkupProjectComparisonPair {
    QUuid id;
    MarkupProjectComparisonImage before;
    MarkupProjectComparisonImage after;

    bool operator==(const MarkupProjectComparisonPair &) const = default;
};

// One stored annotated image.
struct MarkupProjectImage {
    QUuid id;
    QString fileName;
    std::optional<QString> sourcePath;
    QByteArray imageData;
    double pixelWidth = 0;
    double pixelHeight = 0;
    std::vector<MarkupAnnotation> annotations;
    std::optional<QString> savedPath;

    bool operator==(const MarkupProjectImage &) const = default;
};

// The root record of a project file: UTF-8 JSON, pretty-printed with sorted keys.
struct MarkupProjectDocument {
    static inline const QString fileExtension = QStringLiteral("kivo");

    qint64 version = 1;
    std::vector<MarkupProjectImage> images;
    // A single pair written by older versions; read only when comparisonPairs is empty, never
    // written by this program.
    std::optional<MarkupProjectComparisonPair> comparisonPair;
    std::vector<MarkupProjectComparisonPair> comparisonPairs;
    std::optional<TextComparisonState> textComparison;

    bool operator==(const MarkupProjectDocument &) const = default;

    // The pairs to restore: comparisonPairs when not empty, else the single legacy pair if any.
    std::vector<MarkupProjectComparisonPair> pairsToRestore() const;

    // The file's bytes, or an UnwritableDocument error for a non-finite number.
    std::variant<QByteArray, MarkupProjectError> encode() const;
    // Reads a whole file; any missing required member, wrong type, bad UUID or bad Base64 makes
    // the whole file unreadable (UnreadableDocument). Nothing is partially read. A JSON object
    // that holds none of a project's contents (images, pairs, a text comparison) is another
    // program's file (NotAProject): every file this program writes has at least its two lists.
    static std::variant<MarkupProjectDocument, MarkupProjectError> decode(const QByteArray &bytes);
};
