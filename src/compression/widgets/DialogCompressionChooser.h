#pragma once

#include "compression/CompressionChooser.h"

class QWidget;

// The files-and-folders panel ("添加") and a folder panel ("保存到这里"), both on the Desktop.
class DialogCompressionChooser final : public CompressionChooser {
public:
    explicit DialogCompressionChooser(QWidget *parent)
        : m_parent(parent)
    {
    }
    std::optional<QStringList> chooseSources() override;
    std::optional<QString> chooseDestinationFolder() override;

private:
    QWidget *m_parent;
};
