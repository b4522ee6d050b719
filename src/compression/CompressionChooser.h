#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The panels the compression session asks through: the window answers with its dialogs, tests and
// benchmarks with their own implementation.
class CompressionChooser {
public:
    virtual ~CompressionChooser() = default;
    // Image files and folders to add, in the panel's order; nothing when cancelled.
    virtual std::optional<QStringList> chooseSources() = 0;
    // The folder the batch writes into; nothing when cancelled.
    virtual std::optional<QString> chooseDestinationFolder() = 0;
};
