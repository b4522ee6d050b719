#pragma once

#include "compression/CompressionChooser.h"

#include <QString>
#include <QStringList>

#include <optional>

// Answers the compression panels from a script and counts the questions.
class FakeCompressionChooser : public CompressionChooser {
public:
    std::optional<QStringList> sources;
    std::optional<QString> folder;
    int sourceQuestions = 0;
    int folderQuestions = 0;

    std::optional<QStringList> chooseSources() override
    {
        ++sourceQuestions;
        return sources;
    }
    std::optional<QString> chooseDestinationFolder() override
    {
        ++folderQuestions;
        return folder;
    }
};
