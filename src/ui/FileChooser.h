#pragma once

#include <QStringList>

#include <optional>

// Chooses files and folders to import; nothing when cancelled.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual std::optional<QStringList> chooseImagesAndFolders() = 0;
};
